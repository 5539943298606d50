// The JNI glue against a fake JNIEnv that records what the glue asks of the JVM: which exception
// it raises with which text, and that it lets go of every string it fetched.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "binding/JniSupport.h"

using iolinkjni::fetchString;
using iolinkjni::guarded;
using iolinkjni::JavaException;

namespace {

struct Raised {
    std::string javaClass;
    std::string message;
    bool operator==(const Raised&) const = default;
};

// Java classes are fake pointers to their names; strings are fake pointers to their text, or to
// nullptr for a string the JVM fails to fetch.
class FakeJvm {
public:
    FakeJvm()
    {
        table.ExceptionClear = [](JNIEnv*) { active->pending.clear(); };
        table.FindClass = [](JNIEnv*, const char* name) -> jclass {
            auto known = active->classes.find(name);
            return known == active->classes.end() ? nullptr : reinterpret_cast<jclass>(&known->second);
        };
        table.ThrowNew = [](JNIEnv*, jclass javaClass, const char* message) -> jint {
            active->pending.push_back({*reinterpret_cast<std::string*>(javaClass), message});
            return 0;
        };
        table.DeleteLocalRef = [](JNIEnv*, jobject) {};
        table.GetStringUTFChars = [](JNIEnv*, jstring text, jboolean*) -> const char* {
            const char* chars = *reinterpret_cast<const char**>(text);
            active->fetched += chars != nullptr ? 1 : 0;
            return chars;
        };
        table.ReleaseStringUTFChars = [](JNIEnv*, jstring, const char*) { ++active->released; };
        env.functions = &table;
        active = this;
    }
    ~FakeJvm() { active = nullptr; }

    void knowClass(const std::string& name) { classes[name] = name; }
    static jstring javaString(const char*& chars) { return reinterpret_cast<jstring>(&chars); }

    JNIEnv env{};
    std::vector<Raised> pending;
    int fetched = 0;
    int released = 0;

private:
    static inline FakeJvm* active = nullptr;
    JNINativeInterface_ table{};
    std::map<std::string, std::string, std::less<>> classes;
};

class JniGlue : public testing::Test {
protected:
    JniGlue()
    {
        for (const char* name : {"java/lang/NullPointerException", "java/lang/RuntimeException",
                                 "java/lang/OutOfMemoryError", "java/lang/ArithmeticException"}) {
            jvm.knowClass(name);
        }
    }

    FakeJvm jvm;
};

struct ThrowCase {
    const char* name;
    std::function<void()> fail;
    Raised raised;
};

void PrintTo(const ThrowCase& c, std::ostream* out)
{
    *out << c.name;
}

class JniGuard : public JniGlue, public testing::WithParamInterface<ThrowCase> {};

TEST_P(JniGuard, TurnsTheCxxExceptionIntoAJavaOneAndReturnsZero)
{
    jvm.pending.push_back({"java/lang/IllegalStateException", "stale"});

    const jlong returned = guarded(&jvm.env, [&]() -> jlong {
        GetParam().fail();
        return 42;
    });

    EXPECT_EQ(returned, 0);
    EXPECT_EQ(jvm.pending, std::vector<Raised>{GetParam().raised});
}

INSTANTIATE_TEST_SUITE_P(
    Exceptions, JniGuard,
    testing::Values(
        ThrowCase{"BadAlloc", [] { throw std::bad_alloc(); }, {"java/lang/OutOfMemoryError", "std::bad_alloc"}},
        ThrowCase{"StdException", [] { throw std::length_error("too long"); }, {"java/lang/RuntimeException", "too long"}},
        ThrowCase{"Unknown", [] { throw 7; }, {"java/lang/RuntimeException", "unknown native exception"}},
        ThrowCase{"ChosenJavaClass",
                  [] { throw JavaException("java/lang/ArithmeticException", "division by zero"); },
                  {"java/lang/ArithmeticException", "division by zero"}}),
    [](const testing::TestParamInfo<ThrowCase>& caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(JniGlue, GuardPassesTheValueThroughWhenNothingIsThrown)
{
    EXPECT_EQ(guarded(&jvm.env, [] { return jlong{42}; }), 42);
    guarded(&jvm.env, [] {});
    EXPECT_TRUE(jvm.pending.empty());
}

TEST_F(JniGlue, AnUnknownExceptionClassRaisesNothingOfOurs)
{
    iolinkjni::throwJava(&jvm.env, "java/lang/NoSuchThing", "x");
    EXPECT_TRUE(jvm.pending.empty());
}

TEST_F(JniGlue, FetchStringCopiesAndReleases)
{
    const char* chars = "COM3";
    const auto text = fetchString(&jvm.env, FakeJvm::javaString(chars));
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, "COM3");
    EXPECT_EQ(jvm.released, jvm.fetched);
    EXPECT_TRUE(jvm.pending.empty());
}

TEST_F(JniGlue, FetchStringOfNullRaisesNullPointerException)
{
    EXPECT_FALSE(fetchString(&jvm.env, nullptr).has_value());
    EXPECT_EQ(jvm.pending, (std::vector<Raised>{{"java/lang/NullPointerException", "null string"}}));
    EXPECT_EQ(jvm.fetched, 0);
}

TEST_F(JniGlue, FetchStringThatTheJvmCannotDeliverGivesNothingAndReleasesNothing)
{
    const char* unavailable = nullptr;
    EXPECT_FALSE(fetchString(&jvm.env, FakeJvm::javaString(unavailable)).has_value());
    EXPECT_EQ(jvm.released, 0);
    EXPECT_TRUE(jvm.pending.empty());
}

} // namespace
