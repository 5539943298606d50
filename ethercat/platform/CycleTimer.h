// A periodic timer for the process-data cycle: a thread of its own that calls `tick` at absolute
// deadlines. Stopping is synchronous: once stopCycleTimer returns, no tick runs any more.
#pragma once

#include <cstdint>

namespace platform {

using CycleTick = void (*)(void* user);

// Starts the timer; the id is non-zero while it runs, 0 when it could not be created.
uint32_t startCycleTimer(uint32_t periodUs, CycleTick tick, void* user);

// Stops the timer with this id and waits for a running tick to finish; unknown ids are ignored.
// Must not be called from inside a tick.
void stopCycleTimer(uint32_t id);

}  // namespace platform
