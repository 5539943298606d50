// Exports of the library object itself: life cycle, adapter discovery and the log level.
// Constructing the first Corvane sets up the process-wide logger; when that fails the Java
// caller gets the error text as an exception and no object exists.
#include "Corvane.h"
#include "JniSupport.h"

using binding::fromHandle;
using binding::guarded;
using binding::toHandle;

CORVANE_EXPORT(jlong, new_1Corvane)(JNIEnv* env, jclass)
{
    return guarded(env, [] { return toHandle(new Corvane()); });
}

CORVANE_EXPORT(void, delete_1Corvane)(JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<Corvane>(handle); });
}

CORVANE_EXPORT(jint, Corvane_1scanEthernetHardwareDevices)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] {
        return static_cast<jint>(fromHandle<Corvane>(self)->scanEthernetHardwareDevices());
    });
}

CORVANE_EXPORT(jlong, Corvane_1getEthernetDevicesDescriptionList)(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] {
        return toHandle(new std::vector<EthernetDevicesDescription>(
            fromHandle<Corvane>(self)->getEthernetDevicesDescriptionList()));
    });
}

CORVANE_EXPORT(jboolean, Corvane_1probeWinPcapDriver)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&]() -> jboolean {
        return fromHandle<Corvane>(self)->probeWinPcapDriver() ? JNI_TRUE : JNI_FALSE;
    });
}

CORVANE_EXPORT(void, Corvane_1setLoggingLevel)(JNIEnv* env, jclass, jlong self, jobject, jint level)
{
    guarded(env, [&] {
        // Any int is a LogLevel value (fixed underlying type); the library ignores non-levels.
        fromHandle<Corvane>(self)->setLoggingLevel(static_cast<LogLevel>(level));
    });
}
