#include "link/ErrorCodes.h"

#include <array>

namespace iolink {

std::string errorCodeText(uint32_t code)
{
    static constexpr std::array<const char*, 22> texts = {
        "OK",
        "ERROR_GENERAL_ERROR",
        "ERROR_NULL_POINTER",
        "ERROR_BUFFER_TOO_SMALL",
        "ERROR_UNKNOWN_PERIPHERAL",
        "ERROR_CANT_INITIALIZE_PERIPHERAL",
        "ERROR_THE_GIVEN_FREQUENCY_IS_TOO_LOW",
        "ERROR_THE_GIVEN_FREQUENCY_IS_TOO_HIGH",
        "ERROR_CANT_SET_THE_GIVEN_FREQUENCY",
        "ERROR_WRONG_ANSWER",
        "ERROR_WRONG_CRC",
        "ERROR_REQUEST_ERROR",
        "ERROR_INTERLEAVED_COUNTER_ERROR",
        "ERROR_MASTER_NOT_CONNECTED",
        "ERROR_INVALID_PORT_NUMBER",
        "ERROR_PROGRESS_ONGOING",
        "ERROR_TIMEOUT",
        "ERROR_SERVICE_TEMPORARY_UNAVAILABLE",
        "ERROR_INVALID_CONFIG",
        "ERROR_PORT_NOT_OPERATING_IN_IOLINK",
        "ERROR_STATE_CONFLICT",
        "SERVICE_NOT_SUPPORTED",
    };
    return code < texts.size() ? texts[code] : "Unknown Error Code";
}

} // namespace iolink
