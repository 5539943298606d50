// The device's end of the IO-Link BLOB transfer: everything goes
// through one ISDU index, BLOB_CHANNEL_INDEX (50), subindex 0.
//
//   write F1 id_hi id_lo          Start: begins a transfer of BLOB `id` (drops one under way)
//   read                          BLOB information: 0x11, max BLOB size (u32 BE), max segment
//                                 length including the control byte
//   write 2x data...              full segment, x = segment number AND 0x0F (checked)
//   write 30 data...              last segment
//   write 40 c3 c2 c1 c0          CRC (blobCrc) of all data received, checked
//   write F2                      Finish: the BLOB is complete and kept, byte for byte
//   write F0                      Abort: drops the transfer (harmless when none is under way)
//
// The order is enforced: segments only after the information was read, CRC only after the last
// segment, Finish only after a matching CRC. Anything else is answered with an ISDU error
// (blob_error below) and leaves the transfer as it was, so the client's Abort or a new Start
// is always possible.
//
// Not thread-safe: the Bootloader that owns it serialises the calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "sim/iolink/FaultKnobs.h"
#include "sim/iolink/ParameterStore.h"

namespace iolsim {

// The BLOB CRC: reflected, polynomial 0x741B8CD7 (0xEB31D82E reflected), initial
// register 0xFFFFFFFE, final XOR 0xFFFFFFFF, bit by bit. "123456789" -> 0xA10AC412,
// "abc" -> 0x3A647AEF, no data -> 0x00000001.
uint32_t blobCrc(std::span<const uint8_t> data);

namespace blob {
constexpr uint8_t kAbort = 0xF0;
constexpr uint8_t kStart = 0xF1;
constexpr uint8_t kFinish = 0xF2;
constexpr uint8_t kSegment = 0x20;      // OR (number AND 0x0F)
constexpr uint8_t kLastSegment = 0x30;
constexpr uint8_t kCrc = 0x40;
constexpr uint8_t kInfoTag = 0x11;      // first byte of the BLOB information
constexpr std::size_t kInfoLength = 6;
}  // namespace blob

// ISDU error codes of the BLOB channel.
namespace blob_error {
// A command that is not allowed in the transfer's state (a segment before Start or before the
// information was read, a CRC before the last segment, Finish before a matching CRC, an
// information read with no transfer under way), and a firmware BLOB started outside the
// bootloader (see FirmwareConfig::firmwareBlobNeedsBootloader).
constexpr uint16_t kSequence = isdu_error::kFunctionTemporarilyUnavailable;  // 0x8036
// A segment whose counter is not the expected one.
constexpr uint16_t kCounter = isdu_error::kValueOutOfRange;  // 0x8030
// The CRC sent does not match the data received.
constexpr uint16_t kCrcMismatch = isdu_error::kApplicationError;  // 0x8000
// A segment longer than the segment length, data beyond the maximum BLOB size, a Start or CRC
// command with too many bytes.
constexpr uint16_t kTooLong = isdu_error::kLengthOverrun;  // 0x8033
// An empty write, a full segment without data, a Start or CRC command with too few bytes.
constexpr uint16_t kTooShort = isdu_error::kLengthUnderrun;  // 0x8034
// An unknown control byte.
constexpr uint16_t kUnknownCommand = isdu_error::kFunctionNotAvailable;  // 0x8035
}  // namespace blob_error

enum class BlobState : uint8_t {
    Idle,       // no transfer (none yet, finished, or aborted)
    Started,    // Start received, information not read yet
    Receiving,  // information read; segments expected
    LastReceived,  // last segment received; CRC expected
    CrcChecked,    // CRC matched; Finish expected
};

struct BlobLimits {
    uint32_t maxBlobSize = 1024 * 1024;
    // Including the control byte, as the information answers it. The library's ISDU write
    // carries at most 247 data bytes, so at most 247 here for a library that fills segments.
    uint8_t maxSegmentLength = 200;
};

// What the channel looks like from a test.
struct BlobView {
    BlobState state = BlobState::Idle;
    uint16_t id = 0;                   // of the transfer under way (or the last one)
    uint32_t receivedBytes = 0;        // data bytes taken so far in this transfer
    uint32_t fullSegments = 0;         // full segments taken so far in this transfer
    bool lastSegmentReceived = false;
    uint32_t started = 0;              // counters over the channel's life
    uint32_t completed = 0;
    uint32_t aborted = 0;              // Abort commands received while a transfer was under way
    uint32_t errors = 0;               // commands answered with an ISDU error
};

class BlobChannel {
public:
    explicit BlobChannel(BlobLimits initial = {}) : limits(initial) {}

    // One ISDU request to the channel's index. `faults` are the firmware knobs in force.
    IsduAnswer execute(const IsduRequest& request, FirmwareFaults& faults);

    // Drops any transfer under way (a device reset does that).
    void reset();

    BlobView view() const;
    // The last BLOB completed with Finish under this id, byte for byte.
    const std::vector<uint8_t>* completed(uint16_t id) const;

    void setLimits(BlobLimits l) { limits = l; }
    BlobLimits currentLimits() const { return limits; }

private:
    IsduAnswer read(FirmwareFaults& faults);
    IsduAnswer write(const std::vector<uint8_t>& data, FirmwareFaults& faults);
    IsduAnswer segment(const std::vector<uint8_t>& data, bool last, FirmwareFaults& faults);
    IsduAnswer error(uint16_t code);

    BlobLimits limits;
    BlobState state = BlobState::Idle;
    uint16_t id = 0;
    std::vector<uint8_t> data;
    uint32_t fullSegments = 0;
    BlobView counters;
    std::map<uint16_t, std::vector<uint8_t>> done;
};

}  // namespace iolsim
