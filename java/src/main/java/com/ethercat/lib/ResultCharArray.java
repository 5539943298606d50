package com.ethercat.lib;

/** A result with an array of bytes, such as the content of a file read from a device. */
public class ResultCharArray extends Result {
    /** The bytes are copied; a null message or vector is refused with a NullPointerException. */
    public ResultCharArray(boolean result, String message, CharVector values) {
        this(CorvaneJavaJNI.new_ResultCharArray(result, message, handleOf(values), values), true);
    }

    ResultCharArray(long handle, boolean ownsHandle) {
        super(CorvaneJavaJNI.ResultCharArray_SWIGUpcast(handle), handle, ownsHandle,
                CorvaneJavaJNI::delete_ResultCharArray);
    }

    /** A new copy of the bytes, owned by the caller. */
    public CharVector getCharArray() {
        return new CharVector(CorvaneJavaJNI.ResultCharArray_getCharArray(handle(), this), true);
    }

    /** Replaces the bytes by a copy of {@code values}. */
    public void setCharArray(CharVector values) {
        CorvaneJavaJNI.ResultCharArray_setCharArray(handle(), this, handleOf(values), values);
    }
}
