// Soak of the IO-Link link: alternating parameter writes and read-backs against the simulated
// master over a pseudo-terminal while the master corrupts a share of its answers. A read that
// succeeds with a value the device was never given is a wrong value; the run fails on any.
//
//   iolink-link-soak [--minutes M] [--corrupt-rate R] [--seed S]
//
// Prints a progress line every 30 s and the figures at the end.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "link/IoLinkLib.h"
#include "sim/iolink/Simulator.h"

namespace {

struct Figures {
    uint64_t writes = 0;
    uint64_t writesFailed = 0;
    uint64_t reads = 0;
    uint64_t readsFailed = 0;
    uint64_t wrongValues = 0;
};

void printProgress(double minutes, const Figures& f, const iolsim::Statistics& s)
{
    std::printf("[%6.2f min] writes %" PRIu64 " (failed %" PRIu64 "), reads %" PRIu64 " (failed %" PRIu64
                "), wrong values %" PRIu64 ", answers %" PRIu64 ", corrupted %" PRIu64 "\n",
                minutes, f.writes, f.writesFailed, f.reads, f.readsFailed, f.wrongValues, s.answered, s.corrupted);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    double minutes = 10.0;
    double corruptRate = 0.01;
    uint32_t seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (option == "--minutes" && value != nullptr) {
            minutes = std::atof(value);
            ++i;
        } else if (option == "--corrupt-rate" && value != nullptr) {
            corruptRate = std::atof(value);
            ++i;
        } else if (option == "--seed" && value != nullptr) {
            seed = static_cast<uint32_t>(std::strtoul(value, nullptr, 0));
            ++i;
        } else {
            std::fprintf(stderr, "usage: %s [--minutes M] [--corrupt-rate R] [--seed S]\n", argv[0]);
            return 2;
        }
    }

    iolsim::Simulator sim;
    sim.startServing();
    IoLinkLib lib;
    if (const Result r = lib.connectToMaster(sim.slavePath()); !r.getResult()) {
        std::fprintf(stderr, "connect failed: %s\n", r.getMessage().c_str());
        return 1;
    }
    if (const Result r = lib.switchToIoLinkMode(); !r.getResult()) {
        std::fprintf(stderr, "switch to IO-Link failed: %s\n", r.getMessage().c_str());
        return 1;
    }
    sim.resetStatistics();
    sim.changeFaults([&](iolsim::FaultKnobs& k) {
        k.corruption = iolsim::ChecksumCorruption::AtRate;
        k.corruptionRate = corruptRate;
        k.corruptionSeed = seed;
    });
    std::printf("soak: %.1f min, %.2f %% of the master's answers corrupted, seed %" PRIu32 ", terminal %s\n", minutes,
                corruptRate * 100.0, seed, sim.slavePath().c_str());

    std::mt19937 values(seed);
    // What the device may hold: the last value written successfully, and the one of a write
    // that failed (the device may or may not have taken it).
    int32_t known = static_cast<int32_t>(*sim.parameters().number(iolsim::param::kTestU32, 0));
    bool uncertain = false;
    int32_t maybe = known;

    Figures figures;
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::duration<double, std::ratio<60>>(minutes);
    auto nextReport = start + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
        const auto value = static_cast<int32_t>(values());
        ++figures.writes;
        if (lib.odWriteLong(iolsim::param::kTestU32, 0, value).getResult()) {
            known = value;
            uncertain = false;
        } else {
            ++figures.writesFailed;
            maybe = value;
            uncertain = true;
        }

        ++figures.reads;
        const ResultLong read = lib.odReadLong(iolsim::param::kTestU32, 0);
        if (!read.getResult()) {
            ++figures.readsFailed;
        } else if (read.getLong() == known || (uncertain && read.getLong() == maybe)) {
            known = read.getLong();
            uncertain = false;
        } else {
            ++figures.wrongValues;
            std::printf("wrong value: read %" PRId32 ", device holds %" PRId32 "\n", read.getLong(), known);
        }

        if (const auto now = std::chrono::steady_clock::now(); now >= nextReport) {
            printProgress(std::chrono::duration<double, std::ratio<60>>(now - start).count(), figures, sim.statistics());
            nextReport += std::chrono::seconds(30);
        }
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    sim.changeFaults([](iolsim::FaultKnobs& k) { k.corruption = iolsim::ChecksumCorruption::Off; });
    const iolsim::Statistics stats = sim.statistics();
    std::printf("figures: %.0f s, %" PRIu64 " operations (%.1f per second), %" PRIu64 " of %" PRIu64
                " answers corrupted (%.2f %%), %" PRIu64 " failed operations, %" PRIu64 " wrong values\n",
                elapsed, figures.writes + figures.reads, static_cast<double>(figures.writes + figures.reads) / elapsed,
                stats.corrupted, stats.answered,
                stats.answered > 0 ? 100.0 * static_cast<double>(stats.corrupted) / static_cast<double>(stats.answered) : 0.0,
                figures.writesFailed + figures.readsFailed, figures.wrongValues);
    const Result disconnected = lib.disconnect();
    std::printf("disconnect: %s\n", disconnected.getMessage().c_str());
    return figures.wrongValues == 0 ? 0 : 1;
}
