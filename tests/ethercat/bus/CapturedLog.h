// Collects the message text of every record the bus library logs while it lives, beside the
// library's own console and file sinks, so a test can assert the exact lines.
#pragma once

#include <memory>
#include <sstream>
#include <string>

#include <spdlog/sinks/ostream_sink.h>

#include "logging/Logger.h"

class CapturedLog {
public:
    CapturedLog()
    {
        sink = std::make_shared<spdlog::sinks::ostream_sink_mt>(lines);
        sink->set_pattern("%L %v");
        tlog::Logger::getInstance().getLogger()->sinks().push_back(sink);
    }
    ~CapturedLog()
    {
        auto& sinks = tlog::Logger::getInstance().getLogger()->sinks();
        std::erase(sinks, sink);
    }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    std::string text() const { return lines.str(); }
    // A whole line "L message", L being the level letter (D, I, W, E).
    bool has(char level, const std::string& message) const
    {
        return ("\n" + lines.str()).find(std::string("\n") + level + " " + message + "\n") != std::string::npos;
    }
    size_t count(char level, const std::string& message) const
    {
        const std::string all = "\n" + lines.str();
        const std::string wanted = std::string("\n") + level + " " + message + "\n";
        size_t found = 0;
        for (size_t at = all.find(wanted); at != std::string::npos; at = all.find(wanted, at + 1)) {
            ++found;
        }
        return found;
    }
    void clear() { lines.str({}); }

private:
    std::ostringstream lines;
    std::shared_ptr<spdlog::sinks::ostream_sink_mt> sink;
};
