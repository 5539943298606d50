#include "JniSupport.h"

namespace binding {

void throwJava(JNIEnv* env, const char* className, const char* message)
{
    env->ExceptionClear();
    jclass type = env->FindClass(className);
    if (type != nullptr) {
        env->ThrowNew(type, message);
        env->DeleteLocalRef(type);
    }
}

bool fetchString(JNIEnv* env, jstring text, std::string& out)
{
    if (text == nullptr) {
        throwJava(env, nullPointerException, nullStringText);
        return false;
    }
    const char* characters = env->GetStringUTFChars(text, nullptr);
    if (characters == nullptr) {
        return false;
    }
    try {
        out.assign(characters);
    } catch (...) {
        env->ReleaseStringUTFChars(text, characters);
        throw;
    }
    env->ReleaseStringUTFChars(text, characters);
    return true;
}

}  // namespace binding
