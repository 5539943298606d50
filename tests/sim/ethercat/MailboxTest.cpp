// Mailbox sync managers: full/empty rules, repeat request, counters and mailbox errors.
#include "SimBus.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

struct Mailbox : ::testing::Test {
    Mailbox() : segment({ecsim::ownDeviceProfile()}), bus(segment)
    {
        bus.enumerate();
        bus.toPreOp(1);
    }
    // An SDO upload request of 0x1018:01 with the given mailbox counter.
    std::vector<uint8_t> uploadMessage(uint8_t counter) const
    {
        std::vector<uint8_t> buffer(128, 0);
        buffer[0] = 10;
        buffer[5] = uint8_t(0x03 | counter << 4);
        std::vector<uint8_t> coe = {0x00, 0x20, 0x40, 0x18, 0x10, 0x01};
        std::copy(coe.begin(), coe.end(), buffer.begin() + 6);
        return buffer;
    }
    bool sm1Full() { return (bus.read16(1, 0x080D) & 0x08) != 0; }

    ecsim::Segment segment;
    SimBus bus;
};

}  // namespace

TEST_F(Mailbox, RequestIsTakenOnlyOnceTheLastByteIsWritten)
{
    auto message = uploadMessage(1);
    std::vector<uint8_t> head(message.begin(), message.end() - 1);
    EXPECT_EQ(bus.fpwr(1, 0x1000, head), 1);
    EXPECT_FALSE(sm1Full()) << "SM0 not full yet, nothing answered";
    EXPECT_EQ(bus.fpwr(1, 0x107F, {0}), 1);
    EXPECT_TRUE(sm1Full());
}

TEST_F(Mailbox, WriteWhileFullIsNotCounted)
{
    auto answer = bus.exchangeAll({{FPWR, stationOf(1), 0x1000, uploadMessage(1)}, {FPWR, stationOf(1), 0x1000, uploadMessage(2)}});
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[0].wkc, 1);
    EXPECT_EQ((*answer)[1].wkc, 0);
}

TEST_F(Mailbox, ReadOfAnEmptyMailboxIsNotCountedAndLeavesTheData)
{
    auto empty = bus.exchange({FPRD, stationOf(1), 0x1080, std::vector<uint8_t>(128, 0xAA)});
    EXPECT_EQ(empty->wkc, 0);
    EXPECT_EQ(empty->data, std::vector<uint8_t>(128, 0xAA));

    bus.fpwr(1, 0x1000, uploadMessage(1));
    auto full = bus.exchange({FPRD, stationOf(1), 0x1080, std::vector<uint8_t>(128, 0)});
    EXPECT_EQ(full->wkc, 1);
    EXPECT_EQ(full->data[5] & 0x0F, 3);
    EXPECT_EQ(bus.exchange({FPRD, stationOf(1), 0x1080, std::vector<uint8_t>(128, 0)})->wkc, 0) << "reading emptied it";
}

TEST_F(Mailbox, RepeatRequestPutsTheLastMessageBack)
{
    bus.fpwr(1, 0x1000, uploadMessage(1));
    std::vector<uint8_t> first;
    ASSERT_EQ(bus.fprd(1, 0x1080, 128, first), 1);
    ASSERT_FALSE(sm1Full());
    // Toggle the repeat request bit (0x080E bit1) with a word write at 0x080D.
    bus.fpwr(1, 0x080D, le16(0x0200 | 0x0100));
    EXPECT_TRUE(sm1Full());
    std::vector<uint8_t> pdi;
    bus.fprd(1, 0x080F, 1, pdi);
    EXPECT_EQ(pdi[0] & 0x02, 0x02) << "repeat acknowledged";
    std::vector<uint8_t> again;
    ASSERT_EQ(bus.fprd(1, 0x1080, 128, again), 1);
    EXPECT_EQ(again, first);
}

TEST_F(Mailbox, RetriedMessageWithTheSameCounterIsDropped)
{
    bus.fpwr(1, 0x1000, uploadMessage(3));
    std::vector<uint8_t> reply;
    ASSERT_EQ(bus.fprd(1, 0x1080, 128, reply), 1);
    bus.fpwr(1, 0x1000, uploadMessage(3));
    EXPECT_FALSE(sm1Full());
    bus.fpwr(1, 0x1000, uploadMessage(4));
    EXPECT_TRUE(sm1Full());
    // Counter 0 is never taken for a repetition.
    bus.fprd(1, 0x1080, 128, reply);
    bus.fpwr(1, 0x1000, uploadMessage(0));
    bus.fprd(1, 0x1080, 128, reply);
    bus.fpwr(1, 0x1000, uploadMessage(0));
    EXPECT_TRUE(sm1Full());
}

TEST_F(Mailbox, ErrorsForUnsupportedProtocolsAndBadLengths)
{
    struct Case {
        const char* what;
        uint8_t type;
        uint16_t length;
        uint16_t detail;
    };
    for (Case c : {Case{"SoE not offered", 5, 10, 2}, Case{"EoE not offered", 2, 10, 2}, Case{"too short", 3, 1, 6},
                   Case{"longer than the mailbox", 3, 200, 8}}) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> buffer(128, 0);
        buffer[0] = uint8_t(c.length);
        buffer[1] = uint8_t(c.length >> 8);
        buffer[5] = uint8_t(c.type | bus.nextCounter() << 4);
        bus.fpwr(1, 0x1000, buffer);
        auto reply = bus.mailboxReceive(1);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->first, 0);
        EXPECT_EQ(get16(reply->second, 0), 1);
        EXPECT_EQ(get16(reply->second, 2), c.detail);
    }
}

TEST_F(Mailbox, NotAvailableInInit)
{
    bus.requestState(1, 0x01);
    EXPECT_EQ(bus.fpwr(1, 0x1000, uploadMessage(1)), 0);
}

TEST_F(Mailbox, EmergencyOnlyWhenRaised)
{
    EXPECT_FALSE(bus.mailboxRead(1, 2));
    segment.raiseEmergency(1, 0x8110, 0x11);
    auto message = bus.mailboxReceive(1);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->first, 3);
    EXPECT_EQ(get16(message->second, 0) >> 12, 1);
    EXPECT_EQ(get16(message->second, 2), 0x8110);
}
