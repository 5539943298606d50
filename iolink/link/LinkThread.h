// The link thread: one request/response exchange per cycle. A queued request goes out when
// there is one, else the process-data request. A failed exchange is retried with the very same
// frame; eight in a row give the link up.
#pragma once

#include <cstdint>

namespace iolink {

// Starts the thread; an error code (0, or 1 when it cannot be created). The caller holds
// apiLock and has checked that no link thread runs.
uint32_t startLinkThread();
// Asks the thread to end and waits for it; it notices at the start of its next cycle, which a
// silent master delays by at most one read bound.
void stopLinkThread();
bool linkThreadRunning();

} // namespace iolink
