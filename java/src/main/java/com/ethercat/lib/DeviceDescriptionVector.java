package com.ethercat.lib;

/**
 * A growable array of device records.
 *
 * <p>{@link #add} and {@link #set} copy the record. {@link #get} gives a view of the element
 * inside this vector, not a copy: it sees later changes of that position and owns nothing.
 * A view can no longer be used once this vector is closed, cleared, reserved or grown, since
 * these may move its elements; take a fresh one with {@link #get} then.
 *
 * <p>Positions outside 0 to size - 1 raise IndexOutOfBoundsException and change nothing.
 */
public class DeviceDescriptionVector extends NativeObject {
    public DeviceDescriptionVector() {
        this(CorvaneJavaJNI.new_DeviceDescriptionVector__SWIG_0(), true);
    }

    /** A vector of {@code count} default elements; a negative count is refused. */
    public DeviceDescriptionVector(long count) {
        this(CorvaneJavaJNI.new_DeviceDescriptionVector__SWIG_1(count), true);
    }

    DeviceDescriptionVector(long handle, boolean ownsHandle) {
        super(handle, ownsHandle, CorvaneJavaJNI::delete_DeviceDescriptionVector);
    }

    public long size() {
        return CorvaneJavaJNI.DeviceDescriptionVector_size(handle(), this);
    }

    public long capacity() {
        return CorvaneJavaJNI.DeviceDescriptionVector_capacity(handle(), this);
    }

    /** Grows the capacity to at least {@code count}; a negative count is refused. */
    public void reserve(long count) {
        invalidateViews();
        CorvaneJavaJNI.DeviceDescriptionVector_reserve(handle(), this, count);
    }

    public boolean isEmpty() {
        return CorvaneJavaJNI.DeviceDescriptionVector_isEmpty(handle(), this);
    }

    public void clear() {
        invalidateViews();
        CorvaneJavaJNI.DeviceDescriptionVector_clear(handle(), this);
    }

    public void add(DeviceDescription value) {
        long valueHandle = handleOf(value);
        invalidateViews();
        CorvaneJavaJNI.DeviceDescriptionVector_add(handle(), this, valueHandle, value);
    }

    public DeviceDescription get(int position) {
        long element = CorvaneJavaJNI.DeviceDescriptionVector_get(handle(), this, position);
        return new DeviceDescription(element, this);
    }

    public void set(int position, DeviceDescription value) {
        CorvaneJavaJNI.DeviceDescriptionVector_set(handle(), this, position, handleOf(value), value);
    }
}
