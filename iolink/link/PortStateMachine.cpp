#include "link/PortStateMachine.h"

#include <algorithm>
#include <cstring>

#include "link/ErrorCodes.h"
#include "link/Events.h"

namespace iolink {

namespace {

constexpr uint8_t conditionLost = 1;
constexpr uint8_t firstMasterCondition = 2;
constexpr uint8_t lastMasterCondition = 9;

// Counts a countdown one cycle down; true when it has run out.
bool countDown(std::atomic<uint32_t>& countdown)
{
    uint32_t left = countdown;
    if (left > 0) {
        --left;
        countdown = left;
    }
    return left == 0;
}

void pollParameterRequest(uint8_t portNumber, PortLink& port)
{
    const uint32_t state = port.isduState;
    if (state == ISDU_IDLE) {
        return;
    }
    if (countDown(port.isduCountdown)) {
        port.isduState = ISDU_IDLE;
        if (port.sequenceStep == STEP_IDENTIFICATION_PENDING) {
            // The identification page never came: the record keeps the configured values.
            port.sequenceStep = STEP_IDLE;
            port.record.portState = PORT_STATE_OPERATE;
        }
        return;
    }
    if (state == ISDU_REQUESTED && (port.status[1] & 0x0F) >= resultReadyProgress) {
        LinkState& link = linkState();
        buildIsduResultRequest(link.cycleStaging, portNumber);
        if (enqueueRequest(link.cycleStaging.data())) {
            port.isduState = ISDU_RESULT_REQUESTED;
        }
    }
}

void requestIdentification(uint8_t portNumber, PortLink& port)
{
    LinkState& link = linkState();
    link.identificationBuffer.fill(0);
    port.ioLinkErrorCode = 0;
    port.receivedLength = 0;
    port.resultTarget = RESULT_IDENTIFICATION;
    port.resultCapacity = static_cast<uint8_t>(identificationLength);
    port.isduCountdown = isduTimeoutCycles;
    buildIsduRequest(link.cycleStaging, portNumber, ISDU_READ, 0, 0, nullptr, 0);
    if (enqueueRequest(link.cycleStaging.data())) {
        port.sequenceStep = STEP_IDENTIFICATION_PENDING;
        port.isduState = ISDU_REQUESTED;
    }
}

void advanceSequence(uint8_t portNumber, PortLink& port)
{
    const uint32_t step = port.sequenceStep;
    if (step == STEP_WAIT_INACTIVE || step == STEP_WAIT_STARTUP || step == STEP_PREOPERATE) {
        if (countDown(port.modeCountdown)) {
            port.sequenceStep = STEP_IDLE;
            port.record.portState = PORT_STATE_NO_COMMUNICATION;
            return;
        }
    }
    const uint8_t status0 = port.status[0];
    switch (step) {
    case STEP_WAIT_INACTIVE:
        if ((status0 & statusOperate) == 0) {
            port.sequenceStep = STEP_INACTIVE_CONFIRMED;
        }
        break;
    case STEP_INACTIVE_CONFIRMED:
        port.sequenceStep = STEP_IDLE;
        port.record.portState = PORT_STATE_INACTIVE;
        break;
    case STEP_WAIT_STARTUP:
        if ((status0 & statusOperate) != 0) {
            port.sequenceStep = STEP_READ_IDENTIFICATION;
        } else if ((status0 & statusPreoperate) != 0) {
            port.control[0] = static_cast<uint8_t>(port.control[0] | controlPreoperate);
            port.sequenceStep = STEP_PREOPERATE;
        }
        break;
    case STEP_PREOPERATE:
        if ((status0 & statusOperate) != 0) {
            port.sequenceStep = STEP_READ_IDENTIFICATION;
        }
        port.record.portState = PORT_STATE_PREOPERATE;
        break;
    case STEP_READ_IDENTIFICATION:
        requestIdentification(portNumber, port);
        break;
    default:
        break;
    }
}

// The port of a parameter operation, after the checks every request and query shares.
uint32_t checkPortOperating(const LinkState& link)
{
    if (link.portCount == 0) {
        return ERROR_MASTER_NOT_CONNECTED;
    }
    if (link.ports[0].record.portState != PORT_STATE_OPERATE) {
        return ERROR_PORT_NOT_OPERATING_IN_IOLINK;
    }
    return OK;
}

} // namespace

void updatePortStatus(PortLink& port)
{
    port.record.statusFlag = (port.status[0] & statusInvertedFlag) == 0 ? 1u : 0u;
    const uint32_t condition = port.status[1] >> 4;
    if (condition != port.lastConditionNibble) {
        if (condition == conditionLost) {
            port.record.portState = PORT_STATE_NO_COMMUNICATION;
            port.sequenceStep = STEP_IDLE;
        } else if (condition >= firstMasterCondition && condition <= lastMasterCondition) {
            port.record.portState = PORT_STATE_MASTER_CONDITION;
            port.sequenceStep = STEP_IDLE;
        }
        port.lastConditionNibble = condition;
    }
}

void runPortBookkeeping()
{
    LinkState& link = linkState();
    const size_t count = std::min<size_t>(link.portCount, maxPorts);
    for (size_t p = 0; p < count; ++p) {
        PortLink& port = link.ports[p];
        const auto number = static_cast<uint8_t>(p);
        updatePortStatus(port);
        triggerEventRequest(number);
        pollParameterRequest(number, port);
        advanceSequence(number, port);
    }
}

void decodeIdentification(SharedPortRecord& record, const uint8_t* page)
{
    record.revision = page[4];
    record.cycleTimeUs = cycleTimeFromCode(page[1]);
    record.vendorId = static_cast<uint16_t>((page[7] << 8) | page[8]);
    record.deviceId = (uint32_t{page[9]} << 16) | (uint32_t{page[10]} << 8) | page[11];
    record.inputLength = processDataLengthFromCode(page[5]);
    record.outputLength = processDataLengthFromCode(page[6]);
}

void storeIsduResult(const uint8_t* frame)
{
    LinkState& link = linkState();
    const IsduResult result = parseIsduResult(frame);
    if (result.port >= std::min<size_t>(link.portCount, maxPorts)) {
        return;
    }
    PortLink& port = link.ports[result.port];
    if (port.isduState != ISDU_RESULT_REQUESTED) {
        return; // the request already ended by its countdown; nobody waits for this any more
    }
    port.ioLinkErrorCode = result.ioLinkErrorCode;
    port.receivedLength = result.dataLength;
    const uint32_t target = port.resultTarget;
    const uint8_t capacity = port.resultCapacity;
    bool copied = false;
    if (result.hasData && result.dataLength <= capacity) {
        if (target == RESULT_CALLER) {
            std::memcpy(link.resultData.data(), result.data, result.dataLength);
            copied = true;
        } else if (target == RESULT_IDENTIFICATION) {
            std::memcpy(link.identificationBuffer.data(), result.data, result.dataLength);
            copied = true;
        }
    }
    if (port.sequenceStep == STEP_IDENTIFICATION_PENDING && target == RESULT_IDENTIFICATION &&
        capacity == identificationLength) {
        // An error answer carries no page; the record then keeps the configured values.
        if (copied) {
            decodeIdentification(port.record, link.identificationBuffer.data());
        }
        port.sequenceStep = STEP_IDLE;
        port.record.portState = PORT_STATE_OPERATE;
    }
    port.isduState = ISDU_IDLE;
}

void recomputeLayout(LinkState& link)
{
    const size_t count = std::min<size_t>(link.portCount, maxPorts);
    PortConfiguration configs[maxPorts];
    for (size_t p = 0; p < count; ++p) {
        configs[p] = link.ports[p].configuration;
    }
    link.layout = computeLayout(configs, count);
    link.totalInputLength = link.layout.totalInputLength;
    link.totalOutputLength = link.layout.totalOutputLength;
}

void buildProcessDataCycleRequest(LinkState& link)
{
    const size_t count = std::min<size_t>(link.portCount, maxPorts);
    uint8_t control[2 * maxPorts] = {};
    for (size_t p = 0; p < count; ++p) {
        control[2 * p] = link.ports[p].control[0];
        control[2 * p + 1] = link.ports[p].control[1];
    }
    if (buildProcessDataRequest(link.txBuffer, control, count, link.totalOutputLength) != 0) {
        for (size_t p = 0; p < count; ++p) {
            link.ports[p].control = {};
        }
    }
}

uint32_t configurePort(const PortConfiguration* config)
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.apiLock);
    if (link.portCount == 0) {
        return ERROR_MASTER_NOT_CONNECTED;
    }
    if (config == nullptr) {
        return ERROR_NULL_POINTER;
    }
    if (config->inputLength > maxProcessDataLength || config->outputLength > maxProcessDataLength) {
        return ERROR_INVALID_CONFIG;
    }
    PortLink& port = link.ports[0];
    port.configuration = *config;
    PortConfiguration& stored = port.configuration;
    switch (stored.portMode) {
    case PORT_MODE_INACTIVE:
        port.modeCountdown = inactiveTimeoutCycles;
        port.sequenceStep = STEP_WAIT_INACTIVE;
        stored.inputLength = 0;
        stored.outputLength = 0;
        port.record.inputLength = 0;
        port.record.outputLength = 0;
        port.record.portState = PORT_STATE_CHANGING;
        break;
    case PORT_MODE_PREOPERATIONAL:
    case PORT_MODE_IOLINK:
        if (stored.portMode == PORT_MODE_IOLINK) {
            stored.validationMode = 0;
        }
        port.modeCountdown = startupTimeoutCycles;
        port.sequenceStep = STEP_WAIT_STARTUP;
        port.record.portState = PORT_STATE_CHANGING;
        break;
    case PORT_MODE_DIGITAL_INPUT:
        port.sequenceStep = STEP_DIGITAL;
        stored.inputLength = 1;
        stored.outputLength = 0;
        port.record.inputLength = 1;
        port.record.outputLength = 0;
        port.record.portState = PORT_STATE_DIGITAL_INPUT;
        break;
    case PORT_MODE_DIGITAL_OUTPUT:
        port.sequenceStep = STEP_DIGITAL;
        stored.inputLength = 0;
        stored.outputLength = 1;
        port.record.inputLength = 0;
        port.record.outputLength = 1;
        port.record.portState = PORT_STATE_DIGITAL_OUTPUT;
        break;
    default:
        return ERROR_INVALID_CONFIG;
    }

    recomputeLayout(link);
    const size_t count = std::min<size_t>(link.portCount, maxPorts);

    FrameBuffer staging{};
    buildSetPdLengths(staging, link.layout.totalOutputLength, link.layout.totalInputLength);
    if (!enqueueRequest(staging.data())) {
        return ERROR_SERVICE_TEMPORARY_UNAVAILABLE;
    }
    for (size_t p = 0; p < count; ++p) {
        PortLink& each = link.ports[p];
        buildWritePortConfig(staging, static_cast<uint8_t>(p), each.configuration, link.layout, each.configMemory);
        if (!enqueueRequest(staging.data())) {
            return ERROR_SERVICE_TEMPORARY_UNAVAILABLE;
        }
    }
    return OK;
}

namespace {

uint32_t startParameterRequest(IsduDirection direction, uint16_t index, uint8_t subindex, const uint8_t* data,
                               size_t length, bool checkData)
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.apiLock);
    PortLink& port = link.ports[0];
    if (port.isduState != ISDU_IDLE) {
        return ERROR_SERVICE_TEMPORARY_UNAVAILABLE;
    }
    if (checkData && (data == nullptr || length == 0)) {
        return ERROR_NULL_POINTER;
    }
    if (const uint32_t code = checkPortOperating(link); code != OK) {
        return code;
    }
    FrameBuffer staging{};
    if (buildIsduRequest(staging, 0, direction, index, subindex, data, length) == 0) {
        return ERROR_BUFFER_TOO_SMALL;
    }
    port.ioLinkErrorCode = 0;
    port.receivedLength = 0;
    if (direction == ISDU_READ) {
        port.resultTarget = RESULT_CALLER;
        port.resultCapacity = isduReadCapacity;
    } else {
        port.resultTarget = RESULT_NONE;
        port.resultCapacity = 0;
    }
    port.isduCountdown = isduTimeoutCycles;
    port.isduState = ISDU_REQUESTED;
    if (!enqueueRequest(staging.data())) {
        return ERROR_SERVICE_TEMPORARY_UNAVAILABLE; // the request stays set until its countdown ends
    }
    return OK;
}

} // namespace

uint32_t startParameterRead(uint16_t index, uint8_t subindex)
{
    return startParameterRequest(ISDU_READ, index, subindex, nullptr, 0, false);
}

uint32_t startParameterWrite(uint16_t index, uint8_t subindex, const uint8_t* data, size_t length, bool rawWrite)
{
    return startParameterRequest(ISDU_WRITE, index, subindex, data, length, rawWrite);
}

IsduStatus isduWriteState()
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.apiLock);
    const PortLink& port = link.ports[0];
    if (const uint32_t code = checkPortOperating(link); code != OK) {
        return {code, 0, 0};
    }
    if (port.resultTarget != RESULT_NONE || port.resultCapacity != 0) {
        return {ERROR_STATE_CONFLICT, 0, 0};
    }
    if (port.isduState != ISDU_IDLE) {
        return {ERROR_PROGRESS_ONGOING, port.ioLinkErrorCode, 0};
    }
    if (port.isduCountdown > 0) {
        return {OK, port.ioLinkErrorCode, 0};
    }
    return {ERROR_TIMEOUT, port.ioLinkErrorCode, 0};
}

IsduStatus isduReadState(uint8_t* buffer)
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.apiLock);
    const PortLink& port = link.ports[0];
    if (const uint32_t code = checkPortOperating(link); code != OK) {
        return {code, 0, 0};
    }
    const uint32_t target = port.resultTarget;
    const uint8_t capacity = port.resultCapacity;
    if (target == RESULT_NONE || capacity == 0) {
        return {ERROR_STATE_CONFLICT, 0, 0};
    }
    if (port.isduState != ISDU_IDLE) {
        return {ERROR_PROGRESS_ONGOING, 0, 0};
    }
    if (port.isduCountdown == 0) {
        return {ERROR_TIMEOUT, port.ioLinkErrorCode, 0};
    }
    const uint8_t length = port.receivedLength;
    if (length > capacity) {
        return {ERROR_BUFFER_TOO_SMALL, port.ioLinkErrorCode, length};
    }
    if (buffer != nullptr && length > 0) {
        const uint8_t* source = target == RESULT_CALLER ? link.resultData.data() : link.identificationBuffer.data();
        std::memcpy(buffer, source, length);
    }
    return {OK, port.ioLinkErrorCode, length};
}

} // namespace iolink
