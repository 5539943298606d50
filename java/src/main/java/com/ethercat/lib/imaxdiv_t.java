package com.ethercat.lib;

/** Quotient and remainder of {@link CorvaneJava#imaxdiv}. */
public class imaxdiv_t extends NativeObject {
    /** A new record with quotient and remainder 0. */
    public imaxdiv_t() {
        this(CorvaneJavaJNI.new_imaxdiv_t(), true);
    }

    imaxdiv_t(long handle, boolean ownsHandle) {
        super(handle, ownsHandle, CorvaneJavaJNI::delete_imaxdiv_t);
    }

    public void setQuot(long value) {
        CorvaneJavaJNI.imaxdiv_t_quot_set(handle(), this, value);
    }

    public long getQuot() {
        return CorvaneJavaJNI.imaxdiv_t_quot_get(handle(), this);
    }

    public void setRem(long value) {
        CorvaneJavaJNI.imaxdiv_t_rem_set(handle(), this, value);
    }

    public long getRem() {
        return CorvaneJavaJNI.imaxdiv_t_rem_get(handle(), this);
    }
}
