package com.tavelin.iolink.lib;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.params.provider.Arguments.arguments;

import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class LogLevelsTest {

    static Stream<Arguments> levels() {
        return Stream.of(
                arguments("trace", IoLinkLibJava.trace, 0),
                arguments("debug", IoLinkLibJava.debug, 1),
                arguments("information", IoLinkLibJava.information, 2),
                arguments("warning", IoLinkLibJava.warning, 3),
                arguments("error", IoLinkLibJava.error, 4),
                arguments("critical", IoLinkLibJava.critical, 5),
                arguments("off", IoLinkLibJava.off, 6));
    }

    @ParameterizedTest(name = "{0} is {2}")
    @MethodSource("levels")
    void levelsAreNumberedZeroToSix(String name, int level, int expected) {
        assertEquals(expected, level);
    }
}
