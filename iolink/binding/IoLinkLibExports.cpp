// JNI exports of IoLinkLib. Each result goes to Java as a new heap copy that the Java proxy owns.
// Numbers are narrowed by plain truncation (an int index keeps its low 16 bits, a short
// subindex its low 8), as the Java side has no unsigned types to pass them in.
#include <jni.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

#include "binding/JniSupport.h"
#include "link/IoLinkLib.h"

using iolinkjni::fetchString;
using iolinkjni::fromHandle;
using iolinkjni::guarded;
using iolinkjni::toHandle;

namespace {

template <typename Record>
jlong heapCopy(Record&& record)
{
    return toHandle(new std::decay_t<Record>(std::forward<Record>(record)));
}

IoLinkLib& self(jlong handle)
{
    return *fromHandle<IoLinkLib>(handle);
}

// The caller's text as a narrow-character path, bytes unchanged.
std::filesystem::path pathFromText(std::string text)
{
    return std::filesystem::path(std::move(text));
}

// A Result-returning operation without arguments.
template <typename Operation>
jlong callOperation(JNIEnv* env, jlong handle, Operation operation)
{
    return guarded(env, [&]() -> jlong { return heapCopy((self(handle).*operation)()); });
}

} // namespace

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_new_1IoLinkLib(JNIEnv* env, jclass)
{
    return guarded(env, [] { return toHandle(new IoLinkLib()); });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_delete_1IoLinkLib(JNIEnv* env, jclass,
                                                                                                jlong handle)
{
    // The link is process-wide and stays as it is.
    guarded(env, [&] { delete fromHandle<IoLinkLib>(handle); });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1connectToMaster(
    JNIEnv* env, jclass, jlong handle, jobject, jstring portName)
{
    return guarded(env, [&]() -> jlong {
        auto name = fetchString(env, portName);
        if (!name) {
            return 0;
        }
        return heapCopy(self(handle).connectToMaster(*name));
    });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1disconnect(
    JNIEnv* env, jclass, jlong handle, jobject)
{
    return callOperation(env, handle, &IoLinkLib::disconnect);
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1switchToIoLinkMode(
    JNIEnv* env, jclass, jlong handle, jobject)
{
    return callOperation(env, handle, &IoLinkLib::switchToIoLinkMode);
}

extern "C" JNIEXPORT jlong JNICALL
Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1switchToPreoperationalMode(JNIEnv* env, jclass, jlong handle,
                                                                                   jobject)
{
    return callOperation(env, handle, &IoLinkLib::switchToPreoperationalMode);
}

extern "C" JNIEXPORT jlong JNICALL
Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1startCyclicCommunication(JNIEnv* env, jclass, jlong handle,
                                                                                 jobject)
{
    return callOperation(env, handle, &IoLinkLib::startCyclicCommunication);
}

extern "C" JNIEXPORT jlong JNICALL
Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1stopCyclicCommunication(JNIEnv* env, jclass, jlong handle,
                                                                                jobject)
{
    return callOperation(env, handle, &IoLinkLib::stopCyclicCommunication);
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1switchOnPower(
    JNIEnv* env, jclass, jlong handle, jobject)
{
    return callOperation(env, handle, &IoLinkLib::switchOnPower);
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1switchOffPower(
    JNIEnv* env, jclass, jlong handle, jobject)
{
    return callOperation(env, handle, &IoLinkLib::switchOffPower);
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1odReadString(
    JNIEnv* env, jclass, jlong handle, jobject, jint index, jshort subindex)
{
    return guarded(env, [&]() -> jlong {
        return heapCopy(self(handle).odReadString(static_cast<uint16_t>(index), static_cast<uint8_t>(subindex)));
    });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1odReadLong(
    JNIEnv* env, jclass, jlong handle, jobject, jint index, jshort subindex)
{
    return guarded(env, [&]() -> jlong {
        return heapCopy(self(handle).odReadLong(static_cast<uint16_t>(index), static_cast<uint8_t>(subindex)));
    });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1odWriteLong(
    JNIEnv* env, jclass, jlong handle, jobject, jint index, jshort subindex, jint value)
{
    return guarded(env, [&]() -> jlong {
        return heapCopy(self(handle).odWriteLong(static_cast<uint16_t>(index), static_cast<uint8_t>(subindex),
                                                 static_cast<int32_t>(value)));
    });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1writeFirmware(
    JNIEnv* env, jclass, jlong handle, jobject, jstring path)
{
    return guarded(env, [&]() -> jlong {
        auto text = fetchString(env, path);
        if (!text) {
            return 0;
        }
        return heapCopy(self(handle).writeFirmware(pathFromText(std::move(*text))));
    });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1writeVMM(
    JNIEnv* env, jclass, jlong handle, jobject, jstring path)
{
    return guarded(env, [&]() -> jlong {
        auto text = fetchString(env, path);
        if (!text) {
            return 0;
        }
        return heapCopy(self(handle).writeVMM(pathFromText(std::move(*text))));
    });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_IoLinkLib_1setFileLoggingLevel(
    JNIEnv* env, jclass, jlong handle, jobject, jint level)
{
    return guarded(env, [&]() -> jlong { return heapCopy(self(handle).setFileLoggingLevel(static_cast<int32_t>(level))); });
}
