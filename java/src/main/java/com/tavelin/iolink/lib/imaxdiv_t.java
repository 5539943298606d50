package com.tavelin.iolink.lib;

/** Quotient and remainder of {@link IoLinkLibJava#imaxdiv(long, long)}. */
public class imaxdiv_t implements AutoCloseable {
    private final NativeHandle self;

    /** A record with both fields 0. */
    public imaxdiv_t() {
        this(IoLinkLibJavaJNI.new_imaxdiv_t(), true);
    }

    protected imaxdiv_t(long cPtr, boolean cMemoryOwn) {
        self = cMemoryOwn
                ? NativeHandle.owned(this, cPtr, IoLinkLibJavaJNI::delete_imaxdiv_t)
                : NativeHandle.borrowed(cPtr);
    }

    public void setQuot(long quot) {
        IoLinkLibJavaJNI.imaxdiv_t_quot_set(self.address(), this, quot);
    }

    public long getQuot() {
        return IoLinkLibJavaJNI.imaxdiv_t_quot_get(self.address(), this);
    }

    public void setRem(long rem) {
        IoLinkLibJavaJNI.imaxdiv_t_rem_set(self.address(), this, rem);
    }

    public long getRem() {
        return IoLinkLibJavaJNI.imaxdiv_t_rem_get(self.address(), this);
    }

    @Override
    public void close() {
        self.close();
    }

    long handle() {
        return self.addressOrZero();
    }
}
