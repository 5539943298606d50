package com.tavelin.iolink.lib;

/**
 * Outcome of a library operation: a success flag and a message. Close it when done; a forgotten
 * one is freed once it is unreachable.
 */
public class Result implements AutoCloseable {
    private final NativeHandle self;

    public Result(boolean result, String message) {
        this(IoLinkLibJavaJNI.new_Result(result, message), true);
    }

    /**
     * Wraps a native Result. An owned one is freed by this proxy; a borrowed one (the Result part
     * of a derived record) is freed by whoever owns it.
     */
    protected Result(long cPtr, boolean cMemoryOwn) {
        self = cMemoryOwn
                ? NativeHandle.owned(this, cPtr, IoLinkLibJavaJNI::delete_Result)
                : NativeHandle.borrowed(cPtr);
    }

    // Each native call also passes this proxy, which keeps it (and so the native object) alive
    // until the call returns.

    public boolean getResult() {
        return IoLinkLibJavaJNI.Result_getResult(self.address(), this);
    }

    public String getMessage() {
        return IoLinkLibJavaJNI.Result_getMessage(self.address(), this);
    }

    /** The message with "error:" in front when the operation failed and "\nEOM\n" behind. */
    public String getMessageWithEom() {
        return IoLinkLibJavaJNI.Result_getMessageWithEom(self.address(), this);
    }

    /** Frees the native record; later calls do nothing. */
    @Override
    public void close() {
        self.close();
    }

    /** The address of the Result part, 0 once closed. */
    final long resultHandle() {
        return self.addressOrZero();
    }
}
