// Where the bus library keeps its log; the platform decides (see LogFolderLinux.cpp).
#pragma once

#include <string>

namespace tlog {

// The folder text, ending in a separator, or "." when no per-user data folder can be named.
// The log file path is this text directly followed by the file name.
std::string logFolderText();

}  // namespace tlog
