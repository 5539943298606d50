package com.tavelin.iolink.lib;

import static org.junit.jupiter.api.Assertions.assertDoesNotThrow;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.lang.ref.WeakReference;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import java.util.function.Consumer;
import java.util.function.LongConsumer;
import java.util.function.Supplier;
import java.util.function.ToLongFunction;
import java.util.stream.Stream;
import org.junit.jupiter.api.Named;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;

class ProxyLifecycleTest {

    /** How to make one kind of proxy, call it, and read its native address. */
    record Kind<T extends AutoCloseable>(Supplier<T> create, Consumer<T> use, ToLongFunction<T> handle) {}

    static Stream<Named<Kind<?>>> kinds() {
        return Stream.of(
                Named.of("Result", new Kind<Result>(() -> new Result(true, "m"), Result::getMessage, Result::resultHandle)),
                Named.of("ResultLong", new Kind<ResultLong>(() -> new ResultLong(true, "m", 1), ResultLong::getLong,
                        ResultLong::handle)),
                Named.of("ResultLong without value", new Kind<ResultLong>(() -> new ResultLong(false, "m"),
                        ResultLong::getMessage, ResultLong::handle)),
                Named.of("ResultString", new Kind<ResultString>(() -> new ResultString(true, "m", "v"),
                        ResultString::getString, ResultString::handle)),
                Named.of("ResultString without value", new Kind<ResultString>(() -> new ResultString(true, "m"),
                        ResultString::getResult, ResultString::handle)),
                Named.of("ShortVector", new Kind<ShortVector>(ShortVector::new, v -> v.add((short) 1),
                        ShortVector::handle)),
                Named.of("ShortVector sized", new Kind<ShortVector>(() -> new ShortVector(8), ShortVector::size,
                        ShortVector::handle)),
                Named.of("imaxdiv_t", new Kind<imaxdiv_t>(imaxdiv_t::new, imaxdiv_t::getQuot, imaxdiv_t::handle)),
                Named.of("imaxdiv_t from imaxdiv", new Kind<imaxdiv_t>(() -> IoLinkLibJava.imaxdiv(9, 4),
                        imaxdiv_t::getRem, imaxdiv_t::handle)));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("kinds")
    void closingTwiceIsHarmlessAndAClosedProxyRefusesCalls(Kind<?> kind) throws Exception {
        closeTwice(kind);
    }

    private static <T extends AutoCloseable> void closeTwice(Kind<T> kind) throws Exception {
        T proxy = kind.create().get();
        assertNotEquals(0, kind.handle().applyAsLong(proxy));
        kind.use().accept(proxy);
        proxy.close();
        proxy.close();
        assertEquals(0, kind.handle().applyAsLong(proxy));
        assertThrows(IllegalStateException.class, () -> kind.use().accept(proxy));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("kinds")
    void anUnreachableProxyIsCollected(Kind<?> kind) throws InterruptedException {
        // Collection proves that the cleaning action does not hold on to the proxy; the native
        // delete then runs on the cleaner's thread.
        WeakReference<?> reference = new WeakReference<>(kind.create().get());
        for (int attempt = 0; attempt < 200 && reference.get() != null; attempt++) {
            System.gc();
            Thread.sleep(20);
        }
        assertNull(reference.get());
    }

    static Stream<Named<LongConsumer>> deleters() {
        return Stream.of(
                Named.of("delete_Result", IoLinkLibJavaJNI::delete_Result),
                Named.of("delete_ResultLong", IoLinkLibJavaJNI::delete_ResultLong),
                Named.of("delete_ResultString", IoLinkLibJavaJNI::delete_ResultString),
                Named.of("delete_ShortVector", IoLinkLibJavaJNI::delete_ShortVector),
                Named.of("delete_imaxdiv_t", IoLinkLibJavaJNI::delete_imaxdiv_t));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("deleters")
    void deletingHandleZeroDoesNothing(LongConsumer delete) {
        assertDoesNotThrow(() -> delete.accept(0));
    }

    @Test
    void anOwnedHandleIsFreedOnceHoweverOftenItIsClosed() {
        List<Long> freed = new ArrayList<>();
        NativeHandle handle = NativeHandle.owned(new Object(), 42, freed::add);
        handle.close();
        handle.close();
        assertEquals(List.of(42L), freed);
        assertThrows(IllegalStateException.class, handle::address);
    }

    @Test
    void theCleanerFreesTheHandleOfAnUnreachableOwner() throws InterruptedException {
        CountDownLatch freed = new CountDownLatch(1);
        List<Long> addresses = new ArrayList<>();
        NativeHandle.owned(new Object(), 7, address -> {
            synchronized (addresses) {
                addresses.add(address);
            }
            freed.countDown();
        });
        for (int attempt = 0; attempt < 200 && freed.getCount() > 0; attempt++) {
            System.gc();
            freed.await(20, TimeUnit.MILLISECONDS);
        }
        synchronized (addresses) {
            assertEquals(List.of(7L), addresses);
        }
    }

    @Test
    void aBorrowedHandleIsNeverFreed() {
        NativeHandle handle = NativeHandle.borrowed(42);
        assertEquals(42, handle.address());
        handle.close();
        assertEquals(0, handle.addressOrZero());
    }
}
