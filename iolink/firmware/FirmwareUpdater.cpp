#include "firmware/FirmwareUpdater.h"

#include <chrono>
#include <system_error>
#include <thread>

#include "firmware/BlobTransfer.h"
#include "firmware/Bootloader.h"
#include "firmware/DeviceObjects.h"
#include "firmware/FirmwareDescription.h"
#include "firmware/FirmwareFolder.h"
#include "firmware/FirmwarePackage.h"
#include "firmware/RawDataWrite.h"
#include "link/IoLinkLib.h"

namespace iolink {

namespace {

constexpr int activationAttempts = 3;
constexpr int applicationChecks = 3;
// Time the device gets to start the new firmware between two checks.
constexpr std::chrono::milliseconds applicationCheckPause{500};

bool fileExists(const std::filesystem::path& file)
{
    std::error_code error;
    return std::filesystem::exists(file, error);
}

Result activateFirmware()
{
    const uint8_t command = ACTIVATE_FIRMWARE_COMMAND;
    for (int attempt = 0; attempt < activationAttempts; ++attempt) {
        if (writeRawData(SYSTEM_COMMAND_INDEX, &command, 1).getResult()) {
            return Result(true, "");
        }
    }
    return Result(false, "Could not activate new firmware, tried three times");
}

Result awaitApplication(IoLinkLib& lib)
{
    for (int check = 0; check < applicationChecks; ++check) {
        const BootmodeStatus status = readBootmodeStatus(lib);
        if (status.result.getResult() && !status.inBootloader) {
            return Result(true, "");
        }
        std::this_thread::sleep_for(applicationCheckPause);
    }
    requestDeviceRecovery();
    return Result(false, "Invalid bootloader state");
}

} // namespace

Result FirmwareUpdater::writeFirmware(IoLinkLib& lib, const std::filesystem::path& package)
{
    std::filesystem::path folder;
    try {
        folder = makeFirmwareTempFolder();
    } catch (const std::filesystem::filesystem_error& e) {
        return Result(false, std::string("Could not create temporary folder: ") + e.what());
    }
    if (Result unpacked = unpackFirmwarePackage(package, folder); !unpacked.getResult()) {
        return unpacked;
    }
    const std::filesystem::path description = folder / std::filesystem::path(package.filename()).replace_extension(".xml");
    if (!fileExists(description)) {
        return Result(false, "Firmware description file not found: " + description.string());
    }
    const ResultString verified = verifyFirmwareDescription(lib, description);
    if (!verified.getResult()) {
        return Result(false, "Error verifying FW file with device: " + verified.getMessage());
    }
    // The package was unpacked flat; a name that points elsewhere cannot be its image.
    const std::filesystem::path image = folder / verified.getString();
    if (!isPlainFileName(verified.getString()) || !fileExists(image)) {
        return Result(false, "Firmware file not found: " + image.string());
    }
    if (Result entered = enterBootloader(lib); !entered.getResult()) {
        return Result(false, "Switch to Bootloader mode failed: " + entered.getMessage());
    }
    if (Result transferred = transferBlob(lib, FIRMWARE_BLOB_ID, image); !transferred.getResult()) {
        return Result(false, "Could not Blob-transfer firmware file: " + transferred.getMessage());
    }
    if (Result activated = activateFirmware(); !activated.getResult()) {
        return Result(false, "Could not activate firmware on device: " + activated.getMessage());
    }
    if (Result running = awaitApplication(lib); !running.getResult()) {
        return Result(false, "Invalid Bootloader state: " + running.getMessage());
    }
    return Result(true, "");
}

} // namespace iolink
