// AL state machine: legal and illegal transitions, error indication and acknowledge.
#include "SimBus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace simtest;

namespace {

constexpr uint16_t INIT = 1, PREOP = 2, BOOT = 3, SAFEOP = 4, OP = 8, ACK = 0x10;

class AlState : public ::testing::Test {
protected:
    AlState() : segment({ecsim::ownDeviceProfile(), ecsim::foreignCoeProfile(), ecsim::digitalIoProfile()}), bus(segment)
    {
        bus.enumerate();
    }

    // Brings a device into `state` along the legal path, with process data running for OP.
    void reach(size_t position, uint16_t state)
    {
        if (state == INIT)
            return;
        if (state == BOOT) {
            ASSERT_TRUE(bus.toPreOp(position));
            bus.requestState(position, INIT);
            bus.requestState(position, BOOT);
            ASSERT_EQ(bus.alStatus(position), BOOT);
            return;
        }
        ASSERT_TRUE(bus.toPreOp(position));
        if (state == PREOP)
            return;
        ASSERT_TRUE(bus.toSafeOp(position, 0x0000, 0x0100));
        if (state == SAFEOP)
            return;
        bus.exchange({LRW, 0x0000, 0x0000, std::vector<uint8_t>(0x0200, 0)});
        bus.requestState(position, OP);
        ASSERT_EQ(bus.alStatus(position), OP);
    }

    ecsim::Segment segment;
    SimBus bus;
};

}  // namespace

TEST_F(AlState, LegalPathUpToOperationalAndBack)
{
    reach(1, OP);
    bus.requestState(1, SAFEOP);
    EXPECT_EQ(bus.alStatus(1), SAFEOP);
    bus.requestState(1, PREOP);
    EXPECT_EQ(bus.alStatus(1), PREOP);
    bus.requestState(1, INIT);
    EXPECT_EQ(bus.alStatus(1), INIT);
    EXPECT_EQ(bus.alStatusCode(1), 0);
}

TEST_F(AlState, IllegalTransitionsKeepTheStateAndReport0x0011)
{
    struct Case {
        uint16_t from, to;
    };
    for (Case c : {Case{INIT, SAFEOP}, Case{INIT, OP}, Case{PREOP, OP}, Case{PREOP, BOOT}, Case{SAFEOP, BOOT},
                   Case{OP, BOOT}, Case{BOOT, PREOP}, Case{BOOT, SAFEOP}, Case{BOOT, OP}}) {
        SCOPED_TRACE(::testing::Message() << "from " << c.from << " to " << c.to);
        bus.requestState(1, INIT | ACK);
        ASSERT_EQ(bus.alStatus(1), INIT);
        reach(1, c.from);
        bus.requestState(1, c.to);
        EXPECT_EQ(bus.alStatus(1), c.from | 0x10);
        EXPECT_EQ(bus.alStatusCode(1), 0x0011);
    }
}

TEST_F(AlState, UnknownStateValueIsReportedAndOperationalDropsToSafeOp)
{
    reach(1, PREOP);
    bus.requestState(1, 5);
    EXPECT_EQ(bus.alStatus(1), PREOP | 0x10);
    EXPECT_EQ(bus.alStatusCode(1), 0x0012);

    reach(2, OP);
    bus.requestState(2, 9);
    EXPECT_EQ(bus.alStatus(2), SAFEOP | 0x10);
    EXPECT_EQ(bus.alStatusCode(2), 0x0012);
}

TEST_F(AlState, ErrorIndicationNeedsAcknowledgeOrInit)
{
    reach(1, PREOP);
    bus.requestState(1, OP);  // illegal
    ASSERT_EQ(bus.alStatus(1), PREOP | 0x10);

    bus.requestState(1, PREOP);  // without ack: ignored
    EXPECT_EQ(bus.alStatus(1), PREOP | 0x10);
    EXPECT_EQ(bus.alStatusCode(1), 0x0011);

    bus.requestState(1, PREOP | ACK);  // ack clears error and code
    EXPECT_EQ(bus.alStatus(1), PREOP);
    EXPECT_EQ(bus.alStatusCode(1), 0);

    bus.requestState(1, OP);
    bus.requestState(1, INIT);  // INIT without ack is taken as acknowledge
    EXPECT_EQ(bus.alStatus(1), INIT);
    EXPECT_EQ(bus.alStatusCode(1), 0);
}

TEST_F(AlState, MailboxAndProcessDataConfigurationAreChecked)
{
    // PRE-OP without mailbox sync managers.
    bus.requestState(1, PREOP);
    EXPECT_EQ(bus.alStatus(1), INIT | 0x10);
    EXPECT_EQ(bus.alStatusCode(1), 0x0016);
    bus.requestState(1, INIT | ACK);

    // SAFE-OP with output and input lengths that do not match the mapping.
    ASSERT_TRUE(bus.toPreOp(1));
    EXPECT_FALSE(bus.toSafeOp(1, 0, 0x100, 4, 16));
    EXPECT_EQ(bus.alStatusCode(1), 0x001D);
    bus.requestState(1, PREOP | ACK);
    EXPECT_FALSE(bus.toSafeOp(1, 0, 0x100, 16, 8));
    EXPECT_EQ(bus.alStatusCode(1), 0x001E);
    bus.requestState(1, PREOP | ACK);
    EXPECT_TRUE(bus.toSafeOp(1, 0, 0x100));

    // OP needs outputs first.
    bus.requestState(1, OP);
    EXPECT_EQ(bus.alStatus(1), SAFEOP | 0x10);
    EXPECT_EQ(bus.alStatusCode(1), 0x001B);
}

TEST_F(AlState, BootstrapOnlyWhereSupported)
{
    reach(1, BOOT);
    bus.requestState(1, INIT);
    EXPECT_EQ(bus.alStatus(1), INIT);

    ASSERT_TRUE(bus.toPreOp(2));
    bus.requestState(2, INIT);
    bus.requestState(2, BOOT);
    EXPECT_EQ(bus.alStatus(2), INIT | 0x10);
    EXPECT_EQ(bus.alStatusCode(2), 0x0013);
}

TEST_F(AlState, DeviceWithoutMailboxRunsTheStateMachine)
{
    reach(3, OP);
    bus.requestState(3, INIT);
    EXPECT_EQ(bus.alStatus(3), INIT);
}

TEST_F(AlState, RefusedStateKnobGivesTheChosenCode)
{
    segment.faults().refuseState(2, SAFEOP, 0x001D);
    reach(2, PREOP);
    EXPECT_FALSE(bus.toSafeOp(2, 0, 0x100));
    EXPECT_EQ(bus.alStatus(2), PREOP | 0x10);
    EXPECT_EQ(bus.alStatusCode(2), 0x001D);
    segment.faults().allowState(2, SAFEOP);
    bus.requestState(2, SAFEOP | ACK);
    EXPECT_EQ(bus.alStatus(2), SAFEOP);
}

TEST_F(AlState, BroadcastStatusReadOrsTheStates)
{
    reach(1, PREOP);
    auto answer = bus.exchange({BRD, 0, 0x0130, {0, 0}});
    EXPECT_EQ(answer->wkc, 3);
    EXPECT_EQ(get16(answer->data), INIT | PREOP) << "INIT | PRE-OP reads like BOOT";
}

TEST_F(AlState, SyncManagerWatchdogDropsOperationalToSafeOp)
{
    reach(1, OP);
    // Shortest watchdog: divider 0 -> 80 ns units, one unit.
    bus.fpwr(1, 0x0400, le16(0));
    bus.fpwr(1, 0x0420, le16(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    bus.alStatus(1);
    EXPECT_EQ(bus.alStatus(1), SAFEOP | 0x10);
    EXPECT_EQ(bus.alStatusCode(1), 0x001B);
    std::vector<uint8_t> watchdog;
    bus.fprd(1, 0x0440, 1, watchdog);
    EXPECT_EQ(watchdog[0] & 1, 0);
}
