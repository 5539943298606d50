// A failure after the start is aborted twice, once by the failing step and once on the way out;
// the second abort is normally refused because the first is still under way, which is harmless.
// Segments go out strictly in order: each only after the previous write came back clean.
#include "firmware/BlobTransfer.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "firmware/BlobCrc.h"
#include "firmware/BlobProtocol.h"
#include "firmware/DeviceObjects.h"
#include "firmware/RawDataWrite.h"
#include "link/ErrorCodes.h"
#include "link/IoLinkLib.h"
#include "link/LinkState.h"
#include "logging/IoLinkLogger.h"

namespace iolink {

namespace {

const char* const successText = "success";

// The whole file, or nothing when it cannot be opened or read.
std::vector<uint8_t> readBlobFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return {};
    }
    std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        return {};
    }
    return data;
}

struct StartOutcome {
    Result result;
    uint32_t segmentSize = 0;
};

StartOutcome startBlobTransfer(IoLinkLib& lib, uint16_t blobId, size_t blobSize)
{
    const auto start = blobStartMessage(blobId);
    if (Result written = writeRawData(BLOB_CHANNEL_INDEX, start.data(), static_cast<uint8_t>(start.size()));
        !written.getResult()) {
        return {Result(false, "Error Requesting Blob Transfer: " + written.getMessage())};
    }
    uint8_t answer[isduReadCapacity] = {};
    size_t answerLength = 0;
    if (Result read = lib.odReadRaw(BLOB_CHANNEL_INDEX, 0, answer, answerLength); !read.getResult()) {
        return {Result(false, "Error getting Blob info, " + read.getMessage())};
    }
    const std::optional<BlobInfo> info = parseBlobInfo(answer, answerLength);
    if (!info) {
        return {failBlobTransfer("Receiving incomplete or invalid: blob info")};
    }
    iolinklog::ioLinkLogger()->debug("Maximum blob size: {}", info->maxBlobSize);
    if (blobSize > info->maxBlobSize) {
        return {failBlobTransfer("Blob exceed maximum size limit")};
    }
    // The length counts the control byte; 0 or 1 would leave no room for data.
    if (info->maxSegmentLength < 2) {
        return {failBlobTransfer("Blob info leaves no room for segment data: maximum segment length " +
                                 std::to_string(info->maxSegmentLength))};
    }
    return {Result(true, successText), static_cast<uint32_t>(info->maxSegmentLength - 1)};
}

Result writeBlobSegments(const std::vector<uint8_t>& blob, const SegmentPlan& plan)
{
    const auto blobSize = static_cast<uint32_t>(blob.size());
    std::vector<uint8_t> message(plan.segmentSize + 1);
    for (uint32_t segment = 0; segment + 1 < plan.count; ++segment) {
        const uint32_t offset = plan.offset(segment);
        iolinklog::ioLinkLogger()->debug("Transferring blob segment {}: {}-{} of {}", segment, offset,
                                         offset + plan.segmentSize, blobSize);
        message[0] = blobSegmentControl(segment);
        std::copy_n(blob.begin() + offset, plan.segmentSize, message.begin() + 1);
        if (Result written = writeRawData(BLOB_CHANNEL_INDEX, message.data(),
                                          static_cast<uint8_t>(plan.segmentSize + 1));
            !written.getResult()) {
            return failBlobTransfer("Error writing blob segment " + std::to_string(segment) + " of " +
                                    std::to_string(plan.count) + ":" + written.getMessage());
        }
    }
    const uint32_t lastOffset = plan.offset(plan.count - 1);
    iolinklog::ioLinkLogger()->debug("Send last blob");
    iolinklog::ioLinkLogger()->debug("Transferring blob segment: {}-{} of {}", lastOffset,
                                     lastOffset + plan.lastLength, blobSize);
    message[0] = BLOB_LAST_SEGMENT_CONTROL;
    std::copy_n(blob.begin() + lastOffset, plan.lastLength, message.begin() + 1);
    if (Result written = writeRawData(BLOB_CHANNEL_INDEX, message.data(), static_cast<uint8_t>(plan.lastLength + 1));
        !written.getResult()) {
        return failBlobTransfer("Error writing last blob segment: " + written.getMessage());
    }
    return Result(true, successText);
}

Result finishBlobTransfer(const std::vector<uint8_t>& blob)
{
    const uint32_t crc = blobCrc(blob.data(), blob.size());
    iolinklog::ioLinkLogger()->debug("CRC {}", crc);
    const auto crcMessage = blobCrcMessage(crc);
    if (Result written = writeRawData(BLOB_CHANNEL_INDEX, crcMessage.data(), static_cast<uint8_t>(crcMessage.size()));
        !written.getResult()) {
        return failBlobTransfer("Error sending blob CRC: " + written.getMessage());
    }
    const uint8_t finish = BLOB_FINISH_COMMAND;
    if (Result written = writeRawData(BLOB_CHANNEL_INDEX, &finish, 1); !written.getResult()) {
        return failBlobTransfer("Error sending blob finish command: " + written.getMessage());
    }
    return Result(true, successText);
}

Result runBlobTransfer(IoLinkLib& lib, uint16_t blobId, const std::filesystem::path& file)
{
    const std::vector<uint8_t> blob = readBlobFile(file);
    // Nothing to cut into segments; the device may still hold an earlier transfer, hence the abort.
    if (blob.empty()) {
        return failBlobTransfer("Blob file is empty or cannot be read: " + file.string());
    }
    const StartOutcome started = startBlobTransfer(lib, blobId, blob.size());
    if (!started.result.getResult()) {
        return failBlobTransfer(started.result.getMessage());
    }
    // The start refused anything larger than the device's 32-bit maximum, so the size fits.
    const std::optional<SegmentPlan> plan = planSegments(static_cast<uint32_t>(blob.size()), started.segmentSize);
    iolinklog::ioLinkLogger()->debug("Maximum size of a segment: {}", plan->segmentSize);
    iolinklog::ioLinkLogger()->debug("Total number of Blob segments: {}", plan->count);
    iolinklog::ioLinkLogger()->debug("Octets for last blob Segment: {}", plan->lastLength);
    if (Result segments = writeBlobSegments(blob, *plan); !segments.getResult()) {
        return failBlobTransfer(segments.getMessage());
    }
    if (Result finished = finishBlobTransfer(blob); !finished.getResult()) {
        return failBlobTransfer(finished.getMessage());
    }
    return Result(true, successText);
}

} // namespace

Result abortBlobTransfer()
{
    const uint8_t abort = BLOB_ABORT_COMMAND;
    if (const uint32_t code = queueRawWrite(BLOB_CHANNEL_INDEX, &abort, 1); code != OK) {
        return Result(false, "Error aborting Blob transfer: " + errorCodeText(code));
    }
    return Result(true, successText);
}

Result failBlobTransfer(const std::string& message)
{
    (void)abortBlobTransfer();
    return Result(false, message);
}

Result transferBlob(IoLinkLib& lib, uint16_t blobId, const std::filesystem::path& file)
{
    try {
        return runBlobTransfer(lib, blobId, file);
    } catch (...) {
        // Whatever broke (the log file, memory), the device must not stay inside a transfer.
        (void)abortBlobTransfer();
        throw;
    }
}

} // namespace iolink
