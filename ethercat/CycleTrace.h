// An optional recorder of the process-data cycle, for benchmarks: when one is installed, every
// exchange stores when it started and the working counter it got, into storage reserved up
// front (the cycle must not allocate). Without a recorder the cycle pays one atomic load.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

struct CycleSample {
    int64_t startNs = 0;  // CLOCK_MONOTONIC
    int workingCounter = 0;
};

class CycleTrace {
public:
    explicit CycleTrace(std::size_t capacity) : samples(capacity) {}

    void record(int64_t startNs, int workingCounter)
    {
        const std::size_t slot = next.fetch_add(1, std::memory_order_relaxed);
        if (slot < samples.size()) {
            samples[slot] = {startNs, workingCounter};
        }
    }
    // Samples recorded so far (the first `capacity` ones).
    std::vector<CycleSample> taken() const
    {
        const std::size_t count = std::min(next.load(std::memory_order_acquire), samples.size());
        return {samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(count)};
    }

    // The recorder the cycle writes into, or none.
    static void install(CycleTrace* trace) { current().store(trace, std::memory_order_release); }
    static CycleTrace* installed() { return current().load(std::memory_order_acquire); }

private:
    static std::atomic<CycleTrace*>& current()
    {
        static std::atomic<CycleTrace*> trace{nullptr};
        return trace;
    }

    std::vector<CycleSample> samples;
    std::atomic<std::size_t> next{0};
};
