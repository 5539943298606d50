package com.tavelin.iolink.lib;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.params.provider.Arguments.arguments;

import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

class ShortVectorTest {

    private static short[] contents(ShortVector vector) {
        short[] elements = new short[(int) vector.size()];
        for (int i = 0; i < elements.length; i++) {
            elements[i] = vector.get(i);
        }
        return elements;
    }

    private static ShortVector oneTwoThree() {
        ShortVector vector = new ShortVector();
        for (short x = 1; x <= 3; x++) {
            vector.add(x);
        }
        return vector;
    }

    @ParameterizedTest(name = "{0} is stored as {1}")
    @CsvSource({"0, 0", "255, 255", "256, 0", "300, 44", "-1, 255", "-256, 0", "32767, 255", "-32768, 0"})
    void addAndSetKeepTheLowEightBits(short given, short stored) {
        try (ShortVector vector = new ShortVector()) {
            vector.add(given);
            assertEquals(stored, vector.get(0));
            vector.set(0, (short) 7);
            vector.set(0, given);
            assertEquals(stored, vector.get(0));
        }
    }

    @ParameterizedTest(name = "position {0}")
    @ValueSource(ints = {-1, 3, 4, Integer.MIN_VALUE, Integer.MAX_VALUE})
    void positionsOutsideTheElementsRaiseAndChangeNothing(int position) {
        try (ShortVector vector = oneTwoThree()) {
            IndexOutOfBoundsException get = assertThrows(IndexOutOfBoundsException.class, () -> vector.get(position));
            assertEquals("vector index out of range", get.getMessage());
            IndexOutOfBoundsException set =
                    assertThrows(IndexOutOfBoundsException.class, () -> vector.set(position, (short) 9));
            assertEquals("vector index out of range", set.getMessage());
            assertArrayEquals(new short[] {1, 2, 3}, contents(vector));
        }
    }

    @Test
    void lastPositionIsInside() {
        try (ShortVector vector = oneTwoThree()) {
            assertEquals(3, vector.get((int) vector.size() - 1));
        }
    }

    @Test
    void sizedVectorHoldsZeros() {
        try (ShortVector vector = new ShortVector(4)) {
            assertFalse(vector.isEmpty());
            assertArrayEquals(new short[4], contents(vector));
        }
    }

    @Test
    void reserveGrowsNeverShrinksAndClearKeepsTheRoom() {
        try (ShortVector vector = new ShortVector()) {
            assertTrue(vector.isEmpty());
            vector.reserve(100);
            long reserved = vector.capacity();
            assertTrue(reserved >= 100);
            vector.reserve(10);
            assertEquals(reserved, vector.capacity());
            assertEquals(0, vector.size());

            vector.add((short) 1);
            vector.clear();
            assertTrue(vector.isEmpty());
            assertEquals(reserved, vector.capacity());
        }
    }

    static Stream<Arguments> impossibleCounts() {
        return Stream.of(
                arguments(-1L, IllegalArgumentException.class),
                arguments(Long.MIN_VALUE, IllegalArgumentException.class),
                arguments(Integer.MAX_VALUE + 1L, OutOfMemoryError.class),
                arguments(Long.MAX_VALUE, OutOfMemoryError.class));
    }

    @ParameterizedTest(name = "{0} elements")
    @MethodSource("impossibleCounts")
    void impossibleCountsRaiseInsteadOfAllocating(long n, Class<? extends Throwable> raised) {
        assertThrows(raised, () -> new ShortVector(n));
        try (ShortVector vector = oneTwoThree()) {
            long capacity = vector.capacity();
            assertThrows(raised, () -> vector.reserve(n));
            assertEquals(capacity, vector.capacity());
            assertArrayEquals(new short[] {1, 2, 3}, contents(vector));
        }
    }
}
