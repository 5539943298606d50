package com.ethercat.lib;

/**
 * A growable array of unsigned 32-bit numbers, seen from Java as longs.
 *
 * <p>{@link #add} and {@link #set} keep the low 32 bits; {@link #get} gives 0 to 4294967295.
 *
 * <p>Positions outside 0 to size - 1 raise IndexOutOfBoundsException and change nothing.
 */
public class LongVector extends NativeObject {
    public LongVector() {
        this(CorvaneJavaJNI.new_LongVector__SWIG_0(), true);
    }

    /** A vector of {@code count} default elements; a negative count is refused. */
    public LongVector(long count) {
        this(CorvaneJavaJNI.new_LongVector__SWIG_1(count), true);
    }

    LongVector(long handle, boolean ownsHandle) {
        super(handle, ownsHandle, CorvaneJavaJNI::delete_LongVector);
    }

    public long size() {
        return CorvaneJavaJNI.LongVector_size(handle(), this);
    }

    public long capacity() {
        return CorvaneJavaJNI.LongVector_capacity(handle(), this);
    }

    /** Grows the capacity to at least {@code count}; a negative count is refused. */
    public void reserve(long count) {
        CorvaneJavaJNI.LongVector_reserve(handle(), this, count);
    }

    public boolean isEmpty() {
        return CorvaneJavaJNI.LongVector_isEmpty(handle(), this);
    }

    public void clear() {
        CorvaneJavaJNI.LongVector_clear(handle(), this);
    }

    public void add(long value) {
        CorvaneJavaJNI.LongVector_add(handle(), this, value);
    }

    public long get(int position) {
        return CorvaneJavaJNI.LongVector_get(handle(), this, position);
    }

    public void set(int position, long value) {
        CorvaneJavaJNI.LongVector_set(handle(), this, position, value);
    }
}
