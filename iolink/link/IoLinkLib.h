// The operations through which the Java application drives the IO-Link master. There is one
// master link per process; every IoLinkLib object acts on it. Operations never throw: each
// returns a result record whose failure text is the failing step's prefix followed by the text
// of its error code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/LinkState.h"
#include "link/Result.h"
#include "link/Services.h"

// ---- firmware update: declared here, defined in firmware/ ----
#include "firmware/FirmwareUpdater.h"
// ---- end firmware update ----

class IoLinkLib {
public:
    Result connectToMaster(const std::string& portName);
    Result disconnect();
    Result switchToIoLinkMode();
    Result switchToPreoperationalMode();
    Result startCyclicCommunication();
    Result stopCyclicCommunication();
    Result switchOnPower();
    Result switchOffPower();
    ResultLong odReadLong(uint16_t index, uint8_t subindex);
    ResultString odReadString(uint16_t index, uint8_t subindex);
    Result odWriteLong(uint16_t index, uint8_t subindex, int32_t value);
    Result setFileLoggingLevel(int32_t level);

    // Steps the firmware update builds on. `buffer` must hold at least 232 bytes.
    Result odReadRaw(uint16_t index, uint8_t subindex, uint8_t* buffer, size_t& length);
    // On success `portState` is the port's state: 0, 2, 3, 4, 5 or 6, and 255 for any other.
    Result requestPortState(uint32_t& portState);

    const iolink::PortRecord& portSnapshot() const { return snapshot; }

private:
    Result switchMode(int32_t portMode, uint32_t awaitedState, const char* configurePrefix,
                      const char* timeoutText);

    // What the mode operations send; the fields no operation sets start at zero (no device
    // check, shortest cycle time once clamped).
    iolink::PortConfiguration configuration{};
    iolink::PortRecord snapshot{};

    // ---- firmware update: declared here, defined in firmware/ ----
public:
    // Updates the device's firmware from a package (zip with description and image); success
    // carries an empty message.
    Result writeFirmware(const std::filesystem::path& package);
    // Transfers the file as the VMM BLOB.
    Result writeVMM(const std::filesystem::path& file);

private:
    iolink::FirmwareUpdater firmwareUpdater;
    // ---- end firmware update ----
};
