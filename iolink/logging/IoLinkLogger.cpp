#include "logging/IoLinkLogger.h"

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include "logging/FileLoggingLevel.h"

namespace iolinklog {

namespace {

constexpr const char* linePattern = "[%Y-%m-%d %H:%M:%S.%e][%l] %v";
constexpr const char* lineEnd = "\r\n";
constexpr uint32_t levelCount = 7;

std::shared_ptr<spdlog::logger> createLogger()
{
    // spdlog's file helper already retries the open five times, 10 ms apart.
    auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(logFileName, false);
    auto logger = std::make_shared<spdlog::logger>(loggerName, std::move(sink));
    spdlog::register_logger(logger);
    spdlog::set_level(spdlog::level::off);
    spdlog::set_formatter(std::make_unique<spdlog::pattern_formatter>(
        linePattern, spdlog::pattern_time_type::local, lineEnd));
    return logger;
}

} // namespace

std::shared_ptr<spdlog::logger> ioLinkLogger()
{
    // A throwing initialiser leaves the static uninitialised, so a failed open is retried.
    static const std::shared_ptr<spdlog::logger> logger = createLogger();
    return logger;
}

Result setFileLoggingLevel(int32_t level)
{
    if (static_cast<uint32_t>(level) >= levelCount) {
        return Result(false, "The given log-level is not in between 0 and 6 (both inclusive).");
    }
    ioLinkLogger();
    // Under the registry's lock: every registered logger and the default for later ones.
    spdlog::set_level(static_cast<spdlog::level::level_enum>(level));
    return Result(true, "success");
}

static_assert(static_cast<int>(FileLoggingLevel::off) == spdlog::level::off);
static_assert(static_cast<int>(FileLoggingLevel::information) == spdlog::level::info);

} // namespace iolinklog
