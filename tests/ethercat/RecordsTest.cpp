// Result framing and the state-code translation in both directions.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include "DeviceState.h"
#include "Result.h"

namespace {

struct FramingCase {
    bool success;
    const char* message;
    const char* framed;
};

class ResultFraming : public ::testing::TestWithParam<FramingCase> {};

TEST_P(ResultFraming, FramesTheMessageForTheJavaReader)
{
    const FramingCase& c = GetParam();
    EXPECT_EQ(Result(c.success, c.message).GetMessageWithEom(), c.framed);
}

INSTANTIATE_TEST_SUITE_P(Cases, ResultFraming, ::testing::Values(
    FramingCase{true, "", "\nEOM\n"},
    FramingCase{false, "", "error:\nEOM\n"},
    FramingCase{true, "Success", "Success\nEOM\n"},
    FramingCase{false, "Fail", "error:Fail\nEOM\n"},
    FramingCase{false, "two\nlines", "error:two\nlines\nEOM\n"}),
    [](const auto& testInfo) { return "case" + std::to_string(testInfo.index); });

TEST(ResultRecords, DerivedRecordsKeepTheirValueBesideTheBase)
{
    ResultLong number(true, "ok", -5);
    number.setLong(-2147483647 - 1);
    EXPECT_EQ(number.getLong(), -2147483647 - 1);
    EXPECT_TRUE(number.GetResult());

    ResultLongArray numbers(false, "Fail", {1, 4294967295u});
    numbers.setLongArray({7});
    EXPECT_EQ(numbers.getLongArray(), std::vector<uint32_t>{7});
    EXPECT_EQ(numbers.GetMessageWithEom(), "error:Fail\nEOM\n");

    ResultCharArray bytes(true, "", {'\xff', 'a'});
    EXPECT_EQ(bytes.getCharArray().size(), 2u);
    EXPECT_EQ(ResultInt(true, "", 42).getInt(), 42);
}

struct OutgoingCase {
    int code;
    uint16_t alState;
};

class StateRequest : public ::testing::TestWithParam<OutgoingCase> {};

TEST_P(StateRequest, CodeBecomesTheRequestedAlState)
{
    EXPECT_EQ(toEtherCatState(GetParam().code), GetParam().alState);
}

INSTANTIATE_TEST_SUITE_P(Cases, StateRequest, ::testing::Values(
    OutgoingCase{0, 0x01}, OutgoingCase{1, 0x02}, OutgoingCase{2, 0x03}, OutgoingCase{3, 0x04},
    OutgoingCase{4, 0x08}, OutgoingCase{5, 0x10}, OutgoingCase{6, 0x10}, OutgoingCase{-1, 0x10},
    OutgoingCase{99, 0x10}),
    [](const auto& testInfo) { return "code" + std::to_string(testInfo.index); });

struct IncomingCase {
    uint16_t alState;
    int code;
};

class StateReport : public ::testing::TestWithParam<IncomingCase> {};

TEST_P(StateReport, AlStateWordBecomesTheCallersCode)
{
    EXPECT_EQ(toDeviceStateCode(GetParam().alState), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Cases, StateReport, ::testing::Values(
    IncomingCase{0x01, 0}, IncomingCase{0x02, 1}, IncomingCase{0x03, 2}, IncomingCase{0x04, 3},
    IncomingCase{0x08, 4}, IncomingCase{0x10, 5},
    // no answer, and states with the error bit set, are "other"
    IncomingCase{0x00, 6}, IncomingCase{0x12, 6}, IncomingCase{0x14, 6}, IncomingCase{0x18, 6},
    IncomingCase{0x05, 6}, IncomingCase{0xffff, 6}),
    [](const auto& testInfo) { return "state0x" + fmt::format("{:x}", testInfo.param.alState); });

}  // namespace
