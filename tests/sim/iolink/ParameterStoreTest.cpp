// The device's parameter store on its own: typed entries and their write rules, test-side
// inspection, handlers, and the history of executed requests.
#include <gtest/gtest.h>

#include "sim/iolink/ParameterStore.h"

namespace iolsim {
namespace {

IsduRequest read(uint16_t index, uint8_t subindex = 0) { return {false, index, subindex, {}}; }
IsduRequest write(uint16_t index, std::vector<uint8_t> data, uint8_t subindex = 0) {
    return {true, index, subindex, std::move(data)};
}

TEST(ParameterStore, NumbersAreBigEndianInTheirWidthAndAcceptShorterOrPaddedWrites) {
    ParameterStore store;
    store.addU16(0x10, 0, 0x0102);
    store.addU32(0x11, 0, 0);
    EXPECT_EQ(store.execute(read(0x10)), IsduAnswer::ok({0x01, 0x02}));
    EXPECT_EQ(store.execute(write(0x10, {0xAB})), IsduAnswer::ok());
    EXPECT_EQ(store.execute(read(0x10)), IsduAnswer::ok({0x00, 0xAB}));
    EXPECT_EQ(store.execute(write(0x10, {0x00, 0x00, 0xFF, 0xFF})), IsduAnswer::ok());
    EXPECT_EQ(store.number(0x10, 0), 0xFFFFu);
    EXPECT_EQ(store.execute(write(0x11, {0xFF, 0xFF, 0xFF, 0xFF})), IsduAnswer::ok());
    EXPECT_EQ(store.number(0x11, 0), 0xFFFFFFFFu);
    EXPECT_EQ(store.writeCount(0x10, 0), 2u);
}

TEST(ParameterStore, RangeAndLengthLimitsAreEnforced) {
    ParameterStore store;
    store.addNumber(0x20, 0, EntryType::U16, 10, Access::ReadWrite, 5, 20);
    store.addString(0x21, 0, "ab", 4, Access::ReadWrite);
    store.addBytes(0x22, 0, {}, 2, Access::ReadWrite);
    const std::pair<IsduRequest, uint16_t> cases[] = {
        {write(0x20, {0, 4}), isdu_error::kValueOutOfRange},
        {write(0x20, {0, 5}), isdu_error::kNone},
        {write(0x20, {0, 20}), isdu_error::kNone},
        {write(0x20, {0, 21}), isdu_error::kValueOutOfRange},
        {write(0x21, {'a', 'b', 'c', 'd'}), isdu_error::kNone},
        {write(0x21, {'a', 'b', 'c', 'd', 'e'}), isdu_error::kLengthOverrun},
        {write(0x22, {1, 2, 3}), isdu_error::kLengthOverrun},
        {write(0x22, {}), isdu_error::kLengthUnderrun},
    };
    for (const auto& [request, error] : cases)
        EXPECT_EQ(store.execute(request).error, error) << request.index << " size " << request.data.size();
    EXPECT_EQ(store.number(0x20, 0), 20u);
    EXPECT_EQ(store.text(0x21, 0), "abcd");
}

TEST(ParameterStore, TestSideAccessBypassesRightsButKeepsTypes) {
    ParameterStore store;
    store.addU8(0x30, 0, 1, Access::ReadOnly);
    store.addString(0x31, 0, "x", 8, Access::ReadOnly);
    EXPECT_TRUE(store.setNumber(0x30, 0, 2));
    EXPECT_FALSE(store.setText(0x30, 0, "no"));
    EXPECT_FALSE(store.setNumber(0x31, 0, 2));
    EXPECT_TRUE(store.setText(0x31, 0, "yes"));
    EXPECT_FALSE(store.setNumber(0x99, 0, 1));
    EXPECT_EQ(store.number(0x30, 0), 2u);
    EXPECT_EQ(store.text(0x31, 0), "yes");
    EXPECT_EQ(store.writeCount(0x30, 0), 0u);
    EXPECT_FALSE(store.number(0x31, 0).has_value());
    store.remove(0x30, 0);
    EXPECT_FALSE(store.contains(0x30, 0));
    EXPECT_EQ(store.execute(read(0x30)).error, isdu_error::kIndexNotAvailable);
}

TEST(ParameterStore, HandlerMayDeclineAndMayReplaceItself) {
    ParameterStore store;
    store.addU8(0x40, 1, 9);
    int calls = 0;
    store.setHandler(0x40, [&calls](ParameterStore& s, const IsduRequest& r) -> std::optional<IsduAnswer> {
        ++calls;
        if (r.subindex == 1) return std::nullopt;
        s.clearHandler(0x40);  // one-shot
        return IsduAnswer::fail(isdu_error::kFunctionTemporarilyUnavailable);
    });
    EXPECT_EQ(store.execute(read(0x40, 1)), IsduAnswer::ok({9}));
    EXPECT_EQ(store.execute(read(0x40, 0)).error, isdu_error::kFunctionTemporarilyUnavailable);
    EXPECT_EQ(store.execute(read(0x40, 0)).error, isdu_error::kSubindexNotAvailable);
    EXPECT_EQ(calls, 2);
    auto history = store.history();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[1].answer.error, isdu_error::kFunctionTemporarilyUnavailable);
    store.clearHistory();
    EXPECT_TRUE(store.history().empty());
}

}  // namespace
}  // namespace iolsim
