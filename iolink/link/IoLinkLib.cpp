// Operations take apiLock only for their short checks and updates and never while they sleep;
// every wait polls at most 1000 times, 10 ms apart.
#include "link/IoLinkLib.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "link/ErrorCodes.h"
#include "link/Events.h"
#include "link/LinkThread.h"
#include "link/MasterStartup.h"
#include "link/PortStateMachine.h"
#include "logging/IoLinkLogger.h"

using namespace iolink;

namespace {

constexpr int maxPolls = 1000;
constexpr std::chrono::milliseconds pollPause{10};
// How long disconnect lets the link send what is still queued (the power-off) before stopping it.
constexpr int maxQueueDrainPolls = 100;

const char* const successText = "success";

Result failure(const std::string& prefix, uint32_t code) { return Result(false, prefix + errorCodeText(code)); }

std::string odAddress(uint16_t index, uint8_t subindex)
{
    return std::to_string(index) + ":" + std::to_string(subindex) + " :";
}

// Claims the link for one connect; false when the link is connected or another connect runs.
bool claimLinkForConnect()
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.apiLock);
    if (link.connecting.exchange(true)) {
        return false;
    }
    if (link.moduleInitialised && link.running != 0) {
        link.connecting = false;
        return false;
    }
    return true;
}

uint32_t initModule()
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.apiLock);
    // What a lost or failed earlier connection left behind: its ended thread and its port.
    stopLinkThread();
    link.serial.close();
    link.txBuffer.fill(0);
    link.rxBuffer.fill(0);
    link.connectionLostCallback = &onConnectionLost;
    link.deviceEventCallback = &onDeviceEvent;
    link.portEventCallback = &onPortEvent;
    link.portCount = 0;
    link.cyclePeriod = 0;
    link.errorCount = 0;
    link.comState = COM_CLOSED;
    for (PortLink& port : link.ports) {
        // A request or an event fetch cut off by the end of the last link would block its
        // kind for good.
        port.eventOutstanding = 0;
        port.isduState = ISDU_IDLE;
        port.sequenceStep = 0;
        port.control = {};
    }
    clearRequestQueue();
    link.moduleInitialised = true;
    return OK;
}

void cleanUpLink()
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.apiLock);
    stopLinkThread();
    link.moduleInitialised = false;
    link.comState = COM_CLOSED;
    link.portCount = 0;
    link.cyclePeriod = 0;
    clearRequestQueue();
    closeSerialPort();
}

bool requestQueueEmpty()
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.queueLock);
    return link.queue.fillCount() == 0;
}

} // namespace

Result IoLinkLib::connectToMaster(const std::string& portName)
{
    if (!claimLinkForConnect()) {
        return failure("Error during initializing module", ERROR_STATE_CONFLICT);
    }
    struct Release {
        ~Release() { linkState().connecting = false; }
    } release;

    if (const uint32_t code = initModule(); code != OK) {
        return failure("Error during initializing module", code);
    }
    if (const uint32_t code = openSerialPort(portName); code != OK) {
        return failure("Com not initialized", code);
    }
    if (const uint32_t code = masterStartup(); code != OK) {
        return failure("Error connecting to master", code);
    }
    if (Result started = startCyclicCommunication(); !started.getResult()) {
        return started;
    }
    if (Result powered = switchOnPower(); !powered.getResult()) {
        return powered;
    }
    {
        LinkState& link = linkState();
        const std::lock_guard<std::mutex> guard(link.apiLock);
        if (link.portCount == 0) {
            return failure("Error identify master", ERROR_MASTER_NOT_CONNECTED);
        }
    }
    return Result(true, successText);
}

Result IoLinkLib::startCyclicCommunication()
{
    const char* const prefix = "Error indentify master: ";
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.apiLock);
    if (link.portCount == 0) {
        return failure(prefix, ERROR_MASTER_NOT_CONNECTED);
    }
    link.cyclePeriod = cyclicCyclePeriod;
    if (!link.moduleInitialised) {
        return failure(prefix, ERROR_GENERAL_ERROR);
    }
    if (linkThreadRunning()) {
        return Result(true, successText);
    }
    if (const uint32_t code = startLinkThread(); code != OK) {
        return failure(prefix, code);
    }
    return Result(true, successText);
}

Result IoLinkLib::stopCyclicCommunication()
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.apiLock);
    if (link.portCount == 0) {
        return failure("Error stopping communication: ", ERROR_MASTER_NOT_CONNECTED);
    }
    stopLinkThread();
    return Result(true, successText);
}

namespace {

Result queuePower(bool on)
{
    const char* const prefix = on ? "Error switch on power: " : "Error switch off power: ";
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.apiLock);
    if (link.portCount == 0) {
        return failure(prefix, ERROR_MASTER_NOT_CONNECTED);
    }
    FrameBuffer staging{};
    buildPowerRequest(staging, on);
    if (!enqueueRequest(staging.data())) {
        return failure(prefix, ERROR_SERVICE_TEMPORARY_UNAVAILABLE);
    }
    return Result(true, successText);
}

} // namespace

Result IoLinkLib::switchOnPower() { return queuePower(true); }

Result IoLinkLib::switchOffPower() { return queuePower(false); }

Result IoLinkLib::requestPortState(uint32_t& portState)
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.apiLock);
    if (link.portCount == 0) {
        return failure("Error Requesting Port State: ", ERROR_MASTER_NOT_CONNECTED);
    }
    snapshot = link.ports[0].record.snapshot();
    switch (snapshot.portState) {
    case PORT_STATE_NO_COMMUNICATION:
    case PORT_STATE_MASTER_CONDITION:
    case PORT_STATE_PREOPERATE:
    case PORT_STATE_OPERATE:
    case PORT_STATE_DIGITAL_INPUT:
    case PORT_STATE_DIGITAL_OUTPUT:
        portState = snapshot.portState;
        break;
    default:
        portState = PORT_STATE_CHANGING;
        break;
    }
    return Result(true, successText);
}

Result IoLinkLib::switchMode(int32_t portMode, uint32_t awaitedState, const char* configurePrefix,
                             const char* timeoutText)
{
    uint32_t state = 0;
    if (Result current = requestPortState(state); !current.getResult()) {
        return current;
    }
    configuration.inputLength = snapshot.inputLength;
    configuration.outputLength = snapshot.outputLength;
    configuration.inputSupplementLength = 0;
    configuration.outputSupplementLength = 0;
    configuration.portMode = portMode;
    if (const uint32_t code = configurePort(&configuration); code != OK) {
        return failure(configurePrefix, code);
    }
    for (int poll = 0; poll < maxPolls; ++poll) {
        if (requestPortState(state).getResult() && state == awaitedState) {
            return Result(true, successText);
        }
        std::this_thread::sleep_for(pollPause);
    }
    return Result(false, timeoutText);
}

Result IoLinkLib::switchToIoLinkMode()
{
    return switchMode(PORT_MODE_IOLINK, PORT_STATE_OPERATE, "Error connecting to master: ",
                      "Error switching to Operational Mode: Timeout");
}

Result IoLinkLib::switchToPreoperationalMode()
{
    return switchMode(PORT_MODE_PREOPERATIONAL, PORT_STATE_PREOPERATE, "Error switching to Preoperational Mode: ",
                      "Error switching to Preoperational Mode: Timeout");
}

Result IoLinkLib::disconnect()
{
    configuration.inputLength = 0;
    configuration.outputLength = 0;
    configuration.portMode = PORT_MODE_INACTIVE;
    if (const uint32_t code = configurePort(&configuration); code != OK) {
        return failure("Error switch to inactive Mode: ", code);
    }
    LinkState& link = linkState();
    bool inactive = false;
    for (int poll = 0; poll < maxPolls && !inactive; ++poll) {
        {
            const std::lock_guard<std::mutex> guard(link.apiLock);
            const PortLink& port = link.ports[0];
            const uint32_t state = port.record.portState;
            inactive = link.portCount == 0 || port.modeCountdown == 0 ||
                       (state != PORT_STATE_CHANGING && state != PORT_STATE_PREOPERATE);
        }
        if (!inactive) {
            std::this_thread::sleep_for(pollPause);
        }
    }
    if (!inactive) {
        return Result(false, "Error switching inactive mode: Timeout");
    }
    if (Result off = switchOffPower(); !off.getResult()) {
        return off;
    }
    // Let the power-off go out before the link stops; a lost link empties nothing, hence the bound.
    for (int poll = 0; poll < maxQueueDrainPolls && linkThreadRunning() && !requestQueueEmpty(); ++poll) {
        std::this_thread::sleep_for(pollPause);
    }
    if (Result stopped = stopCyclicCommunication(); !stopped.getResult()) {
        return stopped;
    }
    cleanUpLink();
    return Result(true, successText);
}

Result IoLinkLib::odReadRaw(uint16_t index, uint8_t subindex, uint8_t* buffer, size_t& length)
{
    if (buffer == nullptr) {
        return failure("Error reading Od: " + odAddress(index, subindex), ERROR_NULL_POINTER);
    }
    if (const uint32_t code = startParameterRead(index, subindex); code != OK) {
        return failure("Error reading Od: " + odAddress(index, subindex), code);
    }
    for (int poll = 0; poll < maxPolls; ++poll) {
        std::this_thread::sleep_for(pollPause);
        const IsduStatus status = isduReadState(buffer);
        if (status.code == ERROR_PROGRESS_ONGOING) {
            continue;
        }
        if (status.code != OK) {
            return Result(false, errorCodeText(status.code));
        }
        if (status.ioLinkErrorCode != 0) {
            // The device refused the read; its answer carries no data.
            return Result(false, "Error reading Od: " + odAddress(index, subindex) +
                                     "IO-Link ErrorCode: " + std::to_string(status.ioLinkErrorCode));
        }
        length = status.receivedLength;
        return Result(true, successText);
    }
    return Result(false, "Timeout Reading from Od");
}

ResultLong IoLinkLib::odReadLong(uint16_t index, uint8_t subindex)
{
    uint8_t buffer[isduReadCapacity] = {};
    size_t length = 0;
    const Result read = odReadRaw(index, subindex, buffer, length);
    if (!read.getResult()) {
        return ResultLong(false, read.getMessage());
    }
    uint32_t value = 0;
    for (size_t i = 0; i < length; ++i) {
        const size_t shift = (8 * (length - 1 - i)) % 32;
        value |= uint32_t{buffer[i]} << shift;
    }
    return ResultLong(true, successText, static_cast<int32_t>(value));
}

ResultString IoLinkLib::odReadString(uint16_t index, uint8_t subindex)
{
    uint8_t buffer[isduReadCapacity] = {};
    size_t length = 0;
    const Result read = odReadRaw(index, subindex, buffer, length);
    if (!read.getResult()) {
        return ResultString(false, read.getMessage());
    }
    size_t textLength = 0;
    while (textLength < length && buffer[textLength] != 0) {
        ++textLength;
    }
    return ResultString(true, successText, std::string(reinterpret_cast<const char*>(buffer), textLength));
}

Result IoLinkLib::odWriteLong(uint16_t index, uint8_t subindex, int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    const uint8_t data[4] = {static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16),
                             static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
    if (const uint32_t code = startParameterWrite(index, subindex, data, sizeof data, false); code != OK) {
        return failure("Error writing Od: " + odAddress(index, subindex), code);
    }
    uint16_t ioLinkErrorCode = 0;
    for (int poll = 0; poll < maxPolls; ++poll) {
        const IsduStatus status = isduWriteState();
        ioLinkErrorCode = status.ioLinkErrorCode;
        if (status.code == ERROR_PROGRESS_ONGOING) {
            std::this_thread::sleep_for(pollPause);
            continue;
        }
        if (status.code == OK && status.ioLinkErrorCode == 0) {
            return Result(true, successText);
        }
        return Result(false, "Requesting write state: " + errorCodeText(status.code) +
                                 ", IO-Link ErrorCode: " + std::to_string(status.ioLinkErrorCode));
    }
    return Result(false, "Error Writing Od: Timeout, Errorcode: " + std::to_string(ioLinkErrorCode));
}

Result IoLinkLib::setFileLoggingLevel(int32_t level) { return iolinklog::setFileLoggingLevel(level); }
