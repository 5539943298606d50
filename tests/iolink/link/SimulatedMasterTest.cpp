// IoLinkLib against the simulated master over a real pseudo-terminal: the link thread runs
// against the test's threads exactly as it runs against the JVM's. The link is process-wide;
// ctest runs every test in a process of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/IoLinkLib.h"
#include "link/LinkState.h"
#include "link/LinkThread.h"
#include "sim/iolink/Simulator.h"

using namespace std::chrono_literals;
namespace param = iolsim::param;

namespace {

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Captures standard output while it lives; the capture also ends when an assertion
// leaves the test early, so gtest's own report is not swallowed.
class StdoutCapture {
public:
    StdoutCapture() { testing::internal::CaptureStdout(); }
    ~StdoutCapture()
    {
        if (!taken) {
            (void)testing::internal::GetCapturedStdout();
        }
    }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;
    std::string text()
    {
        taken = true;
        return testing::internal::GetCapturedStdout();
    }

private:
    bool taken = false;
};

class SimulatedMaster : public testing::Test {
protected:
    void SetUp() override { sim.startServing(); }

    void TearDown() override
    {
        // Whatever the test left running ends before the simulator goes away.
        (void)lib.stopCyclicCommunication();
        iolink::stopLinkThread();
    }

    void connect()
    {
        const Result connected = lib.connectToMaster(sim.slavePath());
        ASSERT_TRUE(connected.getResult()) << connected.getMessage();
    }

    void connectInIoLinkMode()
    {
        ASSERT_NO_FATAL_FAILURE(connect());
        const Result switched = lib.switchToIoLinkMode();
        ASSERT_TRUE(switched.getResult()) << switched.getMessage();
    }

    uint32_t portState()
    {
        uint32_t state = 0;
        EXPECT_TRUE(lib.requestPortState(state).getResult());
        return state;
    }

    iolsim::Simulator sim;
    IoLinkLib lib;
};

TEST_F(SimulatedMaster, ConnectsSwitchesToIoLinkReadsTheDeviceAndDisconnects)
{
    ASSERT_NO_FATAL_FAILURE(connect());
    EXPECT_TRUE(eventually([&] { return sim.port().powered; }, 2s)) << "power-on request not sent";
    EXPECT_EQ(portState(), iolink::PORT_STATE_CHANGING) << "an inactive port reads as changing";

    const Result switched = lib.switchToIoLinkMode();
    ASSERT_TRUE(switched.getResult()) << switched.getMessage();
    EXPECT_EQ(switched.getMessage(), "success");
    EXPECT_EQ(portState(), iolink::PORT_STATE_OPERATE);
    const iolink::PortRecord& record = lib.portSnapshot();
    EXPECT_EQ(record.vendorId, sim.device().vendorId);
    EXPECT_EQ(record.deviceId, sim.device().deviceId);
    EXPECT_EQ(record.revision, sim.device().revision);
    EXPECT_EQ(record.inputLength, sim.device().processDataInLength);
    EXPECT_EQ(record.outputLength, sim.device().processDataOutLength);
    EXPECT_GE(record.cycleTimeUs, 400u);

    const Result disconnected = lib.disconnect();
    ASSERT_TRUE(disconnected.getResult()) << disconnected.getMessage();
    EXPECT_EQ(sim.port().phase, iolsim::PortPhase::Inactive);
    EXPECT_FALSE(sim.port().powered) << "the power-off must go out before the link stops";
    EXPECT_FALSE(iolink::linkThreadRunning());
    EXPECT_TRUE(endsWith(lib.switchOnPower().getMessage(), "ERROR_MASTER_NOT_CONNECTED"));
}

TEST_F(SimulatedMaster, PreoperationalModeWaitsForPreoperate)
{
    ASSERT_NO_FATAL_FAILURE(connect());
    const Result switched = lib.switchToPreoperationalMode();
    ASSERT_TRUE(switched.getResult()) << switched.getMessage();
    EXPECT_EQ(portState(), iolink::PORT_STATE_PREOPERATE);
    EXPECT_NE(sim.port().controlBitsSeen0 & 0x40, 0) << "preoperate is acknowledged with control bit 0x40";
}

TEST_F(SimulatedMaster, AModeThatNeverComesTimesOut)
{
    sim.setStartupCycles(iolsim::kNeverCycles, iolsim::kNeverCycles);
    ASSERT_NO_FATAL_FAILURE(connect());
    const Result switched = lib.switchToIoLinkMode();
    EXPECT_FALSE(switched.getResult());
    EXPECT_EQ(switched.getMessage(), "Error switching to Operational Mode: Timeout");
}

TEST_F(SimulatedMaster, ParametersAreWrittenAndReadBigEndian)
{
    ASSERT_NO_FATAL_FAILURE(connectInIoLinkMode());

    const ResultLong initial = lib.odReadLong(param::kTestU32, 0);
    ASSERT_TRUE(initial.getResult()) << initial.getMessage();
    EXPECT_EQ(initial.getLong(), 0x12345678);

    for (const int32_t value : {258, -1, 0, INT32_MIN}) {
        const Result written = lib.odWriteLong(param::kTestU32, 0, value);
        ASSERT_TRUE(written.getResult()) << written.getMessage();
        const ResultLong read = lib.odReadLong(param::kTestU32, 0);
        ASSERT_TRUE(read.getResult()) << read.getMessage();
        EXPECT_EQ(read.getLong(), value);
    }
    EXPECT_EQ(sim.parameters().number(param::kTestU32, 0), 0x80000000u);

    EXPECT_EQ(lib.odReadLong(param::kTestU8, 0).getLong(), 7) << "one byte reads as an unsigned number";
    EXPECT_EQ(lib.odReadLong(param::kTestReadOnlyU32, 0).getLong(), -1);

    const ResultString text = lib.odReadString(param::kTestString, 0);
    ASSERT_TRUE(text.getResult()) << text.getMessage();
    EXPECT_EQ(text.getString(), "hello");
    EXPECT_EQ(lib.odReadString(param::kTestBytes, 0).getString(), "AB") << "text ends at the first zero byte";
    EXPECT_EQ(lib.odReadString(param::kProductName, 0).getString(), sim.device().productName);
}

struct DeviceErrorCase {
    const char* name;
    std::function<std::string(IoLinkLib&)> operation;
    std::string expected;
};

TEST_F(SimulatedMaster, DeviceErrorsFailWithTheirIoLinkErrorCode)
{
    ASSERT_NO_FATAL_FAILURE(connectInIoLinkMode());
    const std::vector<DeviceErrorCase> cases = {
        {"read of an unknown index", [](IoLinkLib& l) { return l.odReadLong(0x7000, 0).getMessage(); },
         "Error reading Od: 28672:0 :IO-Link ErrorCode: 32785"},
        {"string read of an unknown subindex", [](IoLinkLib& l) { return l.odReadString(param::kTestRecord, 9).getMessage(); },
         "Error reading Od: 71:9 :IO-Link ErrorCode: 32786"},
        {"read of a write-only value", [](IoLinkLib& l) { return l.odReadLong(param::kTestWriteOnlyU32, 0).getMessage(); },
         "Error reading Od: 68:0 :IO-Link ErrorCode: 32803"},
        {"write of a read-only value", [](IoLinkLib& l) { return l.odWriteLong(param::kTestReadOnlyU32, 0, 1).getMessage(); },
         "Requesting write state: OK, IO-Link ErrorCode: 32803"},
        {"write out of range", [](IoLinkLib& l) { return l.odWriteLong(param::kTestU16, 0, 1001).getMessage(); },
         "Requesting write state: OK, IO-Link ErrorCode: 32816"},
    };
    for (const DeviceErrorCase& c : cases) {
        EXPECT_EQ(c.operation(lib), c.expected) << c.name;
    }
    EXPECT_EQ(lib.odReadLong(param::kTestU16, 0).getLong(), 500) << "a refused write changes nothing";
}

TEST_F(SimulatedMaster, ParameterOperationsNeedThePortInIoLinkMode)
{
    ASSERT_NO_FATAL_FAILURE(connect());
    EXPECT_EQ(lib.odReadLong(param::kTestU32, 0).getMessage(), "Error reading Od: 64:0 :ERROR_PORT_NOT_OPERATING_IN_IOLINK");
    EXPECT_EQ(lib.odReadString(param::kTestString, 0).getMessage(),
              "Error reading Od: 69:0 :ERROR_PORT_NOT_OPERATING_IN_IOLINK");
    EXPECT_EQ(lib.odWriteLong(param::kTestU32, 0, 1).getMessage(), "Error writing Od: 64:0 :ERROR_PORT_NOT_OPERATING_IN_IOLINK");
}

TEST_F(SimulatedMaster, ASecondParameterRequestWhileOneIsPendingIsRefused)
{
    ASSERT_NO_FATAL_FAILURE(connectInIoLinkMode());
    sim.changeFaults([](iolsim::FaultKnobs& k) { k.lateResultCycles = 400; });
    ResultLong first(false, "not run");
    std::thread reader([&] { first = lib.odReadLong(param::kTestU32, 0); });
    ASSERT_TRUE(eventually([&] { return sim.port().isduPending; }, 5s));

    EXPECT_EQ(lib.odReadLong(param::kTestU8, 0).getMessage(), "Error reading Od: 66:0 :ERROR_SERVICE_TEMPORARY_UNAVAILABLE");
    EXPECT_EQ(lib.odWriteLong(param::kTestU8, 0, 1).getMessage(), "Error writing Od: 66:0 :ERROR_SERVICE_TEMPORARY_UNAVAILABLE");

    reader.join();
    ASSERT_TRUE(first.getResult()) << first.getMessage();
    EXPECT_EQ(first.getLong(), 0x12345678);
    EXPECT_EQ(sim.parameters().number(param::kTestU8, 0), 7u);
}

TEST_F(SimulatedMaster, AFullRequestQueueRefusesTheFrameThatDoesNotFit)
{
    ASSERT_NO_FATAL_FAILURE(connect());
    ASSERT_TRUE(lib.stopCyclicCommunication().getResult());
    // Nothing drains the queue now; each power request takes four of its 2048 bytes, and the
    // connect left its own power-on queued or sent.
    int accepted = 0;
    Result last(true, "");
    while (accepted <= 512 && (last = lib.switchOnPower()).getResult()) {
        ++accepted;
    }
    EXPECT_EQ(last.getMessage(), "Error switch on power: ERROR_SERVICE_TEMPORARY_UNAVAILABLE");
    EXPECT_GE(accepted, 511);
    EXPECT_LE(accepted, 512);
}

TEST_F(SimulatedMaster, EventsArePrintedOneLineEach)
{
    ASSERT_NO_FATAL_FAILURE(connectInIoLinkMode());
    StdoutCapture capture;
    sim.pushEvent({0, iolsim::event::kWarning, iolsim::event::kSourceMaster, 0xFF22});
    sim.pushEvent({0, iolsim::event::kNotification, iolsim::event::kSourceDevice, 0x1800});
    sim.pushEvent({0, 0, 2, 0xFF31});
    const bool fetched = eventually(
        [&] {
            uint32_t state = 0;
            return lib.requestPortState(state).getResult() && lib.portSnapshot().eventCount == 3;
        },
        5s);
    const std::string output = capture.text();
    ASSERT_TRUE(fetched);
    EXPECT_EQ(output, "PORT-EVENT: Warning-Device communication lost, Source: Master\n"
                      "DEVICE-EVENT: Notification-Unknown Event Error Code 6144, Source: Device\n"
                      "PORT-EVENT: Unknown Event Type-Incorrect Event, Source: Unknown Origine\n");
    const iolink::PortRecord& record = lib.portSnapshot();
    EXPECT_EQ(record.events[0].eventCode, 0xFF22);
    EXPECT_EQ(record.events[2].source, 2u);
}

TEST_F(SimulatedMaster, EightFailedExchangesLoseTheConnectionOnce)
{
    ASSERT_NO_FATAL_FAILURE(connectInIoLinkMode());
    StdoutCapture capture;
    sim.changeFaults([](iolsim::FaultKnobs& k) { k.silentMaster = true; });
    const bool lost = eventually([] { return !iolink::linkThreadRunning(); }, 5s);
    std::this_thread::sleep_for(200ms);
    const std::string output = capture.text();
    ASSERT_TRUE(lost);
    EXPECT_EQ(output, "Callback >Connection Lost<\n");

    const std::vector<std::pair<const char*, std::function<Result()>>> operations = {
        {"disconnect", [&] { return lib.disconnect(); }},
        {"switchToIoLinkMode", [&] { return lib.switchToIoLinkMode(); }},
        {"switchToPreoperationalMode", [&] { return lib.switchToPreoperationalMode(); }},
        {"startCyclicCommunication", [&] { return lib.startCyclicCommunication(); }},
        {"stopCyclicCommunication", [&] { return lib.stopCyclicCommunication(); }},
        {"switchOnPower", [&] { return lib.switchOnPower(); }},
        {"switchOffPower", [&] { return lib.switchOffPower(); }},
        {"odReadLong", [&] { return Result(lib.odReadLong(param::kTestU32, 0)); }},
        {"odReadString", [&] { return Result(lib.odReadString(param::kTestString, 0)); }},
        {"odWriteLong", [&] { return lib.odWriteLong(param::kTestU32, 0, 1); }},
    };
    for (const auto& [name, operation] : operations) {
        const Result result = operation();
        EXPECT_FALSE(result.getResult()) << name;
        EXPECT_TRUE(endsWith(result.getMessage(), "ERROR_MASTER_NOT_CONNECTED")) << name << ": " << result.getMessage();
    }

    // The port a lost link left open is closed by the next connect, so reconnecting works.
    sim.changeFaults([](iolsim::FaultKnobs& k) { k.silentMaster = false; });
    ASSERT_NO_FATAL_FAILURE(connectInIoLinkMode());
    EXPECT_EQ(lib.odReadLong(param::kTestU32, 0).getLong(), 0x12345678);
}

TEST_F(SimulatedMaster, EightRefusalsOfARequestLoseTheConnection)
{
    ASSERT_NO_FATAL_FAILURE(connectInIoLinkMode());
    StdoutCapture capture;
    sim.changeFaults([](iolsim::FaultKnobs& k) { k.refusedServices = iolsim::serviceBit(iolsim::Service::IsduRequest); });
    const ResultLong read = lib.odReadLong(param::kTestU32, 0);
    const std::string output = capture.text();
    EXPECT_FALSE(read.getResult());
    EXPECT_EQ(read.getMessage(), "ERROR_MASTER_NOT_CONNECTED");
    EXPECT_EQ(output, "Callback >Connection Lost<\n");
    EXPECT_EQ(sim.statistics().refused, 8u) << "the refused request is sent again until the link gives up";
}

TEST_F(SimulatedMaster, AnEventFetchCutOffByALostLinkDoesNotBlockTheNextConnection)
{
    ASSERT_NO_FATAL_FAILURE(connectInIoLinkMode());
    StdoutCapture capture;
    sim.changeFaults([](iolsim::FaultKnobs& k) { k.unansweredServices = iolsim::serviceBit(iolsim::Service::EventRequest); });
    sim.pushEvent({0, iolsim::event::kError, iolsim::event::kSourceDevice, 0xFF24});
    ASSERT_TRUE(eventually([] { return !iolink::linkThreadRunning(); }, 5s));

    sim.changeFaults([](iolsim::FaultKnobs& k) { k.unansweredServices = 0; });
    ASSERT_NO_FATAL_FAILURE(connectInIoLinkMode());
    const bool printed = eventually([&] { return sim.queuedEvents() == 0; }, 5s);
    std::this_thread::sleep_for(100ms);
    const std::string output = capture.text();
    EXPECT_TRUE(printed);
    EXPECT_EQ(output, "Callback >Connection Lost<\nDEVICE-EVENT: Error-Data Storage Buffer Overflow, Source: Device\n");
}

TEST_F(SimulatedMaster, ConnectWhileConnectedIsRefusedAndLeavesTheLinkAlone)
{
    ASSERT_NO_FATAL_FAILURE(connectInIoLinkMode());
    const Result second = lib.connectToMaster(sim.slavePath());
    EXPECT_FALSE(second.getResult());
    EXPECT_EQ(second.getMessage(), "Error during initializing moduleERROR_STATE_CONFLICT");
    EXPECT_TRUE(iolink::linkThreadRunning());
    EXPECT_EQ(lib.odReadLong(param::kTestU32, 0).getLong(), 0x12345678);
}

TEST_F(SimulatedMaster, DeletingTheObjectThatConnectedLeavesTheLinkIntact)
{
    auto first = std::make_unique<IoLinkLib>();
    ASSERT_TRUE(first->connectToMaster(sim.slavePath()).getResult());
    ASSERT_TRUE(first->switchToIoLinkMode().getResult());
    first.reset();
    // The link thread keeps exchanging frames into buffers the link owns.
    const uint64_t cycles = sim.statistics().processDataCycles;
    EXPECT_TRUE(eventually([&] { return sim.statistics().processDataCycles > cycles + 20; }, 5s));
    EXPECT_EQ(lib.odReadLong(param::kTestU32, 0).getLong(), 0x12345678);
    EXPECT_TRUE(lib.disconnect().getResult());
}

TEST_F(SimulatedMaster, ConnectFailuresNameTheirStep)
{
    IoLinkLib other;
    const Result missing = other.connectToMaster("/dev/nonexistent-serial-port");
    EXPECT_EQ(missing.getMessage(), "Com not initializedERROR_CANT_INITIALIZE_PERIPHERAL");

    sim.changeFaults([](iolsim::FaultKnobs& k) { k.announceTwoPorts = true; });
    const Result twoPorts = lib.connectToMaster(sim.slavePath());
    EXPECT_EQ(twoPorts.getMessage(), "Error connecting to masterERROR_MASTER_NOT_CONNECTED");
}

TEST_F(SimulatedMaster, ASilentMasterHangsNothing)
{
    sim.changeFaults([](iolsim::FaultKnobs& k) { k.silentMaster = true; });
    const auto start = std::chrono::steady_clock::now();
    const Result connected = lib.connectToMaster(sim.slavePath());
    const auto connectTime = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(connected.getResult());
    EXPECT_EQ(connected.getMessage(), "Error connecting to masterERROR_MASTER_NOT_CONNECTED");
    EXPECT_LT(connectTime, 10s) << "the start-up must give up within its bound";
    EXPECT_GE(sim.statistics().byService[0x02], 64u);
}

TEST_F(SimulatedMaster, StoppingTheCycleWhileTheMasterFallsSilentReturnsPromptly)
{
    ASSERT_NO_FATAL_FAILURE(connectInIoLinkMode());
    sim.changeFaults([](iolsim::FaultKnobs& k) {
        k.silentMaster = true;
        k.answerDelayMs = 0;
    });
    std::this_thread::sleep_for(150ms); // the link thread is now waiting for an answer
    const auto start = std::chrono::steady_clock::now();
    const Result stopped = lib.stopCyclicCommunication();
    const auto stopTime = std::chrono::steady_clock::now() - start;
    // The link may have given up just before; then the stop reports the lost master.
    if (stopped.getResult()) {
        EXPECT_FALSE(iolink::linkThreadRunning());
    } else {
        EXPECT_EQ(stopped.getMessage(), "Error stopping communication: ERROR_MASTER_NOT_CONNECTED");
    }
    EXPECT_LT(stopTime, 2s);
}

} // namespace
