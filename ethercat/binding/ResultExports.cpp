// Exports of the result records. The derived records start with their Result part and have no
// virtual functions, so a handle to one is also a valid handle to its Result; the upcast
// exports still go through a real conversion so that this stays true if the layout changes.
// Each record must be freed through its own delete export: Result has no virtual destructor.
#include "JniSupport.h"
#include "Result.h"

using binding::fetchString;
using binding::fromHandle;
using binding::guarded;
using binding::throwJava;
using binding::toHandle;

namespace {

constexpr const char* nullLongVectorText = "Attempt to dereference null std::vector< uint32_t >";
constexpr const char* nullCharVectorText = "Attempt to dereference null std::vector< char >";

// The vector argument of the array results, or null after raising the class's own exception.
template <typename Element>
const std::vector<Element>* vectorArgument(JNIEnv* env, jlong handle, const char* nullText)
{
    if (handle == 0) {
        throwJava(env, binding::nullPointerException, nullText);
        return nullptr;
    }
    return fromHandle<const std::vector<Element>>(handle);
}

template <typename Derived>
jlong upcast(jlong handle)
{
    return toHandle(static_cast<Result*>(fromHandle<Derived>(handle)));
}

}  // namespace

CORVANE_EXPORT(jlong, new_1Result)(JNIEnv* env, jclass, jboolean success, jstring message)
{
    return guarded(env, [&]() -> jlong {
        std::string text;
        if (!fetchString(env, message, text)) {
            return 0;
        }
        return toHandle(new Result(success != JNI_FALSE, std::move(text)));
    });
}

CORVANE_EXPORT(void, delete_1Result)(JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<Result>(handle); });
}

CORVANE_EXPORT(jboolean, Result_1GetResult)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&]() -> jboolean {
        return fromHandle<Result>(self)->GetResult() ? JNI_TRUE : JNI_FALSE;
    });
}

CORVANE_EXPORT(jstring, Result_1GetMessage)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] {
        return env->NewStringUTF(fromHandle<Result>(self)->GetMessage().c_str());
    });
}

CORVANE_EXPORT(jstring, Result_1GetMessageWithEom)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] {
        return env->NewStringUTF(fromHandle<Result>(self)->GetMessageWithEom().c_str());
    });
}

CORVANE_EXPORT(jlong, new_1ResultInt)(
    JNIEnv* env, jclass, jboolean success, jstring message, jint value)
{
    return guarded(env, [&]() -> jlong {
        std::string text;
        if (!fetchString(env, message, text)) {
            return 0;
        }
        return toHandle(new ResultInt(success != JNI_FALSE, std::move(text), value));
    });
}

CORVANE_EXPORT(void, delete_1ResultInt)(JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<ResultInt>(handle); });
}

CORVANE_EXPORT(jint, ResultInt_1getInt)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] { return static_cast<jint>(fromHandle<ResultInt>(self)->getInt()); });
}

CORVANE_EXPORT(jlong, ResultInt_1SWIGUpcast)(JNIEnv* env, jclass, jlong handle)
{
    return guarded(env, [&] { return upcast<ResultInt>(handle); });
}

CORVANE_EXPORT(jlong, new_1ResultLong)(
    JNIEnv* env, jclass, jboolean success, jstring message, jint value)
{
    return guarded(env, [&]() -> jlong {
        std::string text;
        if (!fetchString(env, message, text)) {
            return 0;
        }
        return toHandle(new ResultLong(success != JNI_FALSE, std::move(text), value));
    });
}

CORVANE_EXPORT(void, delete_1ResultLong)(JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<ResultLong>(handle); });
}

CORVANE_EXPORT(jint, ResultLong_1getLong)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] { return static_cast<jint>(fromHandle<ResultLong>(self)->getLong()); });
}

CORVANE_EXPORT(void, ResultLong_1setLong)(JNIEnv* env, jclass, jlong self, jobject, jint value)
{
    guarded(env, [&] { fromHandle<ResultLong>(self)->setLong(value); });
}

CORVANE_EXPORT(jlong, ResultLong_1SWIGUpcast)(JNIEnv* env, jclass, jlong handle)
{
    return guarded(env, [&] { return upcast<ResultLong>(handle); });
}

CORVANE_EXPORT(jlong, new_1ResultLongArray)(
    JNIEnv* env, jclass, jboolean success, jstring message, jlong values, jobject)
{
    return guarded(env, [&]() -> jlong {
        std::string text;
        if (!fetchString(env, message, text)) {
            return 0;
        }
        const auto* numbers = vectorArgument<uint32_t>(env, values, nullLongVectorText);
        if (numbers == nullptr) {
            return 0;
        }
        return toHandle(new ResultLongArray(success != JNI_FALSE, std::move(text), *numbers));
    });
}

CORVANE_EXPORT(void, delete_1ResultLongArray)(JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<ResultLongArray>(handle); });
}

CORVANE_EXPORT(jlong, ResultLongArray_1getLongArray)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] {
        return toHandle(new std::vector<uint32_t>(fromHandle<ResultLongArray>(self)->getLongArray()));
    });
}

CORVANE_EXPORT(void, ResultLongArray_1setLongArray)(
    JNIEnv* env, jclass, jlong self, jobject, jlong values, jobject)
{
    guarded(env, [&] {
        if (const auto* numbers = vectorArgument<uint32_t>(env, values, nullLongVectorText)) {
            fromHandle<ResultLongArray>(self)->setLongArray(*numbers);
        }
    });
}

CORVANE_EXPORT(jlong, ResultLongArray_1SWIGUpcast)(JNIEnv* env, jclass, jlong handle)
{
    return guarded(env, [&] { return upcast<ResultLongArray>(handle); });
}

CORVANE_EXPORT(jlong, new_1ResultCharArray)(
    JNIEnv* env, jclass, jboolean success, jstring message, jlong values, jobject)
{
    return guarded(env, [&]() -> jlong {
        std::string text;
        if (!fetchString(env, message, text)) {
            return 0;
        }
        const auto* bytes = vectorArgument<char>(env, values, nullCharVectorText);
        if (bytes == nullptr) {
            return 0;
        }
        return toHandle(new ResultCharArray(success != JNI_FALSE, std::move(text), *bytes));
    });
}

CORVANE_EXPORT(void, delete_1ResultCharArray)(JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<ResultCharArray>(handle); });
}

CORVANE_EXPORT(jlong, ResultCharArray_1getCharArray)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] {
        return toHandle(new std::vector<char>(fromHandle<ResultCharArray>(self)->getCharArray()));
    });
}

CORVANE_EXPORT(void, ResultCharArray_1setCharArray)(
    JNIEnv* env, jclass, jlong self, jobject, jlong values, jobject)
{
    guarded(env, [&] {
        if (const auto* bytes = vectorArgument<char>(env, values, nullCharVectorText)) {
            fromHandle<ResultCharArray>(self)->setCharArray(*bytes);
        }
    });
}

CORVANE_EXPORT(jlong, ResultCharArray_1SWIGUpcast)(JNIEnv* env, jclass, jlong handle)
{
    return guarded(env, [&] { return upcast<ResultCharArray>(handle); });
}
