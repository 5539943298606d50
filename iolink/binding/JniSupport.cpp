#include "binding/JniSupport.h"

#include <new>

namespace iolinkjni {

void throwJava(JNIEnv* env, const char* javaClass, const char* message) noexcept
{
    env->ExceptionClear();
    jclass exceptionClass = env->FindClass(javaClass);
    if (exceptionClass == nullptr) {
        return;
    }
    env->ThrowNew(exceptionClass, message);
    env->DeleteLocalRef(exceptionClass);
}

std::optional<std::string> fetchString(JNIEnv* env, jstring text)
{
    if (text == nullptr) {
        throwJava(env, "java/lang/NullPointerException", "null string");
        return std::nullopt;
    }
    const char* chars = env->GetStringUTFChars(text, nullptr);
    if (chars == nullptr) {
        return std::nullopt;
    }
    // Released even when the copy throws.
    struct Release {
        JNIEnv* env;
        jstring text;
        const char* chars;
        ~Release() { env->ReleaseStringUTFChars(text, chars); }
    } release{env, text, chars};
    return std::string(chars);
}

void raiseCurrentException(JNIEnv* env) noexcept
{
    try {
        throw;
    } catch (const JavaException& e) {
        throwJava(env, e.javaClass, e.what());
    } catch (const std::bad_alloc& e) {
        throwJava(env, "java/lang/OutOfMemoryError", e.what());
    } catch (const std::exception& e) {
        throwJava(env, "java/lang/RuntimeException", e.what());
    } catch (...) {
        throwJava(env, "java/lang/RuntimeException", "unknown native exception");
    }
}

} // namespace iolinkjni
