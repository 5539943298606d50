#include "Logger.h"

#include <filesystem>

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

#include "LogFolder.h"
#include "LogSettings.h"

namespace tlog {

namespace {

std::shared_ptr<spdlog::logger> createLogger()
{
    if (auto existing = spdlog::get(loggerName)) {
        return existing;
    }

    // Trace records pass the logger when asked for but never reach the console.
    auto console = std::make_shared<spdlog::sinks::stdout_sink_mt>();
    console->set_level(spdlog::level::debug);

    const std::string folder = logFolderText();
    const std::filesystem::path folderPath(folder);
    std::error_code failure;
    std::filesystem::create_directories(folderPath, failure);
    if (failure) {
        // Name the operation, as the caller's error report is all a user gets to see.
        throw std::filesystem::filesystem_error("create_directories", folderPath, failure);
    }
    const std::string filePath = folder + logFileBaseName + logFileExtension;
    auto file = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
        filePath, logFileMaxBytes, logFileRotatedCount, false);

    auto logger = std::make_shared<spdlog::logger>(
        loggerName, spdlog::sinks_init_list{console, file});
    logger->flush_on(spdlog::level::err);
    spdlog::register_logger(logger);

    spdlog::set_formatter(std::make_unique<spdlog::pattern_formatter>(
        logPattern, spdlog::pattern_time_type::local, logLineEnd));
    spdlog::set_level(spdlog::level::info);

    return spdlog::get(loggerName);
}

}  // namespace

Logger::Logger() : logger(createLogger()) {}

Logger::~Logger() = default;

Logger& Logger::getInstance()
{
    // A throwing constructor leaves the static uninitialised; the next call tries again.
    static Logger instance;
    return instance;
}

}  // namespace tlog
