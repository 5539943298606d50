package com.ethercat.lib;

import java.lang.ref.Cleaner;
import java.util.function.LongConsumer;

/**
 * The native side of one proxy: its handle, whether this proxy owns it, and how to free it.
 *
 * <p>An owned handle is freed exactly once: by {@link #close()}, or by the cleaner once the proxy
 * has become unreachable without being closed. The cleaner's action holds only the handle and
 * the delete function, never the proxy, or the proxy could never become unreachable.
 *
 * <p>A view is a proxy for an element that lives inside a vector. It owns nothing, keeps its
 * vector reachable, and refuses to be used once the vector may have moved its elements.
 */
abstract class NativeObject implements AutoCloseable {
    private static final Cleaner CLEANER = Cleaner.create();

    private long handle;
    private final boolean ownsHandle;
    private final Cleaner.Cleanable release;
    private final NativeObject owner;
    private final long ownerLayout;
    private long layout;

    NativeObject(long handle, boolean ownsHandle, LongConsumer deleter) {
        this.handle = handle;
        this.ownsHandle = ownsHandle;
        this.release = ownsHandle && handle != 0 ? CLEANER.register(this, new Release(handle, deleter)) : null;
        this.owner = null;
        this.ownerLayout = 0;
    }

    /** A view of an element stored in {@code owner}. */
    NativeObject(long handle, NativeObject owner) {
        this.handle = handle;
        this.ownsHandle = false;
        this.release = null;
        this.owner = owner;
        this.ownerLayout = owner.layout;
    }

    /** The live handle; a closed proxy or a view of a changed vector is refused. */
    final long handle() {
        if (handle == 0) {
            throw new IllegalStateException(getClass().getSimpleName() + " is closed");
        }
        if (owner != null && (owner.handle == 0 || owner.layout != ownerLayout)) {
            throw new IllegalStateException(getClass().getSimpleName()
                    + " belongs to a vector that has been changed or closed since it was taken");
        }
        return handle;
    }

    /** The handle of an argument: 0 for null, which the native side reports in its own words. */
    static long handleOf(NativeObject object) {
        return object == null ? 0 : object.handle();
    }

    final boolean ownsHandle() {
        return ownsHandle;
    }

    final boolean isClosed() {
        return handle == 0;
    }

    /** Called by vectors before anything that may move or destroy their elements. */
    final void invalidateViews() {
        layout++;
    }

    /** Frees the native object if this proxy owns it; later calls do nothing. */
    @Override
    public void close() {
        handle = 0;
        if (release != null) {
            release.clean();
        }
    }

    private static final class Release implements Runnable {
        private final long handle;
        private final LongConsumer deleter;

        Release(long handle, LongConsumer deleter) {
            this.handle = handle;
            this.deleter = deleter;
        }

        @Override
        public void run() {
            deleter.accept(handle);
        }
    }
}
