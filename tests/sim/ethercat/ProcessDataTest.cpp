// Logical process data through the FMMUs of a mixed chain.
#include "SimBus.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

// Outputs: own 16 bytes at 0, io 1 byte at 16, foreign 2 bytes at 17 (19 bytes);
// inputs: own 16 bytes at 19, io 1 byte at 35, foreign 4 bytes at 36 (40 bytes in all).
struct ProcessData : ::testing::Test {
    ProcessData() : segment({ecsim::ownDeviceProfile(), ecsim::digitalIoProfile(), ecsim::foreignCoeProfile()}), bus(segment)
    {
        bus.enumerate();
        for (size_t position = 1; position <= 3; ++position)
            bus.toPreOp(position);
        bus.configureProcessData(1, 0, 19, -1, -1);
        bus.configureProcessData(2, 16, 35, -1, -1);
        bus.configureProcessData(3, 17, 36, -1, -1);
    }
    void safeOp()
    {
        for (size_t position = 1; position <= 3; ++position) {
            bus.requestState(position, 0x04);
            ASSERT_EQ(bus.alStatus(position), 0x04) << position << " code " << bus.alStatusCode(position);
        }
    }
    std::optional<Datagram> lrw(std::vector<uint8_t> image) { return bus.exchange({LRW, 0, 0, std::move(image)}); }

    ecsim::Segment segment;
    SimBus bus;
};

}  // namespace

TEST_F(ProcessData, NotCountedBeforeSafeOp)
{
    EXPECT_EQ(lrw(std::vector<uint8_t>(40, 0))->wkc, 0);
}

TEST_F(ProcessData, WorkingCounterOverMixedDevices)
{
    safeOp();
    struct Case {
        const char* what;
        uint8_t command;
        uint32_t address;
        uint16_t length;
        uint16_t wkc;
    };
    for (Case c : {Case{"LRW over all", LRW, 0, 40, 9}, Case{"LRW over outputs only", LRW, 0, 19, 6},
                   Case{"LRW over inputs only", LRW, 19, 21, 3}, Case{"LRW over the io device only", LRW, 16, 1, 2},
                   Case{"LRD over all", LRD, 0, 40, 3}, Case{"LWR over all", LWR, 0, 40, 3},
                   Case{"LRW outside", LRW, 0x10000, 40, 0}}) {
        auto answer = bus.exchange({c.command, uint16_t(c.address), uint16_t(c.address >> 16), std::vector<uint8_t>(c.length, 0)});
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->wkc, c.wkc) << c.what;
    }
}

TEST_F(ProcessData, OutputsAreLoopedBackToInputs)
{
    safeOp();
    std::vector<uint8_t> image(40, 0);
    for (size_t i = 0; i < 19; ++i)
        image[i] = uint8_t(0xA0 + i);
    lrw(image);
    auto answer = lrw(image);
    ASSERT_TRUE(answer);
    EXPECT_EQ(std::vector<uint8_t>(answer->data.begin() + 19, answer->data.begin() + 35),
              std::vector<uint8_t>(image.begin(), image.begin() + 16));
    EXPECT_EQ(answer->data[35], image[16]);
    EXPECT_EQ(get16(answer->data, 36), get16(image, 17));
    EXPECT_EQ(std::vector<uint8_t>(answer->data.begin(), answer->data.begin() + 19),
              std::vector<uint8_t>(image.begin(), image.begin() + 19)) << "outputs come back as sent";
    EXPECT_EQ(segment.objectValue(1, 0x2400, 1), (std::vector<uint8_t>{0xA0, 0xA1, 0xA2, 0xA3}));
    EXPECT_EQ(segment.objectValue(1, 0x2500, 4), (std::vector<uint8_t>{0xAC, 0xAD, 0xAE, 0xAF}));
}

TEST_F(ProcessData, InputObjectsSetByATestAppear)
{
    auto profile = ecsim::foreignCoeProfile();
    profile.loopbackProcessData = false;
    ecsim::Segment plain({profile});
    SimBus plainBus(plain);
    plainBus.enumerate();
    ASSERT_TRUE(plainBus.toPreOp(1));
    ASSERT_TRUE(plainBus.toSafeOp(1, 0, 2));
    plain.setObjectValue(1, 0x6000, 2, le16(0x1234));
    auto answer = plainBus.exchange({LRD, 0, 0, std::vector<uint8_t>(6, 0)});
    EXPECT_EQ(get16(answer->data, 4), 0x1234);
}

TEST(ProcessDataBits, BitGranularFmmuTouchesOnlyItsBits)
{
    auto profile = ecsim::profileFromSiiFile(std::string(FSN_SII_FOLDER) + "el2004.bin");
    ASSERT_TRUE(profile);
    ecsim::Segment segment({*profile});
    SimBus bus(segment);
    bus.enumerate();
    ASSERT_TRUE(bus.toPreOp(1));
    ASSERT_TRUE(bus.toSafeOp(1, 0, 0));
    // Logical bits 4..7 of byte 0 onto physical bits 0..3 of 0x0F00.
    std::vector<uint8_t> fmmu = {0, 0, 0, 0, 1, 0, 4, 7, 0x00, 0x0F, 0, 2, 1, 0, 0, 0};
    bus.fpwr(1, 0x0600, fmmu);
    auto answer = bus.exchange({LWR, 0, 0, {0xA5}});
    EXPECT_EQ(answer->wkc, 1);
    EXPECT_EQ(segment.memory(1, 0x0F00, 1)[0], 0x0A);
}
