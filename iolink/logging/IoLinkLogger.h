// The IO-Link library's log file: "iolink.log" in the process's working directory, off until
// the Java application raises the level. The library is built on header-only spdlog, so the
// logger registry below belongs to this library alone; the EtherCAT library loaded into the same
// JVM keeps its own registry and its loggers are never touched from here.
#pragma once

#include <cstdint>
#include <memory>

#include <spdlog/logger.h>

#include "link/Result.h"

namespace iolinklog {

inline constexpr const char* loggerName = "default_logger";
inline constexpr const char* logFileName = "iolink.log";

// The process-wide logger, created on first use. Creation opens the file (append, up to five
// tries 10 ms apart); if it cannot be opened, spdlog::spdlog_ex is thrown and the next call tries
// again.
std::shared_ptr<spdlog::logger> ioLinkLogger();

// Sets the level (0 trace .. 6 off) of every logger of this library's registry. Values outside
// 0..6, negative ones included, fail and change nothing.
Result setFileLoggingLevel(int32_t level);

} // namespace iolinklog
