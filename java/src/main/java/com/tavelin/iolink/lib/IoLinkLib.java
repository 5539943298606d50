package com.tavelin.iolink.lib;

/**
 * The IO-Link master client. There is one master link per process: every IoLinkLib acts on it,
 * and closing one frees only the object, it does not disconnect. Each operation blocks until it
 * is done and returns a record that the caller owns and should close.
 *
 * <p>Indices are 16-bit and subindices 8-bit unsigned on the device; larger values passed here
 * keep their low bits.
 */
public class IoLinkLib implements AutoCloseable {
    private final NativeHandle self;

    public IoLinkLib() {
        this(IoLinkLibJavaJNI.new_IoLinkLib(), true);
    }

    protected IoLinkLib(long cPtr, boolean cMemoryOwn) {
        self = cMemoryOwn
                ? NativeHandle.owned(this, cPtr, IoLinkLibJavaJNI::delete_IoLinkLib)
                : NativeHandle.borrowed(cPtr);
    }

    /** Opens the serial port (a device path such as /dev/ttyUSB0) and starts the master link. */
    public Result connectToMaster(String portName) {
        return new Result(IoLinkLibJavaJNI.IoLinkLib_connectToMaster(self.address(), this, portName), true);
    }

    public Result disconnect() {
        return new Result(IoLinkLibJavaJNI.IoLinkLib_disconnect(self.address(), this), true);
    }

    public Result switchToIoLinkMode() {
        return new Result(IoLinkLibJavaJNI.IoLinkLib_switchToIoLinkMode(self.address(), this), true);
    }

    public Result switchToPreoperationalMode() {
        return new Result(IoLinkLibJavaJNI.IoLinkLib_switchToPreoperationalMode(self.address(), this), true);
    }

    public Result startCyclicCommunication() {
        return new Result(IoLinkLibJavaJNI.IoLinkLib_startCyclicCommunication(self.address(), this), true);
    }

    public Result stopCyclicCommunication() {
        return new Result(IoLinkLibJavaJNI.IoLinkLib_stopCyclicCommunication(self.address(), this), true);
    }

    public Result switchOnPower() {
        return new Result(IoLinkLibJavaJNI.IoLinkLib_switchOnPower(self.address(), this), true);
    }

    public Result switchOffPower() {
        return new Result(IoLinkLibJavaJNI.IoLinkLib_switchOffPower(self.address(), this), true);
    }

    public ResultString odReadString(int index, short subindex) {
        return new ResultString(IoLinkLibJavaJNI.IoLinkLib_odReadString(self.address(), this, index, subindex), true);
    }

    public ResultLong odReadLong(int index, short subindex) {
        return new ResultLong(IoLinkLibJavaJNI.IoLinkLib_odReadLong(self.address(), this, index, subindex), true);
    }

    public Result odWriteLong(int index, short subindex, int value) {
        return new Result(IoLinkLibJavaJNI.IoLinkLib_odWriteLong(self.address(), this, index, subindex, value), true);
    }

    /** Updates the device's firmware from a package; success carries an empty message. */
    public Result writeFirmware(String packagePath) {
        return new Result(IoLinkLibJavaJNI.IoLinkLib_writeFirmware(self.address(), this, packagePath), true);
    }

    /** Transfers the file to the device as its VMM BLOB. */
    public Result writeVMM(String path) {
        return new Result(IoLinkLibJavaJNI.IoLinkLib_writeVMM(self.address(), this, path), true);
    }

    /** Sets the level of the library's log file, 0 (trace) to 6 (off); see {@link IoLinkLibJava}. */
    public Result setFileLoggingLevel(int level) {
        return new Result(IoLinkLibJavaJNI.IoLinkLib_setFileLoggingLevel(self.address(), this, level), true);
    }

    /** Frees the native object (the link stays as it is); later calls do nothing. */
    @Override
    public void close() {
        self.close();
    }
}
