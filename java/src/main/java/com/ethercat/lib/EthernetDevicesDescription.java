package com.ethercat.lib;

/**
 * One network adapter: the name to open it by and a description for people. Setters refuse
 * null with a NullPointerException.
 */
public class EthernetDevicesDescription extends NativeObject {
    /** A new record with both texts empty. */
    public EthernetDevicesDescription() {
        super(CorvaneJavaJNI.new_EthernetDevicesDescription(), true,
                CorvaneJavaJNI::delete_EthernetDevicesDescription);
    }


    /** A view of an element of {@code vector}. */
    EthernetDevicesDescription(long handle, EthernetDevicesDescriptionVector vector) {
        super(handle, vector);
    }

    public void setName(String value) {
        CorvaneJavaJNI.EthernetDevicesDescription_setName(handle(), this, value);
    }

    public String getName() {
        return CorvaneJavaJNI.EthernetDevicesDescription_getName(handle(), this);
    }

    public void setDescription(String value) {
        CorvaneJavaJNI.EthernetDevicesDescription_setDescription(handle(), this, value);
    }

    public String getDescription() {
        return CorvaneJavaJNI.EthernetDevicesDescription_getDescription(handle(), this);
    }
}
