#include "link/ThreadPriority.h"

#include <pthread.h>
#include <sched.h>

namespace iolink {

void raiseCurrentThreadToRealTime()
{
    // Midway up the FIFO range: above every ordinary thread, below the kernel's own helpers.
    const int lowest = sched_get_priority_min(SCHED_FIFO);
    const int highest = sched_get_priority_max(SCHED_FIFO);
    if (lowest < 0 || highest < 0) {
        return;
    }
    sched_param parameter{};
    parameter.sched_priority = lowest + (highest - lowest) / 2;
    (void)pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter);
}

} // namespace iolink
