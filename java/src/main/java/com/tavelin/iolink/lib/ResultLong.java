package com.tavelin.iolink.lib;

/** A {@link Result} that also carries a  32-bit value. */
public class ResultLong extends Result {
    private final NativeHandle self;

    public ResultLong(boolean result, String message, int value) {
        this(IoLinkLibJavaJNI.new_ResultLong__SWIG_0(result, message, value), true);
    }

    /** A record without a value (it reads as 0). */
    public ResultLong(boolean result, String message) {
        this(IoLinkLibJavaJNI.new_ResultLong__SWIG_1(result, message), true);
    }

    protected ResultLong(long cPtr, boolean cMemoryOwn) {
        super(IoLinkLibJavaJNI.ResultLong_SWIGUpcast(cPtr), false);
        self = cMemoryOwn
                ? NativeHandle.owned(this, cPtr, IoLinkLibJavaJNI::delete_ResultLong)
                : NativeHandle.borrowed(cPtr);
    }

    public int getLong() {
        return IoLinkLibJavaJNI.ResultLong_getLong(self.address(), this);
    }

    public void setLong(int value) {
        IoLinkLibJavaJNI.ResultLong_setLong(self.address(), this, value);
    }

    @Override
    public void close() {
        self.close();
        super.close();
    }

    long handle() {
        return self.addressOrZero();
    }
}
