// Single bad answers never fail the start-up: only the port count decides. Send and receive
// results are not looked at, so a lost answer leaves the receive buffer as it was; every check
// therefore looks at code and checksum of what the buffer holds.
#include "link/MasterStartup.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "link/ErrorCodes.h"
#include "link/LinkState.h"
#include "link/PortStateMachine.h"

namespace iolink {

namespace {

constexpr int maxConfigAttempts = 64;
constexpr int minConfigAttempts = 10;
constexpr uint8_t masterInfoItems = 11;
constexpr std::chrono::milliseconds exchangePause{10};

// Sends the frame in txBuffer and reads one answer into rxBuffer, with the pauses the master
// needs between the two.
void exchange(LinkState& link)
{
    (void)sendFrame(link.txBuffer.data());
    std::this_thread::sleep_for(exchangePause);
    (void)receiveFrame(link.rxBuffer.data(), frameCapacity);
}

void initialisePort(LinkState& link, uint8_t p)
{
    PortLink& port = link.ports[p];
    const PortConfiguration& config = port.configuration;
    port.record.portState = PORT_STATE_CHANGING;
    updatePortStatus(port);
    const bool operate = (port.status[0] & statusOperate) != 0;
    if (config.portMode == PORT_MODE_INACTIVE && !operate) {
        port.record.portState = PORT_STATE_INACTIVE;
    } else if ((config.portMode == PORT_MODE_PREOPERATIONAL || config.portMode == PORT_MODE_IOLINK) && operate) {
        port.record.portState = PORT_STATE_OPERATE;
    } else if (config.portMode == PORT_MODE_DIGITAL_INPUT) {
        port.record.portState = PORT_STATE_DIGITAL_INPUT;
    } else if (config.portMode == PORT_MODE_DIGITAL_OUTPUT) {
        port.record.portState = PORT_STATE_DIGITAL_OUTPUT;
    }
    port.record.revision = config.validationMode == 1 ? 0x10 : 0x11;
    port.record.cycleTimeUs = config.cycleTimeUs;
    port.record.vendorId = config.vendorId;
    port.record.deviceId = config.deviceId;
    port.record.inputLength = config.inputLength;
    port.record.outputLength = config.outputLength;
}

void startPort(LinkState& link, uint8_t p)
{
    buildReadPortConfig(link.txBuffer, p);
    exchange(link);
    const bool recordValid = link.rxBuffer[0] == READ_PORT_CONFIG && checksumValid(link.rxBuffer.data(), frameCapacity) &&
                             frameLength(link.rxBuffer.data()) >= portConfigRecordLength;
    const uint8_t notedPort = recordValid ? link.rxBuffer[2] : 0xFF;
    std::this_thread::sleep_for(exchangePause);
    if (notedPort != p) {
        return;
    }
    PortLink& port = link.ports[p];
    decodePortConfigRecord(link.rxBuffer.data(), port.configuration, port.configMemory);
    recomputeLayout(link);

    port.control[1] = static_cast<uint8_t>(port.control[1] | controlStartup);
    buildProcessDataCycleRequest(link);
    exchange(link);
    const size_t count = std::min<size_t>(link.portCount, maxPorts);
    uint8_t status[2 * maxPorts] = {};
    if (parseProcessDataResponse(link.rxBuffer.data(), frameCapacity, count, status)) {
        for (size_t each = 0; each < count; ++each) {
            link.ports[each].status = {status[2 * each], status[2 * each + 1]};
        }
    }
    std::this_thread::sleep_for(exchangePause);
    initialisePort(link, p);
}

} // namespace

uint32_t masterStartup()
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.apiLock);
    link.portCount = 0;
    link.comState = COM_OPEN;

    for (int attempt = 0; attempt < maxConfigAttempts; ++attempt) {
        buildMasterConfigRequest(link.txBuffer);
        exchange(link);
        if (const auto config = parseMasterConfig(link.rxBuffer.data(), frameCapacity);
            config && config->portCount == 1) {
            link.portCount = 1;
            link.totalOutputLength = config->totalOutputLength;
            link.totalInputLength = config->totalInputLength;
        }
        std::this_thread::sleep_for(exchangePause);
        if (link.portCount == 1 && attempt + 1 >= minConfigAttempts) {
            break;
        }
    }
    if (link.portCount != 1) {
        return ERROR_MASTER_NOT_CONNECTED;
    }

    for (uint8_t item = 0; item < masterInfoItems; ++item) {
        buildMasterInfoRequest(link.txBuffer, item);
        exchange(link);
        (void)parseMasterInfo(link.rxBuffer.data(), frameCapacity, link.masterInfo);
        std::this_thread::sleep_for(exchangePause);
    }

    for (uint8_t p = 0; p < link.portCount; ++p) {
        startPort(link, p);
    }

    buildSetPdLengths(link.txBuffer, link.totalOutputLength, link.totalInputLength);
    exchange(link);
    std::this_thread::sleep_for(exchangePause);
    return OK;
}

} // namespace iolink
