// JNI exports of ShortVector, the library's byte vector; Java sees each element as a short 0..255.
// Sizes and positions arrive as Java numbers and are checked before they reach std::vector: a
// negative or oversized count would otherwise turn into a gigantic allocation, and a bad position
// into a write outside the elements.
#include <jni.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "binding/JniSupport.h"

using iolinkjni::fromHandle;
using iolinkjni::guarded;
using iolinkjni::JavaException;
using iolinkjni::toHandle;

namespace {

using ShortVector = std::vector<uint8_t>;

// Java reaches elements through int positions, so a longer vector could not be used anyway.
constexpr jlong maxElementCount = std::numeric_limits<jint>::max();

std::size_t checkedCount(jlong n)
{
    if (n < 0) {
        throw JavaException("java/lang/IllegalArgumentException",
                            "negative vector size " + std::to_string(n));
    }
    if (n > maxElementCount) {
        throw JavaException("java/lang/OutOfMemoryError", "vector size " + std::to_string(n) +
                                                               " exceeds the limit of " +
                                                               std::to_string(maxElementCount));
    }
    return static_cast<std::size_t>(n);
}

std::size_t checkedPosition(const ShortVector& vector, jint i)
{
    if (i < 0 || static_cast<std::size_t>(i) >= vector.size()) {
        throw JavaException("java/lang/IndexOutOfBoundsException", "vector index out of range");
    }
    return static_cast<std::size_t>(i);
}

uint8_t lowByte(jshort x)
{
    return static_cast<uint8_t>(x & 0xFF);
}

} // namespace

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_new_1ShortVector_1_1SWIG_10(
    JNIEnv* env, jclass)
{
    return guarded(env, [&] { return toHandle(new ShortVector()); });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_new_1ShortVector_1_1SWIG_11(
    JNIEnv* env, jclass, jlong n)
{
    return guarded(env, [&] { return toHandle(new ShortVector(checkedCount(n))); });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_delete_1ShortVector(
    JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<ShortVector>(handle); });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ShortVector_1size(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] { return static_cast<jlong>(fromHandle<ShortVector>(self)->size()); });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ShortVector_1capacity(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] { return static_cast<jlong>(fromHandle<ShortVector>(self)->capacity()); });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ShortVector_1reserve(
    JNIEnv* env, jclass, jlong self, jobject, jlong n)
{
    guarded(env, [&] { fromHandle<ShortVector>(self)->reserve(checkedCount(n)); });
}

extern "C" JNIEXPORT jboolean JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ShortVector_1isEmpty(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&]() -> jboolean { return fromHandle<ShortVector>(self)->empty() ? JNI_TRUE : JNI_FALSE; });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ShortVector_1clear(
    JNIEnv* env, jclass, jlong self, jobject)
{
    guarded(env, [&] { fromHandle<ShortVector>(self)->clear(); });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ShortVector_1add(
    JNIEnv* env, jclass, jlong self, jobject, jshort x)
{
    guarded(env, [&] { fromHandle<ShortVector>(self)->push_back(lowByte(x)); });
}

extern "C" JNIEXPORT jshort JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ShortVector_1get(
    JNIEnv* env, jclass, jlong self, jobject, jint i)
{
    return guarded(env, [&]() -> jshort {
        const ShortVector& vector = *fromHandle<ShortVector>(self);
        return vector[checkedPosition(vector, i)];
    });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ShortVector_1set(
    JNIEnv* env, jclass, jlong self, jobject, jint i, jshort x)
{
    guarded(env, [&] {
        ShortVector& vector = *fromHandle<ShortVector>(self);
        vector[checkedPosition(vector, i)] = lowByte(x);
    });
}
