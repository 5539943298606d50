// A simulated segment in the test's own process, reachable by the bus library under the adapter
// name "sim": opening that name links the master to the segment through the in-memory transport.
// Every frame the master sends outside the process-data cycle is counted, so a test can tell
// that an operation sent nothing while the cycle runs on.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "DeviceProfile.h"
#include "Segment.h"
#include "TemporaryFolder.h"

inline constexpr const char* simulatedAdapter = "sim";

class SimulatedBus {
public:
    explicit SimulatedBus(const std::vector<ecsim::DeviceProfile>& profiles);
    ~SimulatedBus();
    SimulatedBus(const SimulatedBus&) = delete;
    SimulatedBus& operator=(const SimulatedBus&) = delete;

    ecsim::Segment& segment() { return *simulated; }
    // Frames sent other than the cycle's process data.
    uint64_t framesSent() const { return frames->load(); }

private:
    std::shared_ptr<ecsim::Segment> simulated;
    std::shared_ptr<std::atomic<uint64_t>> frames;
};

// Points the library's log folder at a temporary folder before the first Corvane of the process.
void useTemporaryLogFolder();
