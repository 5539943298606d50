// Requests a master must survive: bad checksums, lengths that disagree with the frame or the
// service, and random bytes. The master never answers a frame it cannot trust and never
// answers with anything but a valid frame.
#include <gtest/gtest.h>

#include <random>

#include "SimClient.h"

namespace iolsim::test {
namespace {

TEST(MalformedRequest, FramesThatCannotBeTrustedAreIgnored) {
    struct Case {
        const char* name;
        Bytes frame;
    };
    const Case cases[] = {
        {"empty", {}},
        {"one byte", {0x02}},
        {"length 2 leaves no checksum", {0x02, 0x02}},
        {"bad checksum", {0x02, 0x03, 0x00}},
        {"shorter than announced", {0x00, 0x04, 0x05}},
        {"longer than announced", {0x02, 0x03, 0x01, 0x00}},
        {"extended header, bad checksum", {0x02, 0x00, 0x00, 0x05, 0x00}},
        {"extended length below its header", {0x02, 0x00, 0x00, 0x03, 0x01}},
    };
    for (const auto& c : cases) {
        SimClient client;
        EXPECT_TRUE(client.send(c.frame).empty()) << c.name;
        EXPECT_EQ(client.sim.statistics().ignored, 1u) << c.name;
        EXPECT_EQ(client.sim.statistics().requests, 0u) << c.name;
    }
}

TEST(MalformedRequest, WrongLengthForTheServiceGetsAnErrorAnswer) {
    const Bytes cases[] = {
        request(Service::MasterInfo, {0, 0}),
        request(Service::MasterConfig, {0}),
        request(Service::SetPdLengths, {0, 0, 0}),
        request(Service::ReadPortConfig, {}),
        request(Service::IsduRequest, {0, 1, 0, 0x40}),
        request(Service::IsduResult, {0, 0}),
        request(Service::EventRequest, {}),
        request(Service::PowerOn, {0, 0}),
        request(Service::WritePortConfig, {0, 0, 0}),
        request(Service::ProcessData, {0}),  // fewer than the two control bytes
    };
    for (const auto& frame : cases) {
        SimClient client;
        uint8_t errorCode = static_cast<uint8_t>(frame[0] | kErrorResponseBit);
        EXPECT_EQ(client.send(frame), request(errorCode, {static_cast<uint8_t>(ErrorReason::BadLength)}))
            << "service " << int(frame[0]);
    }
}

TEST(MalformedRequest, ExtendedFormRequestIsUnderstood) {
    SimClient client;
    Bytes frame{0x02, 0x00, 0x00, 0x05};
    frame.push_back(xorChecksum(frame));
    EXPECT_EQ(client.send(frame), request(Service::MasterConfig, {1, 0, 0, 0, 0}));
}

TEST(MalformedRequest, IsduReadWithDataAndUnknownDirectionAreRefused) {
    SimClient client;
    client.bringToOperate();
    EXPECT_EQ(client.send(request(Service::IsduRequest, {0, 1, 0, 0x40, 0, 9})),
              request(Service::IsduRequest, {0, kRefusedInvalidArgument}));
    EXPECT_EQ(client.send(request(Service::IsduRequest, {0, 2, 0, 0x40, 0})),
              request(Service::IsduRequest, {0, kRefusedInvalidArgument}));
    EXPECT_FALSE(client.sim.port().isduPending);
}

// Random frames, half of them with a correct checksum so that they reach the services.
TEST(MalformedRequest, RandomFramesNeverCrashAndOnlyGetValidAnswers) {
    SimClient client;
    client.sim.setStartupCycles(0, 0, 0);
    std::mt19937 random(20261211);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> size(0, 60);
    const uint8_t interesting[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E};
    for (int i = 0; i < 20000; ++i) {
        Bytes frame(static_cast<std::size_t>(size(random)));
        for (auto& b : frame) b = static_cast<uint8_t>(byte(random));
        if (frame.size() >= 3 && i % 2 == 0) {
            frame[0] = interesting[static_cast<std::size_t>(byte(random)) % sizeof interesting];
            frame[1] = static_cast<uint8_t>(frame.size());
            if (frame[0] == 0x04 && i % 4 == 0) {
                frame.resize(kPortConfigRecordLength);
                frame[1] = kPortConfigRecordLength;
                frame[2] = static_cast<uint8_t>(byte(random) % 2);
                frame[3] = static_cast<uint8_t>(byte(random) % 6);
                frame[7] = static_cast<uint8_t>(byte(random) % 40);
            }
            frame.back() = 0;
            frame.back() = xorChecksum(frame);
        }
        Bytes answer = client.send(frame);
        if (!answer.empty()) {
            ASSERT_TRUE(isValidFrame(answer)) << "request " << i;
        }
    }
    EXPECT_GT(client.sim.statistics().answered, 1000u);
}

}  // namespace
}  // namespace iolsim::test
