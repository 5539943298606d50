package com.ethercat.lib;

/**
 * A growable array of bytes, seen from Java as chars.
 *
 * <p>{@link #add} and {@link #set} keep the low 8 bits of the character; {@link #get} gives the
 * stored byte sign-extended, so a byte 0x80 to 0xFF reads as 0xFF80 to 0xFFFF.
 *
 * <p>Positions outside 0 to size - 1 raise IndexOutOfBoundsException and change nothing.
 */
public class CharVector extends NativeObject {
    public CharVector() {
        this(CorvaneJavaJNI.new_CharVector__SWIG_0(), true);
    }

    /** A vector of {@code count} default elements; a negative count is refused. */
    public CharVector(long count) {
        this(CorvaneJavaJNI.new_CharVector__SWIG_1(count), true);
    }

    CharVector(long handle, boolean ownsHandle) {
        super(handle, ownsHandle, CorvaneJavaJNI::delete_CharVector);
    }

    public long size() {
        return CorvaneJavaJNI.CharVector_size(handle(), this);
    }

    public long capacity() {
        return CorvaneJavaJNI.CharVector_capacity(handle(), this);
    }

    /** Grows the capacity to at least {@code count}; a negative count is refused. */
    public void reserve(long count) {
        CorvaneJavaJNI.CharVector_reserve(handle(), this, count);
    }

    public boolean isEmpty() {
        return CorvaneJavaJNI.CharVector_isEmpty(handle(), this);
    }

    public void clear() {
        CorvaneJavaJNI.CharVector_clear(handle(), this);
    }

    public void add(char value) {
        CorvaneJavaJNI.CharVector_add(handle(), this, value);
    }

    public char get(int position) {
        return CorvaneJavaJNI.CharVector_get(handle(), this, position);
    }

    public void set(int position, char value) {
        CorvaneJavaJNI.CharVector_set(handle(), this, position, value);
    }
}
