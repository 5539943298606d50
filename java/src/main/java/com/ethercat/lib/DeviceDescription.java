package com.ethercat.lib;

/**
 * One EtherCAT device as the library describes it.
 *
 * <p>The device number and address are unsigned 16-bit and the vendor id unsigned 32-bit on the
 * native side: a setter keeps the low 16 or 32 bits of what it is given, and a getter gives the
 * stored value as a non-negative number. Text setters refuse null with a NullPointerException.
 */
public class DeviceDescription extends NativeObject {
    /** A new record with all numbers 0 and all texts empty. */
    public DeviceDescription() {
        super(CorvaneJavaJNI.new_DeviceDescription(), true, CorvaneJavaJNI::delete_DeviceDescription);
    }


    /** A view of an element of {@code vector}. */
    DeviceDescription(long handle, DeviceDescriptionVector vector) {
        super(handle, vector);
    }

    public void setDeviceNumber(int value) {
        CorvaneJavaJNI.DeviceDescription_setDeviceNumber(handle(), this, value);
    }

    public int getDeviceNumber() {
        return CorvaneJavaJNI.DeviceDescription_getDeviceNumber(handle(), this);
    }

    public void setDeviceAddress(int value) {
        CorvaneJavaJNI.DeviceDescription_setDeviceAddress(handle(), this, value);
    }

    public int getDeviceAddress() {
        return CorvaneJavaJNI.DeviceDescription_getDeviceAddress(handle(), this);
    }

    public void setVendorId(long value) {
        CorvaneJavaJNI.DeviceDescription_setVendorId(handle(), this, value);
    }

    public long getVendorId() {
        return CorvaneJavaJNI.DeviceDescription_getVendorId(handle(), this);
    }

    public void setName(String value) {
        CorvaneJavaJNI.DeviceDescription_setName(handle(), this, value);
    }

    public String getName() {
        return CorvaneJavaJNI.DeviceDescription_getName(handle(), this);
    }

    public void setFirmwareVersion(String value) {
        CorvaneJavaJNI.DeviceDescription_setFirmwareVersion(handle(), this, value);
    }

    public String getFirmwareVersion() {
        return CorvaneJavaJNI.DeviceDescription_getFirmwareVersion(handle(), this);
    }

    public void setUniqueId(String value) {
        CorvaneJavaJNI.DeviceDescription_setUniqueId(handle(), this, value);
    }

    public String getUniqueId() {
        return CorvaneJavaJNI.DeviceDescription_getUniqueId(handle(), this);
    }

    public void setSerialNumber(String value) {
        CorvaneJavaJNI.DeviceDescription_setSerialNumber(handle(), this, value);
    }

    public String getSerialNumber() {
        return CorvaneJavaJNI.DeviceDescription_getSerialNumber(handle(), this);
    }
}
