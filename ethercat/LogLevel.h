// Log levels as the Java caller numbers them; Off comes first, unlike spdlog's own numbering.
#pragma once

enum LogLevel : int {
    Off = 0,
    Trace = 1,
    Debug = 2,
    Info = 3,
    Warn = 4,
    Error = 5,
};
