// Bringing the device into its bootloader and reading which of the two it runs.
#pragma once

#include "link/Result.h"

class IoLinkLib;

namespace iolink {

struct BootmodeStatus {
    Result result;
    bool inBootloader = false;
};

BootmodeStatus readBootmodeStatus(IoLinkLib& lib);
// Sends the entry code, then checks up to four times that the device went there.
Result switchToBootloader(IoLinkLib& lib);
// Switches only when the device still runs its application.
Result enterBootloader(IoLinkLib& lib);
// A device reset, for a device stuck between application and bootloader; its outcome is of no
// consequence to the caller, who fails anyway.
void requestDeviceRecovery();

} // namespace iolink
