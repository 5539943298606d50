package com.ethercat.lib;

/**
 * A result with a value that is signed 32-bit on the native side, like {@link ResultInt}'s:
 * an unsigned 32-bit reading of 0x80000000 and above comes back negative.
 */
public class ResultLong extends Result {
    public ResultLong(boolean result, String message, int value) {
        this(CorvaneJavaJNI.new_ResultLong(result, message, value), true);
    }

    ResultLong(long handle, boolean ownsHandle) {
        super(CorvaneJavaJNI.ResultLong_SWIGUpcast(handle), handle, ownsHandle,
                CorvaneJavaJNI::delete_ResultLong);
    }

    public int getLong() {
        return CorvaneJavaJNI.ResultLong_getLong(handle(), this);
    }

    public void setLong(int value) {
        CorvaneJavaJNI.ResultLong_setLong(handle(), this, value);
    }
}
