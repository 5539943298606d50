package com.ethercat.lib;

/**
 * A growable array of signed 32-bit numbers.
 *
 * <p>Positions outside 0 to size - 1 raise IndexOutOfBoundsException and change nothing.
 */
public class IntVector extends NativeObject {
    public IntVector() {
        this(CorvaneJavaJNI.new_IntVector__SWIG_0(), true);
    }

    /** A vector of {@code count} default elements; a negative count is refused. */
    public IntVector(long count) {
        this(CorvaneJavaJNI.new_IntVector__SWIG_1(count), true);
    }

    IntVector(long handle, boolean ownsHandle) {
        super(handle, ownsHandle, CorvaneJavaJNI::delete_IntVector);
    }

    public long size() {
        return CorvaneJavaJNI.IntVector_size(handle(), this);
    }

    public long capacity() {
        return CorvaneJavaJNI.IntVector_capacity(handle(), this);
    }

    /** Grows the capacity to at least {@code count}; a negative count is refused. */
    public void reserve(long count) {
        CorvaneJavaJNI.IntVector_reserve(handle(), this, count);
    }

    public boolean isEmpty() {
        return CorvaneJavaJNI.IntVector_isEmpty(handle(), this);
    }

    public void clear() {
        CorvaneJavaJNI.IntVector_clear(handle(), this);
    }

    public void add(int value) {
        CorvaneJavaJNI.IntVector_add(handle(), this, value);
    }

    public int get(int position) {
        return CorvaneJavaJNI.IntVector_get(handle(), this, position);
    }

    public void set(int position, int value) {
        CorvaneJavaJNI.IntVector_set(handle(), this, position, value);
    }
}
