// Frame-level answers of the master to each service, as a fresh simulator gives them.
#include <gtest/gtest.h>

#include <string>

#include "SimClient.h"

namespace iolsim::test {
namespace {

Bytes textItem(uint8_t item, const std::string& text) {
    Bytes payload{item};
    payload.insert(payload.end(), text.begin(), text.end());
    payload.push_back(0);
    return request(Service::MasterInfo, payload);
}

struct Exchange {
    const char* name;
    Bytes request;
    Bytes answer;
};

class MasterServices : public ::testing::Test {
protected:
    SimClient client;
};

TEST_F(MasterServices, AnswersEveryServiceOfAFreshMaster) {
    const MasterIdentity m;
    const Exchange cases[] = {
        {"master config, one port, no process data while inactive", {0x02, 0x03, 0x01},
         request(Service::MasterConfig, {1, 0, 0, 0, 0})},
        {"process data, inactive port", request(Service::ProcessData, {0, 0}),
         request(Service::ProcessData, {kStatusProcessDataInvalid, 0})},
        {"info 0 vendor", request(Service::MasterInfo, {0}), textItem(0, m.vendorName)},
        {"info 1 product", request(Service::MasterInfo, {1}), textItem(1, m.productName)},
        {"info 2 hardware", request(Service::MasterInfo, {2}), textItem(2, m.hardwareRevision)},
        {"info 3 serial", request(Service::MasterInfo, {3}), textItem(3, m.serialNumber)},
        {"info 4 firmware", request(Service::MasterInfo, {4}), textItem(4, m.firmwareVersion)},
        {"info 5 order code", request(Service::MasterInfo, {5}), textItem(5, m.orderCode)},
        {"info 6 description", request(Service::MasterInfo, {6}), textItem(6, m.description)},
        {"info 7 vendor id", request(Service::MasterInfo, {7}), request(Service::MasterInfo, {7, 0x7E, 0x50})},
        {"info 8 master id", request(Service::MasterInfo, {8}), request(Service::MasterInfo, {8, 0x00, 0x01, 0x01})},
        {"info 9 type", request(Service::MasterInfo, {9}), request(Service::MasterInfo, {9, 1})},
        {"info 10 port revisions", request(Service::MasterInfo, {10}), request(Service::MasterInfo, {10, 0x11})},
        {"info 11 unknown item, no value", request(Service::MasterInfo, {11}), request(Service::MasterInfo, {11})},
        {"set pd lengths", request(Service::SetPdLengths, {0, 1, 0, 2}), request(Service::SetPdLengths, {0})},
        {"isdu result before any request", request(Service::IsduResult, {0}),
         request(Service::IsduResult, {0, kResultNotAvailable})},
        {"isdu request on an inactive port", isduRead(0x40, 0), request(Service::IsduRequest, {0, kRefusedNotIoLink})},
        {"event request, none queued", request(Service::EventRequest, {0}), request(Service::EventRequest, {0, kEventNone})},
        {"power off", {0x0D, 0x04, 0x00, 0x09}, request(Service::PowerOff, {0})},
        {"power on", request(Service::PowerOn, {0}), request(Service::PowerOn, {0})},
        {"power for port 1 refused", request(Service::PowerOn, {1}), request(Service::PowerOn, {kRefusedInvalidPort})},
        {"write config accepted", portConfig(ModeCode::DigitalInput, 1, 0), request(Service::WritePortConfig, {0, 0})},
        {"write config for a missing port", portConfig(ModeCode::DigitalInput, 1, 0, 1),
         request(Service::WritePortConfig, {1, kRefusedInvalidPort})},
        {"write config with mode 5", [] { auto r = portConfig(ModeCode::Inactive, 0, 0); r[3] = 5; r[40] ^= 5; return r; }(),
         request(Service::WritePortConfig, {0, kRefusedInvalidArgument})},
        {"write config with 33 input bytes", portConfig(ModeCode::IoLinkOperational, 33, 0),
         request(Service::WritePortConfig, {0, kRefusedInvalidArgument})},
        {"read config of a missing port", request(Service::ReadPortConfig, {1}),
         request(0x85, {static_cast<uint8_t>(ErrorReason::InvalidPort)})},
        {"unknown service", request(0x07, {}), request(0x87, {static_cast<uint8_t>(ErrorReason::UnknownService)})},
        {"unknown service in the error range stays silent", request(0x90, {}), {}},
    };
    for (const auto& c : cases) EXPECT_EQ(client.send(c.request), c.answer) << c.name;
}

TEST_F(MasterServices, ReadPortConfigDescribesThePortAndTheDevice) {
    Bytes r = client.send(request(Service::ReadPortConfig, {0}));
    ASSERT_EQ(r.size(), kPortConfigRecordLength);
    ASSERT_TRUE(isValidFrame(r));
    const DeviceIdentity& d = client.sim.device();
    EXPECT_EQ(r[0], 0x05);
    EXPECT_EQ(r[2], 0);
    EXPECT_EQ(r[3], static_cast<uint8_t>(ModeCode::Inactive));
    EXPECT_EQ(r[5] << 8 | r[6], static_cast<int>(d.minCycleTimeUs / 100));
    EXPECT_EQ(r[13] << 8 | r[14], d.vendorId);
    EXPECT_EQ(static_cast<uint32_t>(r[15] << 24 | r[16] << 16 | r[17] << 8 | r[18]), d.deviceId);
    EXPECT_EQ(r[39], 0x11);
}

TEST_F(MasterServices, WrittenPortConfigIsReadBackAndShapesTheLayout) {
    Bytes written = portConfig(ModeCode::IoLinkOperational, 2, 1);
    written[4] = 0x5A;                           // mode detail, passed through
    for (int i = 19; i < 35; ++i) written[i] = static_cast<uint8_t>(i);  // identification field
    written[40] = xorChecksum(std::span<const uint8_t>(written.data(), 40));
    ASSERT_EQ(client.send(written), request(Service::WritePortConfig, {0, 0}));

    Bytes expected = written;
    expected[0] = 0x05;
    expected[40] = xorChecksum(std::span<const uint8_t>(expected.data(), 40));
    EXPECT_EQ(client.send(request(Service::ReadPortConfig, {0})), expected);
    // Without SET_PD_LENGTHS the master reports the layout of its ports.
    EXPECT_EQ(client.send({0x02, 0x03, 0x01}), request(Service::MasterConfig, {1, 0, 1, 0, 2}));
    // SET_PD_LENGTHS takes precedence, and sizes the process-data answer.
    ASSERT_EQ(client.send(request(Service::SetPdLengths, {0, 4, 0, 6})), request(Service::SetPdLengths, {0}));
    EXPECT_EQ(client.send({0x02, 0x03, 0x01}), request(Service::MasterConfig, {1, 0, 4, 0, 6}));
    EXPECT_EQ(client.cycle(4).size(), 2u + 2u + 6u + 1u);
}

TEST_F(MasterServices, ProcessDataFrameThatWouldNotBeShortIsRefused) {
    // 3 fixed bytes + 2 status bytes + 251 would need the extended form.
    EXPECT_EQ(client.send(request(Service::SetPdLengths, {0, 0, 0, 251})),
              request(Service::SetPdLengths, {kRefusedInvalidArgument}));
    EXPECT_EQ(client.send(request(Service::SetPdLengths, {0, 0, 0, 250})), request(Service::SetPdLengths, {0}));
}

}  // namespace
}  // namespace iolsim::test
