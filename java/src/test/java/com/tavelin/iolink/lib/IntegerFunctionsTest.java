package com.tavelin.iolink.lib;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.params.provider.Arguments.arguments;

import java.math.BigInteger;
import java.util.stream.Stream;
import org.junit.jupiter.api.Named;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

class IntegerFunctionsTest {

    // Java's own operators are the reference, the overflowing Long.MIN_VALUE cases included.
    static Stream<Arguments> divisions() {
        return Stream.of(
                arguments(-7L, 2L), arguments(7L, 2L), arguments(7L, -2L), arguments(-7L, -2L),
                arguments(0L, 5L), arguments(Long.MIN_VALUE, -1L), arguments(Long.MIN_VALUE, 1L),
                arguments(Long.MAX_VALUE, -1L), arguments(Long.MIN_VALUE, Long.MAX_VALUE));
    }

    @ParameterizedTest(name = "{0} / {1}")
    @MethodSource("divisions")
    void imaxdivTruncatesTowardZero(long numerator, long denominator) {
        try (imaxdiv_t division = IoLinkLibJava.imaxdiv(numerator, denominator)) {
            assertEquals(numerator / denominator, division.getQuot());
            assertEquals(numerator % denominator, division.getRem());
        }
    }

    @Test
    void imaxdivOfMinusSevenByTwo() {
        try (imaxdiv_t division = IoLinkLibJava.imaxdiv(-7, 2)) {
            assertEquals(-3, division.getQuot());
            assertEquals(-1, division.getRem());
        }
    }

    @Test
    void imaxdivByZeroRaisesArithmeticException() {
        ArithmeticException e = assertThrows(ArithmeticException.class, () -> IoLinkLibJava.imaxdiv(1, 0));
        assertEquals("division by zero", e.getMessage());
    }

    @ParameterizedTest
    @ValueSource(longs = {0, 5, -5, Long.MAX_VALUE, -Long.MAX_VALUE, Long.MIN_VALUE})
    void imaxabsAgreesWithMathAbs(long n) {
        assertEquals(Math.abs(n), IoLinkLibJava.imaxabs(n));
    }

    @Test
    void imaxdivRecordStartsAtZeroAndKeepsItsFields() {
        try (imaxdiv_t record = new imaxdiv_t()) {
            assertEquals(0, record.getQuot());
            assertEquals(0, record.getRem());
            record.setQuot(Long.MIN_VALUE);
            record.setRem(-1);
            assertEquals(Long.MIN_VALUE, record.getQuot());
            assertEquals(-1, record.getRem());
        }
    }

    static Stream<Arguments> signedTexts() {
        return Stream.of(
                arguments("42", 10, 42L),
                arguments("-0x1A", 16, -26L),
                arguments("0x1A", 0, 26L),
                arguments("077", 0, 63L),
                arguments("  12abc", 10, 12L),
                arguments("z", 36, 35L),
                arguments("abc", 10, 0L),
                arguments("", 10, 0L),
                arguments("12", 1, 0L),
                arguments("9223372036854775808", 10, Long.MAX_VALUE),
                arguments("-9223372036854775809", 10, Long.MIN_VALUE));
    }

    @ParameterizedTest(name = "\"{0}\" base {1}")
    @MethodSource("signedTexts")
    void strtoimaxReadsLikeC(String text, int base, long expected) {
        assertEquals(expected, IoLinkLibJava.strtoimax(text, base));
    }

    static Stream<Arguments> unsignedTexts() {
        return Stream.of(
                arguments("18446744073709551615", 10, "18446744073709551615"),
                arguments("9223372036854775808", 10, "9223372036854775808"),
                arguments("ffffffffffffffff", 16, "18446744073709551615"),
                arguments("0", 10, "0"),
                arguments("ff", 16, "255"),
                arguments("18446744073709551616", 10, "18446744073709551615"),
                arguments("-1", 10, "18446744073709551615"));
    }

    @ParameterizedTest(name = "\"{0}\" base {1}")
    @MethodSource("unsignedTexts")
    void strtoumaxGivesANonNegativeBigInteger(String text, int base, String expected) {
        assertEquals(new BigInteger(expected), IoLinkLibJava.strtoumax(text, base));
    }

    @Test
    void strtoumaxOfTheLargestValueIsTwoToTheSixtyFourMinusOne() {
        assertEquals(BigInteger.TWO.pow(64).subtract(BigInteger.ONE),
                IoLinkLibJava.strtoumax("18446744073709551615", 0, 10));
    }

    @Test
    void theEndPointerIsNeverWrittenThrough() {
        // A write through an address like this one would bring the JVM down.
        long bogusAddress = 16;
        assertEquals(123, IoLinkLibJava.strtoimax("123", bogusAddress, 10));
        assertEquals(BigInteger.valueOf(123), IoLinkLibJava.strtoumax("123", bogusAddress, 10));
    }

    static Stream<Named<Executable>> nullTexts() {
        return Stream.of(
                Named.of("strtoimax", () -> IoLinkLibJava.strtoimax(null, 0, 10)),
                Named.of("strtoumax", () -> IoLinkLibJava.strtoumax(null, 0, 10)));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("nullTexts")
    void nullTextRaisesNullPointerException(Executable parse) {
        NullPointerException e = assertThrows(NullPointerException.class, parse);
        assertEquals("null string", e.getMessage());
    }
}
