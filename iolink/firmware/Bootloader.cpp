#include "firmware/Bootloader.h"

#include "firmware/DeviceObjects.h"
#include "firmware/RawDataWrite.h"
#include "link/IoLinkLib.h"
#include "link/LinkState.h"

namespace iolink {

namespace {
// The device needs a moment to restart into its bootloader; the reads themselves are the wait.
constexpr int bootloaderEntryChecks = 4;
} // namespace

BootmodeStatus readBootmodeStatus(IoLinkLib& lib)
{
    uint8_t answer[isduReadCapacity] = {};
    size_t length = 0;
    if (Result read = lib.odReadRaw(BOOTMODE_STATUS_INDEX, 0, answer, length); !read.getResult()) {
        return {Result(false, "Read bootmode status failed: " + read.getMessage())};
    }
    if (length == 0) {
        return {Result(false, "Read bootmode status failed, no answer received")};
    }
    switch (answer[0]) {
    case BOOTMODE_APPLICATION:
        return {Result(true, ""), false};
    case BOOTMODE_BOOTLOADER:
        return {Result(true, ""), true};
    default:
        return {Result(false, "Invalid bootloader status")};
    }
}

Result switchToBootloader(IoLinkLib& lib)
{
    for (const uint8_t command : bootloaderEntryCode()) {
        if (Result written = writeRawData(SYSTEM_COMMAND_INDEX, &command, 1); !written.getResult()) {
            return Result(false, "Could not change to bootloader mode: " + written.getMessage());
        }
    }
    for (int check = 0; check < bootloaderEntryChecks; ++check) {
        const BootmodeStatus status = readBootmodeStatus(lib);
        if (!status.result.getResult()) {
            return Result(false, "Could not verify if device is in bootloader mode: " + status.result.getMessage());
        }
        if (status.inBootloader) {
            return Result(true, "");
        }
    }
    requestDeviceRecovery();
    return Result(false, "Could not switch to bootloader mode");
}

Result enterBootloader(IoLinkLib& lib)
{
    const BootmodeStatus status = readBootmodeStatus(lib);
    if (!status.result.getResult()) {
        return Result(false, "Could not verify if device is in bootloader mode: " + status.result.getMessage());
    }
    if (status.inBootloader) {
        return Result(true, "");
    }
    if (Result switched = switchToBootloader(lib); !switched.getResult()) {
        return Result(false, "Error switching to bootloader mode: " + switched.getMessage());
    }
    return Result(true, "");
}

void requestDeviceRecovery()
{
    // Written as a system command: a read request would carry the command byte nowhere.
    const uint8_t reset = DEVICE_RESET_COMMAND;
    (void)writeRawData(SYSTEM_COMMAND_INDEX, &reset, 1);
}

} // namespace iolink
