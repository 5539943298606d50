// The library's error codes and their fixed texts. Failure messages are built as an operation's
// own prefix followed by the text of the code, so these texts reach the Java side verbatim.
#pragma once

#include <cstdint>
#include <string>

namespace iolink {

enum ErrorCode : uint32_t {
    OK = 0,
    ERROR_GENERAL_ERROR = 1,
    ERROR_NULL_POINTER = 2,
    ERROR_BUFFER_TOO_SMALL = 3,
    ERROR_UNKNOWN_PERIPHERAL = 4,
    ERROR_CANT_INITIALIZE_PERIPHERAL = 5,
    ERROR_THE_GIVEN_FREQUENCY_IS_TOO_LOW = 6,
    ERROR_THE_GIVEN_FREQUENCY_IS_TOO_HIGH = 7,
    ERROR_CANT_SET_THE_GIVEN_FREQUENCY = 8,
    ERROR_WRONG_ANSWER = 9,
    ERROR_WRONG_CRC = 10,
    ERROR_REQUEST_ERROR = 11,
    ERROR_INTERLEAVED_COUNTER_ERROR = 12,
    ERROR_MASTER_NOT_CONNECTED = 13,
    ERROR_INVALID_PORT_NUMBER = 14,
    ERROR_PROGRESS_ONGOING = 15,
    ERROR_TIMEOUT = 16,
    ERROR_SERVICE_TEMPORARY_UNAVAILABLE = 17,
    ERROR_INVALID_CONFIG = 18,
    ERROR_PORT_NOT_OPERATING_IN_IOLINK = 19,
    ERROR_STATE_CONFLICT = 20,
    SERVICE_NOT_SUPPORTED = 21,
};

std::string errorCodeText(uint32_t code);

} // namespace iolink
