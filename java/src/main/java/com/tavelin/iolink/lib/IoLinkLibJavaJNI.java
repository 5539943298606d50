package com.tavelin.iolink.lib;

import java.math.BigInteger;

/**
 * The native methods of libSernova. Handles are native addresses; every instance method takes
 * the object's handle followed by its proxy (which the native side ignores). Use the proxy
 * classes rather than these methods: they keep the handles alive and free them once.
 */
public class IoLinkLibJavaJNI {
    static {
        System.loadLibrary("Sernova");
    }

    // IoLinkLib
    public final static native long new_IoLinkLib();
    public final static native void delete_IoLinkLib(long handle);
    public final static native long IoLinkLib_connectToMaster(long self, IoLinkLib selfProxy, String portName);
    public final static native long IoLinkLib_disconnect(long self, IoLinkLib selfProxy);
    public final static native long IoLinkLib_switchToIoLinkMode(long self, IoLinkLib selfProxy);
    public final static native long IoLinkLib_switchToPreoperationalMode(long self, IoLinkLib selfProxy);
    public final static native long IoLinkLib_startCyclicCommunication(long self, IoLinkLib selfProxy);
    public final static native long IoLinkLib_stopCyclicCommunication(long self, IoLinkLib selfProxy);
    public final static native long IoLinkLib_switchOnPower(long self, IoLinkLib selfProxy);
    public final static native long IoLinkLib_switchOffPower(long self, IoLinkLib selfProxy);
    public final static native long IoLinkLib_odReadString(long self, IoLinkLib selfProxy, int index, short subindex);
    public final static native long IoLinkLib_odReadLong(long self, IoLinkLib selfProxy, int index, short subindex);
    public final static native long IoLinkLib_odWriteLong(long self, IoLinkLib selfProxy, int index, short subindex, int value);
    public final static native long IoLinkLib_writeFirmware(long self, IoLinkLib selfProxy, String path);
    public final static native long IoLinkLib_writeVMM(long self, IoLinkLib selfProxy, String path);
    public final static native long IoLinkLib_setFileLoggingLevel(long self, IoLinkLib selfProxy, int level);

    // Result
    public final static native long new_Result(boolean result, String message);
    public final static native void delete_Result(long handle);
    public final static native boolean Result_getResult(long self, Result selfProxy);
    public final static native String Result_getMessage(long self, Result selfProxy);
    public final static native String Result_getMessageWithEom(long self, Result selfProxy);

    // ResultLong
    public final static native long new_ResultLong__SWIG_0(boolean result, String message, int value);
    public final static native long new_ResultLong__SWIG_1(boolean result, String message);
    public final static native void delete_ResultLong(long handle);
    public final static native int ResultLong_getLong(long self, ResultLong selfProxy);
    public final static native void ResultLong_setLong(long self, ResultLong selfProxy, int value);
    public final static native long ResultLong_SWIGUpcast(long handle);

    // ResultString
    public final static native long new_ResultString__SWIG_0(boolean result, String message, String value);
    public final static native long new_ResultString__SWIG_1(boolean result, String message);
    public final static native void delete_ResultString(long handle);
    public final static native String ResultString_getString(long self, ResultString selfProxy);
    public final static native void ResultString_setString(long self, ResultString selfProxy, String value);
    public final static native long ResultString_SWIGUpcast(long handle);

    // ShortVector
    public final static native long new_ShortVector__SWIG_0();
    public final static native long new_ShortVector__SWIG_1(long n);
    public final static native void delete_ShortVector(long handle);
    public final static native long ShortVector_size(long self, ShortVector selfProxy);
    public final static native long ShortVector_capacity(long self, ShortVector selfProxy);
    public final static native void ShortVector_reserve(long self, ShortVector selfProxy, long n);
    public final static native boolean ShortVector_isEmpty(long self, ShortVector selfProxy);
    public final static native void ShortVector_clear(long self, ShortVector selfProxy);
    public final static native void ShortVector_add(long self, ShortVector selfProxy, short x);
    public final static native short ShortVector_get(long self, ShortVector selfProxy, int i);
    public final static native void ShortVector_set(long self, ShortVector selfProxy, int i, short x);

    // Integer functions and imaxdiv_t
    public final static native long imaxabs(long n);
    public final static native long imaxdiv(long numerator, long denominator);
    public final static native long new_imaxdiv_t();
    public final static native void delete_imaxdiv_t(long handle);
    public final static native void imaxdiv_t_quot_set(long self, imaxdiv_t selfProxy, long quot);
    public final static native long imaxdiv_t_quot_get(long self, imaxdiv_t selfProxy);
    public final static native void imaxdiv_t_rem_set(long self, imaxdiv_t selfProxy, long rem);
    public final static native long imaxdiv_t_rem_get(long self, imaxdiv_t selfProxy);
    /** The end-pointer handle is ignored: the native side never writes through it. */
    public final static native long strtoimax(String text, long endPointer, int base);
    /** The end-pointer handle is ignored: the native side never writes through it. */
    public final static native BigInteger strtoumax(String text, long endPointer, int base);

    // Log levels
    public final static native int trace_get();
    public final static native int debug_get();
    public final static native int information_get();
    public final static native int warning_get();
    public final static native int error_get();
    public final static native int critical_get();
    public final static native int off_get();
}
