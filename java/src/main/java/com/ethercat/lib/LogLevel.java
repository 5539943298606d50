package com.ethercat.lib;

/** How much the library logs, from nothing ({@link #Off}) to errors only ({@link #Error}). */
public enum LogLevel {
    Off(CorvaneJavaJNI.LogLevel_Off_get()),
    Trace(CorvaneJavaJNI.LogLevel_Trace_get()),
    Debug(CorvaneJavaJNI.LogLevel_Debug_get()),
    Info(CorvaneJavaJNI.LogLevel_Info_get()),
    Warn(CorvaneJavaJNI.LogLevel_Warn_get()),
    Error(CorvaneJavaJNI.LogLevel_Error_get());

    private final int value;

    LogLevel(int value) {
        this.value = value;
    }

    /** The library's number for this level. */
    public int value() {
        return value;
    }

    /** The level with the library's number {@code value}. */
    public static LogLevel fromValue(int value) {
        for (LogLevel level : values()) {
            if (level.value == value) {
                return level;
            }
        }
        throw new IllegalArgumentException("no log level has the value " + value);
    }
}
