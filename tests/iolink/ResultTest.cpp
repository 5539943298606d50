// The result records and the framing of their message for the Java reader.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "link/Result.h"

namespace {

struct FramingCase {
    bool result;
    std::string message;
    std::string framed;
};

void PrintTo(const FramingCase& c, std::ostream* out)
{
    *out << (c.result ? "success" : "failure") << " \"" << c.message << "\"";
}

class ResultFraming : public testing::TestWithParam<FramingCase> {};

TEST_P(ResultFraming, PutsErrorInFrontOfFailuresAndEomBehind)
{
    const FramingCase& c = GetParam();
    const Result plain(c.result, c.message);
    const ResultLong withLong(c.result, c.message, 7);
    const ResultString withString(c.result, c.message, "value");

    EXPECT_EQ(plain.getResult(), c.result);
    EXPECT_EQ(plain.getMessage(), c.message);
    EXPECT_EQ(plain.getMessageWithEom(), c.framed);
    EXPECT_EQ(withLong.getMessageWithEom(), c.framed);
    EXPECT_EQ(withString.getMessageWithEom(), c.framed);
}

INSTANTIATE_TEST_SUITE_P(Cases, ResultFraming,
                         testing::Values(FramingCase{true, "abc", "abc\nEOM\n"},
                                         FramingCase{false, "abc", "error:abc\nEOM\n"},
                                         FramingCase{true, "", "\nEOM\n"},
                                         FramingCase{false, "", "error:\nEOM\n"}));

TEST(ResultLong, KeepsItsValueAndStartsWithoutOne)
{
    ResultLong withValue(true, "success", -5);
    EXPECT_EQ(withValue.getLong(), -5);
    withValue.setLong(INT32_MIN);
    EXPECT_EQ(withValue.getLong(), INT32_MIN);

    const ResultLong withoutValue(false, "timeout");
    EXPECT_EQ(withoutValue.getLong(), 0);
    EXPECT_FALSE(withoutValue.getResult());
    EXPECT_EQ(withoutValue.getMessage(), "timeout");
}

TEST(ResultString, KeepsItsValueAndStartsEmpty)
{
    ResultString withValue(true, "success", "IO-Link device");
    EXPECT_EQ(withValue.getString(), "IO-Link device");
    withValue.setString("");
    EXPECT_EQ(withValue.getString(), "");

    const ResultString withoutValue(false, "timeout");
    EXPECT_EQ(withoutValue.getString(), "");
    EXPECT_EQ(withoutValue.getMessage(), "timeout");
}

} // namespace
