package com.ethercat.lib;

import java.util.function.LongConsumer;

/**
 * The outcome of an operation: a success flag and a message, which may be empty.
 *
 * <p>The derived results add one value each. Each proxy frees its record through the delete
 * function of the record's own class, since the native records share no virtual destructor.
 */
public class Result extends NativeObject {
    private final long resultHandle;

    /** A new result; a null message is refused with a NullPointerException. */
    public Result(boolean result, String message) {
        this(CorvaneJavaJNI.new_Result(result, message), true);
    }

    Result(long handle, boolean ownsHandle) {
        this(handle, handle, ownsHandle, CorvaneJavaJNI::delete_Result);
    }

    /** For derived results: {@code resultHandle} is their handle converted to a Result. */
    Result(long resultHandle, long handle, boolean ownsHandle, LongConsumer deleter) {
        super(handle, ownsHandle, deleter);
        this.resultHandle = resultHandle;
    }

    /** The handle of the Result part, checked like {@link #handle()}. */
    final long resultHandle() {
        handle();
        return resultHandle;
    }

    public boolean GetResult() {
        return CorvaneJavaJNI.Result_GetResult(resultHandle(), this);
    }

    public String GetMessage() {
        return CorvaneJavaJNI.Result_GetMessage(resultHandle(), this);
    }

    /**
     * The message framed for reading as one block: "error:" in front of it when the operation
     * failed, and "\nEOM\n" behind it in every case.
     */
    public String GetMessageWithEom() {
        return CorvaneJavaJNI.Result_GetMessageWithEom(resultHandle(), this);
    }
}
