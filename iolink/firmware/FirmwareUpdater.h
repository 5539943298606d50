// The firmware update of the connected device from a package: unpack, check the description
// against the device, bootloader, BLOB transfer of the image, activation, and the wait for the
// device to run its application again.
#pragma once

#include <filesystem>

#include "link/Result.h"

class IoLinkLib;

namespace iolink {

class FirmwareUpdater {
public:
    // Blocks until done. Success carries an empty message; a failure names the failing step
    // with its cause appended. Nothing is undone on failure: the temporary folder stays, and
    // the device stays wherever the failing step left it. One object runs one update at a time.
    Result writeFirmware(IoLinkLib& lib, const std::filesystem::path& package);
};

} // namespace iolink
