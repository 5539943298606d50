// Addressing modes and working counters of the simulated chain, seen from the wire.
#include "SimBus.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

ecsim::Segment chainOf(size_t count)
{
    std::vector<ecsim::DeviceProfile> profiles;
    for (size_t i = 0; i < count; ++i)
        profiles.push_back(i % 2 == 0 ? ecsim::ownDeviceProfile(uint32_t(i + 1)) : ecsim::digitalIoProfile(uint32_t(i + 1)));
    return ecsim::Segment(profiles);
}

}  // namespace

TEST(Datagram, BroadcastReadCountsEveryDeviceAndOrsTheTypes)
{
    // Example frame: BRD of 0x0000, 2 bytes, index 5, 30 bytes long.
    std::vector<uint8_t> frame = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x88, 0xA4,
                                  0x0E, 0x10, 0x07, 0x05, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                                  0x00, 0x00, 0x00, 0x00};
    auto profileA = ecsim::ownDeviceProfile();
    auto profileB = ecsim::digitalIoProfile();
    profileA.escType = 0x11;
    profileB.escType = 0x04;
    ecsim::Segment segment({profileA, profileB, profileA});
    auto answer = segment.processFrame(frame);
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->size(), 30u) << "the frame comes back with the length it had";
    EXPECT_EQ((*answer)[6], 0x03) << "source MAC marked as passed through a slave";
    auto datagrams = parseFrame(*answer);
    ASSERT_TRUE(datagrams);
    EXPECT_EQ((*datagrams)[0].index, 5);
    EXPECT_EQ((*datagrams)[0].adp, 3);
    EXPECT_EQ((*datagrams)[0].data[0], 0x15);
    EXPECT_EQ((*datagrams)[0].wkc, 3);
}

TEST(Datagram, AutoIncrementAddressesExactlyOnePosition)
{
    const size_t count = 4;
    auto segment = chainOf(count);
    SimBus bus(segment);
    struct Case {
        int position;  // 1-based, 0 or beyond the chain addresses nobody
        uint16_t expectedWkc;
    };
    for (Case c : {Case{1, 1}, Case{2, 1}, Case{4, 1}, Case{5, 0}, Case{0, 0}}) {
        uint16_t adp = uint16_t(1 - c.position);
        auto answer = bus.exchange({APRD, adp, 0x0000, {0, 0}});
        ASSERT_TRUE(answer) << c.position;
        EXPECT_EQ(answer->wkc, c.expectedWkc) << "position " << c.position;
        EXPECT_EQ(answer->adp, uint16_t(adp + count)) << "ADP is incremented by every device";
    }
}

TEST(Datagram, ConfiguredAddressAndAliasMatching)
{
    auto segment = chainOf(3);
    SimBus bus(segment);
    bus.enumerate();
    for (size_t position = 1; position <= 3; ++position) {
        EXPECT_EQ(bus.read16(position, 0x0010), stationOf(position));
        EXPECT_EQ(segment.status(position).stationAddress, stationOf(position));
    }
    EXPECT_EQ(bus.exchange({FPRD, 0x2222, 0x0000, {0}})->wkc, 0) << "no device with that address";

    // Alias from the SII matches only once 0x0103 bit0 enables it.
    auto withAlias = ecsim::ownDeviceProfile();
    withAlias.alias = 0x0BAD;
    ecsim::buildSii(withAlias);
    ecsim::Segment aliased({withAlias});
    SimBus aliasBus(aliased);
    aliasBus.enumerate();
    EXPECT_EQ(aliasBus.exchange({FPRD, 0x0BAD, 0x0012, {0, 0}})->wkc, 0);
    aliasBus.exchange({FPWR, stationOf(1), 0x0103, {1}});
    auto answer = aliasBus.exchange({FPRD, 0x0BAD, 0x0012, {0, 0}});
    EXPECT_EQ(answer->wkc, 1);
    EXPECT_EQ(get16(answer->data), 0x0BAD);
}

TEST(Datagram, ReadWriteCommandsCountReadOneAndWriteTwo)
{
    auto segment = chainOf(3);
    SimBus bus(segment);
    bus.enumerate();
    // FPRW returns the old value and stores the new one.
    auto first = bus.exchange({FPRW, stationOf(2), 0x0410, le16(0x1234)});
    EXPECT_EQ(first->wkc, 3);
    EXPECT_EQ(get16(first->data), 1000) << "watchdog time reset value";
    EXPECT_EQ(bus.read16(2, 0x0410), 0x1234);
    EXPECT_EQ(bus.exchange({BWR, 0, 0x0410, le16(7)})->wkc, 3);
    EXPECT_EQ(bus.exchange({BRW, 0, 0x0410, le16(9)})->wkc, 9);
    EXPECT_EQ(bus.exchange({APRW, 0xFFFF, 0x0410, le16(9)})->wkc, 3);
}

TEST(Datagram, ReadModifyWriteDistributesTheReferenceValue)
{
    auto segment = chainOf(5);
    SimBus bus(segment);
    bus.enumerate();
    // FRMW with the reference in the middle: it reads, everybody else writes.
    auto frmw = bus.exchange({FRMW, stationOf(3), 0x0910, std::vector<uint8_t>(8, 0)});
    EXPECT_EQ(frmw->wkc, 5);
    EXPECT_EQ(frmw->adp, stationOf(3));
    EXPECT_NE(get32(frmw->data), 0u) << "the reference's system time";
    auto armw = bus.exchange({ARMW, 0xFFFF, 0x0410, le16(0)});  // position 2 reads
    EXPECT_EQ(armw->wkc, 5);
    EXPECT_EQ(armw->adp, uint16_t(0xFFFF + 5));
}

TEST(Datagram, SeveralDatagramsInOneFrameArePassedInOrder)
{
    auto segment = chainOf(2);
    SimBus bus(segment);
    bus.enumerate();
    auto answer = bus.exchangeAll({{FPWR, stationOf(1), 0x0410, le16(0x0042), 0, 1},
                                   {FPRD, stationOf(1), 0x0410, {0, 0}, 0, 2},
                                   {BRD, 0, 0x0000, {0, 0}, 0, 3},
                                   {NOP, 0, 0x0000, {0xAA}, 0, 4}});
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->size(), 4u);
    EXPECT_EQ((*answer)[0].wkc, 1);
    EXPECT_EQ(get16((*answer)[1].data), 0x0042) << "the read sees the write of the datagram before it";
    EXPECT_EQ((*answer)[2].wkc, 2);
    EXPECT_EQ((*answer)[3].wkc, 0);
    EXPECT_EQ((*answer)[3].data[0], 0xAA);
}

TEST(Datagram, PaddedFramesKeepTheirLengthAndPaddingIsIgnored)
{
    auto segment = chainOf(2);
    auto frame = buildFrame({{BRD, 0, 0x0000, {0, 0}}}, 60);
    auto answer = segment.processFrame(frame);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->size(), 60u);
    EXPECT_EQ(parseFrame(*answer)->front().wkc, 2);
}

TEST(Datagram, FramesThatAreNotForTheChainAreDropped)
{
    auto segment = chainOf(2);
    struct Case {
        const char* what;
        std::vector<uint8_t> frame;
    };
    auto valid = buildFrame({{BRD, 0, 0x0000, {0, 0}}});
    auto otherType = valid;
    otherType[12] = 0x86;
    otherType[13] = 0xDD;
    auto alreadyPassed = valid;
    alreadyPassed[6] = 0x03;
    auto truncated = valid;
    truncated.resize(valid.size() - 3);
    auto circulating = valid;
    circulating[23] = uint8_t(circulating[23] | 0x40);
    auto tooLong = valid;
    tooLong[14] = 0xFF;
    for (const auto& c : {Case{"other EtherType", otherType}, Case{"answer of a slave", alreadyPassed},
                          Case{"truncated datagram", truncated}, Case{"circulating", circulating},
                          Case{"length beyond frame", tooLong}, Case{"too short", {0x01, 0x02}}})
        EXPECT_FALSE(segment.processFrame(c.frame)) << c.what;
}

TEST(Datagram, ChainOf199DevicesAnswers)
{
    auto segment = chainOf(199);
    SimBus bus(segment);
    EXPECT_EQ(bus.exchange({BRD, 0, 0x0000, {0, 0}})->wkc, 199);
    bus.enumerate();
    EXPECT_EQ(bus.read16(199, 0x0010), stationOf(199));
    EXPECT_THROW(
        {
            for (size_t i = segment.deviceCount(); i <= ecsim::kMaxDevices; ++i)
                segment.addDevice(ecsim::digitalIoProfile());
        },
        std::length_error);
}

TEST(Datagram, DistributedClockRegistersOnlyWhereSupported)
{
    ecsim::Segment segment({ecsim::ownDeviceProfile(1), ecsim::digitalIoProfile(2), ecsim::ownDeviceProfile(3)});
    SimBus bus(segment);
    bus.enumerate();
    EXPECT_EQ(bus.exchange({BWR, 0, 0x0900, {0, 0, 0, 0}})->wkc, 3);
    std::vector<uint8_t> first, last, plain, receive;
    bus.fprd(1, 0x0900, 16, first);
    bus.fprd(3, 0x0900, 16, last);
    bus.fprd(2, 0x0900, 16, plain);
    EXPECT_GT(get32(first, 4), get32(first, 0)) << "port 1 sees the frame on its way back";
    EXPECT_EQ(get32(last, 4), 0u) << "last device: port 1 closed";
    EXPECT_EQ(plain, std::vector<uint8_t>(16, 0));
    bus.fprd(1, 0x0918, 8, receive);
    EXPECT_EQ(get32(receive), get32(first, 0)) << "processing-unit time is the port 0 latch";
    EXPECT_EQ(bus.read16(1, 0x0008) & 0x0004, 0x0004);
    EXPECT_EQ(bus.read16(2, 0x0008) & 0x0004, 0);

    // System time follows the offset written by the master.
    std::vector<uint8_t> before, after;
    bus.fprd(1, 0x0910, 8, before);
    bus.fpwr(1, 0x0920, {0, 0, 0, 0, 0, 0, 0, 0x10});
    bus.fprd(1, 0x0910, 8, after);
    EXPECT_EQ(after[7] & 0xF0, 0x10);
}
