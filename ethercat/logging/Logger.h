// The process-wide logger of the bus library, "cpplogger": console plus rotating file.
// Created on first use; a set-up failure throws and leaves no instance behind, so the next
// attempt runs the whole set-up again.
#pragma once

#include <memory>

#include <spdlog/logger.h>

namespace tlog {

class Logger {
public:
    static Logger& getInstance();

    std::shared_ptr<spdlog::logger> getLogger() const { return logger; }

    virtual ~Logger();

    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

private:
    Logger();

    std::shared_ptr<spdlog::logger> logger;
};

}  // namespace tlog
