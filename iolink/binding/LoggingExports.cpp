// JNI exports of the log level numbers that the Java side passes to setFileLoggingLevel.
#include <jni.h>

#include "binding/JniSupport.h"
#include "logging/FileLoggingLevel.h"

using iolinkjni::guarded;
using iolinklog::FileLoggingLevel;

namespace {
jint levelNumber(FileLoggingLevel level)
{
    return static_cast<jint>(level);
}
} // namespace

extern "C" JNIEXPORT jint JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_trace_1get(JNIEnv* env, jclass)
{
    return guarded(env, [] { return levelNumber(FileLoggingLevel::trace); });
}

extern "C" JNIEXPORT jint JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_debug_1get(JNIEnv* env, jclass)
{
    return guarded(env, [] { return levelNumber(FileLoggingLevel::debug); });
}

extern "C" JNIEXPORT jint JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_information_1get(JNIEnv* env, jclass)
{
    return guarded(env, [] { return levelNumber(FileLoggingLevel::information); });
}

extern "C" JNIEXPORT jint JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_warning_1get(JNIEnv* env, jclass)
{
    return guarded(env, [] { return levelNumber(FileLoggingLevel::warning); });
}

extern "C" JNIEXPORT jint JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_error_1get(JNIEnv* env, jclass)
{
    return guarded(env, [] { return levelNumber(FileLoggingLevel::error); });
}

extern "C" JNIEXPORT jint JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_critical_1get(JNIEnv* env, jclass)
{
    return guarded(env, [] { return levelNumber(FileLoggingLevel::critical); });
}

extern "C" JNIEXPORT jint JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_off_1get(JNIEnv* env, jclass)
{
    return guarded(env, [] { return levelNumber(FileLoggingLevel::off); });
}
