package com.tavelin.iolink.lib;

/** A {@link Result} that also carries a text. */
public class ResultString extends Result {
    private final NativeHandle self;

    public ResultString(boolean result, String message, String value) {
        this(IoLinkLibJavaJNI.new_ResultString__SWIG_0(result, message, value), true);
    }

    /** A record with an empty text. */
    public ResultString(boolean result, String message) {
        this(IoLinkLibJavaJNI.new_ResultString__SWIG_1(result, message), true);
    }

    protected ResultString(long cPtr, boolean cMemoryOwn) {
        super(IoLinkLibJavaJNI.ResultString_SWIGUpcast(cPtr), false);
        self = cMemoryOwn
                ? NativeHandle.owned(this, cPtr, IoLinkLibJavaJNI::delete_ResultString)
                : NativeHandle.borrowed(cPtr);
    }

    public String getString() {
        return IoLinkLibJavaJNI.ResultString_getString(self.address(), this);
    }

    public void setString(String value) {
        IoLinkLibJavaJNI.ResultString_setString(self.address(), this, value);
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
