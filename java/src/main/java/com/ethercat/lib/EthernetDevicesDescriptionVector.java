package com.ethercat.lib;

/**
 * A growable array of adapter records.
 *
 * <p>{@link #add} and {@link #set} copy the record. {@link #get} gives a view of the element
 * inside this vector, not a copy: it sees later changes of that position and owns nothing.
 * A view can no longer be used once this vector is closed, cleared, reserved or grown, since
 * these may move its elements; take a fresh one with {@link #get} then.
 *
 * <p>Positions outside 0 to size - 1 raise IndexOutOfBoundsException and change nothing.
 */
public class EthernetDevicesDescriptionVector extends NativeObject {
    public EthernetDevicesDescriptionVector() {
        this(CorvaneJavaJNI.new_EthernetDevicesDescriptionVector__SWIG_0(), true);
    }

    /** A vector of {@code count} default elements; a negative count is refused. */
    public EthernetDevicesDescriptionVector(long count) {
        this(CorvaneJavaJNI.new_EthernetDevicesDescriptionVector__SWIG_1(count), true);
    }

    EthernetDevicesDescriptionVector(long handle, boolean ownsHandle) {
        super(handle, ownsHandle, CorvaneJavaJNI::delete_EthernetDevicesDescriptionVector);
    }

    public long size() {
        return CorvaneJavaJNI.EthernetDevicesDescriptionVector_size(handle(), this);
    }

    public long capacity() {
        return CorvaneJavaJNI.EthernetDevicesDescriptionVector_capacity(handle(), this);
    }

    /** Grows the capacity to at least {@code count}; a negative count is refused. */
    public void reserve(long count) {
        invalidateViews();
        CorvaneJavaJNI.EthernetDevicesDescriptionVector_reserve(handle(), this, count);
    }

    public boolean isEmpty() {
        return CorvaneJavaJNI.EthernetDevicesDescriptionVector_isEmpty(handle(), this);
    }

    public void clear() {
        invalidateViews();
        CorvaneJavaJNI.EthernetDevicesDescriptionVector_clear(handle(), this);
    }

    public void add(EthernetDevicesDescription value) {
        long valueHandle = handleOf(value);
        invalidateViews();
        CorvaneJavaJNI.EthernetDevicesDescriptionVector_add(handle(), this, valueHandle, value);
    }

    public EthernetDevicesDescription get(int position) {
        long element = CorvaneJavaJNI.EthernetDevicesDescriptionVector_get(handle(), this, position);
        return new EthernetDevicesDescription(element, this);
    }

    public void set(int position, EthernetDevicesDescription value) {
        CorvaneJavaJNI.EthernetDevicesDescriptionVector_set(handle(), this, position, handleOf(value), value);
    }
}
