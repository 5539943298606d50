// The start-up exchange with the master, before the link thread exists: find a master with one
// port, read its information items and port configuration, announce the process-data lengths.
#pragma once

#include <cstdint>

namespace iolink {

// 0, or 13 when no master with exactly one port answered. Holds apiLock throughout.
uint32_t masterStartup();

} // namespace iolink
