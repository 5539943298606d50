// Prints how long a whole firmware update takes against the simulated master and device over a
// pseudo-terminal, for a 64 KiB and a 256 KiB image, beside what the serial line alone would
// need at 115200 baud for the same bytes. A pseudo-terminal does not pace bytes like a real
// line, so the link's own polling and cycle pauses are what the figures show.
//
//   iolink-firmware-benchmark        (the unpacking reports each package entry on stdout too)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TemporaryFolder.h"
#include "link/IoLinkLib.h"
#include "link/LinkThread.h"
#include "sim/iolink/FirmwarePackage.h"
#include "sim/iolink/Simulator.h"

namespace {

// 115200 baud with 8N1 framing: ten bit times per byte.
constexpr double lineBytesPerSecond = 115200.0 / 10.0;
// An ISDU write request frame around its data: service, length, port, direction, index (2),
// subindex, then the data and one checksum byte.
constexpr size_t isduWriteOverheadBytes = 8;

// Bytes of every BLOB request frame of one transfer: start, segments, CRC, finish.
size_t blobRequestBytes(size_t imageBytes, size_t segmentDataBytes)
{
    const size_t segments = (imageBytes + segmentDataBytes - 1) / segmentDataBytes;
    return (3 + isduWriteOverheadBytes) + imageBytes + segments * (1 + isduWriteOverheadBytes) +
           (5 + isduWriteOverheadBytes) + (1 + isduWriteOverheadBytes);
}

} // namespace

int main()
{
    // Unpacked packages and the library's log file stay in a folder of the benchmark's own.
    TemporaryFolder work{"fsn-fw-bench"};
    setenv("TMPDIR", work.path().c_str(), 1);
    const std::filesystem::path startedIn = std::filesystem::current_path();
    std::filesystem::current_path(work.path());

    iolsim::Simulator sim;
    sim.startServing();
    IoLinkLib lib;
    if (Result r = lib.connectToMaster(sim.slavePath()); !r.getResult()) {
        std::fprintf(stderr, "connect: %s\n", r.getMessage().c_str());
        return 1;
    }
    if (Result r = lib.switchToIoLinkMode(); !r.getResult()) {
        std::fprintf(stderr, "IO-Link mode: %s\n", r.getMessage().c_str());
        return 1;
    }
    const unsigned segmentLength = sim.bootloader().config().blob.maxSegmentLength;
    std::printf("segment length %u bytes (control byte included); line limit %.0f bytes/s at 115200 baud 8N1\n\n",
                segmentLength, lineBytesPerSecond);
    std::printf("%8s  %9s  %11s  %12s  %14s\n", "image", "update s", "image B/s", "line: image", "line: requests");

    int status = 0;
    for (const size_t imageBytes : {size_t{64} * 1024, size_t{256} * 1024}) {
        iolsim::FirmwarePackageContents contents;
        contents.path = work.path() / "bench.zip";
        contents.image = iolsim::firmwareImagePattern(imageBytes, static_cast<uint32_t>(imageBytes));
        const auto package = iolsim::writeFirmwarePackage(contents).path;

        std::fflush(stdout);
        const auto start = std::chrono::steady_clock::now();
        const Result result = lib.writeFirmware(package);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!result.getResult() || sim.installedFirmware() != contents.image) {
            std::fprintf(stderr, "update of %zu bytes failed: %s\n", imageBytes, result.getMessage().c_str());
            status = 1;
            continue;
        }
        const auto n = static_cast<double>(imageBytes);
        std::printf("%6zu K  %9.2f  %11.0f  %10.2f s  %12.2f s\n", imageBytes / 1024, seconds, n / seconds,
                    n / lineBytesPerSecond,
                    static_cast<double>(blobRequestBytes(imageBytes, segmentLength - 1)) / lineBytesPerSecond);
    }
    std::printf("\nline: image = the image bytes alone; line: requests = the BLOB request frames that carry them\n"
                "(answers, result fetches and process-data cycles come on top on a real line)\n");

    (void)lib.stopCyclicCommunication();
    iolink::stopLinkThread();
    std::filesystem::current_path(startedIn);
    return status;
}
