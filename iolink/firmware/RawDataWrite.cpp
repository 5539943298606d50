#include "firmware/RawDataWrite.h"

#include <chrono>
#include <string>
#include <thread>

#include "link/ErrorCodes.h"
#include "link/PortStateMachine.h"

namespace iolink {

namespace {
constexpr int writeStatePolls = 1000;
constexpr std::chrono::milliseconds writeStatePause{10};
constexpr uint8_t subindexZero = 0;
} // namespace

Result writeRawData(uint16_t index, const uint8_t* data, uint8_t length)
{
    if (const uint32_t code = startParameterWrite(index, subindexZero, data, length, true); code != OK) {
        return Result(false, "Error Writing Raw Data: " + errorCodeText(code));
    }
    for (int poll = 0; poll < writeStatePolls; ++poll) {
        std::this_thread::sleep_for(writeStatePause);
        const IsduStatus status = isduWriteState();
        if (status.code == ERROR_PROGRESS_ONGOING) {
            continue;
        }
        if (status.code == OK && status.ioLinkErrorCode == 0) {
            return Result(true, "success");
        }
        const uint16_t ioLinkErrorCode = status.code == OK ? status.ioLinkErrorCode : 0;
        return Result(false, "Requesting write state: " + errorCodeText(status.code) +
                                 ", IO-Link ErrorCode: " + std::to_string(ioLinkErrorCode));
    }
    return Result(false, "Write Status Request Timeout: " + errorCodeText(ERROR_PROGRESS_ONGOING));
}

uint32_t queueRawWrite(uint16_t index, const uint8_t* data, uint8_t length)
{
    return startParameterWrite(index, subindexZero, data, length, false);
}

} // namespace iolink
