package com.ethercat.lib;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.concurrent.atomic.AtomicInteger;
import java.util.function.LongConsumer;
import org.junit.jupiter.api.Test;

/** The ownership rules every proxy relies on, checked with a fake handle and a counting delete. */
class NativeObjectTest {
    private static final long FAKE_HANDLE = 0x1234;

    private static final class Probe extends NativeObject {
        Probe(long handle, boolean ownsHandle, LongConsumer deleter) {
            super(handle, ownsHandle, deleter);
        }

        Probe(long handle, NativeObject owner) {
            super(handle, owner);
        }

        long use() {
            return handle();
        }
    }

    private static final class CountingDelete implements LongConsumer {
        final AtomicInteger calls = new AtomicInteger();
        volatile long lastHandle;

        @Override
        public void accept(long handle) {
            lastHandle = handle;
            calls.incrementAndGet();
        }
    }

    @Test
    void closeFreesAnOwnedHandleExactlyOnce() {
        CountingDelete delete = new CountingDelete();
        Probe probe = new Probe(FAKE_HANDLE, true, delete);
        assertEquals(FAKE_HANDLE, probe.use());

        probe.close();
        probe.close();

        assertEquals(1, delete.calls.get());
        assertEquals(FAKE_HANDLE, delete.lastHandle);
        assertTrue(probe.isClosed());
        IllegalStateException error = assertThrows(IllegalStateException.class, probe::use);
        assertEquals("Probe is closed", error.getMessage());
    }

    @Test
    void aHandleThatIsNotOwnedIsNeverFreed() {
        CountingDelete delete = new CountingDelete();
        Probe probe = new Probe(FAKE_HANDLE, false, delete);
        assertFalse(probe.ownsHandle());
        probe.close();
        assertEquals(0, delete.calls.get());
    }

    @Test
    void anUnreachableOwnerIsFreedByTheCleaner() throws InterruptedException {
        CountingDelete delete = new CountingDelete();
        createAndDrop(delete);
        for (int attempt = 0; attempt < 200 && delete.calls.get() == 0; attempt++) {
            System.gc();
            Thread.sleep(20);
        }
        assertEquals(1, delete.calls.get(), "the cleaner never ran: its action keeps the proxy alive");
        assertEquals(FAKE_HANDLE, delete.lastHandle);
    }

    private static void createAndDrop(CountingDelete delete) {
        new Probe(FAKE_HANDLE, true, delete).use();
    }

    @Test
    void aViewIsRefusedOnceItsOwnerChangedOrClosed() {
        CountingDelete delete = new CountingDelete();
        Probe owner = new Probe(FAKE_HANDLE, true, delete);
        Probe view = new Probe(FAKE_HANDLE + 8, owner);
        assertEquals(FAKE_HANDLE + 8, view.use());

        owner.invalidateViews();
        assertThrows(IllegalStateException.class, view::use);

        Probe freshView = new Probe(FAKE_HANDLE + 8, owner);
        assertEquals(FAKE_HANDLE + 8, freshView.use());
        owner.close();
        assertThrows(IllegalStateException.class, freshView::use);

        freshView.close();
        assertEquals(1, delete.calls.get(), "closing a view must not free anything");
    }

    @Test
    void nullArgumentsPassAsHandleZeroAndClosedOnesAreRefused() {
        assertEquals(0, NativeObject.handleOf(null));
        Probe probe = new Probe(FAKE_HANDLE, false, handle -> { });
        assertEquals(FAKE_HANDLE, NativeObject.handleOf(probe));
        probe.close();
        assertThrows(IllegalStateException.class, () -> NativeObject.handleOf(probe));
    }
}
