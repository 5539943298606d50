// What every export of the bus library needs: handles, text arguments, Java exceptions, and
// the guard that keeps C++ exceptions from crossing into the JVM.
#pragma once

#include <jni.h>

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>

// CORVANE_EXPORT(jlong, new_1Corvane)(JNIEnv* env, jclass) { ... }
#define CORVANE_EXPORT(type, name) \
    extern "C" JNIEXPORT type JNICALL Java_com_ethercat_lib_CorvaneJavaJNI_##name

namespace binding {

inline constexpr const char* nullPointerException = "java/lang/NullPointerException";
inline constexpr const char* indexOutOfBoundsException = "java/lang/IndexOutOfBoundsException";
inline constexpr const char* illegalArgumentException = "java/lang/IllegalArgumentException";
inline constexpr const char* arithmeticException = "java/lang/ArithmeticException";
inline constexpr const char* outOfMemoryError = "java/lang/OutOfMemoryError";
inline constexpr const char* runtimeException = "java/lang/RuntimeException";
inline constexpr const char* nullStringText = "null string";
inline constexpr const char* indexOutOfRangeText = "vector index out of range";

// Replaces any pending exception by a new one of the named class; nothing when the class is
// not found (FindClass has then raised NoClassDefFoundError, which stays).
void throwJava(JNIEnv* env, const char* className, const char* message);

// Copies a Java string into `out`. A null string raises the null-string exception; a failed
// fetch leaves the virtual machine's own exception pending. Either way it returns false.
bool fetchString(JNIEnv* env, jstring text, std::string& out);

template <typename T>
T* fromHandle(jlong handle)
{
    return reinterpret_cast<T*>(static_cast<intptr_t>(handle));
}

template <typename T>
jlong toHandle(T* object)
{
    return static_cast<jlong>(reinterpret_cast<intptr_t>(object));
}

// Runs an export's body and turns a C++ exception into a Java one. The fallback value is what
// the export returns then (0, null handle, false).
template <typename Body>
auto guarded(JNIEnv* env, Body&& body) -> decltype(body())
{
    using R = decltype(body());
    try {
        return body();
    } catch (const std::bad_alloc&) {
        throwJava(env, outOfMemoryError, "native allocation failed");
    } catch (const std::exception& error) {
        throwJava(env, runtimeException, error.what());
    } catch (...) {
        throwJava(env, runtimeException, "unknown native error");
    }
    if constexpr (!std::is_void_v<R>) {
        return R{};
    }
}

}  // namespace binding
