// Fixed settings of the bus library's log.
#pragma once

#include <cstddef>

namespace tlog {

inline constexpr const char* loggerName = "cpplogger";
inline constexpr const char* logFileBaseName = "Corvane";
inline constexpr const char* logFileExtension = ".log";
inline constexpr std::size_t logFileMaxBytes = 256000;
inline constexpr std::size_t logFileRotatedCount = 3;
inline constexpr const char* logPattern = "[%H:%M:%S.%f] [%L] %v";
inline constexpr const char* logLineEnd = "\r\n";

}  // namespace tlog
