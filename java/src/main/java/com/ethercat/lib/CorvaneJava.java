package com.ethercat.lib;

import java.math.BigInteger;

/** The library's free functions: the 64-bit integer helpers of the C runtime. */
public final class CorvaneJava {
    private CorvaneJava() {
    }

    /** The absolute value; like {@link Math#abs(long)}, Long.MIN_VALUE gives itself. */
    public static long imaxabs(long value) {
        return CorvaneJavaJNI.imaxabs(value);
    }

    /**
     * Quotient truncated toward zero and remainder with the sign of the numerator, as Java's
     * {@code /} and {@code %} give them (Long.MIN_VALUE / -1 gives Long.MIN_VALUE, remainder 0).
     *
     * @throws ArithmeticException when {@code denominator} is 0
     */
    public static imaxdiv_t imaxdiv(long numerator, long denominator) {
        return new imaxdiv_t(CorvaneJavaJNI.imaxdiv(numerator, denominator), true);
    }

    /**
     * Parses a signed number as C's strtoimax does: leading blanks, an optional sign, an optional
     * "0x" prefix in base 16 or 0, then as many digits as fit; 0 when there are none; the limits of
     * long when the number is out of range; base 0 chooses from the prefix.
     *
     * @param endPointerHandle stands for C's end pointer and is ignored: the position it would
     *     receive points into a temporary copy of the text that is gone when the call returns,
     *     so nothing is ever written through it. Pass 0.
     * @throws NullPointerException when {@code text} is null
     */
    public static long strtoimax(String text, long endPointerHandle, int base) {
        return CorvaneJavaJNI.strtoimax(text, endPointerHandle, base);
    }

    /**
     * Parses an unsigned 64-bit number as C's strtoumax does and gives it as a non-negative
     * BigInteger (0 to 2^64 - 1). As in C, a leading minus sign negates modulo 2^64.
     *
     * @param endPointerHandle ignored, as for {@link #strtoimax}. Pass 0.
     * @throws NullPointerException when {@code text} is null
     */
    public static BigInteger strtoumax(String text, long endPointerHandle, int base) {
        return CorvaneJavaJNI.strtoumax(text, endPointerHandle, base);
    }
}
