// The simulated device's firmware-update objects :
//
//   SYSTEM_COMMAND_INDEX (2), subindex 0, one byte per write:
//     the 9 bytes of bootloaderEntryCode(), in that order   -> the device enters its bootloader
//       (each byte is accepted; a byte out of order restarts the sequence, so a wrong code is
//       only noticed through the boot-mode status)
//     ACTIVATE_FIRMWARE_COMMAND (0x53)   in the bootloader, after a firmware BLOB (id 1) was
//       completed: adopts the image and leaves the bootloader, the status reporting the
//       application after FirmwareConfig::bootloaderReadsAfterActivation further status reads;
//       otherwise isdu_error::kFunctionTemporarilyUnavailable
//     DEVICE_RESET_COMMAND (0x80)        drops any BLOB transfer and a pending image, leaves the
//       bootloader for the application (with the firmware it last adopted)
//     any other byte                     isdu_error::kFunctionNotAvailable
//     A read of index 2 (the library's "recovery request", an odReadRaw whose buffer holds 0x80:
//     the device only sees a read) is answered isdu_error::kAccessDenied, changes nothing, and
//     is counted in FirmwareView::systemCommandReads.
//   BLOB_CHANNEL_INDEX (50), subindex 0: the BLOB channel (BlobChannel.h). A firmware BLOB
//     (id 1) can only be started in the bootloader (FirmwareConfig::firmwareBlobNeedsBootloader).
//   BOOTMODE_STATUS_INDEX (0x43BF), subindex 0, read-only: one byte, 0 application,
//     1 bootloader.
//
// Thread-safe (own lock, taken inside the parameter store's lock when called as a handler).
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/iolink/BlobChannel.h"
#include "sim/iolink/FaultKnobs.h"
#include "sim/iolink/ParameterStore.h"

namespace iolsim {

struct FirmwareConfig {
    BlobLimits blob;
    // The device starts in its bootloader (as after an update that was cut short).
    bool startInBootloader = false;
    // A firmware BLOB (FIRMWARE_BLOB_ID) started in the application is refused with
    // blob_error::kSequence; other BLOB ids are taken in either mode.
    bool firmwareBlobNeedsBootloader = true;
    // After an accepted activation this many boot-mode status reads still answer 1 (the device
    // is restarting) before it reports the application.
    uint32_t bootloaderReadsAfterActivation = 0;
    // The device restarts after answering an activation or a reset: gone for this many cycles,
    // then started up again (IsduAnswer::deviceRestartCycles). 0: no gap in communication.
    uint32_t activationRestartCycles = 0;
    uint32_t resetRestartCycles = 0;
};

// What the firmware-update side of the device looks like from a test.
struct FirmwareView {
    bool inBootloader = false;           // what the boot-mode status reads answer right now
    std::size_t entryProgress = 0;       // bytes of the entry code matched so far
    uint32_t bootloaderEntries = 0;      // times the device entered its bootloader
    bool firmwarePending = false;        // a firmware BLOB completed, not yet adopted
    uint32_t activationCommands = 0;     // ACTIVATE_FIRMWARE_COMMAND writes, refused ones too
    uint32_t activations = 0;            // of those, accepted
    uint32_t firmwareUpdates = 0;        // images adopted
    uint32_t readsUntilApplication = 0;  // status reads still answering 1 after activation
    uint32_t statusReads = 0;            // reads of BOOTMODE_STATUS_INDEX
    uint32_t systemCommandReads = 0;     // reads of SYSTEM_COMMAND_INDEX (recovery requests)
    uint32_t resets = 0;                 // DEVICE_RESET_COMMAND writes
    std::vector<uint8_t> systemCommands; // every byte written to SYSTEM_COMMAND_INDEX, in order
    BlobView blob;
};

class Bootloader {
public:
    explicit Bootloader(FirmwareConfig config = {});
    Bootloader(const Bootloader&) = delete;
    Bootloader& operator=(const Bootloader&) = delete;

    // Takes over SYSTEM_COMMAND_INDEX, BLOB_CHANNEL_INDEX and BOOTMODE_STATUS_INDEX of the
    // store; this object must outlive the store's use of them.
    void install(ParameterStore& store);

    // The three objects' answers (what the installed handlers call).
    IsduAnswer systemCommand(const IsduRequest& request);
    IsduAnswer blobChannel(const IsduRequest& request);
    IsduAnswer bootModeStatus(const IsduRequest& request);

    FirmwareFaults faults() const;
    void setFaults(const FirmwareFaults& knobs);

    FirmwareView view() const;
    // The last BLOB completed under this id, byte for byte; nullopt if none was.
    std::optional<std::vector<uint8_t>> completedBlob(uint16_t id) const;
    // The image the device last adopted as its firmware (empty: the factory firmware).
    std::vector<uint8_t> installedFirmware() const;

    // Test-side changes.
    void setBootloaderMode(bool bootloader);
    void setBlobLimits(BlobLimits limits);
    void setConfig(const FirmwareConfig& config);  // limits included; the mode is kept
    FirmwareConfig config() const;

private:
    IsduAnswer activate();
    IsduAnswer reset();
    void enterBootloader();

    mutable std::mutex mutex;
    FirmwareConfig configuration;
    FirmwareFaults knobs;
    BlobChannel channel;
    bool bootloader = false;
    std::size_t entryProgress = 0;
    bool pending = false;
    std::vector<uint8_t> installed;
    FirmwareView counters;  // counting members only
};

}  // namespace iolsim
