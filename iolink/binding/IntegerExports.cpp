// JNI exports of the standard integer helpers and their imaxdiv_t record. Where the C functions
// have undefined behaviour (a zero divisor, the overflowing INT64_MIN cases) the exports give
// Java's own answers instead, and the caller's end-pointer slot is never written: the C functions
// would store a pointer into a temporary copy of the text there, which dangles once we return.
#include <jni.h>

#include <cinttypes>
#include <cstdint>
#include <limits>
#include <utility>

#include "binding/JniSupport.h"

using iolinkjni::fetchString;
using iolinkjni::fromHandle;
using iolinkjni::guarded;
using iolinkjni::JavaException;
using iolinkjni::toHandle;

namespace {

constexpr std::intmax_t intmaxMin = std::numeric_limits<std::intmax_t>::min();

// Two's complement negation in unsigned arithmetic: |INT64_MIN| wraps to INT64_MIN, as Math.abs.
std::intmax_t absoluteValue(std::intmax_t n)
{
    if (n >= 0) {
        return n;
    }
    return static_cast<std::intmax_t>(std::uintmax_t{0} - static_cast<std::uintmax_t>(n));
}

std::imaxdiv_t divide(std::intmax_t numerator, std::intmax_t denominator)
{
    if (denominator == 0) {
        throw JavaException("java/lang/ArithmeticException", "division by zero");
    }
    if (numerator == intmaxMin && denominator == -1) {
        // The quotient 2^63 does not fit; Java wraps it to Long.MIN_VALUE with remainder 0.
        std::imaxdiv_t wrapped{};
        wrapped.quot = intmaxMin;
        wrapped.rem = 0;
        return wrapped;
    }
    return std::imaxdiv(numerator, denominator);
}

jobject toBigInteger(JNIEnv* env, std::uintmax_t value)
{
    // A leading zero byte keeps values of 2^63 and above positive.
    jbyte bytes[9] = {};
    for (int i = 8; i >= 1; --i) {
        bytes[i] = static_cast<jbyte>(value & 0xFF);
        value >>= 8;
    }
    jbyteArray array = env->NewByteArray(9);
    if (array == nullptr) {
        return nullptr;
    }
    env->SetByteArrayRegion(array, 0, 9, bytes);
    jobject number = nullptr;
    jclass bigInteger = env->FindClass("java/math/BigInteger");
    if (bigInteger != nullptr) {
        jmethodID constructor = env->GetMethodID(bigInteger, "<init>", "([B)V");
        if (constructor != nullptr) {
            number = env->NewObject(bigInteger, constructor, array);
        }
        env->DeleteLocalRef(bigInteger);
    }
    env->DeleteLocalRef(array);
    return number;
}

} // namespace

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_imaxabs(JNIEnv* env, jclass, jlong n)
{
    return guarded(env, [&] { return absoluteValue(n); });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_imaxdiv(
    JNIEnv* env, jclass, jlong numerator, jlong denominator)
{
    return guarded(env, [&] { return toHandle(new std::imaxdiv_t(divide(numerator, denominator))); });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_new_1imaxdiv_1t(JNIEnv* env, jclass)
{
    return guarded(env, [&] { return toHandle(new std::imaxdiv_t{}); });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_delete_1imaxdiv_1t(
    JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<std::imaxdiv_t>(handle); });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_imaxdiv_1t_1quot_1set(
    JNIEnv* env, jclass, jlong self, jobject, jlong quot)
{
    guarded(env, [&] {
        if (auto* record = fromHandle<std::imaxdiv_t>(self)) {
            record->quot = quot;
        }
    });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_imaxdiv_1t_1quot_1get(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&]() -> jlong { return fromHandle<std::imaxdiv_t>(self)->quot; });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_imaxdiv_1t_1rem_1set(
    JNIEnv* env, jclass, jlong self, jobject, jlong rem)
{
    guarded(env, [&] {
        if (auto* record = fromHandle<std::imaxdiv_t>(self)) {
            record->rem = rem;
        }
    });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_imaxdiv_1t_1rem_1get(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&]() -> jlong { return fromHandle<std::imaxdiv_t>(self)->rem; });
}

// The end-pointer argument is accepted for the sake of the signature and deliberately ignored.
extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_strtoimax(
    JNIEnv* env, jclass, jstring text, jlong, jint base)
{
    return guarded(env, [&]() -> jlong {
        auto digits = fetchString(env, text);
        if (!digits) {
            return 0;
        }
        return std::strtoimax(digits->c_str(), nullptr, base);
    });
}

extern "C" JNIEXPORT jobject JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_strtoumax(
    JNIEnv* env, jclass, jstring text, jlong, jint base)
{
    return guarded(env, [&]() -> jobject {
        auto digits = fetchString(env, text);
        if (!digits) {
            return nullptr;
        }
        return toBigInteger(env, std::strtoumax(digits->c_str(), nullptr, base));
    });
}
