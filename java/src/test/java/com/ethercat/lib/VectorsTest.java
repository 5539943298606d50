package com.ethercat.lib;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeFalse;

import java.util.ArrayList;
import java.util.List;
import java.util.function.LongFunction;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

/** The eleven operations every vector class offers, run against each of the seven classes. */
class VectorsTest {
    /**
     * One vector under test. Elements are named by a seed: {@link #append} and {@link #put}
     * store the element made from a seed, {@link #read} gives a comparable picture of an
     * element and {@link #expected} the picture of a seed's element.
     */
    abstract static class Subject implements AutoCloseable {
        abstract NativeObject vector();

        abstract long size();

        abstract long capacity();

        abstract void reserve(long count);

        abstract boolean isEmpty();

        abstract void clear();

        abstract void append(int seed);

        abstract void put(int position, int seed);

        abstract Object read(int position);

        abstract Object expected(int seed);

        abstract Object defaultElement();

        @Override
        public void close() {
            vector().close();
        }
    }

    record Kind(String name, LongFunction<Subject> create) {
        Subject empty() {
            return create.apply(0);
        }

        @Override
        public String toString() {
            return name;
        }
    }

    static final class Chars extends Subject {
        final CharVector v;

        Chars(long count) {
            v = new CharVector(count);
        }

        NativeObject vector() { return v; }
        long size() { return v.size(); }
        long capacity() { return v.capacity(); }
        void reserve(long count) { v.reserve(count); }
        boolean isEmpty() { return v.isEmpty(); }
        void clear() { v.clear(); }
        void append(int seed) { v.add((char) expected(seed)); }
        void put(int position, int seed) { v.set(position, (char) expected(seed)); }
        Object read(int position) { return v.get(position); }
        Object expected(int seed) { return (char) ('a' + seed); }
        Object defaultElement() { return (char) 0; }
    }

    static final class Shorts extends Subject {
        final ShortVector v;

        Shorts(long count) {
            v = new ShortVector(count);
        }

        NativeObject vector() { return v; }
        long size() { return v.size(); }
        long capacity() { return v.capacity(); }
        void reserve(long count) { v.reserve(count); }
        boolean isEmpty() { return v.isEmpty(); }
        void clear() { v.clear(); }
        void append(int seed) { v.add((short) expected(seed)); }
        void put(int position, int seed) { v.set(position, (short) expected(seed)); }
        Object read(int position) { return v.get(position); }
        Object expected(int seed) { return (short) (200 + seed); }
        Object defaultElement() { return (short) 0; }
    }

    static final class Ints extends Subject {
        final IntVector v;

        Ints(long count) {
            v = new IntVector(count);
        }

        NativeObject vector() { return v; }
        long size() { return v.size(); }
        long capacity() { return v.capacity(); }
        void reserve(long count) { v.reserve(count); }
        boolean isEmpty() { return v.isEmpty(); }
        void clear() { v.clear(); }
        void append(int seed) { v.add((int) expected(seed)); }
        void put(int position, int seed) { v.set(position, (int) expected(seed)); }
        Object read(int position) { return v.get(position); }
        Object expected(int seed) { return -100000 - seed; }
        Object defaultElement() { return 0; }
    }

    static final class Longs extends Subject {
        final LongVector v;

        Longs(long count) {
            v = new LongVector(count);
        }

        NativeObject vector() { return v; }
        long size() { return v.size(); }
        long capacity() { return v.capacity(); }
        void reserve(long count) { v.reserve(count); }
        boolean isEmpty() { return v.isEmpty(); }
        void clear() { v.clear(); }
        void append(int seed) { v.add((long) expected(seed)); }
        void put(int position, int seed) { v.set(position, (long) expected(seed)); }
        Object read(int position) { return v.get(position); }
        Object expected(int seed) { return 4000000000L + seed; }
        Object defaultElement() { return 0L; }
    }

    static final class Strings extends Subject {
        final StringVector v;

        Strings(long count) {
            v = new StringVector(count);
        }

        NativeObject vector() { return v; }
        long size() { return v.size(); }
        long capacity() { return v.capacity(); }
        void reserve(long count) { v.reserve(count); }
        boolean isEmpty() { return v.isEmpty(); }
        void clear() { v.clear(); }
        void append(int seed) { v.add((String) expected(seed)); }
        void put(int position, int seed) { v.set(position, (String) expected(seed)); }
        Object read(int position) { return v.get(position); }
        Object expected(int seed) { return "text \u00fc " + seed; }
        Object defaultElement() { return ""; }
    }

    static final class Devices extends Subject {
        final DeviceDescriptionVector v;

        Devices(long count) {
            v = new DeviceDescriptionVector(count);
        }

        static DeviceDescription record(int seed) {
            DeviceDescription device = new DeviceDescription();
            device.setDeviceNumber(seed);
            device.setName("device " + seed);
            return device;
        }

        NativeObject vector() { return v; }
        long size() { return v.size(); }
        long capacity() { return v.capacity(); }
        void reserve(long count) { v.reserve(count); }
        boolean isEmpty() { return v.isEmpty(); }
        void clear() { v.clear(); }

        void append(int seed) {
            try (DeviceDescription device = record(seed)) {
                v.add(device);
            }
        }

        void put(int position, int seed) {
            try (DeviceDescription device = record(seed)) {
                v.set(position, device);
            }
        }

        Object read(int position) {
            DeviceDescription device = v.get(position);
            return device.getDeviceNumber() + ":" + device.getName();
        }

        Object expected(int seed) { return seed + ":device " + seed; }
        Object defaultElement() { return "0:"; }
    }

    static final class Adapters extends Subject {
        final EthernetDevicesDescriptionVector v;

        Adapters(long count) {
            v = new EthernetDevicesDescriptionVector(count);
        }

        static EthernetDevicesDescription record(int seed) {
            EthernetDevicesDescription adapter = new EthernetDevicesDescription();
            adapter.setName("veth" + seed);
            adapter.setDescription("adapter " + seed);
            return adapter;
        }

        NativeObject vector() { return v; }
        long size() { return v.size(); }
        long capacity() { return v.capacity(); }
        void reserve(long count) { v.reserve(count); }
        boolean isEmpty() { return v.isEmpty(); }
        void clear() { v.clear(); }

        void append(int seed) {
            try (EthernetDevicesDescription adapter = record(seed)) {
                v.add(adapter);
            }
        }

        void put(int position, int seed) {
            try (EthernetDevicesDescription adapter = record(seed)) {
                v.set(position, adapter);
            }
        }

        Object read(int position) {
            EthernetDevicesDescription adapter = v.get(position);
            return adapter.getName() + "/" + adapter.getDescription();
        }

        Object expected(int seed) { return "veth" + seed + "/adapter " + seed; }
        Object defaultElement() { return "/"; }
    }

    static Stream<Kind> kinds() {
        return Stream.of(
                new Kind("CharVector", Chars::new),
                new Kind("ShortVector", Shorts::new),
                new Kind("IntVector", Ints::new),
                new Kind("LongVector", Longs::new),
                new Kind("StringVector", Strings::new),
                new Kind("DeviceDescriptionVector", Devices::new),
                new Kind("EthernetDevicesDescriptionVector", Adapters::new));
    }

    private static List<Object> contents(Subject subject) {
        List<Object> elements = new ArrayList<>();
        for (int i = 0; i < subject.size(); i++) {
            elements.add(subject.read(i));
        }
        return elements;
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("kinds")
    void emptyAndSizedConstruction(Kind kind) {
        try (Subject empty = kind.empty(); Subject sized = kind.create().apply(3)) {
            assertEquals(0, empty.size());
            assertTrue(empty.isEmpty());
            assertEquals(3, sized.size());
            assertFalse(sized.isEmpty());
            assertEquals(List.of(sized.defaultElement(), sized.defaultElement(), sized.defaultElement()),
                    contents(sized));
        }
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("kinds")
    void addSetReserveAndClear(Kind kind) {
        try (Subject subject = kind.empty()) {
            subject.append(1);
            subject.append(2);
            subject.append(3);
            assertEquals(List.of(subject.expected(1), subject.expected(2), subject.expected(3)),
                    contents(subject));

            subject.put(1, 7);
            assertEquals(List.of(subject.expected(1), subject.expected(7), subject.expected(3)),
                    contents(subject));

            subject.reserve(100);
            assertTrue(subject.capacity() >= 100);
            assertEquals(3, subject.size(), "reserve must not change the elements");
            assertEquals(subject.expected(3), subject.read(2));

            subject.clear();
            assertTrue(subject.isEmpty());
            assertEquals(0, subject.size());
        }
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("kinds")
    void positionsOutsideTheVectorAreRefusedAndChangeNothing(Kind kind) {
        try (Subject subject = kind.empty()) {
            subject.append(1);
            subject.append(2);
            List<Object> before = contents(subject);
            int size = (int) subject.size();

            for (int position : new int[] {-1, size, Integer.MIN_VALUE, Integer.MAX_VALUE}) {
                assertIndexRefused(() -> subject.read(position), kind + ".get(" + position + ")");
                assertIndexRefused(() -> subject.put(position, 9), kind + ".set(" + position + ")");
            }
            assertEquals(before, contents(subject));

            subject.put(size - 1, 9);
            assertEquals(subject.expected(9), subject.read(size - 1));
        }
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("kinds")
    void anEmptyVectorHasNoPositionZero(Kind kind) {
        try (Subject subject = kind.empty()) {
            assertIndexRefused(() -> subject.read(0), kind + ".get(0)");
            assertIndexRefused(() -> subject.put(0, 1), kind + ".set(0)");
        }
    }

    private static void assertIndexRefused(Executable call, String what) {
        IndexOutOfBoundsException error = assertThrows(IndexOutOfBoundsException.class, call, what);
        assertEquals("vector index out of range", error.getMessage(), what);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("kinds")
    void negativeCountsAreRefused(Kind kind) {
        IllegalArgumentException create = assertThrows(IllegalArgumentException.class,
                () -> kind.create().apply(-1));
        assertEquals("vector size must not be negative: -1", create.getMessage());

        try (Subject subject = kind.empty()) {
            subject.append(1);
            assertThrows(IllegalArgumentException.class, () -> subject.reserve(Long.MIN_VALUE));
            assertEquals(List.of(subject.expected(1)), contents(subject));
        }
    }

    /**
     * Counts no allocator can satisfy come back as Java errors, not as a crash. AddressSanitizer
     * aborts the process on a failed allocation whatever its options say, so there only the
     * counts above a vector's limit can be tried.
     */
    @ParameterizedTest(name = "{0}")
    @MethodSource("kinds")
    void impossibleCountsRaiseAJavaError(Kind kind) {
        assumeFalse(underAddressSanitizer(), "AddressSanitizer aborts on a failed allocation");
        Throwable create = assertThrows(Throwable.class, () -> kind.create().apply(Long.MAX_VALUE));
        assertTrue(create instanceof OutOfMemoryError || create instanceof RuntimeException, create.toString());

        try (Subject subject = kind.empty()) {
            subject.append(1);
            Throwable reserve = assertThrows(Throwable.class, () -> subject.reserve(Long.MAX_VALUE / 2));
            assertTrue(reserve instanceof OutOfMemoryError || reserve instanceof RuntimeException,
                    reserve.toString());
            assertEquals(List.of(subject.expected(1)), contents(subject));
        }
    }

    static boolean underAddressSanitizer() {
        return System.getenv().getOrDefault("LD_PRELOAD", "").contains("libasan");
    }

    @Test
    void countsAboveAVectorsLimitRaiseRuntimeException() {
        // Records are large enough that Long.MAX_VALUE of them exceeds what a vector can hold.
        RuntimeException create = assertThrows(RuntimeException.class,
                () -> new DeviceDescriptionVector(Long.MAX_VALUE));
        assertTrue(create.getMessage().contains("max_size"), create.getMessage());
        try (IntVector numbers = new IntVector()) {
            numbers.add(5);
            RuntimeException reserve = assertThrows(RuntimeException.class, () -> numbers.reserve(Long.MAX_VALUE));
            assertTrue(reserve.getMessage().contains("reserve"), reserve.getMessage());
            assertEquals(5, numbers.get(0));
        }
    }

    @Test
    void aFailedAllocationRaisesOutOfMemoryError() {
        assumeFalse(underAddressSanitizer(), "AddressSanitizer aborts on a failed allocation");
        // One byte per element: the count is within the limit, the allocation fails.
        OutOfMemoryError memory = assertThrows(OutOfMemoryError.class, () -> new CharVector(Long.MAX_VALUE));
        assertEquals("native allocation failed", memory.getMessage());
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("kinds")
    void closingTwiceFreesOnceAndAClosedVectorIsRefused(Kind kind) {
        Subject subject = kind.empty();
        subject.append(1);
        subject.close();
        subject.close();
        assertThrows(IllegalStateException.class, subject::size);
    }

    /** Given, read back. */
    @ParameterizedTest
    @CsvSource({"65, 65", "233, 65513", "127, 127", "128, 65408", "321, 65", "65535, 65535"})
    void charVectorKeepsTheLowByteAndSignExtendsIt(int given, int read) {
        try (CharVector bytes = new CharVector(1)) {
            bytes.set(0, (char) given);
            bytes.add((char) given);
            assertEquals((char) read, bytes.get(0));
            assertEquals((char) read, bytes.get(1));
        }
    }

    @ParameterizedTest
    @CsvSource({"233, 233", "255, 255", "256, 0", "263, 7", "-1, 255"})
    void shortVectorHoldsUnsignedBytes(short given, short read) {
        try (ShortVector bytes = new ShortVector(1)) {
            bytes.set(0, given);
            bytes.add(given);
            assertEquals(read, bytes.get(0));
            assertEquals(read, bytes.get(1));
        }
    }

    @ParameterizedTest
    @CsvSource({"4294967295, 4294967295", "4294967301, 5", "-1, 4294967295", "2147483648, 2147483648"})
    void longVectorHoldsUnsigned32Bit(long given, long read) {
        try (LongVector numbers = new LongVector()) {
            numbers.add(given);
            assertEquals(read, numbers.get(0));
        }
    }

    @ParameterizedTest
    @CsvSource({"-1", "-2147483648", "2147483647"})
    void intVectorKeepsTheSign(int value) {
        try (IntVector numbers = new IntVector()) {
            numbers.add(value);
            assertEquals(value, numbers.get(0));
        }
    }

    @Test
    void stringVectorRefusesNullAndKeepsItsContents() {
        try (StringVector texts = new StringVector()) {
            texts.add("kept");
            NullPointerException add = assertThrows(NullPointerException.class, () -> texts.add(null));
            NullPointerException set = assertThrows(NullPointerException.class, () -> texts.set(0, null));
            assertEquals("null string", add.getMessage());
            assertEquals("null string", set.getMessage());
            assertEquals(1, texts.size());
            assertEquals("kept", texts.get(0));
            // The position is tested first.
            assertIndexRefused(() -> texts.set(5, null), "set(5, null)");
        }
    }

    @Test
    void recordVectorsRefuseNullRecordsWithTheirOwnText() {
        try (DeviceDescriptionVector devices = new DeviceDescriptionVector(1);
                EthernetDevicesDescriptionVector adapters = new EthernetDevicesDescriptionVector(1)) {
            String deviceText = "std::vector< DeviceDescription >::value_type const & reference is null";
            String adapterText = "std::vector< EthernetDevicesDescription >::value_type const & reference is null";
            assertEquals(deviceText, assertThrows(NullPointerException.class, () -> devices.add(null)).getMessage());
            assertEquals(deviceText,
                    assertThrows(NullPointerException.class, () -> devices.set(0, null)).getMessage());
            assertEquals(adapterText, assertThrows(NullPointerException.class, () -> adapters.add(null)).getMessage());
            assertEquals(adapterText,
                    assertThrows(NullPointerException.class, () -> adapters.set(0, null)).getMessage());
            assertEquals(1, devices.size());
            assertEquals(1, adapters.size());
            assertIndexRefused(() -> devices.set(-1, null), "set(-1, null)");
        }
    }

    @Test
    void aRecordTakenFromAVectorIsAViewOfItsPosition() {
        try (DeviceDescriptionVector devices = new DeviceDescriptionVector();
                DeviceDescription original = Devices.record(1)) {
            devices.add(original);
            original.setName("changed after add");

            DeviceDescription view = devices.get(0);
            assertFalse(view.ownsHandle());
            assertEquals("device 1", view.getName(), "add must copy the record");

            try (DeviceDescription replacement = Devices.record(2)) {
                devices.set(0, replacement);
            }
            assertEquals("device 2", view.getName(), "the view must see a later set");

            view.setVendorId(0xCAFE);
            assertEquals(0xCAFE, devices.get(0).getVendorId(), "writing through the view changes the vector");

            view.close();
            assertEquals(0xCAFE, devices.get(0).getVendorId(), "closing a view must not free the element");
        }
    }

    @Test
    void aViewIsRefusedOnceItsVectorMayHaveMovedItsElements() {
        EthernetDevicesDescriptionVector adapters = new EthernetDevicesDescriptionVector(1);
        EthernetDevicesDescription view = adapters.get(0);
        adapters.set(0, view);  // setting an element to itself leaves the view usable
        assertEquals("", view.getName());

        adapters.add(view);  // a view may be copied into its own vector
        assertThrows(IllegalStateException.class, view::getName);
        assertEquals(2, adapters.size());

        EthernetDevicesDescription fresh = adapters.get(1);
        adapters.reserve(1000);
        assertThrows(IllegalStateException.class, fresh::getName);

        EthernetDevicesDescription last = adapters.get(1);
        adapters.clear();
        assertThrows(IllegalStateException.class, last::getName);

        try (EthernetDevicesDescription adapter = Adapters.record(4)) {
            adapters.add(adapter);
        }
        EthernetDevicesDescription beforeClose = adapters.get(0);
        adapters.close();
        assertThrows(IllegalStateException.class, beforeClose::getName);
    }

    @Test
    void aViewKeepsItsVectorAlive() throws InterruptedException {
        DeviceDescription view = viewOfAnUnreferencedVector();
        for (int i = 0; i < 5; i++) {
            System.gc();
            Thread.sleep(10);
        }
        assertEquals("device 3", view.getName());
        assertNotEquals(0, view.handle());
    }

    private static DeviceDescription viewOfAnUnreferencedVector() {
        DeviceDescriptionVector devices = new DeviceDescriptionVector();
        try (DeviceDescription device = Devices.record(3)) {
            devices.add(device);
        }
        return devices.get(0);
    }
}
