#include "link/ResponseDispatcher.h"

#include <algorithm>
#include <mutex>

#include "link/Events.h"
#include "link/LinkState.h"
#include "link/PortStateMachine.h"

namespace iolink {

namespace {

constexpr uint8_t firstVendorResponse = 0x80;
constexpr uint8_t lastVendorResponse = 0xFD;

bool valid(const uint8_t* frame) { return checksumValid(frame, frameCapacity); }

bool dispatch(const uint8_t* frame)
{
    LinkState& link = linkState();
    const uint8_t code = frame[0];
    switch (code) {
    case SET_PD_LENGTHS:
    case POWER_OFF:
    case POWER_ON:
        return valid(frame) && frame[2] == 0;
    case PROCESS_DATA: {
        const std::lock_guard<std::mutex> guard(link.cycleLock);
        const size_t count = std::min<size_t>(link.portCount, maxPorts);
        uint8_t status[2 * maxPorts] = {};
        if (!parseProcessDataResponse(frame, frameCapacity, count, status)) {
            return false;
        }
        for (size_t p = 0; p < count; ++p) {
            link.ports[p].status = {status[2 * p], status[2 * p + 1]};
        }
        runPortBookkeeping();
        return true;
    }
    case WRITE_PORT_CONFIG: {
        if (!valid(frame) || frame[3] != 0) {
            return false;
        }
        const uint8_t port = frame[2];
        if (port < maxPorts && link.ports[port].sequenceStep != 0) {
            const std::lock_guard<std::mutex> guard(link.cycleLock);
            link.ports[port].control[0] = static_cast<uint8_t>(link.ports[port].control[0] | 0x80);
        }
        return true;
    }
    case ISDU_REQUEST:
        return valid(frame) && frame[3] == 0;
    case ISDU_RESULT:
        if (!valid(frame)) {
            return false;
        }
        storeIsduResult(frame);
        return true;
    case EVENT_REQUEST:
        if (!valid(frame)) {
            return false;
        }
        handleEventResponse(frame);
        return true;
    default:
        break;
    }
    if (code >= firstVendorResponse && code <= lastVendorResponse) {
        const std::lock_guard<std::mutex> guard(link.cycleLock);
        runPortBookkeeping();
        return true;
    }
    return false;
}

} // namespace

bool handleResponse(const uint8_t* frame)
{
    LinkState& link = linkState();
    const bool accepted = dispatch(frame);
    if (accepted) {
        link.errorCount = 0;
    } else {
        link.errorCount = static_cast<uint8_t>(link.errorCount + 1);
    }
    return accepted;
}

} // namespace iolink
