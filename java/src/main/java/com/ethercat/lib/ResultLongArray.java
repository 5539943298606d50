package com.ethercat.lib;

/** A result with an array of unsigned 32-bit numbers. */
public class ResultLongArray extends Result {
    /** The numbers are copied; a null message or vector is refused with a NullPointerException. */
    public ResultLongArray(boolean result, String message, LongVector values) {
        this(CorvaneJavaJNI.new_ResultLongArray(result, message, handleOf(values), values), true);
    }

    ResultLongArray(long handle, boolean ownsHandle) {
        super(CorvaneJavaJNI.ResultLongArray_SWIGUpcast(handle), handle, ownsHandle,
                CorvaneJavaJNI::delete_ResultLongArray);
    }

    /** A new copy of the numbers, owned by the caller. */
    public LongVector getLongArray() {
        return new LongVector(CorvaneJavaJNI.ResultLongArray_getLongArray(handle(), this), true);
    }

    /** Replaces the numbers by a copy of {@code values}. */
    public void setLongArray(LongVector values) {
        CorvaneJavaJNI.ResultLongArray_setLongArray(handle(), this, handleOf(values), values);
    }
}
