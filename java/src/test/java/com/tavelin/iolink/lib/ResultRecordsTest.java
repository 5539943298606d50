package com.tavelin.iolink.lib;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.params.provider.Arguments.arguments;

import java.util.stream.Stream;
import org.junit.jupiter.api.Named;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class ResultRecordsTest {

    static Stream<Arguments> framing() {
        return Stream.of(
                arguments(true, "abc", "abc\nEOM\n"),
                arguments(false, "abc", "error:abc\nEOM\n"),
                arguments(true, "", "\nEOM\n"),
                arguments(false, "", "error:\nEOM\n"),
                // Non-ASCII text, a supplementary character included, survives the round trip.
                arguments(false, "Grüße € \uD83D\uDE00", "error:Grüße € \uD83D\uDE00\nEOM\n"));
    }

    @ParameterizedTest(name = "{0} \"{1}\"")
    @MethodSource("framing")
    void everyRecordFramesItsMessage(boolean ok, String message, String framed) {
        try (Result plain = new Result(ok, message);
                ResultLong withLong = new ResultLong(ok, message, 1);
                ResultString withString = new ResultString(ok, message, "v")) {
            for (Result result : new Result[] {plain, withLong, withString}) {
                assertEquals(ok, result.getResult());
                assertEquals(message, result.getMessage());
                assertEquals(framed, result.getMessageWithEom());
            }
        }
    }

    @Test
    void resultLongKeepsItsValue() {
        try (ResultLong withValue = new ResultLong(true, "success", -5);
                ResultLong withoutValue = new ResultLong(false, "timeout")) {
            assertEquals(-5, withValue.getLong());
            withValue.setLong(Integer.MIN_VALUE);
            assertEquals(Integer.MIN_VALUE, withValue.getLong());
            assertEquals(0, withoutValue.getLong());
            assertEquals("timeout", withoutValue.getMessage());
        }
    }

    @Test
    void resultStringKeepsItsValue() {
        try (ResultString withValue = new ResultString(true, "success", "device");
                ResultString withoutValue = new ResultString(false, "timeout")) {
            assertEquals("device", withValue.getString());
            withValue.setString("other");
            assertEquals("other", withValue.getString());
            assertEquals("", withoutValue.getString());

            NullPointerException e = assertThrows(NullPointerException.class, () -> withValue.setString(null));
            assertEquals("null string", e.getMessage());
            assertEquals("other", withValue.getString());
        }
    }

    @Test
    void derivedRecordsAreTheirOwnResultPart() {
        try (ResultLong withLong = new ResultLong(true, "m", 1);
                ResultString withString = new ResultString(true, "m", "v")) {
            assertEquals(withLong.handle(), withLong.resultHandle());
            assertEquals(withLong.handle(), IoLinkLibJavaJNI.ResultLong_SWIGUpcast(withLong.handle()));
            assertEquals(withString.handle(), withString.resultHandle());
            assertEquals(withString.handle(), IoLinkLibJavaJNI.ResultString_SWIGUpcast(withString.handle()));
        }
    }

    static Stream<Named<Executable>> nullStrings() {
        return Stream.of(
                Named.of("Result message", () -> new Result(true, null)),
                Named.of("ResultLong message, with value", () -> new ResultLong(true, null, 1)),
                Named.of("ResultLong message", () -> new ResultLong(true, null)),
                Named.of("ResultString message", () -> new ResultString(true, null)),
                Named.of("ResultString message before value", () -> new ResultString(true, null, "v")),
                Named.of("ResultString value after message", () -> new ResultString(true, "m", null)),
                Named.of("ResultString message and value", () -> new ResultString(false, null, null)));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("nullStrings")
    void nullStringsRaiseNullPointerException(Executable construct) {
        NullPointerException e = assertThrows(NullPointerException.class, construct);
        assertEquals("null string", e.getMessage());
    }
}
