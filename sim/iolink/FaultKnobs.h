// Fault triggers of the simulated IO-Link master, shared by the simulator and the tests that
// provoke them. Plain data: read them with Simulator::faults(), change a copy and put it back
// with Simulator::setFaults() (or Simulator::changeFaults()), from any thread, at any time; the
// master reads them once per request.
#pragma once

#include <cstdint>
#include <limits>

#include "sim/iolink/ParameterStore.h"
#include "sim/iolink/Protocol.h"

namespace iolsim {

enum class ChecksumCorruption : uint8_t {
    Off,
    EveryFrame,  // every answer goes out with a wrong checksum
    AtRate,      // each answer with probability corruptionRate, from a generator seeded with
                 // corruptionSeed (the same seed gives the same sequence of corrupted answers)
};

constexpr uint32_t kAlways = std::numeric_limits<uint32_t>::max();

// Bit of a service in FaultKnobs::refusedServices.
constexpr uint32_t serviceBit(Service s) { return 1u << code(s); }

constexpr uint32_t kNoSegment = std::numeric_limits<uint32_t>::max();

// How the BLOB information (read of the BLOB channel after Start) goes wrong.
enum class BlobInfoFault : uint8_t {
    None,
    FiveBytes,       // the correct answer without its last byte
    SevenBytes,      // the correct answer and one byte more
    WrongTag,        // first byte 0x12 instead of 0x11
    SegmentLength0,  // byte 5 (maximum segment length) 0
    SegmentLength1,  // byte 5 1: room for the control byte only
    ReadError,       // the read is answered with FirmwareFaults::refusalError
};

// How the boot-mode status read (BOOTMODE_STATUS_INDEX) goes wrong.
enum class BootStatusFault : uint8_t {
    None,
    ReadError,     // answered with FirmwareFaults::refusalError
    NoData,        // answered with no byte at all
    InvalidValue,  // answered 2, neither application (0) nor bootloader (1)
};

// Knobs of the firmware-update objects of the device (BLOB channel, system commands, boot
// mode). Changed like the other knobs; counting knobs count down as they fire.
struct FirmwareFaults {
    // ISDU error code of every refusal below.
    uint16_t refusalError = isdu_error::kFunctionTemporarilyUnavailable;

    // The full segment with this number (0-based within a transfer, as the client counts it)
    // is refused, in every transfer that reaches it; the transfer stays where it was.
    uint32_t refuseBlobSegment = kNoSegment;
    // This BLOB command is refused: blob::kStart (0xF1), blob::kLastSegment (0x30),
    // blob::kCrc (0x40), blob::kFinish (0xF2) or blob::kAbort (0xF0). 0: none.
    uint8_t refuseBlobCommand = 0;
    // The device's CRC never matches: the CRC command is answered blob_error::kCrcMismatch.
    bool blobCrcMismatch = false;
    BlobInfoFault blobInfo = BlobInfoFault::None;

    // The next this many ACTIVATE_FIRMWARE_COMMAND writes are refused (counts down).
    uint32_t refuseActivations = 0;
    // Activation is accepted but the device stays in its bootloader and keeps the old firmware
    // (the new image stays pending, so it activates once the knob is cleared).
    bool stayInBootloader = false;
    // The entry code is accepted byte by byte but the device never enters its bootloader.
    bool refuseBootloaderEntry = false;
    BootStatusFault bootStatus = BootStatusFault::None;
};

struct FaultKnobs {
    // The master answers nothing at all (the request is still counted in the statistics).
    bool silentMaster = false;

    // Answers whose checksum byte is inverted. The request itself was executed normally, so a
    // client that repeats it gets the repeated request's answer (see Simulator).
    ChecksumCorruption corruption = ChecksumCorruption::Off;
    double corruptionRate = 0.0;  // 0..1, for AtRate
    uint32_t corruptionSeed = 1;  // the generator restarts whenever this value changes

    // Requests of these services (serviceBit) are answered with refusalStatus in their status
    // byte and not executed. Only services whose answer has a status byte can be refused:
    // SET_PD_LENGTHS, WRITE_PORT_CONFIG, ISDU_REQUEST, EVENT_REQUEST, POWER_OFF, POWER_ON.
    // refusalCount limits how many requests are refused before the knob clears itself.
    uint32_t refusedServices = 0;
    uint8_t refusalStatus = 1;
    uint32_t refusalCount = kAlways;

    // Requests of these services (serviceBit) get no answer at all, as from a master that drops
    // them, while every other service is answered normally.
    uint32_t unansweredServices = 0;

    // An accepted ISDU request signals "result ready" only this many process-data cycles later
    // than the device's normal latency.
    uint32_t lateResultCycles = 0;

    // The device on port 0 is gone: condition nibble 1, no operate or preoperate, pending ISDU
    // requests dropped. When it returns the port starts up again from the beginning.
    bool deviceLost = false;
    // Condition nibble shown while the device is there (0 = none, 2..9 = conditions that a
    // master reports for a port, e.g. a short circuit); deviceLost takes precedence.
    uint8_t portCondition = kConditionNone;

    // MASTER_CONFIG announces two ports; port 1 exists, stays inactive and has no device.
    bool announceTwoPorts = false;

    // Pseudo-terminal only: the answer goes out this much later (a slow master).
    uint32_t answerDelayMs = 0;

    // The device's firmware-update objects.
    FirmwareFaults firmware;
};

}  // namespace iolsim
