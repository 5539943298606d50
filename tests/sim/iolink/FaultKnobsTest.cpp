// Each fault knob, as a client on the line sees it.
#include <gtest/gtest.h>

#include "SimClient.h"

namespace iolsim::test {
namespace {

const Bytes kMasterConfig{0x02, 0x03, 0x01};

TEST(FaultKnobs, SilentMasterAnswersAndExecutesNothing) {
    SimClient client;
    client.bringToOperate();
    client.sim.changeFaults([](FaultKnobs& f) { f.silentMaster = true; });
    EXPECT_TRUE(client.send(kMasterConfig).empty());
    EXPECT_TRUE(client.send(isduWrite(param::kTestU32, 0, {0, 0, 0, 1})).empty());
    EXPECT_TRUE(client.cycle().empty());
    EXPECT_FALSE(client.sim.port().isduPending);
    client.sim.changeFaults([](FaultKnobs& f) { f.silentMaster = false; });
    EXPECT_EQ(client.send(kMasterConfig), request(Service::MasterConfig, {1, 0, 1, 0, 2}));
}

TEST(FaultKnobs, EveryAnswerCanGoOutWithAWrongChecksum) {
    SimClient client;
    client.sim.changeFaults([](FaultKnobs& f) { f.corruption = ChecksumCorruption::EveryFrame; });
    Bytes expected = request(Service::MasterConfig, {1, 0, 0, 0, 0});
    Bytes answer = client.send(kMasterConfig);
    EXPECT_FALSE(isValidFrame(answer));
    expected.back() ^= 0xFF;
    EXPECT_EQ(answer, expected);
    EXPECT_EQ(client.sim.statistics().corrupted, 1u);
}

std::vector<bool> corruptionPattern(uint32_t seed, int answers) {
    SimClient client;
    client.sim.changeFaults([seed](FaultKnobs& f) {
        f.corruption = ChecksumCorruption::AtRate;
        f.corruptionRate = 0.01;
        f.corruptionSeed = seed;
    });
    std::vector<bool> pattern;
    for (int i = 0; i < answers; ++i) pattern.push_back(!isValidFrame(client.cycle()));
    return pattern;
}

TEST(FaultKnobs, CorruptionAtARateIsRepeatableFromItsSeed) {
    constexpr int kAnswers = 20000;
    auto first = corruptionPattern(7, kAnswers);
    EXPECT_EQ(corruptionPattern(7, kAnswers), first);
    EXPECT_NE(corruptionPattern(8, kAnswers), first);
    auto corrupted = std::count(first.begin(), first.end(), true);
    EXPECT_GT(corrupted, kAnswers / 200);  // 1 % of 20000 is 200; far outside chance otherwise
    EXPECT_LT(corrupted, kAnswers / 50);
}

TEST(FaultKnobs, RefusedServicesAnswerTheRefusalStatusAndDoNothing) {
    struct Case {
        Service service;
        Bytes request;
        Bytes refusal;
    };
    const Case cases[] = {
        {Service::SetPdLengths, request(Service::SetPdLengths, {0, 0, 0, 9}), request(Service::SetPdLengths, {7})},
        {Service::WritePortConfig, portConfig(ModeCode::Inactive, 0, 0), request(Service::WritePortConfig, {0, 7})},
        {Service::IsduRequest, isduRead(param::kTestU8, 0), request(Service::IsduRequest, {0, 7})},
        {Service::EventRequest, request(Service::EventRequest, {0}), request(Service::EventRequest, {0, 7})},
        {Service::PowerOff, request(Service::PowerOff, {0}), request(Service::PowerOff, {7})},
        {Service::PowerOn, request(Service::PowerOn, {0}), request(Service::PowerOn, {7})},
    };
    for (const auto& c : cases) {
        SimClient client;
        client.bringToOperate();
        client.sim.pushEvent({0, event::kWarning, event::kSourceDevice, 0x5000, 0, 0});
        client.sim.changeFaults([&](FaultKnobs& f) {
            f.refusedServices = serviceBit(c.service);
            f.refusalStatus = 7;
        });
        EXPECT_EQ(client.send(c.request), c.refusal) << int(code(c.service));
        PortView v = client.sim.port();
        EXPECT_EQ(v.phase, PortPhase::Operate) << int(code(c.service));
        EXPECT_TRUE(v.powered);
        EXPECT_FALSE(v.isduPending);
        EXPECT_EQ(v.queuedEvents, 1u);
        EXPECT_EQ(client.sim.statistics().refused, 1u);
        // Services without the bit are untouched.
        EXPECT_EQ(client.send(kMasterConfig)[0], 0x02);
    }
}

TEST(FaultKnobs, LimitedRefusalsClearThemselvesAndRetriesAreNotMistakenForRepeats) {
    SimClient client;
    client.bringToOperate();
    client.sim.changeFaults([](FaultKnobs& f) {
        f.refusedServices = serviceBit(Service::IsduRequest);
        f.refusalCount = 2;
    });
    Bytes read = isduRead(param::kTestU8, 0);
    EXPECT_EQ(client.send(read), request(Service::IsduRequest, {0, 1}));
    EXPECT_EQ(client.send(read), request(Service::IsduRequest, {0, 1}));
    EXPECT_EQ(client.send(read), request(Service::IsduRequest, {0, 0}));
    EXPECT_EQ(client.sim.faults().refusedServices, 0u);
    EXPECT_EQ(client.sim.statistics().repeated, 0u);
}

TEST(FaultKnobs, LateResultsBecomeReadyThatManyCyclesLater) {
    SimClient client;
    client.bringToOperate();
    client.sim.changeFaults([](FaultKnobs& f) { f.lateResultCycles = 5; });
    ASSERT_EQ(client.send(isduRead(param::kTestU8, 0)), request(Service::IsduRequest, {0, 0}));
    unsigned cycles = 0;
    while (cycles < 100 && (client.cycle()[3] & 0x0F) != kIsduResultReady) ++cycles;
    EXPECT_EQ(cycles + 1, 6u);  // latency 1 + 5 late
}

TEST(FaultKnobs, DeviceLossShowsInTheConditionNibbleAndIsReportedAsPortEvents) {
    SimClient client;
    client.bringToOperate();
    client.sim.setIsduLatency(50);
    ASSERT_EQ(client.send(isduRead(param::kTestU8, 0)), request(Service::IsduRequest, {0, 0}));

    client.sim.changeFaults([](FaultKnobs& f) { f.deviceLost = true; });
    Bytes pd = client.cycle();
    EXPECT_EQ(pd[2], kStatusProcessDataInvalid | kStatusEventPending);
    EXPECT_EQ(pd[3], kConditionNoDevice << 4);  // and the pending request is gone
    EXPECT_EQ(client.sim.port().phase, PortPhase::NoDevice);
    EXPECT_EQ(client.send(request(Service::EventRequest, {0})),
              request(Service::EventRequest, {0, 0, 0, 0, event::kWarning, event::kSourceMaster, 0xFF, 0x22}));

    client.sim.changeFaults([](FaultKnobs& f) { f.deviceLost = false; });
    EXPECT_EQ(client.cycle()[2], kStatusProcessDataInvalid);  // starting up again
    client.cycles(10);
    EXPECT_EQ(client.sim.port().phase, PortPhase::Operate);
    EXPECT_EQ(client.send(request(Service::EventRequest, {0})),
              request(Service::EventRequest, {0, 0, 0, 0, event::kNotification, event::kSourceMaster, 0xFF, 0x21}));
}

TEST(FaultKnobs, DeviceLossEventsCanBeLeftOut) {
    SimulatorConfig config;
    config.reportDeviceLoss = false;
    SimClient client(config);
    client.bringToOperate();
    client.sim.changeFaults([](FaultKnobs& f) { f.deviceLost = true; });
    client.cycle();
    client.sim.changeFaults([](FaultKnobs& f) { f.deviceLost = false; });
    client.cycles(10);
    EXPECT_EQ(client.sim.queuedEvents(), 0u);
}

TEST(FaultKnobs, PortConditionNibbleIsShownWhileTheDeviceIsThere) {
    SimClient client;
    client.bringToOperate();
    client.sim.changeFaults([](FaultKnobs& f) { f.portCondition = 3; });
    Bytes pd = client.cycle();
    EXPECT_EQ(pd[2], kStatusOperate);
    EXPECT_EQ(pd[3] >> 4, 3);
}

TEST(FaultKnobs, MasterAnnouncingTwoPortsServesTwoPortRecords) {
    SimClient client;
    client.sim.changeFaults([](FaultKnobs& f) { f.announceTwoPorts = true; });
    EXPECT_EQ(client.send(kMasterConfig), request(Service::MasterConfig, {2, 0, 0, 0, 0}));
    EXPECT_EQ(client.send(request(Service::MasterInfo, {10})), request(Service::MasterInfo, {10, 0x11, 0x11}));
    Bytes port1 = client.send(request(Service::ReadPortConfig, {1}));
    ASSERT_EQ(port1.size(), kPortConfigRecordLength);
    EXPECT_EQ(port1[2], 1);
    EXPECT_EQ(client.cycle(0, 2), request(Service::ProcessData, {0x10, 0, 0x10, 0}));
    // Port 1 has no device: in IO-Link mode it reports none.
    ASSERT_EQ(client.send(portConfig(ModeCode::IoLinkOperational, 0, 0, 1)), request(Service::WritePortConfig, {1, 0}));
    EXPECT_EQ(client.cycle(0, 2)[5] >> 4, kConditionNoDevice);
}

TEST(FaultKnobs, CopiesOfTheKnobsRoundTrip) {
    SimClient client;
    FaultKnobs knobs;
    knobs.answerDelayMs = 12;
    knobs.refusedServices = serviceBit(Service::PowerOn) | serviceBit(Service::PowerOff);
    client.sim.setFaults(knobs);
    FaultKnobs back = client.sim.faults();
    EXPECT_EQ(back.answerDelayMs, 12u);
    EXPECT_EQ(back.refusedServices, knobs.refusedServices);
}

}  // namespace
}  // namespace iolsim::test

namespace iolsim::test {
namespace {

// A client that, like the library's link, sends a request again until it gets a valid answer.
class RetryingClient : public SimClient {
public:
    Bytes exchange(const Bytes& frame) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            Bytes answer = send(frame);
            if (isValidFrame(answer)) return answer;
        }
        ADD_FAILURE() << "no valid answer in 50 attempts";
        return {};
    }
    // ISDU request, cycles until the result is ready, then the result; every step retried.
    Bytes isduWithRetries(const Bytes& isduRequest) {
        if (exchange(isduRequest) != request(Service::IsduRequest, {0, 0})) return {};
        for (int i = 0; i < 50; ++i) {
            Bytes pd = exchange(request(Service::ProcessData, {0, 0, 0}));
            if ((pd[3] & 0x0F) >= kIsduResultReady) return exchange(request(Service::IsduResult, {0}));
        }
        return {};
    }
};

TEST(FaultKnobs, RetriedExchangesUnderCorruptionNeverLoseOrRepeatAWrite) {
    RetryingClient client;
    client.bringToOperate();
    client.sim.changeFaults([](FaultKnobs& f) {
        f.corruption = ChecksumCorruption::AtRate;
        f.corruptionRate = 0.05;
        f.corruptionSeed = 99;
    });
    constexpr uint32_t kRounds = 2000;
    for (uint32_t i = 1; i <= kRounds; ++i) {
        Bytes value{static_cast<uint8_t>(i >> 24), static_cast<uint8_t>(i >> 16), static_cast<uint8_t>(i >> 8),
                    static_cast<uint8_t>(i)};
        ASSERT_EQ(client.isduWithRetries(isduWrite(param::kTestU32, 0, value)), resultFrame(kResultWriteDone)) << i;
        ASSERT_EQ(client.isduWithRetries(isduRead(param::kTestU32, 0)), resultFrame(kResultReadData, value)) << i;
    }
    EXPECT_EQ(client.sim.parameters().writeCount(param::kTestU32, 0), kRounds);
    EXPECT_GT(client.sim.statistics().corrupted, 100u);
    EXPECT_GT(client.sim.statistics().repeated, 10u);
}

}  // namespace
}  // namespace iolsim::test
