// BLOB transfers (through writeVMM) into the simulated device over the real link: every shape of
// segment plan arrives byte for byte, the progress is logged, and every failure is named and
// leaves the device without a transfer under way.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "SimulatedDevice.h"
#include "firmware/DeviceObjects.h"
#include "sim/iolink/FirmwarePackage.h"

using namespace std::chrono_literals;
using iolsim::BlobInfoFault;
using iolsim::FirmwareFaults;

namespace {

constexpr uint32_t kDefaultMaxBlob = 1024 * 1024;

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// The message of a log line "[YYYY-MM-DD HH:MM:SS.mmm][debug] message" (a carriage return at
// the end dropped), or nothing when the line has another form.
std::optional<std::string> debugMessage(std::string line)
{
    const std::string stamp = "[0000-00-00 00:00:00.000]"; // 0 stands for any digit
    const std::string level = "[debug] ";
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.size() < stamp.size() + level.size()) {
        return std::nullopt;
    }
    for (size_t i = 0; i < stamp.size(); ++i) {
        const bool fits = stamp[i] == '0' ? line[i] >= '0' && line[i] <= '9' : line[i] == stamp[i];
        if (!fits) {
            return std::nullopt;
        }
    }
    if (line.compare(stamp.size(), level.size(), level) != 0) {
        return std::nullopt;
    }
    return line.substr(stamp.size() + level.size());
}

} // namespace

TEST_F(SimulatedDevice, TransfersEveryShapeOfSegmentPlanByteForByte)
{
    struct Case {
        uint32_t size;
        uint8_t maxSegmentLength; // control byte included
        uint32_t maxBlobSize;
    };
    const std::vector<Case> cases = {
        {1, 5, kDefaultMaxBlob},      // the last segment alone
        {4, 5, kDefaultMaxBlob},      // exactly one segment's worth, still only the last
        {10, 5, kDefaultMaxBlob},     // two full segments and a last one of two bytes
        {70, 5, kDefaultMaxBlob},     // 17 full segments: the counter wraps to 0x20 once
        {10, 5, 10},                  // exactly the device's maximum
        {3000, 200, kDefaultMaxBlob},
        {3000, 247, kDefaultMaxBlob}, // the longest segment an ISDU write carries
    };
    uint32_t seed = 1;
    for (const Case& c : cases) {
        sim.bootloader().setBlobLimits({c.maxBlobSize, c.maxSegmentLength});
        const auto data = iolsim::firmwareImagePattern(c.size, seed++);
        const Result result = lib.writeVMM(writeFile("vmm.bin", data));
        EXPECT_TRUE(result.getResult()) << c.size << " / " << int{c.maxSegmentLength} << ": " << result.getMessage();
        EXPECT_EQ(result.getMessage(), "success");
        EXPECT_EQ(sim.completedBlob(iolink::VMM_BLOB_ID), std::optional(data)) << c.size << " / "
                                                                                << int{c.maxSegmentLength};
    }
    EXPECT_EQ(sim.firmware().blob.errors, 0u) << "the device refused a command along the way";
}

TEST_F(SimulatedDevice, LogsTheTransferAtDebugLevel)
{
    ASSERT_TRUE(lib.setFileLoggingLevel(1).getResult());
    sim.bootloader().setBlobLimits({kDefaultMaxBlob, 5});
    ASSERT_TRUE(lib.writeVMM(writeFile("ten.bin", bytesOf("0123456789"))).getResult());
    ASSERT_TRUE(lib.writeVMM(writeFile("abc.bin", bytesOf("abc"))).getResult());

    const std::string log = logText();
    const std::vector<std::string> expected = {
        "Maximum blob size: 1048576",
        "Maximum size of a segment: 4",
        "Total number of Blob segments: 3",
        "Octets for last blob Segment: 2",
        "Transferring blob segment 0: 0-4 of 10",
        "Transferring blob segment 1: 4-8 of 10",
        "Send last blob",
        "Transferring blob segment: 8-10 of 10",
        "CRC " + std::to_string(iolsim::blobCrc(bytesOf("0123456789"))),
        "Maximum blob size: 1048576",
        "Total number of Blob segments: 1",
        "Octets for last blob Segment: 3",
        "Send last blob",
        "Transferring blob segment: 0-3 of 3",
        "CRC 979663599",
    };
    std::vector<std::string> messages;
    size_t start = 0;
    while (start < log.size()) {
        const size_t end = log.find('\n', start);
        const std::string line = log.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::optional<std::string> message = debugMessage(line);
        EXPECT_TRUE(message.has_value()) << "unexpected line: " << line;
        messages.push_back(message.value_or(line));
        start = end == std::string::npos ? log.size() : end + 1;
    }
    // Every expected line, in this order (others may lie between them).
    size_t at = 0;
    for (const std::string& line : expected) {
        while (at < messages.size() && messages[at] != line) {
            ++at;
        }
        EXPECT_LT(at, messages.size()) << "missing or out of order: " << line << "\nlog:\n" << log;
        ++at;
    }
}

TEST_F(SimulatedDevice, LogsNothingBelowTheLevel)
{
    ASSERT_TRUE(lib.setFileLoggingLevel(2).getResult());
    ASSERT_TRUE(lib.writeVMM(writeFile("abc.bin", bytesOf("abc"))).getResult());
    EXPECT_TRUE(std::filesystem::exists(work.path() / "iolink.log"));
    EXPECT_EQ(logText(), "");
}

TEST_F(SimulatedDevice, LogsNothingUntilALevelIsSet)
{
    ASSERT_TRUE(lib.writeVMM(writeFile("abc.bin", bytesOf("abc"))).getResult());
    EXPECT_TRUE(std::filesystem::exists(work.path() / "iolink.log")) << "the first progress line creates the file";
    EXPECT_EQ(logText(), "");
}

namespace {

struct TransferFailure {
    const char* name;
    std::function<void(SimulatedDevice&, iolsim::Simulator&)> setUp;
    std::vector<uint8_t> data;
    // The message, given the file that was transferred.
    std::function<std::string(const std::filesystem::path&)> message;
    bool deviceHadATransfer; // so that an abort must have reached it
};

std::function<std::string(const std::filesystem::path&)> fixed(std::string text)
{
    return [text](const std::filesystem::path&) { return text; };
}

auto faults(std::function<void(FirmwareFaults&)> change)
{
    return [change](SimulatedDevice&, iolsim::Simulator& sim) {
        sim.changeFaults([&](iolsim::FaultKnobs& knobs) { change(knobs.firmware); });
    };
}

const std::string kRefused = "Requesting write state: OK, IO-Link ErrorCode: 32822"; // 0x8036
const std::vector<uint8_t> kTwentyBytes = iolsim::firmwareImagePattern(20, 7);

const std::vector<TransferFailure> kTransferFailures = {
    {"StartRefused", faults([](FirmwareFaults& f) { f.refuseBlobCommand = 0xF1; }), kTwentyBytes,
     fixed("Error Requesting Blob Transfer: " + kRefused), false},
    {"InfoReadFails", faults([](FirmwareFaults& f) { f.blobInfo = BlobInfoFault::ReadError; }), kTwentyBytes,
     fixed("Error getting Blob info, Error reading Od: 50:0 :IO-Link ErrorCode: 32822"), true},
    {"InfoOfFiveBytes", faults([](FirmwareFaults& f) { f.blobInfo = BlobInfoFault::FiveBytes; }), kTwentyBytes,
     fixed("Receiving incomplete or invalid: blob info"), true},
    {"InfoOfSevenBytes", faults([](FirmwareFaults& f) { f.blobInfo = BlobInfoFault::SevenBytes; }), kTwentyBytes,
     fixed("Receiving incomplete or invalid: blob info"), true},
    {"InfoWithWrongTag", faults([](FirmwareFaults& f) { f.blobInfo = BlobInfoFault::WrongTag; }), kTwentyBytes,
     fixed("Receiving incomplete or invalid: blob info"), true},
    {"SegmentLength0", faults([](FirmwareFaults& f) { f.blobInfo = BlobInfoFault::SegmentLength0; }), kTwentyBytes,
     fixed("Blob info leaves no room for segment data: maximum segment length 0"), true},
    {"SegmentLength1", faults([](FirmwareFaults& f) { f.blobInfo = BlobInfoFault::SegmentLength1; }), kTwentyBytes,
     fixed("Blob info leaves no room for segment data: maximum segment length 1"), true},
    {"OneByteAboveTheMaximum",
     [](SimulatedDevice&, iolsim::Simulator& sim) { sim.bootloader().setBlobLimits({19, 200}); }, kTwentyBytes,
     fixed("Blob exceed maximum size limit"), true},
    {"Segment2Of5Refused",
     [](SimulatedDevice&, iolsim::Simulator& sim) {
         sim.bootloader().setBlobLimits({kDefaultMaxBlob, 5});
         sim.changeFaults([](iolsim::FaultKnobs& k) { k.firmware.refuseBlobSegment = 2; });
     },
     kTwentyBytes, fixed("Error writing blob segment 2 of 5:" + kRefused), true},
    {"LastSegmentRefused", faults([](FirmwareFaults& f) { f.refuseBlobCommand = 0x30; }), kTwentyBytes,
     fixed("Error writing last blob segment: " + kRefused), true},
    {"CrcMismatch", faults([](FirmwareFaults& f) { f.blobCrcMismatch = true; }), kTwentyBytes,
     fixed("Error sending blob CRC: Requesting write state: OK, IO-Link ErrorCode: 32768"), true},
    {"FinishRefused", faults([](FirmwareFaults& f) { f.refuseBlobCommand = 0xF2; }), kTwentyBytes,
     fixed("Error sending blob finish command: " + kRefused), true},
    {"EmptyFile", [](SimulatedDevice&, iolsim::Simulator&) {}, {},
     [](const std::filesystem::path& file) { return "Blob file is empty or cannot be read: " + file.string(); }, false},
};

// Names the row in test names and failure reports.
void PrintTo(const TransferFailure& row, std::ostream* os) { *os << row.name; }

class FailedTransfer : public SimulatedDevice, public testing::WithParamInterface<TransferFailure> {};

} // namespace

TEST_P(FailedTransfer, IsNamedAbortedAndLeavesTheDeviceReadyForTheNext)
{
    const TransferFailure& failure = GetParam();
    failure.setUp(*this, sim);
    const auto file = writeFile("vmm.bin", failure.data);

    const Result result = lib.writeVMM(file);
    EXPECT_FALSE(result.getResult());
    EXPECT_EQ(result.getMessage(), failure.message(file));

    awaitLinkIdle();
    const iolsim::FirmwareView device = sim.firmware();
    EXPECT_EQ(device.blob.state, iolsim::BlobState::Idle) << "no transfer may stay under way";
    if (failure.deviceHadATransfer) {
        EXPECT_GE(device.blob.aborted, 1u);
    }
    EXPECT_FALSE(sim.completedBlob(iolink::VMM_BLOB_ID).has_value());

    // Device and link take the next transfer.
    sim.setFaults({});
    sim.bootloader().setBlobLimits({kDefaultMaxBlob, 200});
    const Result next = lib.writeVMM(writeFile("next.bin", kTwentyBytes));
    EXPECT_TRUE(next.getResult()) << next.getMessage();
    EXPECT_EQ(sim.completedBlob(iolink::VMM_BLOB_ID), std::optional(kTwentyBytes));
}

INSTANTIATE_TEST_SUITE_P(Blob, FailedTransfer, testing::ValuesIn(kTransferFailures),
                         [](const testing::TestParamInfo<TransferFailure>& row) { return std::string(row.param.name); });

TEST_F(SimulatedDevice, AFileThatCannotBeReadIsNamedAndNothingIsStarted)
{
    const auto missing = files.path() / "absent.bin";
    const Result result = lib.writeVMM(missing);
    EXPECT_EQ(result.getMessage(), "Blob file is empty or cannot be read: " + missing.string());
    awaitLinkIdle();
    EXPECT_EQ(sim.firmware().blob.started, 0u);
}
