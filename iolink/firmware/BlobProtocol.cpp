#include "firmware/BlobProtocol.h"

namespace iolink {

std::array<uint8_t, 3> blobStartMessage(uint16_t blobId)
{
    return {BLOB_START_COMMAND, static_cast<uint8_t>(blobId >> 8), static_cast<uint8_t>(blobId)};
}

std::array<uint8_t, 5> blobCrcMessage(uint32_t crc)
{
    return {BLOB_CRC_CONTROL, static_cast<uint8_t>(crc >> 24), static_cast<uint8_t>(crc >> 16),
            static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)};
}

uint8_t blobSegmentControl(uint32_t segment)
{
    return static_cast<uint8_t>(BLOB_SEGMENT_CONTROL | (segment & 0x0Fu));
}

std::optional<BlobInfo> parseBlobInfo(const uint8_t* answer, size_t length)
{
    if (answer == nullptr || length != BLOB_INFO_LENGTH || answer[0] != BLOB_INFO_MARKER) {
        return std::nullopt;
    }
    BlobInfo info;
    info.maxBlobSize = uint32_t{answer[1]} << 24 | uint32_t{answer[2]} << 16 | uint32_t{answer[3]} << 8 |
                       uint32_t{answer[4]};
    info.maxSegmentLength = answer[5];
    return info;
}

std::optional<SegmentPlan> planSegments(uint32_t blobSize, uint32_t segmentSize)
{
    if (blobSize == 0 || segmentSize == 0) {
        return std::nullopt;
    }
    SegmentPlan plan;
    plan.segmentSize = segmentSize;
    // Rounded up without blobSize - 1 + segmentSize, which could overflow 32 bits.
    plan.count = blobSize / segmentSize + (blobSize % segmentSize != 0 ? 1 : 0);
    plan.lastLength = blobSize - (plan.count - 1) * segmentSize;
    return plan;
}

} // namespace iolink
