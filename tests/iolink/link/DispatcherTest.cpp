// The link's response engine without a line: frames are handed to handleResponse as the link
// thread would, and the test reads the per-port bookkeeping and the follow-up requests that the
// engine queued.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/ErrorCodes.h"
#include "link/Events.h"
#include "link/LinkState.h"
#include "link/PortStateMachine.h"
#include "link/ResponseDispatcher.h"

using namespace iolink;

namespace {

// A frame with its length byte and checksum filled in.
FrameBuffer frame(std::vector<uint8_t> bytesWithoutChecksum)
{
    FrameBuffer f{};
    std::copy(bytesWithoutChecksum.begin(), bytesWithoutChecksum.end(), f.begin());
    finishFrame(f, static_cast<uint8_t>(bytesWithoutChecksum.size() + 1));
    return f;
}

FrameBuffer processData(uint8_t status0, uint8_t status1) { return frame({PROCESS_DATA, 0, status0, status1}); }

class Dispatcher : public testing::Test {
protected:
    void SetUp() override
    {
        LinkState& link = linkState();
        link.portCount = 1;
        link.errorCount = 0;
        link.totalOutputLength = 0;
        link.totalInputLength = 0;
        clearRequestQueue();
        PortLink& p = port();
        p.status = {};
        p.control = {};
        p.lastConditionNibble = 0;
        p.sequenceStep = STEP_IDLE;
        p.modeCountdown = 0;
        p.isduState = ISDU_IDLE;
        p.isduCountdown = 0;
        p.eventOutstanding = 0;
        p.record.portState = PORT_STATE_OPERATE;
        p.record.eventCount = 0;
        link.deviceEventCallback = nullptr;
        link.portEventCallback = nullptr;
    }

    static PortLink& port() { return linkState().ports[0]; }

    // The next queued request, or an empty vector when the queue is empty.
    static std::vector<uint8_t> nextRequest()
    {
        if (!dequeueRequest()) {
            return {};
        }
        const FrameBuffer& tx = linkState().txBuffer;
        return {tx.begin(), tx.begin() + frameLength(tx.data())};
    }

    static void cycle(uint8_t status0 = statusOperate, uint8_t status1 = 0)
    {
        ASSERT_TRUE(handleResponse(processData(status0, status1).data()));
    }
};

struct DispatchCase {
    const char* name;
    std::vector<uint8_t> frame; // without checksum
    bool accepted;
};

class DispatchByCode : public Dispatcher, public testing::WithParamInterface<DispatchCase> {};

TEST_P(DispatchByCode, AcceptsOrRejectsAndCountsFailures)
{
    linkState().errorCount = 3;
    FrameBuffer f = frame(GetParam().frame);
    EXPECT_EQ(handleResponse(f.data()), GetParam().accepted);
    EXPECT_EQ(linkState().errorCount, GetParam().accepted ? 0 : 4);

    // The same frame with a broken checksum is rejected, except for the master's own codes
    // 0x80..0xFD, which carry nothing the link reads and are taken as they come.
    f[frameLength(f.data()) - 1] ^= 0x01;
    linkState().errorCount = 0;
    const bool vendorCode = f[0] >= 0x80 && f[0] <= 0xFD;
    EXPECT_EQ(handleResponse(f.data()), vendorCode);
    EXPECT_EQ(linkState().errorCount, vendorCode ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DispatchByCode,
    testing::Values(DispatchCase{"pdLengthsAccepted", {0x01, 0, 0x00}, true},
                    DispatchCase{"pdLengthsRefused", {0x01, 0, 0x01}, false},
                    DispatchCase{"processData", {0x03, 0, 0x40, 0x00}, true},
                    DispatchCase{"portConfigAccepted", {0x04, 0, 0x00, 0x00}, true},
                    DispatchCase{"portConfigRefused", {0x04, 0, 0x00, 0x02}, false},
                    DispatchCase{"isduAccepted", {0x0A, 0, 0x00, 0x00}, true},
                    DispatchCase{"isduRefused", {0x0A, 0, 0x00, 0x01}, false},
                    DispatchCase{"isduResult", {0x0B, 0, 0x00, 0x01}, true},
                    DispatchCase{"eventWithoutEvent", {0x0C, 0, 0x00, 0x01, 0, 0, 0, 0, 0, 0}, true},
                    DispatchCase{"powerOffAccepted", {0x0D, 0, 0x00}, true},
                    DispatchCase{"powerOnRefused", {0x0E, 0, 0x03}, false},
                    DispatchCase{"firstVendorCode", {0x80, 0}, true},
                    DispatchCase{"lastVendorCode", {0xFD, 0}, true},
                    DispatchCase{"masterInfo", {0x00, 0, 0x00}, false},
                    DispatchCase{"masterConfig", {0x02, 0, 0x01}, false},
                    DispatchCase{"readPortConfig", {0x05, 0, 0x00}, false},
                    DispatchCase{"code09", {0x09, 0, 0x00}, false},
                    DispatchCase{"code0F", {0x0F, 0, 0x00}, false},
                    DispatchCase{"code7F", {0x7F, 0, 0x00}, false},
                    DispatchCase{"codeFE", {0xFE, 0, 0x00}, false},
                    DispatchCase{"codeFF", {0xFF, 0, 0x00}, false}),
    [](const testing::TestParamInfo<DispatchCase>& testCase) { return testCase.param.name; });

TEST_F(Dispatcher, ConditionNibbleChangesSetTheState)
{
    cycle(statusOperate, 0x10);
    EXPECT_EQ(port().record.portState, PORT_STATE_NO_COMMUNICATION);
    port().record.portState = PORT_STATE_OPERATE;
    cycle(statusOperate, 0x10);
    EXPECT_EQ(port().record.portState, PORT_STATE_OPERATE) << "only a change of the nibble counts";
    cycle(statusOperate, 0x50);
    EXPECT_EQ(port().record.portState, PORT_STATE_MASTER_CONDITION);
    cycle(statusOperate, 0xA0);
    EXPECT_EQ(port().record.portState, PORT_STATE_MASTER_CONDITION) << "nibbles above 9 only update the memory";
    EXPECT_EQ(port().lastConditionNibble, 0xAu);
    cycle(0x00);
    EXPECT_EQ(port().record.statusFlag, 1u);
    cycle(0x10);
    EXPECT_EQ(port().record.statusFlag, 0u);
}

TEST_F(Dispatcher, IoLinkStartPassesPreoperateAndReadsTheIdentification)
{
    port().record.portState = PORT_STATE_CHANGING;
    port().sequenceStep = STEP_WAIT_STARTUP;
    port().modeCountdown = startupTimeoutCycles;

    cycle(0x00);
    EXPECT_EQ(port().sequenceStep, STEP_WAIT_STARTUP);
    cycle(statusPreoperate);
    EXPECT_EQ(port().sequenceStep, STEP_PREOPERATE);
    EXPECT_EQ(port().control[0] & controlPreoperate, controlPreoperate);
    cycle(statusPreoperate);
    EXPECT_EQ(port().record.portState, PORT_STATE_PREOPERATE);
    cycle(statusOperate);
    EXPECT_EQ(port().sequenceStep, STEP_READ_IDENTIFICATION);
    EXPECT_TRUE(nextRequest().empty());
    cycle(statusOperate);
    EXPECT_EQ(port().sequenceStep, STEP_IDENTIFICATION_PENDING);
    EXPECT_EQ(nextRequest(), (std::vector<uint8_t>{0x0A, 0x08, 0x00, 0x01, 0x00, 0x00, 0x00, 0x03}));

    cycle(statusOperate, 0x02); // result ready
    EXPECT_EQ(port().isduState, ISDU_RESULT_REQUESTED);
    EXPECT_EQ(nextRequest(), (std::vector<uint8_t>{0x0B, 0x04, 0x00, 0x0F}));

    // Direct Parameter page 1: cycle time code 0x45, revision 0x11, 0x9F = 32 input bytes,
    // 0x08 = 1 output byte, vendor 0x1234, device 0x56789A.
    const FrameBuffer result = frame({0x0B, 0, 0x00, 0x03, 0x00, 0x45, 0x00, 0x00, 0x11, 0x9F, 0x08, 0x12, 0x34,
                                      0x56, 0x78, 0x9A, 0, 0, 0, 0});
    ASSERT_TRUE(handleResponse(result.data()));
    const PortRecord record = port().record.snapshot();
    EXPECT_EQ(record.portState, PORT_STATE_OPERATE);
    EXPECT_EQ(record.cycleTimeUs, 8400u);
    EXPECT_EQ(record.revision, 0x11);
    EXPECT_EQ(record.inputLength, 32);
    EXPECT_EQ(record.outputLength, 1);
    EXPECT_EQ(record.vendorId, 0x1234);
    EXPECT_EQ(record.deviceId, 0x56789Au);
    EXPECT_EQ(port().isduState, ISDU_IDLE);
    EXPECT_EQ(port().sequenceStep, STEP_IDLE);
}

TEST_F(Dispatcher, AStartThatNeverSignalsOperateEndsWithoutCommunication)
{
    port().record.portState = PORT_STATE_CHANGING;
    port().sequenceStep = STEP_WAIT_STARTUP;
    port().modeCountdown = 3;
    cycle(0x00);
    cycle(0x00);
    EXPECT_EQ(port().record.portState, PORT_STATE_CHANGING);
    cycle(0x00);
    EXPECT_EQ(port().record.portState, PORT_STATE_NO_COMMUNICATION);
    EXPECT_EQ(port().sequenceStep, STEP_IDLE);
}

TEST_F(Dispatcher, AcceptedPortConfigurationDuringAModeChangeIsAcknowledgedOnce)
{
    port().sequenceStep = STEP_WAIT_STARTUP;
    ASSERT_TRUE(handleResponse(frame({0x04, 0, 0x00, 0x00}).data()));
    EXPECT_EQ(port().control[0] & controlConfigAccepted, controlConfigAccepted);
    port().modeCountdown = 100;
    cycle(0x00); // the process-data request of this cycle is built by the link thread, not here
    port().control = {};
    port().sequenceStep = STEP_IDLE;
    ASSERT_TRUE(handleResponse(frame({0x04, 0, 0x00, 0x00}).data()));
    EXPECT_EQ(port().control[0], 0) << "outside a mode change nothing is acknowledged";
}

TEST_F(Dispatcher, ParameterReadHandsOverItsDataOnlyThroughTheStatusQuery)
{
    ASSERT_EQ(startParameterRead(0x0040, 0), OK);
    EXPECT_EQ(startParameterRead(0x0041, 0), ERROR_SERVICE_TEMPORARY_UNAVAILABLE);
    EXPECT_EQ(isduWriteState().code, ERROR_STATE_CONFLICT) << "a read is pending";
    EXPECT_EQ(nextRequest(), (std::vector<uint8_t>{0x0A, 0x08, 0x00, 0x01, 0x00, 0x40, 0x00, 0x43}));
    uint8_t buffer[isduReadCapacity] = {};
    EXPECT_EQ(isduReadState(buffer).code, ERROR_PROGRESS_ONGOING);

    cycle(statusOperate, 0x01);
    EXPECT_TRUE(nextRequest().empty()) << "progress 1 is not a result";
    cycle(statusOperate, 0x02);
    EXPECT_EQ(nextRequest(), (std::vector<uint8_t>{0x0B, 0x04, 0x00, 0x0F}));
    ASSERT_TRUE(handleResponse(frame({0x0B, 0, 0x00, 0x03, 0xFF, 0xFF, 0xFF, 0xFF}).data()));

    const IsduStatus status = isduReadState(buffer);
    EXPECT_EQ(status.code, OK);
    EXPECT_EQ(status.receivedLength, 4);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
}

struct ResultCase {
    const char* name;
    std::vector<uint8_t> payload; // after code, length and port
    uint32_t readCode;
    uint16_t ioLinkErrorCode;
    uint8_t receivedLength;
};

class ReadResult : public Dispatcher, public testing::WithParamInterface<ResultCase> {};

TEST_P(ReadResult, EndsTheReadAsTheResultStatusSays)
{
    ASSERT_EQ(startParameterRead(0x0040, 0), OK);
    (void)nextRequest();
    cycle(statusOperate, 0x02);
    (void)nextRequest();
    std::vector<uint8_t> bytes{0x0B, 0, 0x00};
    bytes.insert(bytes.end(), GetParam().payload.begin(), GetParam().payload.end());
    ASSERT_TRUE(handleResponse(frame(bytes).data()));
    uint8_t buffer[isduReadCapacity] = {};
    const IsduStatus status = isduReadState(buffer);
    EXPECT_EQ(status.code, GetParam().readCode);
    EXPECT_EQ(status.ioLinkErrorCode, GetParam().ioLinkErrorCode);
    EXPECT_EQ(status.receivedLength, GetParam().receivedLength);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadResult,
    testing::Values(ResultCase{"data", {0x03, 0x01, 0x02}, OK, 0, 2},
                    ResultCase{"nothing", {0x01}, OK, 0, 0},
                    ResultCase{"writeError", {0x02, 0x80, 0x23}, OK, 0x8023, 0},
                    ResultCase{"readError", {0x04, 0x80, 0x11}, OK, 0x8011, 0},
                    ResultCase{"exactlyTheBuffer", [] {
                                   std::vector<uint8_t> p{0x03};
                                   p.resize(1 + isduReadCapacity, 0x5A);
                                   return p;
                               }(),
                               OK, 0, isduReadCapacity},
                    ResultCase{"longerThanTheBuffer", [] {
                                   std::vector<uint8_t> p{0x03};
                                   p.resize(1 + 235, 0x5A);
                                   return p;
                               }(),
                               ERROR_BUFFER_TOO_SMALL, 0, 235}),
    [](const testing::TestParamInfo<ResultCase>& testCase) { return testCase.param.name; });

TEST_F(Dispatcher, AResultAfterTheCountdownRanOutIsDroppedAndTheReadTimesOut)
{
    ASSERT_EQ(startParameterRead(0x0040, 0), OK);
    (void)nextRequest();
    port().isduCountdown = 2;
    cycle(statusOperate, 0x02);
    (void)nextRequest();
    cycle(statusOperate, 0x02);
    EXPECT_EQ(port().isduState, ISDU_IDLE);
    ASSERT_TRUE(handleResponse(frame({0x0B, 0, 0x00, 0x03, 0x01}).data())) << "the late frame is still accepted";
    uint8_t buffer[isduReadCapacity] = {0xEE};
    const IsduStatus status = isduReadState(buffer);
    EXPECT_EQ(status.code, ERROR_TIMEOUT);
    EXPECT_EQ(buffer[0], 0xEE) << "nothing of the late result reaches the caller";
}

TEST_F(Dispatcher, WriteStatusReportsTheDevicesErrorCode)
{
    const uint8_t data[] = {0x00, 0x00, 0x01, 0x02};
    ASSERT_EQ(startParameterWrite(0x1000, 1, data, sizeof data, false), OK);
    EXPECT_EQ(nextRequest(),
              (std::vector<uint8_t>{0x0A, 0x0C, 0x00, 0x00, 0x10, 0x00, 0x01, 0x00, 0x00, 0x01, 0x02, 0x14}));
    EXPECT_EQ(isduWriteState().code, ERROR_PROGRESS_ONGOING);
    uint8_t buffer[isduReadCapacity] = {};
    EXPECT_EQ(isduReadState(buffer).code, ERROR_STATE_CONFLICT) << "a write is pending";
    cycle(statusOperate, 0x02);
    (void)nextRequest();
    ASSERT_TRUE(handleResponse(frame({0x0B, 0, 0x00, 0x02, 0x80, 0x30}).data()));
    const IsduStatus status = isduWriteState();
    EXPECT_EQ(status.code, OK);
    EXPECT_EQ(status.ioLinkErrorCode, 0x8030);
}

TEST_F(Dispatcher, ParameterRequestsCheckTheirPreconditionsInOrder)
{
    EXPECT_EQ(startParameterWrite(0x0032, 0, nullptr, 0, true), ERROR_NULL_POINTER);
    port().record.portState = PORT_STATE_PREOPERATE;
    EXPECT_EQ(startParameterRead(0x0040, 0), ERROR_PORT_NOT_OPERATING_IN_IOLINK);
    linkState().portCount = 0;
    EXPECT_EQ(startParameterRead(0x0040, 0), ERROR_MASTER_NOT_CONNECTED);
    EXPECT_EQ(isduWriteState().code, ERROR_MASTER_NOT_CONNECTED);
    EXPECT_TRUE(nextRequest().empty());
}

TEST_F(Dispatcher, DigitalModesNeedNoAnswerFromTheMaster)
{
    PortConfiguration config{};
    config.portMode = PORT_MODE_DIGITAL_INPUT;
    ASSERT_EQ(configurePort(&config), OK);
    EXPECT_EQ(port().record.portState, PORT_STATE_DIGITAL_INPUT);
    EXPECT_EQ(port().record.inputLength, 1);
    EXPECT_EQ(nextRequest(), (std::vector<uint8_t>{0x01, 0x07, 0x00, 0x00, 0x00, 0x01, 0x07}));
    const std::vector<uint8_t> record = nextRequest();
    ASSERT_EQ(record.size(), portConfigRecordLength);
    EXPECT_EQ(record[3], 2) << "master code of digital input";

    config.portMode = 7;
    EXPECT_EQ(configurePort(&config), ERROR_INVALID_CONFIG);
    config.portMode = PORT_MODE_IOLINK;
    config.inputLength = 33;
    EXPECT_EQ(configurePort(&config), ERROR_INVALID_CONFIG);
    EXPECT_EQ(configurePort(nullptr), ERROR_NULL_POINTER);
}

TEST_F(Dispatcher, EventsAreFetchedOneAtATimeAndTheHistoryKeepsTheLast32)
{
    cycle(statusOperate | 0x20);
    EXPECT_EQ(port().eventOutstanding, 1u);
    cycle(statusOperate | 0x20);
    EXPECT_EQ(nextRequest(), (std::vector<uint8_t>{0x0C, 0x04, 0x00, 0x08}));
    EXPECT_TRUE(nextRequest().empty()) << "one request while one is outstanding";

    for (uint16_t n = 1; n <= 33; ++n) {
        port().eventOutstanding = 1;
        ASSERT_TRUE(handleResponse(frame({0x0C, 0, 0x00, 0x00, 0, 0, 2, 1, static_cast<uint8_t>(n >> 8),
                                          static_cast<uint8_t>(n)})
                                       .data()));
        EXPECT_EQ(port().eventOutstanding, 0u);
    }
    const PortRecord record = port().record.snapshot();
    EXPECT_EQ(record.eventCount, 32);
    EXPECT_EQ(record.events[0].eventCode, 2);
    EXPECT_EQ(record.events[31].eventCode, 33);

    port().eventOutstanding = 1;
    ASSERT_TRUE(handleResponse(frame({0x0C, 0, 0x00, 0x01, 0, 0, 2, 1, 0xFF, 0x22}).data()));
    EXPECT_EQ(port().eventOutstanding, 0u) << "a refusal clears the mark";
    EXPECT_EQ(port().record.snapshot().events[31].eventCode, 33) << "and stores nothing";
}

struct EventLineCase {
    uint32_t type;
    uint32_t source;
    uint16_t code;
    std::string line;
};

TEST(EventLine, NamesTypeCodeAndSource)
{
    const std::vector<EventLineCase> cases = {
        {2, 1, 0xFF22, "PORT-EVENT: Warning-Device communication lost, Source: Master"},
        {1, 0, 0xFF21, "DEVICE-EVENT: Notification-New Slave, Source: Device"},
        {3, 0, 0xFF23, "DEVICE-EVENT: Error-Data Storage Indentification mismatch, Source: Device"},
        {0, 2, 0xFF24, "PORT-EVENT: Unknown Event Type-Data Storage Buffer Overflow, Source: Unknown Origine"},
        {4, 1, 0xFF25, "PORT-EVENT: Unknown Event Type-Data Storage Access Denied, Source: Master"},
        {1, 1, 0xFF31, "PORT-EVENT: Notification-Incorrect Event, Source: Master"},
        {1, 1, 0xFF98, "PORT-EVENT: Notification-Reserved Error Code, Source: Master"},
        {1, 0, 0x1800, "DEVICE-EVENT: Notification-Unknown Event Error Code 6144, Source: Device"},
    };
    for (const EventLineCase& c : cases) {
        const EventRecord event{0, 0, c.type, c.source, c.code};
        EXPECT_EQ(eventLine(c.source == 0, event), c.line);
    }
}

} // namespace
