// Per-user application data on Linux: "appdata" when a caller sets it (it is what the
// application uses on its other platform), else the XDG data home, else ~/.local/share.
#include "LogFolder.h"

#include <cstdlib>

namespace tlog {

namespace {

const char* nonEmptyEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

std::string logFolderText()
{
    constexpr const char* suffix = "/Tavelin/log/";
    if (const char* appData = nonEmptyEnvironment("appdata")) {
        return std::string(appData) + suffix;
    }
    if (const char* dataHome = nonEmptyEnvironment("XDG_DATA_HOME")) {
        return std::string(dataHome) + suffix;
    }
    if (const char* home = nonEmptyEnvironment("HOME")) {
        return std::string(home) + "/.local/share" + suffix;
    }
    return ".";
}

}  // namespace tlog
