// Exports of the vector classes. All seven share one set of eleven operations (VectorOps);
// an element policy says how one element crosses the boundary. The exports below only
// forward, so a fix to an operation reaches every vector class at once.
//
// Records are handed out by address: get returns a handle into the vector's own storage, which
// the vector keeps owning and which any reallocation (add, reserve, clear) invalidates.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "DeviceDescription.h"
#include "EthernetDevicesDescription.h"
#include "JniSupport.h"

using binding::fromHandle;
using binding::guarded;
using binding::throwJava;
using binding::toHandle;

namespace {

// Numbers. Narrowing keeps the low bits, as a C cast would.
template <typename NativeElement, typename JavaElement>
struct NumberElements {
    using Element = NativeElement;
    using Java = JavaElement;

    static bool toNative(JNIEnv*, NativeElement& out, JavaElement value)
    {
        out = static_cast<NativeElement>(value);
        return true;
    }
    static JavaElement toJava(JNIEnv*, NativeElement& element)
    {
        return static_cast<JavaElement>(element);
    }
};

// Bytes come back sign-extended (0xE9 reads as 0xFFE9), however the platform signs char.
struct CharElements : NumberElements<char, jchar> {
    static jchar toJava(JNIEnv*, char& element)
    {
        return static_cast<jchar>(static_cast<signed char>(element));
    }
};

struct StringElements {
    using Element = std::string;
    using Java = jstring;

    static bool toNative(JNIEnv* env, std::string& out, jstring value)
    {
        return binding::fetchString(env, value, out);
    }
    static jstring toJava(JNIEnv* env, std::string& element)
    {
        return env->NewStringUTF(element.c_str());
    }
};

template <typename Record>
struct RecordElements {
    using Element = Record;
    using Java = jlong;
    static const char* nullText;

    static bool toNative(JNIEnv* env, Record& out, jlong handle)
    {
        if (handle == 0) {
            throwJava(env, binding::nullPointerException, nullText);
            return false;
        }
        out = *fromHandle<const Record>(handle);
        return true;
    }
    static jlong toJava(JNIEnv*, Record& element)
    {
        return toHandle(&element);
    }
};

template <>
const char* RecordElements<DeviceDescription>::nullText =
    "std::vector< DeviceDescription >::value_type const & reference is null";
template <>
const char* RecordElements<EthernetDevicesDescription>::nullText =
    "std::vector< EthernetDevicesDescription >::value_type const & reference is null";

template <typename Elements>
class VectorOps {
public:
    using Element = typename Elements::Element;
    using Vector = std::vector<Element>;
    using Java = typename Elements::Java;

    static jlong createEmpty(JNIEnv* env)
    {
        return guarded(env, [] { return toHandle(new Vector()); });
    }

    static jlong createSized(JNIEnv* env, jlong count)
    {
        return guarded(env, [&]() -> jlong {
            if (!checkCount(env, count)) {
                return 0;
            }
            return toHandle(new Vector(static_cast<std::size_t>(count)));
        });
    }

    static jlong size(JNIEnv* env, jlong self)
    {
        return guarded(env, [&] { return static_cast<jlong>(vector(self).size()); });
    }

    static jlong capacity(JNIEnv* env, jlong self)
    {
        return guarded(env, [&] { return static_cast<jlong>(vector(self).capacity()); });
    }

    static void reserve(JNIEnv* env, jlong self, jlong count)
    {
        guarded(env, [&] {
            if (checkCount(env, count)) {
                vector(self).reserve(static_cast<std::size_t>(count));
            }
        });
    }

    static jboolean isEmpty(JNIEnv* env, jlong self)
    {
        return guarded(env, [&]() -> jboolean { return vector(self).empty() ? JNI_TRUE : JNI_FALSE; });
    }

    static void clear(JNIEnv* env, jlong self)
    {
        guarded(env, [&] { vector(self).clear(); });
    }

    template <typename... JavaValue>
    static void add(JNIEnv* env, jlong self, JavaValue... value)
    {
        guarded(env, [&] {
            Element element{};
            if (Elements::toNative(env, element, value...)) {
                vector(self).push_back(std::move(element));
            }
        });
    }

    static Java get(JNIEnv* env, jlong self, jint position)
    {
        return guarded(env, [&]() -> Java {
            Vector& elements = vector(self);
            if (!checkPosition(env, elements, position)) {
                return Java{};
            }
            return Elements::toJava(env, elements[static_cast<std::size_t>(position)]);
        });
    }

    // The position is tested before the element, in parameter order.
    template <typename... JavaValue>
    static void set(JNIEnv* env, jlong self, jint position, JavaValue... value)
    {
        guarded(env, [&] {
            Vector& elements = vector(self);
            if (!checkPosition(env, elements, position)) {
                return;
            }
            Element element{};
            if (Elements::toNative(env, element, value...)) {
                elements[static_cast<std::size_t>(position)] = std::move(element);
            }
        });
    }

    static void destroy(JNIEnv* env, jlong handle)
    {
        guarded(env, [&] { delete fromHandle<Vector>(handle); });
    }

private:
    static Vector& vector(jlong self)
    {
        return *fromHandle<Vector>(self);
    }

    // A negative count would otherwise become a request for nearly 2^64 elements.
    static bool checkCount(JNIEnv* env, jlong count)
    {
        if (count < 0) {
            const std::string text = "vector size must not be negative: " + std::to_string(count);
            throwJava(env, binding::illegalArgumentException, text.c_str());
            return false;
        }
        return true;
    }

    static bool checkPosition(JNIEnv* env, const Vector& elements, jint position)
    {
        if (position < 0 || static_cast<std::size_t>(position) >= elements.size()) {
            throwJava(env, binding::indexOutOfBoundsException, binding::indexOutOfRangeText);
            return false;
        }
        return true;
    }
};

using CharVectorOps = VectorOps<CharElements>;
using ShortVectorOps = VectorOps<NumberElements<uint8_t, jshort>>;
using IntVectorOps = VectorOps<NumberElements<int, jint>>;
using LongVectorOps = VectorOps<NumberElements<uint32_t, jlong>>;
using StringVectorOps = VectorOps<StringElements>;
using DeviceVectorOps = VectorOps<RecordElements<DeviceDescription>>;
using AdapterVectorOps = VectorOps<RecordElements<EthernetDevicesDescription>>;

}  // namespace

// The exports, eleven per vector class, in the same order for each.

// CharVector

CORVANE_EXPORT(jlong, new_1CharVector_1_1SWIG_10)(JNIEnv* env, jclass)
{
    return CharVectorOps::createEmpty(env);
}

CORVANE_EXPORT(jlong, new_1CharVector_1_1SWIG_11)(JNIEnv* env, jclass, jlong count)
{
    return CharVectorOps::createSized(env, count);
}

CORVANE_EXPORT(jlong, CharVector_1size)(JNIEnv* env, jclass, jlong self, jobject)
{
    return CharVectorOps::size(env, self);
}

CORVANE_EXPORT(jlong, CharVector_1capacity)(JNIEnv* env, jclass, jlong self, jobject)
{
    return CharVectorOps::capacity(env, self);
}

CORVANE_EXPORT(void, CharVector_1reserve)(JNIEnv* env, jclass, jlong self, jobject, jlong count)
{
    CharVectorOps::reserve(env, self, count);
}

CORVANE_EXPORT(jboolean, CharVector_1isEmpty)(JNIEnv* env, jclass, jlong self, jobject)
{
    return CharVectorOps::isEmpty(env, self);
}

CORVANE_EXPORT(void, CharVector_1clear)(JNIEnv* env, jclass, jlong self, jobject)
{
    CharVectorOps::clear(env, self);
}

CORVANE_EXPORT(void, CharVector_1add)(JNIEnv* env, jclass, jlong self, jobject, jchar value)
{
    CharVectorOps::add(env, self, value);
}

CORVANE_EXPORT(jchar, CharVector_1get)(JNIEnv* env, jclass, jlong self, jobject, jint position)
{
    return CharVectorOps::get(env, self, position);
}

CORVANE_EXPORT(void, CharVector_1set)(
    JNIEnv* env, jclass, jlong self, jobject, jint position, jchar value)
{
    CharVectorOps::set(env, self, position, value);
}

CORVANE_EXPORT(void, delete_1CharVector)(JNIEnv* env, jclass, jlong handle)
{
    CharVectorOps::destroy(env, handle);
}

// ShortVector

CORVANE_EXPORT(jlong, new_1ShortVector_1_1SWIG_10)(JNIEnv* env, jclass)
{
    return ShortVectorOps::createEmpty(env);
}

CORVANE_EXPORT(jlong, new_1ShortVector_1_1SWIG_11)(JNIEnv* env, jclass, jlong count)
{
    return ShortVectorOps::createSized(env, count);
}

CORVANE_EXPORT(jlong, ShortVector_1size)(JNIEnv* env, jclass, jlong self, jobject)
{
    return ShortVectorOps::size(env, self);
}

CORVANE_EXPORT(jlong, ShortVector_1capacity)(JNIEnv* env, jclass, jlong self, jobject)
{
    return ShortVectorOps::capacity(env, self);
}

CORVANE_EXPORT(void, ShortVector_1reserve)(JNIEnv* env, jclass, jlong self, jobject, jlong count)
{
    ShortVectorOps::reserve(env, self, count);
}

CORVANE_EXPORT(jboolean, ShortVector_1isEmpty)(JNIEnv* env, jclass, jlong self, jobject)
{
    return ShortVectorOps::isEmpty(env, self);
}

CORVANE_EXPORT(void, ShortVector_1clear)(JNIEnv* env, jclass, jlong self, jobject)
{
    ShortVectorOps::clear(env, self);
}

CORVANE_EXPORT(void, ShortVector_1add)(JNIEnv* env, jclass, jlong self, jobject, jshort value)
{
    ShortVectorOps::add(env, self, value);
}

CORVANE_EXPORT(jshort, ShortVector_1get)(JNIEnv* env, jclass, jlong self, jobject, jint position)
{
    return ShortVectorOps::get(env, self, position);
}

CORVANE_EXPORT(void, ShortVector_1set)(
    JNIEnv* env, jclass, jlong self, jobject, jint position, jshort value)
{
    ShortVectorOps::set(env, self, position, value);
}

CORVANE_EXPORT(void, delete_1ShortVector)(JNIEnv* env, jclass, jlong handle)
{
    ShortVectorOps::destroy(env, handle);
}

// IntVector

CORVANE_EXPORT(jlong, new_1IntVector_1_1SWIG_10)(JNIEnv* env, jclass)
{
    return IntVectorOps::createEmpty(env);
}

CORVANE_EXPORT(jlong, new_1IntVector_1_1SWIG_11)(JNIEnv* env, jclass, jlong count)
{
    return IntVectorOps::createSized(env, count);
}

CORVANE_EXPORT(jlong, IntVector_1size)(JNIEnv* env, jclass, jlong self, jobject)
{
    return IntVectorOps::size(env, self);
}

CORVANE_EXPORT(jlong, IntVector_1capacity)(JNIEnv* env, jclass, jlong self, jobject)
{
    return IntVectorOps::capacity(env, self);
}

CORVANE_EXPORT(void, IntVector_1reserve)(JNIEnv* env, jclass, jlong self, jobject, jlong count)
{
    IntVectorOps::reserve(env, self, count);
}

CORVANE_EXPORT(jboolean, IntVector_1isEmpty)(JNIEnv* env, jclass, jlong self, jobject)
{
    return IntVectorOps::isEmpty(env, self);
}

CORVANE_EXPORT(void, IntVector_1clear)(JNIEnv* env, jclass, jlong self, jobject)
{
    IntVectorOps::clear(env, self);
}

CORVANE_EXPORT(void, IntVector_1add)(JNIEnv* env, jclass, jlong self, jobject, jint value)
{
    IntVectorOps::add(env, self, value);
}

CORVANE_EXPORT(jint, IntVector_1get)(JNIEnv* env, jclass, jlong self, jobject, jint position)
{
    return IntVectorOps::get(env, self, position);
}

CORVANE_EXPORT(void, IntVector_1set)(
    JNIEnv* env, jclass, jlong self, jobject, jint position, jint value)
{
    IntVectorOps::set(env, self, position, value);
}

CORVANE_EXPORT(void, delete_1IntVector)(JNIEnv* env, jclass, jlong handle)
{
    IntVectorOps::destroy(env, handle);
}

// LongVector

CORVANE_EXPORT(jlong, new_1LongVector_1_1SWIG_10)(JNIEnv* env, jclass)
{
    return LongVectorOps::createEmpty(env);
}

CORVANE_EXPORT(jlong, new_1LongVector_1_1SWIG_11)(JNIEnv* env, jclass, jlong count)
{
    return LongVectorOps::createSized(env, count);
}

CORVANE_EXPORT(jlong, LongVector_1size)(JNIEnv* env, jclass, jlong self, jobject)
{
    return LongVectorOps::size(env, self);
}

CORVANE_EXPORT(jlong, LongVector_1capacity)(JNIEnv* env, jclass, jlong self, jobject)
{
    return LongVectorOps::capacity(env, self);
}

CORVANE_EXPORT(void, LongVector_1reserve)(JNIEnv* env, jclass, jlong self, jobject, jlong count)
{
    LongVectorOps::reserve(env, self, count);
}

CORVANE_EXPORT(jboolean, LongVector_1isEmpty)(JNIEnv* env, jclass, jlong self, jobject)
{
    return LongVectorOps::isEmpty(env, self);
}

CORVANE_EXPORT(void, LongVector_1clear)(JNIEnv* env, jclass, jlong self, jobject)
{
    LongVectorOps::clear(env, self);
}

CORVANE_EXPORT(void, LongVector_1add)(JNIEnv* env, jclass, jlong self, jobject, jlong value)
{
    LongVectorOps::add(env, self, value);
}

CORVANE_EXPORT(jlong, LongVector_1get)(JNIEnv* env, jclass, jlong self, jobject, jint position)
{
    return LongVectorOps::get(env, self, position);
}

CORVANE_EXPORT(void, LongVector_1set)(
    JNIEnv* env, jclass, jlong self, jobject, jint position, jlong value)
{
    LongVectorOps::set(env, self, position, value);
}

CORVANE_EXPORT(void, delete_1LongVector)(JNIEnv* env, jclass, jlong handle)
{
    LongVectorOps::destroy(env, handle);
}

// StringVector

CORVANE_EXPORT(jlong, new_1StringVector_1_1SWIG_10)(JNIEnv* env, jclass)
{
    return StringVectorOps::createEmpty(env);
}

CORVANE_EXPORT(jlong, new_1StringVector_1_1SWIG_11)(JNIEnv* env, jclass, jlong count)
{
    return StringVectorOps::createSized(env, count);
}

CORVANE_EXPORT(jlong, StringVector_1size)(JNIEnv* env, jclass, jlong self, jobject)
{
    return StringVectorOps::size(env, self);
}

CORVANE_EXPORT(jlong, StringVector_1capacity)(JNIEnv* env, jclass, jlong self, jobject)
{
    return StringVectorOps::capacity(env, self);
}

CORVANE_EXPORT(void, StringVector_1reserve)(JNIEnv* env, jclass, jlong self, jobject, jlong count)
{
    StringVectorOps::reserve(env, self, count);
}

CORVANE_EXPORT(jboolean, StringVector_1isEmpty)(JNIEnv* env, jclass, jlong self, jobject)
{
    return StringVectorOps::isEmpty(env, self);
}

CORVANE_EXPORT(void, StringVector_1clear)(JNIEnv* env, jclass, jlong self, jobject)
{
    StringVectorOps::clear(env, self);
}

CORVANE_EXPORT(void, StringVector_1add)(JNIEnv* env, jclass, jlong self, jobject, jstring value)
{
    StringVectorOps::add(env, self, value);
}

CORVANE_EXPORT(jstring, StringVector_1get)(JNIEnv* env, jclass, jlong self, jobject, jint position)
{
    return StringVectorOps::get(env, self, position);
}

CORVANE_EXPORT(void, StringVector_1set)(
    JNIEnv* env, jclass, jlong self, jobject, jint position, jstring value)
{
    StringVectorOps::set(env, self, position, value);
}

CORVANE_EXPORT(void, delete_1StringVector)(JNIEnv* env, jclass, jlong handle)
{
    StringVectorOps::destroy(env, handle);
}

// DeviceDescriptionVector

CORVANE_EXPORT(jlong, new_1DeviceDescriptionVector_1_1SWIG_10)(JNIEnv* env, jclass)
{
    return DeviceVectorOps::createEmpty(env);
}

CORVANE_EXPORT(jlong, new_1DeviceDescriptionVector_1_1SWIG_11)(JNIEnv* env, jclass, jlong count)
{
    return DeviceVectorOps::createSized(env, count);
}

CORVANE_EXPORT(jlong, DeviceDescriptionVector_1size)(JNIEnv* env, jclass, jlong self, jobject)
{
    return DeviceVectorOps::size(env, self);
}

CORVANE_EXPORT(jlong, DeviceDescriptionVector_1capacity)(JNIEnv* env, jclass, jlong self, jobject)
{
    return DeviceVectorOps::capacity(env, self);
}

CORVANE_EXPORT(void, DeviceDescriptionVector_1reserve)(
    JNIEnv* env, jclass, jlong self, jobject, jlong count)
{
    DeviceVectorOps::reserve(env, self, count);
}

CORVANE_EXPORT(jboolean, DeviceDescriptionVector_1isEmpty)(JNIEnv* env, jclass, jlong self, jobject)
{
    return DeviceVectorOps::isEmpty(env, self);
}

CORVANE_EXPORT(void, DeviceDescriptionVector_1clear)(JNIEnv* env, jclass, jlong self, jobject)
{
    DeviceVectorOps::clear(env, self);
}

CORVANE_EXPORT(void, DeviceDescriptionVector_1add)(
    JNIEnv* env, jclass, jlong self, jobject, jlong value, jobject)
{
    DeviceVectorOps::add(env, self, value);
}

CORVANE_EXPORT(jlong, DeviceDescriptionVector_1get)(
    JNIEnv* env, jclass, jlong self, jobject, jint position)
{
    return DeviceVectorOps::get(env, self, position);
}

CORVANE_EXPORT(void, DeviceDescriptionVector_1set)(
    JNIEnv* env, jclass, jlong self, jobject, jint position, jlong value, jobject)
{
    DeviceVectorOps::set(env, self, position, value);
}

CORVANE_EXPORT(void, delete_1DeviceDescriptionVector)(JNIEnv* env, jclass, jlong handle)
{
    DeviceVectorOps::destroy(env, handle);
}

// EthernetDevicesDescriptionVector

CORVANE_EXPORT(jlong, new_1EthernetDevicesDescriptionVector_1_1SWIG_10)(JNIEnv* env, jclass)
{
    return AdapterVectorOps::createEmpty(env);
}

CORVANE_EXPORT(jlong, new_1EthernetDevicesDescriptionVector_1_1SWIG_11)(
    JNIEnv* env, jclass, jlong count)
{
    return AdapterVectorOps::createSized(env, count);
}

CORVANE_EXPORT(jlong, EthernetDevicesDescriptionVector_1size)(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return AdapterVectorOps::size(env, self);
}

CORVANE_EXPORT(jlong, EthernetDevicesDescriptionVector_1capacity)(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return AdapterVectorOps::capacity(env, self);
}

CORVANE_EXPORT(void, EthernetDevicesDescriptionVector_1reserve)(
    JNIEnv* env, jclass, jlong self, jobject, jlong count)
{
    AdapterVectorOps::reserve(env, self, count);
}

CORVANE_EXPORT(jboolean, EthernetDevicesDescriptionVector_1isEmpty)(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return AdapterVectorOps::isEmpty(env, self);
}

CORVANE_EXPORT(void, EthernetDevicesDescriptionVector_1clear)(
    JNIEnv* env, jclass, jlong self, jobject)
{
    AdapterVectorOps::clear(env, self);
}

CORVANE_EXPORT(void, EthernetDevicesDescriptionVector_1add)(
    JNIEnv* env, jclass, jlong self, jobject, jlong value, jobject)
{
    AdapterVectorOps::add(env, self, value);
}

CORVANE_EXPORT(jlong, EthernetDevicesDescriptionVector_1get)(
    JNIEnv* env, jclass, jlong self, jobject, jint position)
{
    return AdapterVectorOps::get(env, self, position);
}

CORVANE_EXPORT(void, EthernetDevicesDescriptionVector_1set)(
    JNIEnv* env, jclass, jlong self, jobject, jint position, jlong value, jobject)
{
    AdapterVectorOps::set(env, self, position, value);
}

CORVANE_EXPORT(void, delete_1EthernetDevicesDescriptionVector)(JNIEnv* env, jclass, jlong handle)
{
    AdapterVectorOps::destroy(env, handle);
}
