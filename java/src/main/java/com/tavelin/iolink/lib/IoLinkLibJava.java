package com.tavelin.iolink.lib;

import java.math.BigInteger;

/** The free functions of libSernova and the levels of its log file. */
public class IoLinkLibJava {
    static {
        System.loadLibrary("Sernova");
    }

    /** Levels for {@code setFileLoggingLevel}: a line is written when its level is at least the set one. */
    public static final int trace = IoLinkLibJavaJNI.trace_get();
    public static final int debug = IoLinkLibJavaJNI.debug_get();
    public static final int information = IoLinkLibJavaJNI.information_get();
    public static final int warning = IoLinkLibJavaJNI.warning_get();
    public static final int error = IoLinkLibJavaJNI.error_get();
    public static final int critical = IoLinkLibJavaJNI.critical_get();
    /** Nothing is written. */
    public static final int off = IoLinkLibJavaJNI.off_get();

    private IoLinkLibJava() {
    }

    /** The absolute value; like {@link Math#abs(long)}, that of {@link Long#MIN_VALUE} is itself. */
    public static long imaxabs(long n) {
        return IoLinkLibJavaJNI.imaxabs(n);
    }

    /**
     * Quotient (truncated toward zero) and remainder (with the sign of the numerator).
     * {@code imaxdiv(Long.MIN_VALUE, -1)} gives {@code Long.MIN_VALUE} and 0, as Java's operators do.
     *
     * @throws ArithmeticException when the denominator is 0
     */
    public static imaxdiv_t imaxdiv(long numerator, long denominator) {
        return new imaxdiv_t(IoLinkLibJavaJNI.imaxdiv(numerator, denominator), true);
    }

    /**
     * The signed number at the start of {@code text} as C's {@code strtoimax} reads it: leading
     * blanks, an optional sign, digits of {@code base} (0 takes the base from a 0 or 0x prefix);
     * 0 when nothing is readable, clamped to the long range on overflow.
     *
     * @param endPointer accepted for compatibility and ignored: the native side never stores the
     *     end position, as the C function would store an address inside a temporary copy of the
     *     text at whatever address the caller passed. Pass 0.
     * @throws NullPointerException when text is null
     */
    public static long strtoimax(String text, long endPointer, int base) {
        return IoLinkLibJavaJNI.strtoimax(text, endPointer, base);
    }

    /** {@link #strtoimax(String, long, int)} without an end pointer. */
    public static long strtoimax(String text, int base) {
        return IoLinkLibJavaJNI.strtoimax(text, 0, base);
    }

    /**
     * The unsigned number at the start of {@code text} as C's {@code strtoumax} reads it, as a
     * non-negative BigInteger up to 2^64 - 1. As in C, a leading minus sign negates modulo 2^64.
     *
     * @param endPointer accepted for compatibility and ignored, see {@link #strtoimax(String, long, int)}
     * @throws NullPointerException when text is null
     */
    public static BigInteger strtoumax(String text, long endPointer, int base) {
        return IoLinkLibJavaJNI.strtoumax(text, endPointer, base);
    }

    /** {@link #strtoumax(String, long, int)} without an end pointer. */
    public static BigInteger strtoumax(String text, int base) {
        return IoLinkLibJavaJNI.strtoumax(text, 0, base);
    }
}
