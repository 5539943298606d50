// Frame codec and IO-Link encodings of the simulated master, against hand-computed values.
#include <gtest/gtest.h>

#include "SimClient.h"

namespace iolsim::test {
namespace {

TEST(Protocol, ChecksumIsXorOfAllBytesBeforeIt) {
    struct Case {
        Bytes bytes;
        uint8_t checksum;
    };
    const Case cases[] = {
        {{0x02, 0x03}, 0x01},
        {{0x00, 0x04, 0x05}, 0x01},
        {{0x0D, 0x04, 0x00}, 0x09},
        {{}, 0x00},
        {{0xFF, 0xFF}, 0x00},
    };
    for (const auto& c : cases) EXPECT_EQ(xorChecksum(c.bytes), c.checksum);
}

TEST(Protocol, AnnouncedLengthReadsShortAndExtendedHeaders) {
    struct Case {
        Bytes header;
        std::optional<std::size_t> length;
        std::size_t headerLength;
    };
    const Case cases[] = {
        {{0x03}, std::nullopt, 2},
        {{0x03, 0x05}, 5, 2},
        {{0x03, 0x02}, 2, 2},
        {{0x03, 0x00, 0x01}, std::nullopt, 4},
        {{0x03, 0x00, 0x01, 0x04}, 260, 4},
        {{0x03, 0x01, 0x01, 0x04}, 260, 4},  // 1 means the same as 0
        {{0x03, 0xFF}, 255, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(announcedLength(c.header), c.length);
        if (c.header.size() >= 2) {
            EXPECT_EQ(headerLength(c.header), c.headerLength);
        }
    }
}

TEST(Protocol, MakeFrameUsesTheExtendedFormOnlyAbove255Bytes) {
    Bytes fits(252, 0xAA), tooLong(253, 0xAA);
    Bytes shortFrame = makeFrame(0x03, fits);
    ASSERT_EQ(shortFrame.size(), 255u);
    EXPECT_EQ(shortFrame[1], 255);
    EXPECT_TRUE(isValidFrame(shortFrame));

    Bytes longFrame = makeFrame(0x03, tooLong);
    ASSERT_EQ(longFrame.size(), 258u);
    EXPECT_EQ(longFrame[1], 0);
    EXPECT_EQ(longFrame[2], 0x01);
    EXPECT_EQ(longFrame[3], 0x02);
    EXPECT_TRUE(isValidFrame(longFrame));
}

TEST(Protocol, ValidFrameNeedsItsExactLengthAndZeroXor) {
    Bytes good{0x02, 0x03, 0x01};
    EXPECT_TRUE(isValidFrame(good));
    EXPECT_FALSE(isValidFrame(Bytes{0x02, 0x03, 0x02}));
    EXPECT_FALSE(isValidFrame(Bytes{0x02, 0x03, 0x01, 0x00}));  // a byte more than announced
    EXPECT_FALSE(isValidFrame(Bytes{0x02, 0x04, 0x06}));        // a byte less
    EXPECT_FALSE(isValidFrame(Bytes{0x02, 0x02}));              // no room for a checksum
    EXPECT_FALSE(isValidFrame(Bytes{0x00, 0x00, 0x00, 0x04}));  // extended header without checksum
    EXPECT_FALSE(isValidFrame(Bytes{}));
}

TEST(Protocol, CycleTimeDecoding) {
    const std::pair<uint8_t, uint32_t> cases[] = {
        {0x02, 400}, {0x05, 500}, {0x14, 2000}, {0x3F, 6300}, {0x45, 8400},
        {0x85, 40000}, {0xBF, 132800}, {0xC5, 400}, {0x00, 400},
    };
    for (auto [encoded, us] : cases) EXPECT_EQ(decodeCycleTimeUs(encoded), us) << int(encoded);
}

TEST(Protocol, CycleTimeEncodingNeverRunsFasterThanAsked) {
    const std::pair<uint32_t, uint8_t> cases[] = {
        {0, 0x04}, {400, 0x04}, {401, 0x05}, {2000, 0x14}, {6300, 0x3F}, {6301, 0x40},
        {8400, 0x45}, {31600, 0x7F}, {31601, 0x80}, {132800, 0xBF}, {500000, 0xBF},
    };
    for (auto [us, encoded] : cases) EXPECT_EQ(encodeCycleTime(us), encoded) << us;
    for (uint32_t us = 400; us <= 132800; us += 37) {
        uint32_t back = decodeCycleTimeUs(encodeCycleTime(us));
        EXPECT_GE(back, us);
        ASSERT_LT(back - us, 1600u) << us;
    }
}

TEST(Protocol, ProcessDataLengthEncoding) {
    const std::pair<uint8_t, uint8_t> decoded[] = {{0x9F, 32}, {0x10, 2}, {0x08, 1}, {0x00, 0}, {0x01, 1}, {0x82, 3}};
    for (auto [encoded, bytes] : decoded) EXPECT_EQ(decodeProcessDataLength(encoded), bytes) << int(encoded);
    for (uint8_t n = 0; n <= kMaxProcessDataLength; ++n) EXPECT_EQ(decodeProcessDataLength(encodeProcessDataLength(n)), n);
    EXPECT_EQ(encodeProcessDataLength(2), 0x10);
    EXPECT_EQ(encodeProcessDataLength(3), 0x82);
}

}  // namespace
}  // namespace iolsim::test
