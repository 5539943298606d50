// The per-port engine the link thread runs on every process-data answer: the port record from
// the status bits, the mode-change sequence, and parameter (ISDU) requests through their life,
// counted down in link cycles. Also the primitives the operations build on: configurePort,
// starting a parameter read or write, and the status queries they wait with.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/LinkState.h"

namespace iolink {

// Bits of the status bytes (from the master) and control bytes (to the master).
inline constexpr uint8_t statusPreoperate = 0x80;      // status byte 0
inline constexpr uint8_t statusOperate = 0x40;         // status byte 0
inline constexpr uint8_t statusInvertedFlag = 0x10;    // status byte 0
inline constexpr uint8_t controlConfigAccepted = 0x80; // control byte 0
inline constexpr uint8_t controlPreoperate = 0x40;     // control byte 0
inline constexpr uint8_t controlStartup = 0xA8;        // control byte 1
inline constexpr uint8_t resultReadyProgress = 2;      // low nibble of status byte 1

enum SequenceStep : uint32_t {
    STEP_IDLE = 0,
    STEP_DIGITAL = 1,
    STEP_WAIT_INACTIVE = 2,
    STEP_INACTIVE_CONFIRMED = 3,
    STEP_WAIT_STARTUP = 4,
    STEP_PREOPERATE = 5,
    STEP_READ_IDENTIFICATION = 6,
    STEP_IDENTIFICATION_PENDING = 7,
};

// Status update of one port from its stored status bytes (condition nibble, status flag).
void updatePortStatus(PortLink& port);
// The full bookkeeping of every port; the caller holds cycleLock.
void runPortBookkeeping();
// An ISDU_RESULT answer with a valid checksum.
void storeIsduResult(const uint8_t* frame);
// Decodes Direct Parameter page 1 into the port record.
void decodeIdentification(SharedPortRecord& record, const uint8_t* page);

// Recomputes the process-data layout from every port's configuration and keeps its totals.
void recomputeLayout(LinkState& link);
// Builds the PROCESS_DATA request with every port's control bytes into txBuffer and clears the
// bytes it sent (they are one-shot). Once the link thread runs, the caller holds cycleLock.
void buildProcessDataCycleRequest(LinkState& link);

uint32_t configurePort(const PortConfiguration* config);

// Parameter requests of port 0. A read's data stay in the link until the status query hands
// them over, so a caller that stops waiting leaves nothing behind that the link could write to.
uint32_t startParameterRead(uint16_t index, uint8_t subindex);
uint32_t startParameterWrite(uint16_t index, uint8_t subindex, const uint8_t* data, size_t length,
                             bool rawWrite);

struct IsduStatus {
    uint32_t code;
    uint16_t ioLinkErrorCode;
    uint8_t receivedLength;
};
IsduStatus isduWriteState();
// On code 0 the received bytes are copied to `buffer` (at least isduReadCapacity bytes).
IsduStatus isduReadState(uint8_t* buffer);

} // namespace iolink
