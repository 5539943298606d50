// Fault knobs: frame loss, silent devices, slow mailbox answers, knobs turned from another thread.
#include "SimBus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace simtest;

namespace {

ecsim::Segment threeDevices() { return ecsim::Segment({ecsim::ownDeviceProfile(1), ecsim::digitalIoProfile(2), ecsim::ownDeviceProfile(3)}); }

std::vector<bool> lossPattern(ecsim::Segment& segment, size_t frames)
{
    std::vector<bool> lost;
    auto frame = buildFrame({{BRD, 0, 0x0000, {0, 0}}});
    for (size_t i = 0; i < frames; ++i)
        lost.push_back(!segment.processFrame(frame));
    return lost;
}

}  // namespace

TEST(Faults, FrameLossFollowsRateAndSeed)
{
    auto segment = threeDevices();
    segment.faults().setFrameLoss(0.05, 7);
    auto first = lossPattern(segment, 4000);
    size_t lost = size_t(std::count(first.begin(), first.end(), true));
    EXPECT_GT(lost, 120u);
    EXPECT_LT(lost, 280u);
    segment.faults().setFrameLoss(0.05, 7);
    EXPECT_EQ(lossPattern(segment, 4000), first) << "same seed, same losses";
    segment.faults().setFrameLoss(0.0, 7);
    auto none = lossPattern(segment, 100);
    EXPECT_EQ(std::count(none.begin(), none.end(), true), 0);
}

TEST(Faults, LostAnswerStillChangedTheDevice)
{
    auto segment = threeDevices();
    SimBus bus(segment);
    bus.enumerate();
    segment.faults().setFrameLoss(1.0, 3);
    // With every frame lost, about half of them were processed before the answer vanished.
    for (int i = 0; i < 20; ++i)
        bus.fpwr(1, 0x0410, le16(uint16_t(100 + i)));
    segment.faults().setFrameLoss(0.0, 3);
    EXPECT_NE(bus.read16(1, 0x0410), 1000);
}

TEST(Faults, SilentDeviceLeavesTheChainAndComesBack)
{
    auto segment = threeDevices();
    SimBus bus(segment);
    bus.enumerate();
    ASSERT_TRUE(bus.toPreOp(2));

    segment.faults().setSilent(2, true);
    EXPECT_EQ(bus.exchange({BRD, 0, 0x0000, {0, 0}})->wkc, 2);
    EXPECT_EQ(bus.exchange({FPRD, stationOf(2), 0x0130, {0, 0}})->wkc, 0);
    auto second = bus.exchange({APRD, 0xFFFF, 0x0010, {0, 0}});
    EXPECT_EQ(get16(second->data), stationOf(3)) << "the third device moved up";

    segment.faults().setSilent(2, false);
    EXPECT_EQ(bus.read16(2, 0x0010), stationOf(2));
    EXPECT_EQ(bus.alStatus(2), 0x02) << "a short interruption keeps the state";

    segment.faults().setSilent(2, true, true);
    bus.exchange({BRD, 0, 0x0000, {0, 0}});
    segment.faults().setSilent(2, false);
    EXPECT_EQ(bus.exchange({FPRD, stationOf(2), 0x0010, {0, 0}})->wkc, 0);
    auto back = bus.exchange({APRD, 0xFFFF, 0x0010, {0, 0}});
    EXPECT_EQ(get16(back->data), 0) << "power-cycled: station address lost";
    EXPECT_EQ(segment.status(2).alStatus, 0x01);
}

TEST(Faults, SlowMailboxAnswers)
{
    auto segment = threeDevices();
    SimBus bus(segment);
    bus.enumerate();
    ASSERT_TRUE(bus.toPreOp(1));
    segment.faults().setMailboxDelay(1, std::chrono::milliseconds(20));
    bus.mailboxWrite(1, 3, {0x00, 0x20, 0x40, 0x08, 0x10, 0x00, 0, 0, 0, 0});
    EXPECT_FALSE(bus.mailboxRead(1, 1)) << "not yet";
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    EXPECT_TRUE(bus.mailboxRead(1, 1));
}

TEST(Faults, KnobsChangeWhileFramesFlow)
{
    auto segment = threeDevices();
    SimBus bus(segment);
    bus.enumerate();
    std::atomic<bool> done{false};
    std::thread turner([&] {
        for (int i = 0; !done; ++i) {
            segment.faults().setSilent(2, i % 2 == 0, i % 4 == 0);
            segment.faults().setFrameLoss((i % 3) * 0.1, uint64_t(i));
            segment.faults().abortSdo(1, 0x1008, 0, 0x08000000);
            std::this_thread::yield();
        }
    });
    size_t answered = 0;
    for (int i = 0; i < 3000; ++i)
        if (auto answer = bus.exchange({BRD, 0, 0x0000, {0, 0}})) {
            ++answered;
            EXPECT_TRUE(answer->wkc == 2 || answer->wkc == 3);
        }
    done = true;
    turner.join();
    EXPECT_GT(answered, 0u);
}
