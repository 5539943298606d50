// Parameter (ISDU) requests through the master: the device's answers and error codes, the
// result-ready nibble, repeated fetches, and the hook for indices that are behaviour.
#include <gtest/gtest.h>

#include "SimClient.h"

namespace iolsim::test {
namespace {

class Isdu : public ::testing::Test {
protected:
    void SetUp() override { client.bringToOperate(); }
    SimClient client;
};

TEST_F(Isdu, ReadsAnswerTheStoredValuesBigEndian) {
    const DeviceIdentity& d = client.sim.device();
    Bytes page1 = directParameterPage1(d, 2000);
    struct Case {
        const char* name;
        uint16_t index;
        uint8_t subindex;
        Bytes answer;
    };
    const Case cases[] = {
        {"u32", param::kTestU32, 0, resultFrame(kResultReadData, {0x12, 0x34, 0x56, 0x78})},
        {"u16", param::kTestU16, 0, resultFrame(kResultReadData, {0x01, 0xF4})},
        {"u8", param::kTestU8, 0, resultFrame(kResultReadData, {0x07})},
        {"read-only u32", param::kTestReadOnlyU32, 0, resultFrame(kResultReadData, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"string", param::kTestString, 0, resultFrame(kResultReadData, {'h', 'e', 'l', 'l', 'o'})},
        {"bytes with a zero inside", param::kTestBytes, 0, resultFrame(kResultReadData, {0x41, 0x42, 0x00, 0x43})},
        {"record member", param::kTestRecord, 2, resultFrame(kResultReadData, {0x00, 0x02})},
        {"direct parameter page 1", param::kDirectParameterPage1, 0, resultFrame(kResultReadData, page1)},
        {"one byte of page 1 (revision)", param::kDirectParameterPage1, 5, resultFrame(kResultReadData, {0x11})},
        {"page 1 has 16 subindices", param::kDirectParameterPage1, 17,
         errorResult(kResultReadError, isdu_error::kSubindexNotAvailable)},
        {"unknown index", 0x1234, 0, errorResult(kResultReadError, isdu_error::kIndexNotAvailable)},
        {"unknown subindex of a known index", param::kTestRecord, 9,
         errorResult(kResultReadError, isdu_error::kSubindexNotAvailable)},
        {"write-only", param::kTestWriteOnlyU32, 0, errorResult(kResultReadError, isdu_error::kAccessDenied)},
    };
    for (const auto& c : cases) EXPECT_EQ(client.isdu(isduRead(c.index, c.subindex)), c.answer) << c.name;
}

TEST_F(Isdu, DirectParameterPageCarriesTheIdentityAndTheCycleTime) {
    Bytes answer = client.isdu(isduRead(param::kDirectParameterPage1, 0));
    ASSERT_EQ(answer.size(), 5u + 16u);
    const uint8_t* page = answer.data() + 4;
    const DeviceIdentity& d = client.sim.device();
    EXPECT_EQ(decodeCycleTimeUs(page[1]), 2000u);  // as configured by the port config
    EXPECT_EQ(page[4], d.revision);
    EXPECT_EQ(decodeProcessDataLength(page[5]), d.processDataInLength);
    EXPECT_EQ(decodeProcessDataLength(page[6]), d.processDataOutLength);
    EXPECT_EQ(page[7] << 8 | page[8], d.vendorId);
    EXPECT_EQ(static_cast<uint32_t>(page[9] << 16 | page[10] << 8 | page[11]), d.deviceId);
}

TEST_F(Isdu, WritesChangeTheStoreOrAnswerTheDevicesErrorCode) {
    struct Case {
        const char* name;
        uint16_t index;
        uint8_t subindex;
        Bytes data;
        Bytes answer;
    };
    const Case cases[] = {
        {"u32", param::kTestU32, 0, {0x00, 0x00, 0x01, 0x02}, resultFrame(kResultWriteDone)},
        {"u8 from 32 bits that fit", param::kTestU8, 0, {0x00, 0x00, 0x00, 0x09}, resultFrame(kResultWriteDone)},
        {"u8 from 32 bits that do not fit", param::kTestU8, 0, {0x00, 0x00, 0x01, 0x00},
         errorResult(kResultWriteError, isdu_error::kValueOutOfRange)},
        {"u16 above its range", param::kTestU16, 0, {0x03, 0xE9}, errorResult(kResultWriteError, isdu_error::kValueOutOfRange)},
        {"number of 5 bytes", param::kTestU32, 0, {1, 2, 3, 4, 5}, errorResult(kResultWriteError, isdu_error::kLengthOverrun)},
        {"no data", param::kTestU32, 0, {}, errorResult(kResultWriteError, isdu_error::kLengthUnderrun)},
        {"read-only", param::kTestReadOnlyU32, 0, {0, 0, 0, 1}, errorResult(kResultWriteError, isdu_error::kAccessDenied)},
        {"identification text", param::kVendorName, 0, {'x'}, errorResult(kResultWriteError, isdu_error::kAccessDenied)},
        {"page 1", param::kDirectParameterPage1, 0, {0}, errorResult(kResultWriteError, isdu_error::kAccessDenied)},
        {"unknown index", 0x1234, 0, {0}, errorResult(kResultWriteError, isdu_error::kIndexNotAvailable)},
        {"string", param::kApplicationSpecificTag, 0, {'t', 'a', 'g'}, resultFrame(kResultWriteDone)},
        {"string above its length", param::kApplicationSpecificTag, 0, Bytes(33, 'x'),
         errorResult(kResultWriteError, isdu_error::kLengthOverrun)},
        {"write-only", param::kTestWriteOnlyU32, 0, {0, 0, 0, 5}, resultFrame(kResultWriteDone)},
    };
    for (const auto& c : cases) EXPECT_EQ(client.isdu(isduWrite(c.index, c.subindex, c.data)), c.answer) << c.name;

    ParameterStore& store = client.sim.parameters();
    EXPECT_EQ(store.number(param::kTestU32, 0), 258u);
    EXPECT_EQ(store.number(param::kTestU8, 0), 9u);
    EXPECT_EQ(store.number(param::kTestU16, 0), 500u);
    EXPECT_EQ(store.text(param::kApplicationSpecificTag, 0), "tag");
    EXPECT_EQ(store.number(param::kTestWriteOnlyU32, 0), 5u);
    EXPECT_EQ(store.writeCount(param::kTestU32, 0), 1u);
    EXPECT_EQ(store.writeCount(param::kTestU8, 0), 1u);
}

TEST_F(Isdu, ResultNibbleGoesBusyThenReadyThenIdle) {
    client.sim.setIsduLatency(3);
    ASSERT_EQ(client.send(isduRead(param::kTestU8, 0)), request(Service::IsduRequest, {0, 0}));
    EXPECT_EQ(client.cycle()[3] & 0x0F, kIsduBusy);
    EXPECT_EQ(client.cycle()[3] & 0x0F, kIsduBusy);
    EXPECT_EQ(client.cycle()[3] & 0x0F, kIsduResultReady);
    EXPECT_EQ(client.cycle()[3] & 0x0F, kIsduResultReady);  // until fetched
    Bytes result = client.send(request(Service::IsduResult, {0}));
    EXPECT_EQ(result, resultFrame(kResultReadData, {7}));
    EXPECT_EQ(client.cycle()[3] & 0x0F, kIsduIdle);
    // Asked again (an answer the client lost), the master repeats the result.
    EXPECT_EQ(client.send(request(Service::IsduResult, {0})), result);
}

TEST_F(Isdu, RepeatedRequestRightAfterItselfIsExecutedOnce) {
    Bytes write = isduWrite(param::kTestU32, 0, {0, 0, 0, 1});
    ASSERT_EQ(client.send(write), request(Service::IsduRequest, {0, 0}));
    ASSERT_EQ(client.send(write), request(Service::IsduRequest, {0, 0}));  // the client's retry
    EXPECT_EQ(client.sim.statistics().repeated, 1u);
    client.cycles(2);
    EXPECT_EQ(client.sim.parameters().writeCount(param::kTestU32, 0), 1u);
    // The same request again after other traffic is a new request.
    EXPECT_EQ(client.isdu(write), resultFrame(kResultWriteDone));
    EXPECT_EQ(client.sim.parameters().writeCount(param::kTestU32, 0), 2u);
}

TEST_F(Isdu, NewRequestReplacesOneNotCollected) {
    client.sim.setIsduLatency(5);
    ASSERT_EQ(client.send(isduRead(param::kTestU8, 0)), request(Service::IsduRequest, {0, 0}));
    client.cycle();
    EXPECT_EQ(client.isdu(isduRead(param::kTestU16, 0)), resultFrame(kResultReadData, {0x01, 0xF4}));
    auto history = client.sim.parameters().history();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].request.index, param::kTestU16);
}

TEST_F(Isdu, HandlerTakesOverAnIndexAndKeepsItsOwnState) {
    // A command channel: writes queue a command, a read answers and clears it.
    constexpr uint16_t kChannel = 50;
    auto last = std::make_shared<Bytes>();
    client.sim.parameters().setHandler(kChannel, [last](ParameterStore& store, const IsduRequest& r) -> std::optional<IsduAnswer> {
        if (r.subindex != 0) return std::nullopt;  // left to the entries: none, so not available
        if (r.write) {
            if (r.data.empty()) return IsduAnswer::fail(isdu_error::kLengthUnderrun);
            *last = r.data;
            store.setNumber(param::kTestU8, 0, r.data[0]);
            return IsduAnswer::ok();
        }
        Bytes answer{0x11};
        answer.insert(answer.end(), last->begin(), last->end());
        last->clear();
        return IsduAnswer::ok(answer);
    });
    EXPECT_EQ(client.isdu(isduWrite(kChannel, 0, {0xF1, 0x00, 0x01})), resultFrame(kResultWriteDone));
    EXPECT_EQ(client.isdu(isduRead(kChannel, 0)), resultFrame(kResultReadData, {0x11, 0xF1, 0x00, 0x01}));
    EXPECT_EQ(client.isdu(isduRead(kChannel, 0)), resultFrame(kResultReadData, {0x11}));
    EXPECT_EQ(client.isdu(isduRead(kChannel, 1)), errorResult(kResultReadError, isdu_error::kIndexNotAvailable));
    EXPECT_EQ(client.sim.parameters().number(param::kTestU8, 0), 0xF1u);
    client.sim.parameters().clearHandler(kChannel);
    EXPECT_EQ(client.isdu(isduRead(kChannel, 0)), errorResult(kResultReadError, isdu_error::kIndexNotAvailable));
}

TEST_F(Isdu, HandlerCanRestartTheDeviceAfterAnswering) {
    constexpr uint16_t kSystemCommand = 2;
    client.sim.parameters().setHandler(kSystemCommand, [](ParameterStore&, const IsduRequest&) -> std::optional<IsduAnswer> {
        IsduAnswer a = IsduAnswer::ok();
        a.deviceRestartCycles = 3;
        return a;
    });
    EXPECT_EQ(client.isdu(isduWrite(kSystemCommand, 0, {0x80})), resultFrame(kResultWriteDone));
    EXPECT_EQ(client.sim.port().phase, PortPhase::NoDevice);
    EXPECT_EQ(client.cycle()[3] >> 4, kConditionNoDevice);
    client.cycles(2);
    EXPECT_EQ(client.sim.port().phase, PortPhase::Startup);
    client.cycles(10);
    EXPECT_EQ(client.sim.port().phase, PortPhase::Operate);
    EXPECT_EQ(client.sim.queuedEvents(), 0u);
}

TEST_F(Isdu, ResultLongerThanTheClientsBufferIsStillAnsweredWhole) {
    // A device may answer more than a client can hold; the master passes it on.
    client.sim.parameters().addBytes(0x60, 0, Bytes(240, 0x5A), 250, Access::ReadOnly);
    Bytes answer = client.isdu(isduRead(0x60, 0));
    ASSERT_EQ(answer.size(), 245u);
    EXPECT_TRUE(isValidFrame(answer));
    EXPECT_EQ(answer[3], kResultReadData);
}

TEST(IsduOutsideOperate, RequestsWaitForTheDeviceAndDieWithTheMode) {
    SimClient client;
    client.sim.setStartupCycles(3, 0);
    ASSERT_EQ(client.send(portConfig(ModeCode::IoLinkOperational, 2, 1)), request(Service::WritePortConfig, {0, 0}));
    // Accepted during start-up, answered once the device talks.
    ASSERT_EQ(client.send(isduRead(param::kTestU8, 0)), request(Service::IsduRequest, {0, 0}));
    EXPECT_EQ(client.cycle()[3] & 0x0F, kIsduBusy);
    EXPECT_EQ(client.cycle()[3] & 0x0F, kIsduBusy);
    EXPECT_EQ(client.cycle()[3] & 0x0F, kIsduBusy);  // operate from this cycle, latency 1 to go
    EXPECT_EQ(client.cycle()[3] & 0x0F, kIsduResultReady);

    ASSERT_EQ(client.send(isduRead(param::kTestU8, 0)), request(Service::IsduRequest, {0, 0}));
    ASSERT_EQ(client.send(portConfig(ModeCode::Inactive, 0, 0)), request(Service::WritePortConfig, {0, 0}));
    EXPECT_FALSE(client.sim.port().isduPending);
    EXPECT_EQ(client.send(isduRead(param::kTestU8, 0)), request(Service::IsduRequest, {0, kRefusedNotIoLink}));
}

}  // namespace
}  // namespace iolsim::test
