package com.ethercat.lib;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.math.BigInteger;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.ValueSource;

class IntegerHelpersTest {
    @ParameterizedTest
    @CsvSource({
        "-7, 2, -3, -1",
        "7, -2, -3, 1",
        "-7, -2, 3, -1",
        "7, 2, 3, 1",
        "0, 5, 0, 0",
        "-9223372036854775808, -1, -9223372036854775808, 0",
        "-9223372036854775808, 1, -9223372036854775808, 0",
        "9223372036854775807, -1, -9223372036854775807, 0",
        "-9223372036854775808, 10, -922337203685477580, -8",
    })
    void imaxdivTruncatesTowardZeroLikeJava(long numerator, long denominator, long quot, long rem) {
        try (imaxdiv_t division = CorvaneJava.imaxdiv(numerator, denominator)) {
            assertEquals(quot, division.getQuot());
            assertEquals(rem, division.getRem());
            assertEquals(numerator / denominator, division.getQuot());
            assertEquals(numerator % denominator, division.getRem());
        }
    }

    @ParameterizedTest
    @ValueSource(longs = {0, 1, -1, Long.MIN_VALUE, Long.MAX_VALUE})
    void imaxdivByZeroRaisesArithmeticException(long numerator) {
        ArithmeticException error = assertThrows(ArithmeticException.class, () -> CorvaneJava.imaxdiv(numerator, 0));
        assertEquals("division by zero", error.getMessage());
    }

    @ParameterizedTest
    @CsvSource({"5, 5", "-5, 5", "0, 0", "9223372036854775807, 9223372036854775807",
        "-9223372036854775807, 9223372036854775807", "-9223372036854775808, -9223372036854775808"})
    void imaxabsMatchesMathAbs(long value, long absolute) {
        assertEquals(absolute, CorvaneJava.imaxabs(value));
        assertEquals(Math.abs(value), CorvaneJava.imaxabs(value));
    }

    @ParameterizedTest
    @CsvSource({
        "123, 10, 123",
        "'  -42 apples', 10, -42",
        "+17, 10, 17",
        "ff, 16, 255",
        "-0x1A, 16, -26",
        "0x1A, 0, 26",
        "017, 0, 15",
        "z, 36, 35",
        "'', 10, 0",
        "xyz, 10, 0",
        "9223372036854775807, 10, 9223372036854775807",
        "9223372036854775808, 10, 9223372036854775807",
        "-9223372036854775809, 10, -9223372036854775808",
        "12, 1, 0",
        "12, 37, 0",
    })
    void strtoimaxParsesAsC(String text, int base, long value) {
        assertEquals(value, CorvaneJava.strtoimax(text, 0, base));
    }

    @ParameterizedTest
    @CsvSource({
        "18446744073709551615, 10, 18446744073709551615",
        "18446744073709551616, 10, 18446744073709551615",
        "9223372036854775808, 10, 9223372036854775808",
        "ffffffffffffffff, 16, 18446744073709551615",
        "0, 10, 0",
        "4294967296, 0, 4294967296",
        "-1, 10, 18446744073709551615",
    })
    void strtoumaxGivesANonNegativeBigInteger(String text, int base, String value) {
        BigInteger parsed = CorvaneJava.strtoumax(text, 0, base);
        assertEquals(new BigInteger(value), parsed);
    }

    @Test
    void theLargestUnsignedValueIsPositiveAndAboveTwoToThe63() {
        BigInteger parsed = CorvaneJava.strtoumax("18446744073709551615", 0, 10);
        assertEquals(BigInteger.ONE.shiftLeft(64).subtract(BigInteger.ONE), parsed);
        assertEquals(1, parsed.signum());
        assertEquals(1, parsed.compareTo(BigInteger.ONE.shiftLeft(63)));
    }

    @Test
    void theEndPointerHandleIsNeverWrittenThrough() {
        // Any number may arrive here; writing a pointer to it would corrupt memory or crash.
        for (long endPointer : new long[] {8, -1, 0x7fff_0000_0000L}) {
            assertEquals(42, CorvaneJava.strtoimax("42rest", endPointer, 10));
            assertEquals(BigInteger.valueOf(42), CorvaneJava.strtoumax("42rest", endPointer, 10));
        }
    }

    @Test
    void nullTextsRaiseTheNullStringException() {
        assertEquals("null string",
                assertThrows(NullPointerException.class, () -> CorvaneJava.strtoimax(null, 0, 10)).getMessage());
        assertEquals("null string",
                assertThrows(NullPointerException.class, () -> CorvaneJava.strtoumax(null, 0, 10)).getMessage());
    }

    @Test
    void imaxdivRecordStartsAtZeroAndKeepsWhatIsSet() {
        imaxdiv_t division = new imaxdiv_t();
        assertEquals(0, division.getQuot());
        assertEquals(0, division.getRem());
        division.setQuot(Long.MIN_VALUE);
        division.setRem(-3);
        assertEquals(Long.MIN_VALUE, division.getQuot());
        assertEquals(-3, division.getRem());
        division.close();
        division.close();
        assertThrows(IllegalStateException.class, division::getQuot);
    }
}
