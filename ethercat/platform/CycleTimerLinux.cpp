// Linux cycle timer: clock_nanosleep on CLOCK_MONOTONIC with absolute deadlines, so a late tick
// does not shift the ones after it. The thread asks for real-time scheduling and silently keeps
// ordinary scheduling when the process may not have it. A tick that overran a whole period is
// not followed by a burst of catch-up ticks: the schedule restarts from now, as a periodic
// timer that never runs two ticks at once would.
#include "CycleTimer.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

namespace {

constexpr int realTimePriority = 80;
constexpr int64_t nanosPerSecond = 1'000'000'000;

struct RunningTimer {
    std::atomic<bool> stopRequested{false};
    std::thread thread;
};

std::mutex timersLock;
std::map<uint32_t, std::unique_ptr<RunningTimer>> timers;
uint32_t lastTimerId = 0;

int64_t toNanos(const timespec& t)
{
    return static_cast<int64_t>(t.tv_sec) * nanosPerSecond + t.tv_nsec;
}

timespec fromNanos(int64_t nanos)
{
    timespec t{};
    t.tv_sec = static_cast<time_t>(nanos / nanosPerSecond);
    t.tv_nsec = static_cast<long>(nanos % nanosPerSecond);
    return t;
}

int64_t nowNanos()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return toNanos(now);
}

void raiseToRealTime()
{
    sched_param parameter{};
    parameter.sched_priority = realTimePriority;
    (void)pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter);
}

void runTimer(RunningTimer* timer, int64_t periodNs, CycleTick tick, void* user)
{
    raiseToRealTime();
    int64_t deadline = nowNanos() + periodNs;
    while (!timer->stopRequested.load(std::memory_order_acquire)) {
        const timespec wake = fromNanos(deadline);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) != 0) {
            // interrupted by a signal: sleep on to the same deadline
        }
        if (timer->stopRequested.load(std::memory_order_acquire)) {
            break;
        }
        tick(user);
        deadline += periodNs;
        const int64_t now = nowNanos();
        if (now - deadline > periodNs) {
            deadline = now + periodNs;
        }
    }
}

}  // namespace

uint32_t startCycleTimer(uint32_t periodUs, CycleTick tick, void* user)
{
    if (tick == nullptr || periodUs == 0) {
        return 0;
    }
    auto timer = std::make_unique<RunningTimer>();
    std::lock_guard<std::mutex> guard(timersLock);
    uint32_t id = lastTimerId + 1;
    while (id == 0 || timers.count(id) != 0) {
        ++id;
    }
    try {
        timer->thread = std::thread(runTimer, timer.get(), static_cast<int64_t>(periodUs) * 1000, tick, user);
    } catch (const std::system_error&) {
        return 0;
    }
    lastTimerId = id;
    timers.emplace(id, std::move(timer));
    return id;
}

void stopCycleTimer(uint32_t id)
{
    std::unique_ptr<RunningTimer> timer;
    {
        std::lock_guard<std::mutex> guard(timersLock);
        auto found = timers.find(id);
        if (found == timers.end()) {
            return;
        }
        timer = std::move(found->second);
        timers.erase(found);
    }
    timer->stopRequested.store(true, std::memory_order_release);
    if (timer->thread.joinable()) {
        timer->thread.join();
    }
}

}  // namespace platform
