// The values of the log level enumeration, so that the Java enumeration cannot drift from it.
#include "JniSupport.h"
#include "LogLevel.h"

CORVANE_EXPORT(jint, LogLevel_1Off_1get)(JNIEnv*, jclass)
{
    return static_cast<jint>(Off);
}

CORVANE_EXPORT(jint, LogLevel_1Trace_1get)(JNIEnv*, jclass)
{
    return static_cast<jint>(Trace);
}

CORVANE_EXPORT(jint, LogLevel_1Debug_1get)(JNIEnv*, jclass)
{
    return static_cast<jint>(Debug);
}

CORVANE_EXPORT(jint, LogLevel_1Info_1get)(JNIEnv*, jclass)
{
    return static_cast<jint>(Info);
}

CORVANE_EXPORT(jint, LogLevel_1Warn_1get)(JNIEnv*, jclass)
{
    return static_cast<jint>(Warn);
}

CORVANE_EXPORT(jint, LogLevel_1Error_1get)(JNIEnv*, jclass)
{
    return static_cast<jint>(Error);
}
