// Prints how steady the 1 ms process-data cycle stays while a caller runs SDO reads beside it,
// and how many exchanges missed their working counter. The bus is the simulated segment in
// this process, or a real adapter with --adapter (e.g. veth0 beside the simulator program).
//
//   bus-cycle-benchmark [--reads N] [--adapter NAME]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Corvane.h"
#include "CycleTrace.h"
#include "DeviceState.h"
#include "SimulatedBus.h"
#include "ethercat.h"

namespace {

double percentile(std::vector<double> values, double p)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(std::lround(p * static_cast<double>(values.size() - 1)));
    return values[at];
}

}  // namespace

int main(int argc, char** argv)
{
    int reads = 10000;
    std::string adapter;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reads") == 0 && i + 1 < argc) {
            reads = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--adapter") == 0 && i + 1 < argc) {
            adapter = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--reads N] [--adapter NAME]\n", argv[0]);
            return 2;
        }
    }

    useTemporaryLogFolder();
    std::unique_ptr<SimulatedBus> simulated;
    if (adapter.empty()) {
        simulated = std::make_unique<SimulatedBus>(std::vector<ecsim::DeviceProfile>{
            ecsim::ownDeviceProfile(1), ecsim::foreignCoeProfile(1), ecsim::digitalIoProfile(1)});
        adapter = simulatedAdapter;
    }

    Corvane corvane;
    corvane.setLoggingLevel(Off);
    Result opened = corvane.openHardware(adapter, true);
    if (!opened.GetResult() || ec_slavecount == 0) {
        std::fprintf(stderr, "cannot open %s: %s\n", adapter.c_str(), opened.GetMessage().c_str());
        return 1;
    }
    Result started = corvane.startBusToOperational();
    if (!started.GetResult()) {
        std::fprintf(stderr, "start failed: %s\n", started.GetMessage().c_str());
        return 1;
    }
    const int expectedWorkingCounter = ec_group[0].outputsWKC * 2 + ec_group[0].inputsWKC;

    // Room for every tick of the run, with a generous margin for slow reads.
    CycleTrace trace(static_cast<std::size_t>(reads) * 50 + 100000);
    CycleTrace::install(&trace);
    const auto begin = std::chrono::steady_clock::now();
    int failedReads = 0;
    for (int i = 1; i <= reads; ++i) {
        if (!corvane.readOdNumberRaw(1, 0x8000, 0).GetResult()) {
            ++failedReads;
        }
        if (i % 1000 == 0 || i == reads) {
            std::fprintf(stderr, "\r%d of %d SDO reads", i, reads);
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    CycleTrace::install(nullptr);
    std::fprintf(stderr, "\n");

    const auto samples = trace.taken();
    std::vector<double> periodErrorUs;
    int missed = 0;
    for (std::size_t k = 0; k < samples.size(); ++k) {
        if (samples[k].workingCounter != expectedWorkingCounter) {
            ++missed;
        }
        if (k > 0) {
            const double periodUs = static_cast<double>(samples[k].startNs - samples[k - 1].startNs) / 1000.0;
            periodErrorUs.push_back(std::fabs(periodUs - 1000.0));
        }
    }
    const int busState = corvane.getOneDeviceState(0);
    corvane.closeHardware();

    std::printf("bus: %s, %d devices\n", adapter.c_str(), ec_slavecount);
    std::printf("SDO reads beside the cycle: %d in %.2f s (%.0f per second), %d failed\n", reads, seconds,
                reads / seconds, failedReads);
    std::printf("cycles: %zu, working counter missed (expected %d): %d\n", samples.size(), expectedWorkingCounter,
                missed);
    std::printf("cycle period error: p50 %.1f us, p99 %.1f us, max %.1f us\n", percentile(periodErrorUs, 0.50),
                percentile(periodErrorUs, 0.99),
                periodErrorUs.empty() ? 0.0 : *std::max_element(periodErrorUs.begin(), periodErrorUs.end()));
    std::printf("bus state at the end: %d (%s)\n", busState,
                busState == DeviceStateOperational ? "all devices still OPERATIONAL" : "a device left OPERATIONAL");
    return busState == DeviceStateOperational ? 0 : 1;
}
