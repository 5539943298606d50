#include "Corvane.h"

#include "logging/Logger.h"

Corvane::Corvane() : logger(tlog::Logger::getInstance().getLogger()) {}

Corvane::~Corvane()
{
    // The cycle's timer calls into this object: no tick may outlive it.
    stopRealTimeExecution();
}

void Corvane::setLoggingLevel(LogLevel level)
{
    levelLogger = tlog::Logger::getInstance().getLogger();
    switch (static_cast<int>(level)) {
    case Off: levelLogger->set_level(spdlog::level::off); break;
    case Trace: levelLogger->set_level(spdlog::level::trace); break;
    case Debug: levelLogger->set_level(spdlog::level::debug); break;
    case Info: levelLogger->set_level(spdlog::level::info); break;
    case Warn: levelLogger->set_level(spdlog::level::warn); break;
    case Error: levelLogger->set_level(spdlog::level::err); break;
    default: break;  // not a level: leave it as it is
    }
}
