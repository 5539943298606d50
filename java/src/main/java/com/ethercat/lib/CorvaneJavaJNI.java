package com.ethercat.lib;

/**
 * The native functions of the bus library, one per constructor, destructor, method and accessor.
 * Objects cross as handles (their native address, 0 for none); an instance method takes its
 * object's handle followed by the proxy itself, which keeps the proxy reachable for the call.
 * Use the proxy classes rather than calling these directly.
 */
public final class CorvaneJavaJNI {
    static {
        System.loadLibrary("Corvane");
    }

    private CorvaneJavaJNI() {
    }

    // Library object
    public final static native long new_Corvane();
    public final static native void delete_Corvane(long handle);
    public final static native int Corvane_scanEthernetHardwareDevices(long self, Corvane self_);
    public final static native long Corvane_getEthernetDevicesDescriptionList(long self, Corvane self_);
    public final static native boolean Corvane_probeWinPcapDriver(long self, Corvane self_);
    public final static native void Corvane_setLoggingLevel(long self, Corvane self_, int level);
    public final static native long Corvane_openHardware(long self, Corvane self_, String adapterName, boolean collectInformation);
    public final static native void Corvane_closeHardware(long self, Corvane self_);
    public final static native long Corvane_getEtherCatDeviceList(long self, Corvane self_);
    public final static native long Corvane_getDeviceIdList(long self, Corvane self_);
    public final static native long Corvane_startBusToOperational(long self, Corvane self_);
    public final static native long Corvane_startBusToBoot(long self, Corvane self_);
    public final static native long Corvane_putDeviceInBootMode(long self, Corvane self_, int deviceNumber);
    public final static native long Corvane_putDeviceInInitMode(long self, Corvane self_, int deviceNumber);
    public final static native long Corvane_putDeviceFromBootToOpMode(long self, Corvane self_, int deviceNumber);
    public final static native int Corvane_getOneDeviceState(long self, Corvane self_, int deviceNumber);
    public final static native long Corvane_rescanBus(long self, Corvane self_, boolean collectInformation);
    public final static native void Corvane_readOutPdoMetadata(long self, Corvane self_);
    public final static native long Corvane_readOutSlaveInformation(long self, Corvane self_, int deviceNumber, short direction);
    public final static native long Corvane_readOdNumberRaw(long self, Corvane self_, int deviceNumber, int index, short subindex);
    public final static native long Corvane_readOdString(long self, Corvane self_, int deviceNumber, int index, boolean hex);
    public final static native long Corvane_readOdArray(long self, Corvane self_, int deviceNumber, int index);
    public final static native long Corvane_writeOdNumberRaw(long self, Corvane self_, int deviceNumber, int index, short subindex, int size, long value);
    public final static native long Corvane_getDataType(long self, Corvane self_, int deviceNumber, int index, short subindex);
    public final static native long Corvane_writeFileOverEtherCat(long self, Corvane self_, int deviceNumber, long data, CharVector data_, String fileName);
    public final static native long Corvane_readFileOverEtherCat(long self, Corvane self_, int deviceNumber, String fileName);
    public final static native long Corvane_writeEsiEeprom(long self, Corvane self_, int deviceNumber, int address, long image, ShortVector image_);
    public final static native long Corvane_readEsiEeprom(long self, Corvane self_, int deviceNumber, int address, long count);

    // DeviceDescription
    public final static native long new_DeviceDescription();
    public final static native void delete_DeviceDescription(long handle);
    public final static native void DeviceDescription_setDeviceNumber(long self, DeviceDescription self_, int value);
    public final static native int DeviceDescription_getDeviceNumber(long self, DeviceDescription self_);
    public final static native void DeviceDescription_setDeviceAddress(long self, DeviceDescription self_, int value);
    public final static native int DeviceDescription_getDeviceAddress(long self, DeviceDescription self_);
    public final static native void DeviceDescription_setVendorId(long self, DeviceDescription self_, long value);
    public final static native long DeviceDescription_getVendorId(long self, DeviceDescription self_);
    public final static native void DeviceDescription_setName(long self, DeviceDescription self_, String value);
    public final static native String DeviceDescription_getName(long self, DeviceDescription self_);
    public final static native void DeviceDescription_setFirmwareVersion(long self, DeviceDescription self_, String value);
    public final static native String DeviceDescription_getFirmwareVersion(long self, DeviceDescription self_);
    public final static native void DeviceDescription_setUniqueId(long self, DeviceDescription self_, String value);
    public final static native String DeviceDescription_getUniqueId(long self, DeviceDescription self_);
    public final static native void DeviceDescription_setSerialNumber(long self, DeviceDescription self_, String value);
    public final static native String DeviceDescription_getSerialNumber(long self, DeviceDescription self_);

    // EthernetDevicesDescription
    public final static native long new_EthernetDevicesDescription();
    public final static native void delete_EthernetDevicesDescription(long handle);
    public final static native void EthernetDevicesDescription_setName(long self, EthernetDevicesDescription self_, String value);
    public final static native String EthernetDevicesDescription_getName(long self, EthernetDevicesDescription self_);
    public final static native void EthernetDevicesDescription_setDescription(long self, EthernetDevicesDescription self_, String value);
    public final static native String EthernetDevicesDescription_getDescription(long self, EthernetDevicesDescription self_);

    // Result family
    public final static native long new_Result(boolean result, String message);
    public final static native void delete_Result(long handle);
    public final static native boolean Result_GetResult(long self, Result self_);
    public final static native String Result_GetMessage(long self, Result self_);
    public final static native String Result_GetMessageWithEom(long self, Result self_);
    public final static native long new_ResultInt(boolean result, String message, int value);
    public final static native void delete_ResultInt(long handle);
    public final static native int ResultInt_getInt(long self, ResultInt self_);
    public final static native long ResultInt_SWIGUpcast(long handle);
    public final static native long new_ResultLong(boolean result, String message, int value);
    public final static native void delete_ResultLong(long handle);
    public final static native int ResultLong_getLong(long self, ResultLong self_);
    public final static native void ResultLong_setLong(long self, ResultLong self_, int value);
    public final static native long ResultLong_SWIGUpcast(long handle);
    public final static native long new_ResultLongArray(boolean result, String message, long values, LongVector values_);
    public final static native void delete_ResultLongArray(long handle);
    public final static native long ResultLongArray_getLongArray(long self, ResultLongArray self_);
    public final static native void ResultLongArray_setLongArray(long self, ResultLongArray self_, long values, LongVector values_);
    public final static native long ResultLongArray_SWIGUpcast(long handle);
    public final static native long new_ResultCharArray(boolean result, String message, long values, CharVector values_);
    public final static native void delete_ResultCharArray(long handle);
    public final static native long ResultCharArray_getCharArray(long self, ResultCharArray self_);
    public final static native void ResultCharArray_setCharArray(long self, ResultCharArray self_, long values, CharVector values_);
    public final static native long ResultCharArray_SWIGUpcast(long handle);

    // CharVector
    public final static native long new_CharVector__SWIG_0();
    public final static native long new_CharVector__SWIG_1(long count);
    public final static native long CharVector_size(long self, CharVector self_);
    public final static native long CharVector_capacity(long self, CharVector self_);
    public final static native void CharVector_reserve(long self, CharVector self_, long count);
    public final static native boolean CharVector_isEmpty(long self, CharVector self_);
    public final static native void CharVector_clear(long self, CharVector self_);
    public final static native void CharVector_add(long self, CharVector self_, char value);
    public final static native char CharVector_get(long self, CharVector self_, int position);
    public final static native void CharVector_set(long self, CharVector self_, int position, char value);
    public final static native void delete_CharVector(long handle);

    // ShortVector
    public final static native long new_ShortVector__SWIG_0();
    public final static native long new_ShortVector__SWIG_1(long count);
    public final static native long ShortVector_size(long self, ShortVector self_);
    public final static native long ShortVector_capacity(long self, ShortVector self_);
    public final static native void ShortVector_reserve(long self, ShortVector self_, long count);
    public final static native boolean ShortVector_isEmpty(long self, ShortVector self_);
    public final static native void ShortVector_clear(long self, ShortVector self_);
    public final static native void ShortVector_add(long self, ShortVector self_, short value);
    public final static native short ShortVector_get(long self, ShortVector self_, int position);
    public final static native void ShortVector_set(long self, ShortVector self_, int position, short value);
    public final static native void delete_ShortVector(long handle);

    // IntVector
    public final static native long new_IntVector__SWIG_0();
    public final static native long new_IntVector__SWIG_1(long count);
    public final static native long IntVector_size(long self, IntVector self_);
    public final static native long IntVector_capacity(long self, IntVector self_);
    public final static native void IntVector_reserve(long self, IntVector self_, long count);
    public final static native boolean IntVector_isEmpty(long self, IntVector self_);
    public final static native void IntVector_clear(long self, IntVector self_);
    public final static native void IntVector_add(long self, IntVector self_, int value);
    public final static native int IntVector_get(long self, IntVector self_, int position);
    public final static native void IntVector_set(long self, IntVector self_, int position, int value);
    public final static native void delete_IntVector(long handle);

    // LongVector
    public final static native long new_LongVector__SWIG_0();
    public final static native long new_LongVector__SWIG_1(long count);
    public final static native long LongVector_size(long self, LongVector self_);
    public final static native long LongVector_capacity(long self, LongVector self_);
    public final static native void LongVector_reserve(long self, LongVector self_, long count);
    public final static native boolean LongVector_isEmpty(long self, LongVector self_);
    public final static native void LongVector_clear(long self, LongVector self_);
    public final static native void LongVector_add(long self, LongVector self_, long value);
    public final static native long LongVector_get(long self, LongVector self_, int position);
    public final static native void LongVector_set(long self, LongVector self_, int position, long value);
    public final static native void delete_LongVector(long handle);

    // StringVector
    public final static native long new_StringVector__SWIG_0();
    public final static native long new_StringVector__SWIG_1(long count);
    public final static native long StringVector_size(long self, StringVector self_);
    public final static native long StringVector_capacity(long self, StringVector self_);
    public final static native void StringVector_reserve(long self, StringVector self_, long count);
    public final static native boolean StringVector_isEmpty(long self, StringVector self_);
    public final static native void StringVector_clear(long self, StringVector self_);
    public final static native void StringVector_add(long self, StringVector self_, String value);
    public final static native String StringVector_get(long self, StringVector self_, int position);
    public final static native void StringVector_set(long self, StringVector self_, int position, String value);
    public final static native void delete_StringVector(long handle);

    // DeviceDescriptionVector
    public final static native long new_DeviceDescriptionVector__SWIG_0();
    public final static native long new_DeviceDescriptionVector__SWIG_1(long count);
    public final static native long DeviceDescriptionVector_size(long self, DeviceDescriptionVector self_);
    public final static native long DeviceDescriptionVector_capacity(long self, DeviceDescriptionVector self_);
    public final static native void DeviceDescriptionVector_reserve(long self, DeviceDescriptionVector self_, long count);
    public final static native boolean DeviceDescriptionVector_isEmpty(long self, DeviceDescriptionVector self_);
    public final static native void DeviceDescriptionVector_clear(long self, DeviceDescriptionVector self_);
    public final static native void DeviceDescriptionVector_add(long self, DeviceDescriptionVector self_, long value, DeviceDescription value_);
    public final static native long DeviceDescriptionVector_get(long self, DeviceDescriptionVector self_, int position);
    public final static native void DeviceDescriptionVector_set(long self, DeviceDescriptionVector self_, int position, long value, DeviceDescription value_);
    public final static native void delete_DeviceDescriptionVector(long handle);

    // EthernetDevicesDescriptionVector
    public final static native long new_EthernetDevicesDescriptionVector__SWIG_0();
    public final static native long new_EthernetDevicesDescriptionVector__SWIG_1(long count);
    public final static native long EthernetDevicesDescriptionVector_size(long self, EthernetDevicesDescriptionVector self_);
    public final static native long EthernetDevicesDescriptionVector_capacity(long self, EthernetDevicesDescriptionVector self_);
    public final static native void EthernetDevicesDescriptionVector_reserve(long self, EthernetDevicesDescriptionVector self_, long count);
    public final static native boolean EthernetDevicesDescriptionVector_isEmpty(long self, EthernetDevicesDescriptionVector self_);
    public final static native void EthernetDevicesDescriptionVector_clear(long self, EthernetDevicesDescriptionVector self_);
    public final static native void EthernetDevicesDescriptionVector_add(long self, EthernetDevicesDescriptionVector self_, long value, EthernetDevicesDescription value_);
    public final static native long EthernetDevicesDescriptionVector_get(long self, EthernetDevicesDescriptionVector self_, int position);
    public final static native void EthernetDevicesDescriptionVector_set(long self, EthernetDevicesDescriptionVector self_, int position, long value, EthernetDevicesDescription value_);
    public final static native void delete_EthernetDevicesDescriptionVector(long handle);

    // LogLevel
    public final static native int LogLevel_Off_get();
    public final static native int LogLevel_Trace_get();
    public final static native int LogLevel_Debug_get();
    public final static native int LogLevel_Info_get();
    public final static native int LogLevel_Warn_get();
    public final static native int LogLevel_Error_get();

    // Integer helpers
    public final static native long new_imaxdiv_t();
    public final static native void delete_imaxdiv_t(long handle);
    public final static native void imaxdiv_t_quot_set(long self, imaxdiv_t self_, long value);
    public final static native long imaxdiv_t_quot_get(long self, imaxdiv_t self_);
    public final static native void imaxdiv_t_rem_set(long self, imaxdiv_t self_, long value);
    public final static native long imaxdiv_t_rem_get(long self, imaxdiv_t self_);
    public final static native long imaxabs(long value);
    public final static native long imaxdiv(long numerator, long denominator);
    public final static native long strtoimax(String text, long endPointerHandle, int base);
    public final static native java.math.BigInteger strtoumax(String text, long endPointerHandle, int base);
}
