// JNI exports of the result records. Every constructor hands Java a new heap record that the
// Java proxy owns and frees through the matching delete export.
#include <jni.h>

#include <utility>

#include "binding/JniSupport.h"
#include "link/Result.h"

using iolinkjni::fetchString;
using iolinkjni::fromHandle;
using iolinkjni::guarded;
using iolinkjni::toHandle;

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_new_1Result(
    JNIEnv* env, jclass, jboolean result, jstring message)
{
    return guarded(env, [&]() -> jlong {
        auto text = fetchString(env, message);
        if (!text) {
            return 0;
        }
        return toHandle(new Result(result != JNI_FALSE, std::move(*text)));
    });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_delete_1Result(
    JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<Result>(handle); });
}

extern "C" JNIEXPORT jboolean JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_Result_1getResult(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&]() -> jboolean {
        return fromHandle<Result>(self)->getResult() ? JNI_TRUE : JNI_FALSE;
    });
}

extern "C" JNIEXPORT jstring JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_Result_1getMessage(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] { return env->NewStringUTF(fromHandle<Result>(self)->getMessage().c_str()); });
}

extern "C" JNIEXPORT jstring JNICALL
Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_Result_1getMessageWithEom(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] {
        return env->NewStringUTF(fromHandle<Result>(self)->getMessageWithEom().c_str());
    });
}

// ResultLong

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_new_1ResultLong_1_1SWIG_10(
    JNIEnv* env, jclass, jboolean result, jstring message, jint value)
{
    return guarded(env, [&]() -> jlong {
        auto text = fetchString(env, message);
        if (!text) {
            return 0;
        }
        return toHandle(new ResultLong(result != JNI_FALSE, std::move(*text), value));
    });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_new_1ResultLong_1_1SWIG_11(
    JNIEnv* env, jclass, jboolean result, jstring message)
{
    return guarded(env, [&]() -> jlong {
        auto text = fetchString(env, message);
        if (!text) {
            return 0;
        }
        return toHandle(new ResultLong(result != JNI_FALSE, std::move(*text)));
    });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_delete_1ResultLong(
    JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<ResultLong>(handle); });
}

extern "C" JNIEXPORT jint JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ResultLong_1getLong(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&]() -> jint { return fromHandle<ResultLong>(self)->getLong(); });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ResultLong_1setLong(
    JNIEnv* env, jclass, jlong self, jobject, jint value)
{
    guarded(env, [&] { fromHandle<ResultLong>(self)->setLong(value); });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ResultLong_1SWIGUpcast(
    JNIEnv* env, jclass, jlong handle)
{
    return guarded(env, [&] { return toHandle(static_cast<Result*>(fromHandle<ResultLong>(handle))); });
}

// ResultString

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_new_1ResultString_1_1SWIG_10(
    JNIEnv* env, jclass, jboolean result, jstring message, jstring value)
{
    return guarded(env, [&]() -> jlong {
        // The message is fetched and released before the value is looked at.
        auto messageText = fetchString(env, message);
        if (!messageText) {
            return 0;
        }
        auto valueText = fetchString(env, value);
        if (!valueText) {
            return 0;
        }
        return toHandle(new ResultString(result != JNI_FALSE, std::move(*messageText), std::move(*valueText)));
    });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_new_1ResultString_1_1SWIG_11(
    JNIEnv* env, jclass, jboolean result, jstring message)
{
    return guarded(env, [&]() -> jlong {
        auto text = fetchString(env, message);
        if (!text) {
            return 0;
        }
        return toHandle(new ResultString(result != JNI_FALSE, std::move(*text)));
    });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_delete_1ResultString(
    JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<ResultString>(handle); });
}

extern "C" JNIEXPORT jstring JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ResultString_1getString(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] { return env->NewStringUTF(fromHandle<ResultString>(self)->getString().c_str()); });
}

extern "C" JNIEXPORT void JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ResultString_1setString(
    JNIEnv* env, jclass, jlong self, jobject, jstring value)
{
    guarded(env, [&] {
        auto text = fetchString(env, value);
        if (text) {
            fromHandle<ResultString>(self)->setString(std::move(*text));
        }
    });
}

extern "C" JNIEXPORT jlong JNICALL Java_com_tavelin_iolink_lib_IoLinkLibJavaJNI_ResultString_1SWIGUpcast(
    JNIEnv* env, jclass, jlong handle)
{
    return guarded(env, [&] { return toHandle(static_cast<Result*>(fromHandle<ResultString>(handle))); });
}
