package com.tavelin.iolink.lib;

import java.lang.ref.Cleaner;
import java.util.function.LongConsumer;

/**
 * The native object behind one proxy: its address, and whether the proxy owns it.
 *
 * <p>An owned object is freed exactly once: by {@link #close()}, or by the cleaner once the proxy
 * is unreachable. The cleaning action holds only the address and the delete function, never the
 * proxy, or the proxy could never become unreachable.
 */
final class NativeHandle {
    private static final Cleaner CLEANER = Cleaner.create();

    private final Release release;
    private final Cleaner.Cleanable cleanable;

    private NativeHandle(Object proxy, long address, LongConsumer delete) {
        release = new Release(address, delete);
        cleanable = delete == null ? null : CLEANER.register(proxy, release);
    }

    /** Takes over an object that {@code delete} frees once {@code proxy} is done with it. */
    static NativeHandle owned(Object proxy, long address, LongConsumer delete) {
        return new NativeHandle(proxy, address, delete);
    }

    /** Refers to an object that someone else frees. */
    static NativeHandle borrowed(long address) {
        return new NativeHandle(null, address, null);
    }

    /** The address of the live object; a closed proxy must not reach native code. */
    long address() {
        long address = release.address();
        if (address == 0) {
            throw new IllegalStateException("the native object is closed");
        }
        return address;
    }

    /** The address, or 0 once closed. */
    long addressOrZero() {
        return release.address();
    }

    void close() {
        if (cleanable != null) {
            cleanable.clean();
        } else {
            release.run();
        }
    }

    private static final class Release implements Runnable {
        private final LongConsumer delete;
        private long address;

        Release(long address, LongConsumer delete) {
            this.address = address;
            this.delete = delete;
        }

        synchronized long address() {
            return address;
        }

        @Override
        public void run() {
            long freed;
            synchronized (this) {
                freed = address;
                address = 0;
            }
            if (freed != 0 && delete != null) {
                delete.accept(freed);
            }
        }
    }
}
