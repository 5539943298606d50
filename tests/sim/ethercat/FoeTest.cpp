// FoE server: transfers of the sizes that matter, error codes, BUSY and BOOTSTRAP-only files.
#include "SimBus.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

struct Foe : ::testing::Test {
    Foe() : segment({ecsim::ownDeviceProfile()}), bus(segment)
    {
        bus.enumerate();
        bus.toPreOp(1);
        bus.requestState(1, 0x01);
        bus.requestState(1, 0x03);
    }
    static std::vector<uint8_t> content(size_t size)
    {
        std::vector<uint8_t> out(size);
        for (size_t i = 0; i < size; ++i)
            out[i] = uint8_t(i ^ (i >> 8));
        return out;
    }
    void sendData(uint32_t packet, const std::vector<uint8_t>& data)
    {
        std::vector<uint8_t> message = {3, 0};
        for (uint8_t b : le32(packet)) message.push_back(b);
        message.insert(message.end(), data.begin(), data.end());
        bus.mailboxWrite(1, 4, message);
    }
    ecsim::Segment segment;
    SimBus bus;
};

}  // namespace

TEST_F(Foe, WriteAndReadBackInBootstrap)
{
    ASSERT_EQ(bus.alStatus(1), 0x03);
    const size_t packet = 128 - 12;
    for (size_t size : {size_t(0), size_t(1), packet, 2 * packet, size_t(10241)}) {
        SCOPED_TRACE(size);
        auto data = content(size);
        auto written = bus.foeWrite(1, "firmware.bin", data);
        ASSERT_TRUE(written.answered);
        ASSERT_EQ(written.errorCode, 0u);
        EXPECT_EQ(segment.file(1, "firmware.bin"), data);
        auto read = bus.foeRead(1, "firmware.bin");
        ASSERT_TRUE(read.answered);
        ASSERT_EQ(read.errorCode, 0u);
        EXPECT_EQ(read.data, data);
    }
}

TEST_F(Foe, ErrorCodes)
{
    EXPECT_EQ(bus.foeRead(1, "missing.bin").errorCode, 0x8001u);
    EXPECT_EQ(bus.foeWrite(1, "version.txt", {1}).errorCode, 0x8002u) << "read-only file";
    bus.requestState(1, 0x01);
    ASSERT_TRUE(bus.toPreOp(1));
    EXPECT_EQ(bus.foeRead(1, "version.txt").errorCode, 0x8008u) << "bootstrap only";
    EXPECT_EQ(bus.foeWrite(1, "firmware.bin", {1}).errorCode, 0x8008u);
}

TEST_F(Foe, WrongPacketNumberEndsTheWrite)
{
    std::vector<uint8_t> request = {2, 0, 0, 0, 0, 0, 'f'};
    bus.mailboxWrite(1, 4, request);
    ASSERT_EQ(bus.mailboxReceive(1)->second[0], 4);
    sendData(2, content(116));
    auto reply = bus.mailboxReceive(1);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->second[0], 5);
    EXPECT_EQ(get32(reply->second, 2), 0x8005u);
}

TEST_F(Foe, BusyReplacesAnAcknowledgeAndThePacketIsSentAgain)
{
    segment.faults().setFoeBusy(1, 1);
    auto data = content(300);
    std::vector<uint8_t> request = {2, 0, 0, 0, 0, 0, 'b'};
    bus.mailboxWrite(1, 4, request);
    ASSERT_EQ(bus.mailboxReceive(1)->second[0], 4);
    std::vector<uint8_t> first(data.begin(), data.begin() + 116);
    sendData(1, first);
    auto busy = bus.mailboxReceive(1);
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->second[0], 6);
    sendData(1, first);
    EXPECT_EQ(bus.mailboxReceive(1)->second[0], 4);
    sendData(2, std::vector<uint8_t>(data.begin() + 116, data.begin() + 232));
    EXPECT_EQ(bus.mailboxReceive(1)->second[0], 4);
    sendData(3, std::vector<uint8_t>(data.begin() + 232, data.end()));
    EXPECT_EQ(bus.mailboxReceive(1)->second[0], 4);
    EXPECT_EQ(segment.file(1, "b"), data) << "the repeated packet is stored once";
}

TEST_F(Foe, FaultKnobs)
{
    segment.faults().failFoe(1, "firmware.bin", 0x800B);
    EXPECT_EQ(bus.foeWrite(1, "firmware.bin", {1, 2}).errorCode, 0x800Bu);
    segment.faults().clearDevice(1);

    segment.faults().refuseNext(1, ecsim::TransferKind::Foe, 1, ecsim::RefusalStyle::ErrorAnswer);
    EXPECT_EQ(bus.foeWrite(1, "a.bin", {1}).errorCode, 0x8000u);
    segment.faults().refuseNext(1, ecsim::TransferKind::Foe, 1, ecsim::RefusalStyle::NoWorkingCounter);
    EXPECT_FALSE(bus.foeWrite(1, "a.bin", {1}).answered);
    EXPECT_EQ(bus.foeWrite(1, "a.bin", {1}).errorCode, 0u);
}
