// Glue shared by the JNI exports: raising Java exceptions, fetching Java strings, turning
// handles into objects and back, and the guard that keeps C++ exceptions from unwinding into the
// JVM (which would abort the whole Java process).
#pragma once

#include <jni.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

namespace iolinkjni {

// Raises javaClass (for example "java/lang/IllegalArgumentException") with message, replacing
// any pending exception. When the class cannot be found, the JVM's NoClassDefFoundError stays
// pending instead.
void throwJava(JNIEnv* env, const char* javaClass, const char* message) noexcept;

// Thrown inside an export body to make the guard raise a given Java exception.
class JavaException : public std::runtime_error {
public:
    JavaException(const char* exceptionClass, const std::string& message)
        : std::runtime_error(message), javaClass(exceptionClass) {}

    const char* javaClass;
};

// Copies a Java string (modified UTF-8) into a std::string. A null string raises
// NullPointerException "null string"; both that and a failed fetch (the JVM has an exception
// pending then) give nullopt, and the export must return at once.
std::optional<std::string> fetchString(JNIEnv* env, jstring text);

// Raises the Java counterpart of the exception being handled; call only inside a catch block.
void raiseCurrentException(JNIEnv* env) noexcept;

// Runs an export body; any C++ exception becomes a pending Java exception and the export returns
// a zero value of its type.
template <typename Body>
auto guarded(JNIEnv* env, Body&& body) noexcept -> std::invoke_result_t<Body&>
{
    using Value = std::invoke_result_t<Body&>;
    try {
        return body();
    } catch (...) {
        raiseCurrentException(env);
        if constexpr (!std::is_void_v<Value>) {
            return Value{};
        }
    }
}

template <typename T>
jlong toHandle(T* object) noexcept
{
    return static_cast<jlong>(reinterpret_cast<std::intptr_t>(object));
}

template <typename T>
T* fromHandle(jlong handle) noexcept
{
    return reinterpret_cast<T*>(static_cast<std::intptr_t>(handle));
}

} // namespace iolinkjni
