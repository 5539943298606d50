// A parameter write to subindex 0 of port 0 that waits for the device's verdict. The BLOB
// channel and the system commands are written through it.
#pragma once

#include <cstdint>

#include "link/Result.h"

namespace iolink {

// Polls the write state up to 1000 times, 10 ms apart, without holding apiLock while it sleeps.
Result writeRawData(uint16_t index, const uint8_t* data, uint8_t length);

// Queues a write without waiting for it: for the abort, which must go out even when the caller
// is already on its way out. Returns the link's error code (0 when queued).
uint32_t queueRawWrite(uint16_t index, const uint8_t* data, uint8_t length);

} // namespace iolink
