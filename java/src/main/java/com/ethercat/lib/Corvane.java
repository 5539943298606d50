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
    /** Opens the adapter, enumerates the devices and returns them to INIT. */
    public Result openHardware(String adapterName, boolean collectInformation) {
        return new Result(CorvaneJavaJNI.Corvane_openHardware(handle(), this, adapterName, collectInformation), true);
    }

    /** Returns the devices to INIT, stops the cycle and closes the adapter. */
    public void closeHardware() {
        CorvaneJavaJNI.Corvane_closeHardware(handle(), this);
    }

    /** A copy of the device descriptions of the last collection. */
    public DeviceDescriptionVector getEtherCatDeviceList() {
        return new DeviceDescriptionVector(CorvaneJavaJNI.Corvane_getEtherCatDeviceList(handle(), this), true);
    }

    /** The device numbers 1 to the number of enumerated devices. */
    public IntVector getDeviceIdList() {
        return new IntVector(CorvaneJavaJNI.Corvane_getDeviceIdList(handle(), this), true);
    }

    public Result startBusToOperational() {
        return new Result(CorvaneJavaJNI.Corvane_startBusToOperational(handle(), this), true);
    }

    public Result startBusToBoot() {
        return new Result(CorvaneJavaJNI.Corvane_startBusToBoot(handle(), this), true);
    }

    public Result putDeviceInBootMode(int deviceNumber) {
        return new Result(CorvaneJavaJNI.Corvane_putDeviceInBootMode(handle(), this, deviceNumber), true);
    }

    public Result putDeviceInInitMode(int deviceNumber) {
        return new Result(CorvaneJavaJNI.Corvane_putDeviceInInitMode(handle(), this, deviceNumber), true);
    }

    public Result putDeviceFromBootToOpMode(int deviceNumber) {
        return new Result(CorvaneJavaJNI.Corvane_putDeviceFromBootToOpMode(handle(), this, deviceNumber), true);
    }

    /** The state code (0 INIT .. 4 OPERATIONAL, 5 error, 6 other) of a device, 0 = the whole bus. */
    public int getOneDeviceState(int deviceNumber) {
        return CorvaneJavaJNI.Corvane_getOneDeviceState(handle(), this, deviceNumber);
    }

    public Result rescanBus(boolean collectInformation) {
        return new Result(CorvaneJavaJNI.Corvane_rescanBus(handle(), this, collectInformation), true);
    }

    public void readOutPdoMetadata() {
        CorvaneJavaJNI.Corvane_readOutPdoMetadata(handle(), this);
    }

    /** Direction 0 reads the input PDOs, any other value the output PDOs. */
    public Result readOutSlaveInformation(int deviceNumber, short direction) {
        return new Result(CorvaneJavaJNI.Corvane_readOutSlaveInformation(handle(), this, deviceNumber, direction), true);
    }

    public ResultLong readOdNumberRaw(int deviceNumber, int index, short subindex) {
        return new ResultLong(CorvaneJavaJNI.Corvane_readOdNumberRaw(handle(), this, deviceNumber, index, subindex), true);
    }

    public Result readOdString(int deviceNumber, int index, boolean hex) {
        return new Result(CorvaneJavaJNI.Corvane_readOdString(handle(), this, deviceNumber, index, hex), true);
    }

    public ResultLongArray readOdArray(int deviceNumber, int index) {
        return new ResultLongArray(CorvaneJavaJNI.Corvane_readOdArray(handle(), this, deviceNumber, index), true);
    }

    /** Writes the low {@code size} (1 to 4) bytes of {@code value}, little-endian. */
    public Result writeOdNumberRaw(int deviceNumber, int index, short subindex, int size, long value) {
        return new Result(CorvaneJavaJNI.Corvane_writeOdNumberRaw(handle(), this, deviceNumber, index, subindex,
                size, value), true);
    }

    /** Prints the object's data type name on standard output; the value returned is always 0. */
    public ResultInt getDataType(int deviceNumber, int index, short subindex) {
        return new ResultInt(CorvaneJavaJNI.Corvane_getDataType(handle(), this, deviceNumber, index, subindex), true);
    }

    public Result writeFileOverEtherCat(int deviceNumber, CharVector data, String fileName) {
        return new Result(CorvaneJavaJNI.Corvane_writeFileOverEtherCat(handle(), this, deviceNumber,
                NativeObject.handleOf(data), data, fileName), true);
    }

    public ResultCharArray readFileOverEtherCat(int deviceNumber, String fileName) {
        return new ResultCharArray(CorvaneJavaJNI.Corvane_readFileOverEtherCat(handle(), this, deviceNumber, fileName),
                true);
    }

    public Result writeEsiEeprom(int deviceNumber, int address, ShortVector image) {
        return new Result(CorvaneJavaJNI.Corvane_writeEsiEeprom(handle(), this, deviceNumber, address,
                NativeObject.handleOf(image), image), true);
    }

    public ResultLongArray readEsiEeprom(int deviceNumber, int address, long count) {
        return new ResultLongArray(CorvaneJavaJNI.Corvane_readEsiEeprom(handle(), this, deviceNumber, address, count),
                true);
    }
}
