// The BLOB channel's arithmetic and encodings: checksum, segment plan, control bytes, the
// device's information answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware/BlobCrc.h"
#include "firmware/BlobProtocol.h"

using namespace iolink;

namespace {

uint32_t crcOf(const std::string& text)
{
    return blobCrc(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

} // namespace

TEST(BlobCrc, MatchesTheCheckValues)
{
    struct Case {
        std::string data;
        uint32_t crc;
    };
    const std::vector<Case> cases = {
        {"123456789", 0xA10AC412},
        {"abc", 0x3A647AEF},
        {"", 0x00000001},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(crcOf(c.data), c.crc) << '"' << c.data << '"';
    }
}

TEST(BlobCrc, SeesEveryBitAndTheOrderOfBytes)
{
    EXPECT_NE(crcOf("ab"), crcOf("ba"));
    EXPECT_NE(crcOf(std::string(1, '\0')), crcOf(std::string(2, '\0'))) << "leading zero bytes must count";
    EXPECT_NE(crcOf("abc"), crcOf("abb"));
}

TEST(SegmentPlan, CutsTheBlobIntoFullSegmentsAndALastOne)
{
    struct Case {
        uint32_t size;
        uint32_t segmentSize;
        uint32_t count;
        uint32_t lastLength;
    };
    const std::vector<Case> cases = {
        {10, 4, 3, 2},
        {8, 4, 2, 4},          // an exact multiple ends with a full-length last segment
        {1, 4, 1, 1},          // no larger than a segment: the last one alone
        {4, 4, 1, 4},
        {5, 4, 2, 1},
        {65536, 199, 330, 65536 - 329 * 199},
        {1, 1, 1, 1},
        {3, 1, 3, 1},
        {254, 254, 1, 254},
        {0xFFFFFFFFu, 254, 0xFFFFFFFFu / 254 + 1, 0xFFFFFFFFu - (0xFFFFFFFFu / 254) * 254},
    };
    for (const Case& c : cases) {
        const auto plan = planSegments(c.size, c.segmentSize);
        ASSERT_TRUE(plan.has_value()) << c.size << " / " << c.segmentSize;
        EXPECT_EQ(*plan, (SegmentPlan{c.segmentSize, c.count, c.lastLength})) << c.size << " / " << c.segmentSize;
        EXPECT_GE(plan->lastLength, 1u);
        EXPECT_LE(plan->lastLength, c.segmentSize);
        EXPECT_EQ(uint64_t{plan->offset(plan->count - 1)} + plan->lastLength, uint64_t{c.size});
    }
}

TEST(SegmentPlan, HasNoPlanForAnEmptyBlobOrSegmentsWithoutData)
{
    EXPECT_FALSE(planSegments(0, 4).has_value());
    EXPECT_FALSE(planSegments(10, 0).has_value());
}

TEST(BlobMessages, NumberFullSegmentsModulo16)
{
    EXPECT_EQ(blobSegmentControl(0), 0x20);
    EXPECT_EQ(blobSegmentControl(1), 0x21);
    EXPECT_EQ(blobSegmentControl(15), 0x2F);
    EXPECT_EQ(blobSegmentControl(16), 0x20) << "the 17th full segment wraps";
    EXPECT_EQ(blobSegmentControl(33), 0x21);
}

TEST(BlobMessages, SendNumbersHighByteFirst)
{
    EXPECT_EQ(blobStartMessage(0x1000), (std::array<uint8_t, 3>{0xF1, 0x10, 0x00}));
    EXPECT_EQ(blobStartMessage(1), (std::array<uint8_t, 3>{0xF1, 0x00, 0x01}));
    EXPECT_EQ(blobCrcMessage(0xA10AC412), (std::array<uint8_t, 5>{0x40, 0xA1, 0x0A, 0xC4, 0x12}));
}

TEST(BlobInfo, AcceptsExactlySixBytesWithTheMarker)
{
    const std::vector<uint8_t> good = {0x11, 0x00, 0x01, 0x00, 0x00, 0xC8};
    const auto info = parseBlobInfo(good.data(), good.size());
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->maxBlobSize, 65536u);
    EXPECT_EQ(info->maxSegmentLength, 200);

    struct Case {
        const char* what;
        std::vector<uint8_t> answer;
    };
    const std::vector<Case> invalid = {
        {"five bytes", {0x11, 0x00, 0x01, 0x00, 0x00}},
        {"seven bytes", {0x11, 0x00, 0x01, 0x00, 0x00, 0xC8, 0x00}},
        {"wrong marker", {0x12, 0x00, 0x01, 0x00, 0x00, 0xC8}},
        {"nothing", {}},
    };
    for (const Case& c : invalid) {
        EXPECT_FALSE(parseBlobInfo(c.answer.data(), c.answer.size()).has_value()) << c.what;
    }
}
