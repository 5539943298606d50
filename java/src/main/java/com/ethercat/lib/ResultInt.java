package com.ethercat.lib;

/** A result with a signed 32-bit value. */
public class ResultInt extends Result {
    public ResultInt(boolean result, String message, int value) {
        this(CorvaneJavaJNI.new_ResultInt(result, message, value), true);
    }

    ResultInt(long handle, boolean ownsHandle) {
        super(CorvaneJavaJNI.ResultInt_SWIGUpcast(handle), handle, ownsHandle,
                CorvaneJavaJNI::delete_ResultInt);
    }

    public int getInt() {
        return CorvaneJavaJNI.ResultInt_getInt(handle(), this);
    }
}
