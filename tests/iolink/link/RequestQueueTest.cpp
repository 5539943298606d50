// The 2048-byte ring of request frames: whole frames in, whole frames out, wrapping at the end;
// a frame that does not fit is refused without touching what is queued.
#include <gtest/gtest.h>

#include <vector>

#include "link/RequestQueue.h"

using namespace iolink;

namespace {

// A valid-looking frame of `length` bytes whose payload bytes carry `tag`.
FrameBuffer frameOf(uint8_t length, uint8_t tag)
{
    FrameBuffer frame{};
    frame[0] = 0x0A;
    for (size_t i = 2; i + 1 < length; ++i) {
        frame[i] = tag;
    }
    finishFrame(frame, length);
    return frame;
}

std::vector<uint8_t> bytesOf(const FrameBuffer& frame)
{
    return {frame.begin(), frame.begin() + frameLength(frame.data())};
}

TEST(RequestQueue, HandsOutFramesInOrder)
{
    RequestQueue queue;
    const FrameBuffer first = frameOf(4, 1);
    const FrameBuffer second = frameOf(200, 2);
    ASSERT_TRUE(queue.push(first.data()));
    ASSERT_TRUE(queue.push(second.data()));
    EXPECT_EQ(queue.fillCount(), 204);

    FrameBuffer out{};
    ASSERT_TRUE(queue.pop(out));
    EXPECT_EQ(bytesOf(out), bytesOf(first));
    ASSERT_TRUE(queue.pop(out));
    EXPECT_EQ(bytesOf(out), bytesOf(second));
    EXPECT_FALSE(queue.pop(out));
    EXPECT_EQ(queue.fillCount(), 0);
}

TEST(RequestQueue, FillsToCapacityAndRefusesOneByteMoreWithoutChange)
{
    RequestQueue queue;
    // 8 frames of 255 bytes plus one of 8 fill the 2048 bytes exactly.
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(queue.push(frameOf(255, static_cast<uint8_t>(i)).data()));
    }
    ASSERT_TRUE(queue.push(frameOf(8, 8).data()));
    EXPECT_EQ(queue.fillCount(), requestQueueCapacity);

    EXPECT_FALSE(queue.push(frameOf(3, 9).data()));
    EXPECT_EQ(queue.fillCount(), requestQueueCapacity);

    FrameBuffer out{};
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(queue.pop(out));
        EXPECT_EQ(bytesOf(out), bytesOf(frameOf(255, static_cast<uint8_t>(i)))) << "frame " << i;
    }
    ASSERT_TRUE(queue.pop(out));
    EXPECT_EQ(bytesOf(out), bytesOf(frameOf(8, 8)));
}

TEST(RequestQueue, RefusesAFrameThatWouldOverflowByOne)
{
    RequestQueue queue;
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(queue.push(frameOf(255, 0).data()));
    }
    ASSERT_TRUE(queue.push(frameOf(7, 0).data())); // 2047 bytes queued
    EXPECT_FALSE(queue.push(frameOf(4, 0).data()));
    EXPECT_EQ(queue.fillCount(), requestQueueCapacity - 1);
}

TEST(RequestQueue, FramesWrapAroundTheEndOfTheRing)
{
    RequestQueue queue;
    FrameBuffer out{};
    // Move the indices close to the end, then queue a frame that straddles it.
    for (int round = 0; round < 10; ++round) {
        ASSERT_TRUE(queue.push(frameOf(200, 0).data()));
        ASSERT_TRUE(queue.pop(out));
    }
    const FrameBuffer straddling = frameOf(100, 0x5A); // 2000 + 100 crosses 2048
    ASSERT_TRUE(queue.push(straddling.data()));
    ASSERT_TRUE(queue.pop(out));
    EXPECT_EQ(bytesOf(out), bytesOf(straddling));
}

TEST(RequestQueue, RefusesAnEmptyFrame)
{
    RequestQueue queue;
    const uint8_t zeroLength[4] = {0x0A, 0x00, 0x00, 0x00};
    EXPECT_FALSE(queue.push(zeroLength));
    EXPECT_EQ(queue.fillCount(), 0);
}

} // namespace
