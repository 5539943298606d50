package com.tavelin.iolink.lib;

/**
 * The library's byte vector. Elements are bytes, seen here as shorts 0..255; storing a short
 * keeps its low 8 bits.
 */
public class ShortVector implements AutoCloseable {
    private final NativeHandle self;

    public ShortVector() {
        this(IoLinkLibJavaJNI.new_ShortVector__SWIG_0(), true);
    }

    /**
     * A vector of n zero bytes.
     *
     * @throws IllegalArgumentException when n is negative
     * @throws OutOfMemoryError when n is above {@link Integer#MAX_VALUE} or cannot be allocated
     */
    public ShortVector(long n) {
        this(IoLinkLibJavaJNI.new_ShortVector__SWIG_1(n), true);
    }

    protected ShortVector(long cPtr, boolean cMemoryOwn) {
        self = cMemoryOwn
                ? NativeHandle.owned(this, cPtr, IoLinkLibJavaJNI::delete_ShortVector)
                : NativeHandle.borrowed(cPtr);
    }

    public long size() {
        return IoLinkLibJavaJNI.ShortVector_size(self.address(), this);
    }

    public long capacity() {
        return IoLinkLibJavaJNI.ShortVector_capacity(self.address(), this);
    }

    /**
     * Makes room for n elements; never shrinks.
     *
     * @throws IllegalArgumentException when n is negative
     * @throws OutOfMemoryError when n is above {@link Integer#MAX_VALUE} or cannot be allocated
     */
    public void reserve(long n) {
        IoLinkLibJavaJNI.ShortVector_reserve(self.address(), this, n);
    }

    public boolean isEmpty() {
        return IoLinkLibJavaJNI.ShortVector_isEmpty(self.address(), this);
    }

    public void clear() {
        IoLinkLibJavaJNI.ShortVector_clear(self.address(), this);
    }

    public void add(short x) {
        IoLinkLibJavaJNI.ShortVector_add(self.address(), this, x);
    }

    /** @throws IndexOutOfBoundsException unless 0 &lt;= i &lt; size() */
    public short get(int i) {
        return IoLinkLibJavaJNI.ShortVector_get(self.address(), this, i);
    }

    /** @throws IndexOutOfBoundsException unless 0 &lt;= i &lt; size() */
    public void set(int i, short x) {
        IoLinkLibJavaJNI.ShortVector_set(self.address(), this, i, x);
    }

    @Override
    public void close() {
        self.close();
    }

    long handle() {
        return self.addressOrZero();
    }
}
