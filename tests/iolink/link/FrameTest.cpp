// Frame length, checksum and validity: the bytes the link puts on the line and judges answers by.
#include <gtest/gtest.h>

#include <vector>

#include "link/Frame.h"

using namespace iolink;

namespace {

struct ChecksumCase {
    std::vector<uint8_t> bytes;
    uint8_t checksum;
};

class Checksum : public testing::TestWithParam<ChecksumCase> {};

TEST_P(Checksum, IsTheXorOfAllBytesBeforeIt)
{
    const ChecksumCase& c = GetParam();
    EXPECT_EQ(xorChecksum(c.bytes.data(), c.bytes.size()), c.checksum);
}

INSTANTIATE_TEST_SUITE_P(Cases, Checksum,
                         testing::Values(ChecksumCase{{0x02, 0x03}, 0x01},       // MASTER_CONFIG
                                         ChecksumCase{{0x00, 0x04, 0x05}, 0x01}, // MASTER_INFO item 5
                                         ChecksumCase{{0x0D, 0x04, 0x00}, 0x09}, // POWER_OFF
                                         ChecksumCase{{}, 0x00}));

TEST(FrameLength, ShortFormUsesTheLengthByte)
{
    const uint8_t frame[] = {0x03, 0x05, 0, 0, 0};
    EXPECT_EQ(frameLength(frame), 5);
    EXPECT_EQ(headerLength(frame[1]), shortHeaderLength);
}

TEST(FrameLength, LengthByteZeroOrOneAnnouncesTheExtendedForm)
{
    for (const uint8_t marker : {uint8_t{0}, uint8_t{1}}) {
        const uint8_t frame[] = {0x03, marker, 0x01, 0x04};
        EXPECT_EQ(frameLength(frame), 260) << "marker " << int{marker};
        EXPECT_EQ(headerLength(marker), extendedHeaderLength);
    }
}

TEST(FrameValidity, NeedsAZeroXorOverTheAnnouncedLengthAndEnoughBytes)
{
    const uint8_t good[] = {0x02, 0x03, 0x01};
    const uint8_t bad[] = {0x02, 0x03, 0x02};
    const uint8_t truncated[] = {0x02, 0x05, 0x07};
    EXPECT_TRUE(checksumValid(good, sizeof good));
    EXPECT_FALSE(checksumValid(bad, sizeof bad));
    EXPECT_FALSE(checksumValid(truncated, sizeof truncated));
    EXPECT_FALSE(checksumValid(good, 2)) << "the checksum byte lies beyond what was received";
}

TEST(FrameValidity, FinishFrameMakesAValidShortFrame)
{
    FrameBuffer frame{};
    frame[0] = 0x0C;
    frame[2] = 0x00;
    EXPECT_EQ(finishFrame(frame, 4), 4);
    EXPECT_EQ(frame[1], 4);
    EXPECT_EQ(frame[3], 0x0C ^ 0x04);
    EXPECT_TRUE(checksumValid(frame.data(), frame.size()));
}

} // namespace
