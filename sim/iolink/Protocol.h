// The master's side of the serial protocol, written from the wire format alone: service codes,
// status and control bits, port mode codes, the frame codec and the IO-Link encodings that the
// simulated device puts into its Direct Parameter page.
//
// A frame is: code, length L (counted over the whole frame), payload, XOR checksum. A length
// byte of 0 or 1 announces the extended form with a 16-bit big-endian length in bytes 2-3.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace iolsim {

enum class Service : uint8_t {
    MasterInfo = 0x00,
    SetPdLengths = 0x01,
    MasterConfig = 0x02,
    ProcessData = 0x03,
    WritePortConfig = 0x04,
    ReadPortConfig = 0x05,
    IsduRequest = 0x0A,
    IsduResult = 0x0B,
    EventRequest = 0x0C,
    PowerOff = 0x0D,
    PowerOn = 0x0E,
};

constexpr uint8_t code(Service s) { return static_cast<uint8_t>(s); }

// A request the master does not know (valid frame, unknown code) is answered with this bit
// set on the request's code, followed by one reason byte.
constexpr uint8_t kErrorResponseBit = 0x80;
enum class ErrorReason : uint8_t {
    UnknownService = 0x01,
    BadLength = 0x02,
    InvalidPort = 0x03,
};

// Non-zero status bytes with which the master itself refuses a request.
constexpr uint8_t kAccepted = 0x00;
constexpr uint8_t kRefusedInvalidPort = 0x01;
constexpr uint8_t kRefusedNotIoLink = 0x02;     // ISDU on a port that is not in an IO-Link mode
constexpr uint8_t kRefusedInvalidArgument = 0x03;

// Master mode code of a port (byte 3 of the port configuration record).
enum class ModeCode : uint8_t {
    Inactive = 0,
    DigitalOutput = 1,
    DigitalInput = 2,
    IoLinkPreoperational = 3,  // IO-Link with validation: the port stops in preoperate by default
    IoLinkOperational = 4,
};

// Status byte 0 of a port in a PROCESS_DATA answer.
constexpr uint8_t kStatusPreoperate = 0x80;
constexpr uint8_t kStatusOperate = 0x40;
constexpr uint8_t kStatusEventPending = 0x20;
constexpr uint8_t kStatusProcessDataInvalid = 0x10;
// Status byte 1: high nibble port condition, low nibble parameter (ISDU) progress.
constexpr uint8_t kConditionNone = 0;
constexpr uint8_t kConditionNoDevice = 1;
constexpr uint8_t kIsduIdle = 0;
constexpr uint8_t kIsduBusy = 1;
constexpr uint8_t kIsduResultReady = 2;

// Result status of an ISDU_RESULT answer (byte 3).
constexpr uint8_t kResultWriteDone = 1;
constexpr uint8_t kResultWriteError = 2;  // bytes 4-5: IO-Link error code
constexpr uint8_t kResultReadData = 3;    // bytes 4..L-2: data
constexpr uint8_t kResultReadError = 4;   // bytes 4-5: IO-Link error code
constexpr uint8_t kResultNotAvailable = 5; // nothing answered yet (none requested, or not ready)

// EVENT_REQUEST answer status.
constexpr uint8_t kEventDelivered = 0;
constexpr uint8_t kEventNone = 1;

constexpr std::size_t kPortConfigRecordLength = 41;
constexpr std::size_t kShortFrameMax = 255;
// The longest request the master takes; longer announced lengths are line noise.
constexpr std::size_t kMaxRequestLength = 1024;
constexpr uint8_t kMaxProcessDataLength = 32;  // per port and direction, bytes
constexpr std::size_t kMaxIsduData = 232;      // what one ISDU carries in either direction

uint8_t xorChecksum(std::span<const uint8_t> bytes);

// Total length announced by a frame's header, or nullopt while fewer header bytes are present
// than needed to tell.
std::optional<std::size_t> announcedLength(std::span<const uint8_t> bytes);
std::size_t headerLength(std::span<const uint8_t> bytes);

// True when the buffer holds exactly one frame of its announced length with a zero XOR.
bool isValidFrame(std::span<const uint8_t> frame);

// Builds code, length, payload, checksum; the extended form when it would exceed 255 bytes.
std::vector<uint8_t> makeFrame(uint8_t serviceCode, std::span<const uint8_t> payload);
inline std::vector<uint8_t> makeFrame(Service s, std::span<const uint8_t> payload) {
    return makeFrame(code(s), payload);
}

// IO-Link cycle-time byte (bits 7-6 time base, 5-0 multiplier): the shortest encodable time
// not below timeUs, clamped to 0.4 .. 132.8 ms; and the decoding.
uint8_t encodeCycleTime(uint32_t timeUs);
uint32_t decodeCycleTimeUs(uint8_t encoded);

// IO-Link process-data length byte: up to 2 bytes as a bit count, 3..32 bytes as byte count-1
// with bit 7 set. The SIO bit is added by the caller.
uint8_t encodeProcessDataLength(uint8_t lengthBytes);
uint8_t decodeProcessDataLength(uint8_t encoded);

}  // namespace iolsim
