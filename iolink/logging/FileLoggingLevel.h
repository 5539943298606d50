// The levels of the IO-Link log file as the Java side numbers them. The numbers are spdlog's
// own level numbers, so a level converts to spdlog by value.
#pragma once

#include <cstdint>

namespace iolinklog {

enum class FileLoggingLevel : int32_t {
    trace = 0,
    debug = 1,
    information = 2,
    warning = 3,
    error = 4,
    critical = 5,
    off = 6,
};

} // namespace iolinklog
