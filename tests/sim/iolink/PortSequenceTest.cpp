// A port's life as the status bytes of successive PROCESS_DATA answers show it: IO-Link start
// through preoperate to operate, the preoperational mode, inactive and digital modes, power.
#include <gtest/gtest.h>

#include "SimClient.h"

namespace iolsim::test {
namespace {

constexpr uint8_t kStartup = kStatusProcessDataInvalid;
constexpr uint8_t kPreop = kStatusPreoperate | kStatusProcessDataInvalid;
constexpr uint8_t kOperate = kStatusOperate;

std::vector<uint8_t> statusSequence(SimClient& client, unsigned cycles) {
    std::vector<uint8_t> seen;
    for (unsigned i = 0; i < cycles; ++i) seen.push_back(client.cycle()[2]);
    return seen;
}

TEST(PortSequence, IoLinkStartFollowsTheConfiguredCycleCounts) {
    struct Case {
        const char* name;
        ModeCode mode;
        uint32_t preoperateAfter, operateAfter;
        std::vector<uint8_t> status0;
    };
    const Case cases[] = {
        {"operational, defaults", ModeCode::IoLinkOperational, 2, 3,
         {kStartup, kPreop, kPreop, kPreop, kOperate, kOperate}},
        {"operational, operate directly", ModeCode::IoLinkOperational, 2, 0, {kStartup, kOperate, kOperate}},
        {"operational, at once", ModeCode::IoLinkOperational, 0, 0, {kOperate, kOperate}},
        {"preoperational stays in preoperate", ModeCode::IoLinkPreoperational, 1, kNeverCycles,
         {kPreop, kPreop, kPreop, kPreop, kPreop}},
    };
    for (const auto& c : cases) {
        SimClient client;
        client.sim.setStartupCycles(c.preoperateAfter, c.operateAfter, c.operateAfter);
        ASSERT_EQ(client.send(portConfig(c.mode, 2, 1)), request(Service::WritePortConfig, {0, 0}));
        EXPECT_EQ(statusSequence(client, static_cast<unsigned>(c.status0.size())), c.status0) << c.name;
    }
}

TEST(PortSequence, PreoperationalModeMayBeToldToGoOn) {
    SimClient client;
    client.sim.setStartupCycles(0, 3, 2);
    ASSERT_EQ(client.send(portConfig(ModeCode::IoLinkPreoperational, 2, 1)), request(Service::WritePortConfig, {0, 0}));
    EXPECT_EQ(statusSequence(client, 2), (std::vector<uint8_t>{kPreop, kOperate}));
}

TEST(PortSequence, OtherModesShowAtOnce) {
    struct Case {
        const char* name;
        Bytes config;
        uint8_t status0;
        std::size_t answerLength;
    };
    const Case cases[] = {
        {"inactive", portConfig(ModeCode::Inactive, 0, 0), kStatusProcessDataInvalid, 5},
        {"digital input, one input byte", portConfig(ModeCode::DigitalInput, 1, 0), 0, 6},
        {"digital output", portConfig(ModeCode::DigitalOutput, 0, 1), 0, 5},
    };
    for (const auto& c : cases) {
        SimClient client;
        client.sim.setDigitalInput(true);
        ASSERT_EQ(client.send(c.config), request(Service::WritePortConfig, {0, 0}));
        Bytes pd = client.cycle(c.config[10]);
        ASSERT_EQ(pd.size(), c.answerLength) << c.name;
        EXPECT_EQ(pd[2], c.status0) << c.name;
        EXPECT_EQ(pd[3], 0) << c.name;
    }
}

TEST(PortSequence, DigitalInputAndOutputFollowTheLine) {
    SimClient client;
    ASSERT_EQ(client.send(portConfig(ModeCode::DigitalInput, 1, 0)), request(Service::WritePortConfig, {0, 0}));
    EXPECT_EQ(client.cycle()[4], 0);
    client.sim.setDigitalInput(true);
    EXPECT_EQ(client.cycle()[4], 1);

    ASSERT_EQ(client.send(portConfig(ModeCode::DigitalOutput, 0, 1)), request(Service::WritePortConfig, {0, 0}));
    client.send(request(Service::ProcessData, {0, 0, 1}));
    EXPECT_TRUE(client.sim.digitalOutput());
    client.send(request(Service::ProcessData, {0, 0, 0}));
    EXPECT_FALSE(client.sim.digitalOutput());
}

TEST(PortSequence, ProcessDataFlowsOnlyInOperate) {
    SimClient client;
    client.sim.setProcessDataInput({0xAB, 0xCD});
    client.sim.setStartupCycles(2, 0);
    ASSERT_EQ(client.send(portConfig(ModeCode::IoLinkOperational, 2, 1)), request(Service::WritePortConfig, {0, 0}));
    ASSERT_EQ(client.send(request(Service::SetPdLengths, {0, 1, 0, 2})), request(Service::SetPdLengths, {0}));
    // Start-up cycle: input zeros, output not taken.
    EXPECT_EQ(client.send(request(Service::ProcessData, {0, 0, 0x77})),
              request(Service::ProcessData, {kStartup, 0, 0, 0}));
    EXPECT_TRUE(client.sim.processDataOutput().empty());
    EXPECT_EQ(client.send(request(Service::ProcessData, {0, 0, 0x77})),
              request(Service::ProcessData, {kOperate, 0, 0xAB, 0xCD}));
    EXPECT_EQ(client.sim.processDataOutput(), Bytes{0x77});
}

TEST(PortSequence, ReconfigurationRestartsTheDevice) {
    SimClient client;
    client.bringToOperate();
    ASSERT_EQ(client.send(portConfig(ModeCode::IoLinkOperational, 2, 1)), request(Service::WritePortConfig, {0, 0}));
    EXPECT_EQ(client.cycle()[2], kStartup);
}

TEST(PortSequence, PowerOffTakesTheDeviceAwayAndPowerOnStartsItAgain) {
    SimClient client;
    client.bringToOperate();
    ASSERT_EQ(client.send(request(Service::PowerOff, {0})), request(Service::PowerOff, {0}));
    Bytes pd = client.cycle();
    EXPECT_EQ(pd[2], kStatusProcessDataInvalid);
    EXPECT_EQ(pd[3] >> 4, kConditionNoDevice);
    EXPECT_FALSE(client.sim.port().powered);
    EXPECT_EQ(client.sim.queuedEvents(), 0u);  // switched off, not lost

    ASSERT_EQ(client.send(request(Service::PowerOn, {0})), request(Service::PowerOn, {0}));
    pd = client.cycle();
    EXPECT_EQ(pd[2], kStartup);
    EXPECT_EQ(pd[3] >> 4, kConditionNone);
    client.cycles(10);
    EXPECT_EQ(client.sim.port().phase, PortPhase::Operate);
}

TEST(PortSequence, ControlBytesAreRecorded) {
    SimClient client;
    client.send(request(Service::ProcessData, {0x00, 0xA8}));
    client.send(request(Service::ProcessData, {0x40, 0x00}));
    PortView v = client.sim.port();
    EXPECT_EQ(v.controlByte0, 0x40);
    EXPECT_EQ(v.controlByte1, 0x00);
    EXPECT_EQ(v.controlBitsSeen1, 0xA8);
    EXPECT_EQ(client.sim.statistics().processDataCycles, 2u);
}

}  // namespace
}  // namespace iolsim::test
