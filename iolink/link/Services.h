// Builders and parsers of the master's services, and the records they carry: the 41-byte port
// configuration record, the master information items, the process-data layout and the
// encodings of the device's identification page. Everything here works on byte buffers only;
// nothing touches the serial port or the process-wide link state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "link/Frame.h"

namespace iolink {

enum ServiceCode : uint8_t {
    MASTER_INFO = 0x00,
    SET_PD_LENGTHS = 0x01,
    MASTER_CONFIG = 0x02,
    PROCESS_DATA = 0x03,
    WRITE_PORT_CONFIG = 0x04,
    READ_PORT_CONFIG = 0x05,
    ISDU_REQUEST = 0x0A,
    ISDU_RESULT = 0x0B,
    EVENT_REQUEST = 0x0C,
    POWER_OFF = 0x0D,
    POWER_ON = 0x0E,
};

inline constexpr size_t maxPorts = 1;                  // the master this library serves has one port
inline constexpr size_t portConfigRecordLength = 41;
inline constexpr size_t identificationFieldLength = 16;
inline constexpr uint8_t maxProcessDataLength = 32;    // bytes per direction and port
inline constexpr size_t maxIsduWriteData = frameCapacity - 8;
inline constexpr uint32_t minCycleTimeUs = 400;
inline constexpr uint32_t maxCycleTimeUs = 132800;

enum PortMode : int32_t {
    PORT_MODE_INACTIVE = 0,
    PORT_MODE_PREOPERATIONAL = 1,
    PORT_MODE_IOLINK = 2,
    PORT_MODE_DIGITAL_INPUT = 3,
    PORT_MODE_DIGITAL_OUTPUT = 4,
    PORT_MODE_UNKNOWN = 255,
};

struct PortConfiguration {
    uint32_t deviceId = 0;
    uint32_t cycleTimeUs = 0;
    uint16_t vendorId = 0;
    int32_t portMode = PORT_MODE_INACTIVE;
    int32_t validationMode = 0;
    int32_t inputFormat = 0;
    uint8_t inputLength = 0;
    uint8_t outputLength = 0;
    uint8_t inputSupplementLength = 0;
    uint8_t outputSupplementLength = 0;
};

// Record bytes the library does not interpret but must hand back to the master as last seen.
struct PortConfigMemory {
    uint8_t modeDetail = 0;                                   // byte 4
    std::array<uint8_t, identificationFieldLength> identification{}; // bytes 19..34
    std::array<uint8_t, 5> validation{};                      // bytes 35..39
};

struct ProcessDataLayout {
    std::array<uint8_t, maxPorts> inputOffset{};
    std::array<uint8_t, maxPorts> outputOffset{};
    uint16_t totalInputLength = 0;
    uint16_t totalOutputLength = 0;
};

ProcessDataLayout computeLayout(const PortConfiguration* ports, size_t portCount);

uint32_t clampCycleTimeUs(uint64_t cycleTimeUs);
// Master mode code of a PortMode and back.
uint8_t masterModeCode(int32_t portMode);
int32_t portModeFromMasterCode(uint8_t code);

// Fills `frame` with a WRITE_PORT_CONFIG request. The validation bytes follow `config`; the
// ones it leaves unchanged come from `memory`, which is updated to what was written.
uint8_t buildWritePortConfig(FrameBuffer& frame, uint8_t port, const PortConfiguration& config,
                             const ProcessDataLayout& layout, PortConfigMemory& memory);
// Decodes a READ_PORT_CONFIG response (code and checksum already checked) into `config` and
// `memory`; `config.validationMode` keeps its value where the record does not decide it.
void decodePortConfigRecord(const uint8_t* record, PortConfiguration& config, PortConfigMemory& memory);

uint8_t buildMasterInfoRequest(FrameBuffer& frame, uint8_t item);
uint8_t buildSetPdLengths(FrameBuffer& frame, uint16_t totalOutput, uint16_t totalInput);
uint8_t buildMasterConfigRequest(FrameBuffer& frame);
// One pair of control bytes per port, then zeroed output data. Returns 0 (frame untouched)
// when the request would not fit 255 bytes.
uint8_t buildProcessDataRequest(FrameBuffer& frame, const uint8_t* controlBytes, size_t portCount,
                                uint16_t totalOutput);
uint8_t buildReadPortConfig(FrameBuffer& frame, uint8_t port);
enum IsduDirection : uint8_t { ISDU_WRITE = 0, ISDU_READ = 1 };
// Returns 0 when the data do not fit one frame.
uint8_t buildIsduRequest(FrameBuffer& frame, uint8_t port, IsduDirection direction, uint16_t index,
                         uint8_t subindex, const uint8_t* data, size_t dataLength);
uint8_t buildIsduResultRequest(FrameBuffer& frame, uint8_t port);
uint8_t buildEventRequest(FrameBuffer& frame, uint8_t port);
uint8_t buildPowerRequest(FrameBuffer& frame, bool on);

struct MasterConfig {
    uint8_t portCount;
    uint16_t totalOutputLength;
    uint16_t totalInputLength;
};
// The MASTER_CONFIG answer, when the frame is one with a valid checksum.
std::optional<MasterConfig> parseMasterConfig(const uint8_t* frame, size_t available);

struct MasterInfo {
    std::array<std::array<char, 65>, 7> texts{}; // items 0, 1, 2, 4, 5, 6 (index = item)
    std::array<char, 17> item3{};
    uint16_t item7 = 0;
    uint32_t item8 = 0;
    uint32_t item9 = 0;
    std::array<uint32_t, 1> item10{};
};
// Stores the item of a MASTER_INFO answer; returns an error code (0, 3, 9 or 10).
uint32_t parseMasterInfo(const uint8_t* frame, size_t available, MasterInfo& info);

// Copies each port's two status bytes from a PROCESS_DATA answer; false on a wrong code,
// checksum or a frame too short for the ports.
bool parseProcessDataResponse(const uint8_t* frame, size_t available, size_t portCount,
                              uint8_t* statusBytes);

struct IsduResult {
    uint8_t port;
    uint8_t status;
    uint16_t ioLinkErrorCode;
    bool hasData;
    uint8_t dataLength;
    const uint8_t* data;
};
// An ISDU_RESULT answer whose checksum is valid.
IsduResult parseIsduResult(const uint8_t* frame);

// Identification page encodings.
uint32_t cycleTimeFromCode(uint8_t code);
uint8_t processDataLengthFromCode(uint8_t code);

} // namespace iolink
