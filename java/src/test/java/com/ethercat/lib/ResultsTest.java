package com.ethercat.lib;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.function.Supplier;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class ResultsTest {
    static Stream<Arguments> framing() {
        return Stream.of(
                Arguments.of(true, "x", "x\nEOM\n"),
                Arguments.of(false, "x", "error:x\nEOM\n"),
                Arguments.of(true, "", "\nEOM\n"),
                Arguments.of(false, "", "error:\nEOM\n"),
                Arguments.of(false, "line 1\nline 2", "error:line 1\nline 2\nEOM\n"));
    }

    @ParameterizedTest
    @MethodSource("framing")
    void messageFraming(boolean success, String message, String framed) {
        try (Result result = new Result(success, message)) {
            assertEquals(success, result.GetResult());
            assertEquals(message, result.GetMessage());
            assertEquals(framed, result.GetMessageWithEom());
        }
    }

    /** Every kind of result, built with a failure flag and the message "m". */
    static Stream<Arguments> everyKind() {
        return Stream.of(
                kind("Result", () -> new Result(false, "m")),
                kind("ResultInt", () -> new ResultInt(false, "m", 1)),
                kind("ResultLong", () -> new ResultLong(false, "m", 1)),
                kind("ResultLongArray", () -> {
                    try (LongVector values = new LongVector()) {
                        return new ResultLongArray(false, "m", values);
                    }
                }),
                kind("ResultCharArray", () -> {
                    try (CharVector values = new CharVector()) {
                        return new ResultCharArray(false, "m", values);
                    }
                }));
    }

    private static Arguments kind(String name, Supplier<Result> create) {
        return Arguments.of(name, create);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("everyKind")
    void theResultPartIsTheSameObjectAndFreedOnce(String name, Supplier<Result> create) {
        Result result = create.get();
        assertEquals(result.handle(), result.resultHandle(), "the Result part lies at the object's start");
        assertFalse(result.GetResult());
        assertEquals("m", result.GetMessage());
        assertEquals("error:m\nEOM\n", result.GetMessageWithEom());
        result.close();
        result.close();
        assertThrows(IllegalStateException.class, result::GetMessage);
    }

    @Test
    void upcastExportsReturnTheSameHandle() {
        try (ResultInt i = new ResultInt(true, "", 0);
                ResultLong l = new ResultLong(true, "", 0);
                LongVector numbers = new LongVector();
                ResultLongArray la = new ResultLongArray(true, "", numbers);
                CharVector bytes = new CharVector();
                ResultCharArray ca = new ResultCharArray(true, "", bytes)) {
            assertEquals(i.handle(), CorvaneJavaJNI.ResultInt_SWIGUpcast(i.handle()));
            assertEquals(l.handle(), CorvaneJavaJNI.ResultLong_SWIGUpcast(l.handle()));
            assertEquals(la.handle(), CorvaneJavaJNI.ResultLongArray_SWIGUpcast(la.handle()));
            assertEquals(ca.handle(), CorvaneJavaJNI.ResultCharArray_SWIGUpcast(ca.handle()));
        }
    }

    @Test
    void resultIntAndResultLongCarrySigned32BitValues() {
        try (ResultInt i = new ResultInt(true, "ok", Integer.MIN_VALUE);
                ResultLong l = new ResultLong(true, "ok", 7)) {
            assertEquals(Integer.MIN_VALUE, i.getInt());
            assertEquals(7, l.getLong());
            l.setLong(-5);
            assertEquals(-5, l.getLong());
            assertTrue(l.GetResult());
        }
    }

    @Test
    void resultLongArrayCopiesItsNumbersInAndOut() {
        try (LongVector numbers = new LongVector()) {
            numbers.add(1);
            numbers.add(4294967295L);
            try (ResultLongArray result = new ResultLongArray(true, "read", numbers)) {
                numbers.set(0, 99);
                try (LongVector copy = result.getLongArray()) {
                    assertEquals(2, copy.size());
                    assertEquals(1, copy.get(0), "the constructor must copy, not keep the caller's vector");
                    assertEquals(4294967295L, copy.get(1));
                    copy.set(0, 55);
                }
                try (LongVector again = result.getLongArray()) {
                    assertEquals(1, again.get(0), "getLongArray must hand out a copy");
                }

                result.setLongArray(numbers);
                numbers.clear();
                try (LongVector replaced = result.getLongArray()) {
                    assertEquals(2, replaced.size());
                    assertEquals(99, replaced.get(0));
                }
            }
        }
    }

    @Test
    void resultCharArrayCopiesItsBytesInAndOut() {
        try (CharVector bytes = new CharVector()) {
            bytes.add('A');
            bytes.add((char) 0xE9);
            try (ResultCharArray result = new ResultCharArray(false, "partial", bytes)) {
                bytes.set(0, 'Z');
                try (CharVector copy = result.getCharArray()) {
                    assertEquals(2, copy.size());
                    assertEquals('A', copy.get(0));
                    assertEquals((char) 0xFFE9, copy.get(1));
                }
                result.setCharArray(bytes);
                bytes.clear();
                try (CharVector replaced = result.getCharArray()) {
                    assertEquals(2, replaced.size());
                    assertEquals('Z', replaced.get(0));
                }
            }
        }
    }

    static Stream<Arguments> nullArguments() {
        String longVectorText = "Attempt to dereference null std::vector< uint32_t >";
        String charVectorText = "Attempt to dereference null std::vector< char >";
        // The message is tested before the vector, so both null gives "null string".
        return Stream.of(
                refused("Result message", () -> new Result(true, null), "null string"),
                refused("ResultInt message", () -> new ResultInt(true, null, 1), "null string"),
                refused("ResultLong message", () -> new ResultLong(true, null, 1), "null string"),
                refused("ResultLongArray message and vector",
                        () -> new ResultLongArray(true, null, null), "null string"),
                refused("ResultLongArray vector", () -> new ResultLongArray(true, "m", null), longVectorText),
                refused("ResultCharArray message and vector",
                        () -> new ResultCharArray(true, null, null), "null string"),
                refused("ResultCharArray vector", () -> new ResultCharArray(true, "m", null), charVectorText),
                refused("setLongArray", () -> {
                    try (LongVector numbers = new LongVector();
                            ResultLongArray result = new ResultLongArray(true, "m", numbers)) {
                        result.setLongArray(null);
                    }
                }, longVectorText),
                refused("setCharArray", () -> {
                    try (CharVector bytes = new CharVector();
                            ResultCharArray result = new ResultCharArray(true, "m", bytes)) {
                        result.setCharArray(null);
                    }
                }, charVectorText));
    }

    private static Arguments refused(String name, Executable call, String text) {
        return Arguments.of(name, call, text);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("nullArguments")
    void nullArgumentsRaiseTheirOwnText(String name, Executable call, String text) {
        NullPointerException error = assertThrows(NullPointerException.class, call);
        assertEquals(text, error.getMessage());
    }

    @Test
    void aRefusedArrayKeepsItsNumbers() {
        try (LongVector numbers = new LongVector()) {
            numbers.add(3);
            try (ResultLongArray result = new ResultLongArray(true, "m", numbers)) {
                assertThrows(NullPointerException.class, () -> result.setLongArray(null));
                try (LongVector kept = result.getLongArray()) {
                    assertEquals(3, kept.get(0));
                }
            }
        }
    }
}
