// The integer helpers of <cinttypes> for the Java side, with the C functions' undefined corners
// closed: division by zero raises ArithmeticException, and the one overflowing case of each
// (INTMAX_MIN / -1, |INTMAX_MIN|) gives what Java's own operators give, without overflowing.
//
// strtoimax and strtoumax take the address of a char* slot for the end position. The text they
// would point it into is our temporary copy, gone when the export returns, and the slot is any
// number the caller passes; the exports therefore never write through it.
#include <cinttypes>
#include <cstdint>
#include <limits>
#include <string>

#include "JniSupport.h"

using binding::fetchString;
using binding::fromHandle;
using binding::guarded;
using binding::throwJava;
using binding::toHandle;

namespace {

constexpr std::size_t unsignedBytes = sizeof(std::uintmax_t);

// BigInteger(byte[]) reads two's complement, big-endian; a leading zero byte keeps values of
// 2^63 and above positive.
jobject toBigInteger(JNIEnv* env, std::uintmax_t value)
{
    jbyte bytes[unsignedBytes + 1] = {};
    for (std::size_t i = 0; i < unsignedBytes; ++i) {
        bytes[unsignedBytes - i] = static_cast<jbyte>(value >> (8 * i));
    }

    jclass bigInteger = env->FindClass("java/math/BigInteger");
    if (bigInteger == nullptr) {
        return nullptr;
    }
    jobject result = nullptr;
    jmethodID fromBytes = env->GetMethodID(bigInteger, "<init>", "([B)V");
    if (fromBytes != nullptr) {
        jbyteArray array = env->NewByteArray(static_cast<jsize>(sizeof bytes));
        if (array != nullptr) {
            env->SetByteArrayRegion(array, 0, static_cast<jsize>(sizeof bytes), bytes);
            result = env->NewObject(bigInteger, fromBytes, array);
            env->DeleteLocalRef(array);
        }
    }
    env->DeleteLocalRef(bigInteger);
    return result;
}

std::intmax_t absoluteValue(std::intmax_t value)
{
    // Negating in unsigned arithmetic wraps INTMAX_MIN onto itself, as Math.abs does.
    return value < 0 ? static_cast<std::intmax_t>(0 - static_cast<std::uintmax_t>(value)) : value;
}

}  // namespace

CORVANE_EXPORT(jlong, new_1imaxdiv_1t)(JNIEnv* env, jclass)
{
    return guarded(env, [] { return toHandle(new std::imaxdiv_t{}); });
}

CORVANE_EXPORT(void, delete_1imaxdiv_1t)(JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<std::imaxdiv_t>(handle); });
}

CORVANE_EXPORT(void, imaxdiv_1t_1quot_1set)(JNIEnv* env, jclass, jlong self, jobject, jlong value)
{
    guarded(env, [&] {
        if (auto* division = fromHandle<std::imaxdiv_t>(self)) {
            division->quot = value;
        }
    });
}

CORVANE_EXPORT(jlong, imaxdiv_1t_1quot_1get)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&]() -> jlong {
        const auto* division = fromHandle<std::imaxdiv_t>(self);
        return division != nullptr ? static_cast<jlong>(division->quot) : 0;
    });
}

CORVANE_EXPORT(void, imaxdiv_1t_1rem_1set)(JNIEnv* env, jclass, jlong self, jobject, jlong value)
{
    guarded(env, [&] {
        if (auto* division = fromHandle<std::imaxdiv_t>(self)) {
            division->rem = value;
        }
    });
}

CORVANE_EXPORT(jlong, imaxdiv_1t_1rem_1get)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&]() -> jlong {
        const auto* division = fromHandle<std::imaxdiv_t>(self);
        return division != nullptr ? static_cast<jlong>(division->rem) : 0;
    });
}

CORVANE_EXPORT(jlong, imaxabs)(JNIEnv* env, jclass, jlong value)
{
    return guarded(env, [&] { return static_cast<jlong>(absoluteValue(value)); });
}

CORVANE_EXPORT(jlong, imaxdiv)(JNIEnv* env, jclass, jlong numerator, jlong denominator)
{
    return guarded(env, [&]() -> jlong {
        if (denominator == 0) {
            throwJava(env, binding::arithmeticException, "division by zero");
            return 0;
        }
        std::imaxdiv_t division{};
        if (numerator == std::numeric_limits<std::intmax_t>::min() && denominator == -1) {
            division.quot = numerator;  // the quotient 2^63 wraps, as in Java
            division.rem = 0;
        } else {
            division = std::imaxdiv(numerator, denominator);
        }
        return toHandle(new std::imaxdiv_t(division));
    });
}

CORVANE_EXPORT(jlong, strtoimax)(JNIEnv* env, jclass, jstring text, jlong, jint base)
{
    return guarded(env, [&]() -> jlong {
        std::string digits;
        if (!fetchString(env, text, digits)) {
            return 0;
        }
        return static_cast<jlong>(std::strtoimax(digits.c_str(), nullptr, base));
    });
}

CORVANE_EXPORT(jobject, strtoumax)(JNIEnv* env, jclass, jstring text, jlong, jint base)
{
    return guarded(env, [&]() -> jobject {
        std::string digits;
        if (!fetchString(env, text, digits)) {
            return nullptr;
        }
        return toBigInteger(env, std::strtoumax(digits.c_str(), nullptr, base));
    });
}
