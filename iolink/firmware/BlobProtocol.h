// The messages of the BLOB channel and how a BLOB is cut into segments. Pure data, no link: the
// transfer sends what these functions compose.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace iolink {

inline constexpr uint8_t BLOB_START_COMMAND = 0xF1;
inline constexpr uint8_t BLOB_FINISH_COMMAND = 0xF2;
inline constexpr uint8_t BLOB_ABORT_COMMAND = 0xF0;
inline constexpr uint8_t BLOB_SEGMENT_CONTROL = 0x20; // OR'd with the segment number modulo 16
inline constexpr uint8_t BLOB_LAST_SEGMENT_CONTROL = 0x30;
inline constexpr uint8_t BLOB_CRC_CONTROL = 0x40;
inline constexpr uint8_t BLOB_INFO_MARKER = 0x11;
inline constexpr size_t BLOB_INFO_LENGTH = 6;

std::array<uint8_t, 3> blobStartMessage(uint16_t blobId);
std::array<uint8_t, 5> blobCrcMessage(uint32_t crc);
// Control byte of full segment `segment` (0-based); the counter wraps after 16 segments.
uint8_t blobSegmentControl(uint32_t segment);

// What the device answers on the channel after the start command.
struct BlobInfo {
    uint32_t maxBlobSize = 0;
    uint8_t maxSegmentLength = 0; // control byte included
};
// nullopt unless the answer is exactly BLOB_INFO_LENGTH bytes starting with BLOB_INFO_MARKER.
std::optional<BlobInfo> parseBlobInfo(const uint8_t* answer, size_t length);

// How a BLOB of blobSize bytes goes out in segments of segmentSize data bytes: count − 1 full
// segments, then a last one of lastLength bytes (1..segmentSize).
struct SegmentPlan {
    uint32_t segmentSize = 0;
    uint32_t count = 0;
    uint32_t lastLength = 0;

    uint32_t offset(uint32_t segment) const { return segment * segmentSize; }
    bool operator==(const SegmentPlan&) const = default;
};
// nullopt for an empty BLOB or a segment size of 0: neither has a plan.
std::optional<SegmentPlan> planSegments(uint32_t blobSize, uint32_t segmentSize);

} // namespace iolink
