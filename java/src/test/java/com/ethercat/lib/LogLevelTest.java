package com.ethercat.lib;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

class LogLevelTest {
    @Test
    void theLevelsAreNumberedFromOffToError() {
        LogLevel[] inOrder = {LogLevel.Off, LogLevel.Trace, LogLevel.Debug, LogLevel.Info, LogLevel.Warn,
            LogLevel.Error};
        assertArrayEquals(inOrder, LogLevel.values());
        for (int value = 0; value < inOrder.length; value++) {
            assertEquals(value, inOrder[value].value());
            assertEquals(inOrder[value], LogLevel.fromValue(value));
        }
    }

    @ParameterizedTest
    @ValueSource(ints = {-1, 6, Integer.MAX_VALUE})
    void numbersThatAreNoLevelAreRefused(int value) {
        assertThrows(IllegalArgumentException.class, () -> LogLevel.fromValue(value));
    }
}
