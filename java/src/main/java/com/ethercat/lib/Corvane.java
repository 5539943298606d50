package com.ethercat.lib;

import java.util.Objects;

/**
 * The bus library object. All objects of a process act on the same bus and share one logger,
 * which the first construction in a process sets up.
 *
 * <p>Closing the object does not close the bus or stop a running process-data cycle; close the
 * hardware first.
 */
public class Corvane extends NativeObject {
    /**
     * Creates the library object.
     *
     * @throws RuntimeException when the log cannot be set up (its folder cannot be created or its
     *     file cannot be opened); the message names the cause and the path. A later attempt
     *     tries the set-up again.
     */
    public Corvane() {
        super(CorvaneJavaJNI.new_Corvane(), true, CorvaneJavaJNI::delete_Corvane);
    }

    /** Lists the network adapters anew; returns their number, or -1 when none can be listed. */
    public int scanEthernetHardwareDevices() {
        return CorvaneJavaJNI.Corvane_scanEthernetHardwareDevices(handle(), this);
    }

    /** A copy of the adapters found by the last scan, owned by the caller. */
    public EthernetDevicesDescriptionVector getEthernetDevicesDescriptionList() {
        return new EthernetDevicesDescriptionVector(
                CorvaneJavaJNI.Corvane_getEthernetDevicesDescriptionList(handle(), this), true);
    }

    /** Whether the packet-capture library can list adapters at all. */
    public boolean probeWinPcapDriver() {
        return CorvaneJavaJNI.Corvane_probeWinPcapDriver(handle(), this);
    }

    /** Sets the level of the process-wide log, for every library object at once. */
    public void setLoggingLevel(LogLevel level) {
        Objects.requireNonNull(level, "level");
        CorvaneJavaJNI.Corvane_setLoggingLevel(handle(), this, level.value());
    }
}
