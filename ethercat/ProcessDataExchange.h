// One process-wide lock around the master's process-data state: the cycle's send/receive pair
// and every caller step that rebuilds the process image or the group's segments. Without it a
// second start to OPERATIONAL would re-map the image while the first start's cycle exchanges it.
#pragma once

#include <mutex>

namespace ProcessDataExchange {

std::mutex& lock();

struct Guard {
    Guard() : held(lock()) {}
    std::lock_guard<std::mutex> held;
};

}  // namespace ProcessDataExchange
