// The XML description inside a firmware package, and its check against the connected device.
// Names are matched as whole strings, prefix included; no namespaces are resolved.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "link/Result.h"

class IoLinkLib;

namespace iolink {

struct FirmwareDescription {
    int32_t vendorId = 0;
    std::string hardwareId; // the device must report exactly these bytes
    std::string imageFileName;
};

struct DescriptionRead {
    Result result; // failed with the message for the caller
    FirmwareDescription description;
};

// Reads the three items without touching the device. Every missing element or attribute and
// a vendor id that is not a decimal 32-bit number fail here, before any device access.
DescriptionRead readFirmwareDescription(const std::filesystem::path& descriptionFile);

// Reads the description, then the device's vendor and hardware ids, and compares them. On
// success the string is the image's file name.
ResultString verifyFirmwareDescription(IoLinkLib& lib, const std::filesystem::path& descriptionFile);

// A decimal 32-bit signed number with an optional sign; surrounding blanks are allowed.
std::optional<int32_t> parseDecimalInt32(const std::string& text);

} // namespace iolink
