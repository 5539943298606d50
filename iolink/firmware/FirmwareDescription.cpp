// tinyxml2's own integer query also takes hexadecimal and trailing garbage ("12ab" reads as
// 12), so the vendor id is parsed here, strictly decimal.
#include "firmware/FirmwareDescription.h"

#include <tinyxml2.h>

#include <charconv>

#include "firmware/DeviceObjects.h"
#include "link/IoLinkLib.h"

namespace iolink {

namespace {

const char* const readErrorPrefix = "Error reading XML file: ";
const char* const elementMissingText = "XML element not present";

DescriptionRead readFailure(const std::string& cause)
{
    return {Result(false, readErrorPrefix + cause), {}};
}

std::string attributeMissing(const char* name)
{
    return std::string("XML attribute not present: ") + name;
}

} // namespace

std::optional<int32_t> parseDecimalInt32(const std::string& text)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (first < last && blank(*first)) {
        ++first;
    }
    while (last > first && blank(last[-1])) {
        --last;
    }
    if (first < last && *first == '+') {
        ++first;
        if (first < last && *first == '-') {
            return std::nullopt;
        }
    }
    int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value, 10);
    if (first == last || error != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

DescriptionRead readFirmwareDescription(const std::filesystem::path& descriptionFile)
{
    tinyxml2::XMLDocument document;
    const std::string fileText = descriptionFile.string();
    if (const tinyxml2::XMLError error = document.LoadFile(fileText.c_str()); error != tinyxml2::XML_SUCCESS) {
        return {Result(false, "Error opening XML file: " + fileText + ", Errorcode: " +
                                  std::to_string(static_cast<int>(error))),
                {}};
    }
    const tinyxml2::XMLElement* root = document.FirstChildElement("iolfw:IOLinkFWData");
    const tinyxml2::XMLElement* meta = root ? root->FirstChildElement("iolfw:MetaInfo") : nullptr;
    const tinyxml2::XMLElement* keys = meta ? meta->FirstChildElement("iolfw:HardwareIdKeyCollection") : nullptr;
    const tinyxml2::XMLElement* key = keys ? keys->FirstChildElement("iolfw:HardwareIdKey") : nullptr;
    const tinyxml2::XMLElement* blob = root ? root->FirstChildElement("iolfw:Blob") : nullptr;
    if (meta == nullptr || key == nullptr || blob == nullptr) {
        return readFailure(elementMissingText);
    }

    FirmwareDescription description;
    const char* vendorText = meta->Attribute("iolfw:vendorId");
    if (vendorText == nullptr) {
        return readFailure(attributeMissing("iolfw:vendorId"));
    }
    const std::optional<int32_t> vendorId = parseDecimalInt32(vendorText);
    if (!vendorId) {
        return readFailure(std::string("XML attribute iolfw:vendorId is not a decimal number: ") + vendorText);
    }
    description.vendorId = *vendorId;
    const char* hardwareId = key->Attribute("iolfw:idPattern");
    if (hardwareId == nullptr) {
        return readFailure(attributeMissing("iolfw:idPattern"));
    }
    description.hardwareId = hardwareId;
    const char* fileName = blob->Attribute("iolfw:fileName");
    if (fileName == nullptr) {
        return readFailure(attributeMissing("iolfw:fileName"));
    }
    description.imageFileName = fileName;
    return {Result(true, "success"), description};
}

ResultString verifyFirmwareDescription(IoLinkLib& lib, const std::filesystem::path& descriptionFile)
{
    const DescriptionRead read = readFirmwareDescription(descriptionFile);
    if (!read.result.getResult()) {
        return ResultString(false, read.result.getMessage());
    }
    const FirmwareDescription& description = read.description;
    const ResultLong deviceVendor = lib.odReadLong(VENDOR_ID_INDEX, VENDOR_ID_SUBINDEX);
    if (!deviceVendor.getResult()) {
        return ResultString(false, "Error reading Vendor Id from device for verifying firmware file: " +
                                       deviceVendor.getMessage());
    }
    const ResultString deviceHardware = lib.odReadString(HARDWARE_ID_INDEX, 0);
    if (!deviceHardware.getResult()) {
        return ResultString(false, "Error reading HW Id from device for verifying firmware file: " +
                                       deviceHardware.getMessage());
    }
    if (description.vendorId != deviceVendor.getLong()) {
        return ResultString(false, "Vendor Id of XML and Device does not match. Vendor Id XML: " +
                                       std::to_string(description.vendorId) +
                                       " Vendor Id Device: " + std::to_string(deviceVendor.getLong()));
    }
    if (description.hardwareId != deviceHardware.getString()) {
        return ResultString(false, "Hardware Id of XML and device does not match. Hardware Id XML: " +
                                       description.hardwareId + " Hardware Id Device: " + deviceHardware.getString());
    }
    return ResultString(true, "success", description.imageFileName);
}

} // namespace iolink
