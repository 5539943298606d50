package com.ethercat.lib;

/**
 * A growable array of texts.
 *
 * <p>{@link #add} and {@link #set} copy the text and refuse null with a NullPointerException;
 * {@link #get} gives a new Java string.
 *
 * <p>Positions outside 0 to size - 1 raise IndexOutOfBoundsException and change nothing.
 */
public class StringVector extends NativeObject {
    public StringVector() {
        this(CorvaneJavaJNI.new_StringVector__SWIG_0(), true);
    }

    /** A vector of {@code count} default elements; a negative count is refused. */
    public StringVector(long count) {
        this(CorvaneJavaJNI.new_StringVector__SWIG_1(count), true);
    }

    StringVector(long handle, boolean ownsHandle) {
        super(handle, ownsHandle, CorvaneJavaJNI::delete_StringVector);
    }

    public long size() {
        return CorvaneJavaJNI.StringVector_size(handle(), this);
    }

    public long capacity() {
        return CorvaneJavaJNI.StringVector_capacity(handle(), this);
    }

    /** Grows the capacity to at least {@code count}; a negative count is refused. */
    public void reserve(long count) {
        CorvaneJavaJNI.StringVector_reserve(handle(), this, count);
    }

    public boolean isEmpty() {
        return CorvaneJavaJNI.StringVector_isEmpty(handle(), this);
    }

    public void clear() {
        CorvaneJavaJNI.StringVector_clear(handle(), this);
    }

    public void add(String value) {
        CorvaneJavaJNI.StringVector_add(handle(), this, value);
    }

    public String get(int position) {
        return CorvaneJavaJNI.StringVector_get(handle(), this, position);
    }

    public void set(int position, String value) {
        CorvaneJavaJNI.StringVector_set(handle(), this, position, value);
    }
}
