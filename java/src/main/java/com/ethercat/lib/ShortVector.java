package com.ethercat.lib;

/**
 * A growable array of unsigned bytes, seen from Java as shorts.
 *
 * <p>{@link #add} and {@link #set} keep the low 8 bits; {@link #get} gives 0 to 255.
 *
 * <p>Positions outside 0 to size - 1 raise IndexOutOfBoundsException and change nothing.
 */
public class ShortVector extends NativeObject {
    public ShortVector() {
        this(CorvaneJavaJNI.new_ShortVector__SWIG_0(), true);
    }

    /** A vector of {@code count} default elements; a negative count is refused. */
    public ShortVector(long count) {
        this(CorvaneJavaJNI.new_ShortVector__SWIG_1(count), true);
    }

    ShortVector(long handle, boolean ownsHandle) {
        super(handle, ownsHandle, CorvaneJavaJNI::delete_ShortVector);
    }

    public long size() {
        return CorvaneJavaJNI.ShortVector_size(handle(), this);
    }

    public long capacity() {
        return CorvaneJavaJNI.ShortVector_capacity(handle(), this);
    }

    /** Grows the capacity to at least {@code count}; a negative count is refused. */
    public void reserve(long count) {
        CorvaneJavaJNI.ShortVector_reserve(handle(), this, count);
    }

    public boolean isEmpty() {
        return CorvaneJavaJNI.ShortVector_isEmpty(handle(), this);
    }

    public void clear() {
        CorvaneJavaJNI.ShortVector_clear(handle(), this);
    }

    public void add(short value) {
        CorvaneJavaJNI.ShortVector_add(handle(), this, value);
    }

    public short get(int position) {
        return CorvaneJavaJNI.ShortVector_get(handle(), this, position);
    }

    public void set(int position, short value) {
        CorvaneJavaJNI.ShortVector_set(handle(), this, position, value);
    }
}
