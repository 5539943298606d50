#include "SimulatedBus.h"

#include <cstdlib>

#include "MasterContext.h"
#include "Transport.h"
#include "ethercat.h"

namespace {

// The cycle's frames start with a logical read/write (LRD 10, LWR 11, LRW 12) right after the
// Ethernet (14 bytes) and EtherCAT (2 bytes) headers; everything else is an operation's traffic.
bool isProcessDataFrame(const std::vector<uint8_t>& frame)
{
    constexpr std::size_t firstCommand = 16;
    return frame.size() > firstCommand && frame[firstCommand] >= 10 && frame[firstCommand] <= 12;
}

}  // namespace

SimulatedBus::SimulatedBus(const std::vector<ecsim::DeviceProfile>& profiles)
    : simulated(std::make_shared<ecsim::Segment>(profiles)), frames(std::make_shared<std::atomic<uint64_t>>(0))
{
    auto segment = simulated;
    auto counter = frames;
    ecmaster::setAdapterOpener([segment, counter](const std::string& name) -> std::unique_ptr<ecmaster::Transport> {
        if (name != simulatedAdapter) {
            return nullptr;
        }
        return std::make_unique<ecmaster::MemoryTransport>([segment, counter](std::vector<uint8_t> frame) {
            if (!isProcessDataFrame(frame)) {
                ++*counter;
            }
            return segment->processFrame(frame);
        });
    });
}

SimulatedBus::~SimulatedBus()
{
    ec_close();
    ecmaster::setAdapterOpener(nullptr);
}

void useTemporaryLogFolder()
{
    static TemporaryFolder folder("fsn-bus-log");
    setenv("appdata", folder.path().c_str(), 1);
}
