// Whole firmware updates of the simulated device over the real link: the complete update, and
// every step that can fail, each with its nested message.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "SimulatedDevice.h"
#include "firmware/DeviceObjects.h"
#include "sim/iolink/FirmwarePackage.h"

using iolsim::BootStatusFault;
using iolsim::FirmwareFaults;
using iolsim::FirmwarePackageContents;

namespace {

class Update : public SimulatedDevice {
protected:
    // A package for the default device; `change` adjusts it before it is written.
    std::filesystem::path package(const std::vector<uint8_t>& image,
                                  const std::function<void(FirmwarePackageContents&)>& change = {})
    {
        FirmwarePackageContents contents;
        contents.path = files.path() / "fw.zip";
        contents.image = image;
        if (change) {
            change(contents);
        }
        return iolsim::writeFirmwarePackage(contents).path;
    }

    Result update(const std::filesystem::path& file)
    {
        testing::internal::CaptureStdout(); // the unpacking reports every entry
        Result result = lib.writeFirmware(file);
        testing::internal::GetCapturedStdout();
        return result;
    }

    static std::vector<uint8_t> entryCodeThen(std::vector<uint8_t> more)
    {
        const auto code = iolink::bootloaderEntryCode();
        std::vector<uint8_t> commands(code.begin(), code.end());
        commands.insert(commands.end(), more.begin(), more.end());
        return commands;
    }
};

} // namespace

TEST_F(Update, UpdatesTheDeviceWithA64KiBImage)
{
    const auto image = iolsim::firmwareImagePattern(64 * 1024, 3);
    const Result result = update(package(image));
    ASSERT_TRUE(result.getResult()) << result.getMessage();
    EXPECT_EQ(result.getMessage(), "");

    const iolsim::FirmwareView device = sim.firmware();
    EXPECT_EQ(sim.installedFirmware(), image) << "the adopted image differs from the package's";
    EXPECT_FALSE(device.inBootloader);
    EXPECT_EQ(device.bootloaderEntries, 1u);
    EXPECT_EQ(device.systemCommands, entryCodeThen({iolink::ACTIVATE_FIRMWARE_COMMAND}));
    EXPECT_EQ(device.blob.errors, 0u);
    EXPECT_EQ(device.resets, 0u);
}

TEST_F(Update, ADeviceAlreadyInItsBootloaderGetsNoEntryCode)
{
    sim.bootloader().setBootloaderMode(true);
    const auto image = iolsim::firmwareImagePattern(500, 4);
    const Result result = update(package(image));
    ASSERT_TRUE(result.getResult()) << result.getMessage();
    EXPECT_EQ(sim.firmware().systemCommands, std::vector<uint8_t>{iolink::ACTIVATE_FIRMWARE_COMMAND});
    EXPECT_EQ(sim.installedFirmware(), image);
}

namespace {

struct UpdateCase {
    const char* name;
    std::function<void(FirmwarePackageContents&)> package;
    std::function<void(FirmwareFaults&, iolsim::Simulator&)> device;
    // The message, given the package and the folder the update unpacked into; "" for success.
    std::function<std::string(const std::filesystem::path&, const std::filesystem::path&)> message;
    std::function<void(const iolsim::FirmwareView&)> check;
};

auto fixed(std::string text)
{
    return [text](const std::filesystem::path&, const std::filesystem::path&) { return text; };
}

const auto noPackageChange = [](FirmwarePackageContents&) {};
const auto noDeviceChange = [](FirmwareFaults&, iolsim::Simulator&) {};
const auto noCheck = [](const iolsim::FirmwareView&) {};
const auto deviceUntouched = [](const iolsim::FirmwareView& device) {
    EXPECT_EQ(device.statusReads, 0u) << "the bootloader step must not have started";
    EXPECT_TRUE(device.systemCommands.empty());
};

const std::string kVerify = "Error verifying FW file with device: ";
const std::string kSwitch = "Switch to Bootloader mode failed: ";
const std::string kRefused = "Requesting write state: OK, IO-Link ErrorCode: 32822";

const std::vector<UpdateCase> kUpdateCases = {
    {"VendorIdDiffers", [](FirmwarePackageContents& s) { s.vendorId = 1234; }, noDeviceChange,
     fixed(kVerify + "Vendor Id of XML and Device does not match. Vendor Id XML: 1234 Vendor Id Device: 32337"),
     deviceUntouched},
    {"HardwareIdDiffersByATrailingSpace", [](FirmwarePackageContents& s) { s.hardwareId = "SD200-HW-A1 "; },
     noDeviceChange,
     fixed(kVerify + "Hardware Id of XML and device does not match. Hardware Id XML: SD200-HW-A1  Hardware Id "
                     "Device: SD200-HW-A1"),
     deviceUntouched},
    {"VendorIdNotDecimal", [](FirmwarePackageContents& s) { s.vendorIdText = "0x7E51"; }, noDeviceChange,
     fixed(kVerify + "Error reading XML file: XML attribute iolfw:vendorId is not a decimal number: 0x7E51"),
     deviceUntouched},
    {"FileNameMissing", [](FirmwarePackageContents& s) { s.omit.insert(iolsim::fwxml::kFileName); }, noDeviceChange,
     fixed(kVerify + "Error reading XML file: XML attribute not present: iolfw:fileName"), deviceUntouched},
    {"HardwareIdKeyCollectionMissing",
     [](FirmwarePackageContents& s) { s.omit.insert(iolsim::fwxml::kHardwareIdKeyCollection); }, noDeviceChange,
     fixed(kVerify + "Error reading XML file: XML element not present"), deviceUntouched},
    {"ImageMissing", [](FirmwarePackageContents& s) { s.withImage = false; }, noDeviceChange,
     [](const std::filesystem::path&, const std::filesystem::path& folder) {
         return "Firmware file not found: " + (folder / "fw.bin").string();
     },
     deviceUntouched},
    {"ImageNamedOutsideThePackage", [](FirmwarePackageContents& s) { s.blobFileName = "../fw.bin"; }, noDeviceChange,
     [](const std::filesystem::path&, const std::filesystem::path& folder) {
         return "Firmware file not found: " + (folder / "../fw.bin").string();
     },
     deviceUntouched},
    {"EntryClimbingOutOfTheFolder",
     [](FirmwarePackageContents& s) { s.extraEntries.push_back({"../evil.bin", {1, 2, 3}, 0}); }, noDeviceChange,
     [](const std::filesystem::path& file, const std::filesystem::path&) {
         return "Error unzipping firmware-file: " + file.string();
     },
     deviceUntouched},
    {"BootStatusReadFails", noPackageChange,
     [](FirmwareFaults& f, iolsim::Simulator&) { f.bootStatus = BootStatusFault::ReadError; },
     fixed(kSwitch + "Could not verify if device is in bootloader mode: Read bootmode status failed: Error reading "
                     "Od: 17343:0 :IO-Link ErrorCode: 32822"),
     noCheck},
    {"BootStatusWithoutData", noPackageChange,
     [](FirmwareFaults& f, iolsim::Simulator&) { f.bootStatus = BootStatusFault::NoData; },
     fixed(kSwitch + "Could not verify if device is in bootloader mode: Read bootmode status failed, no answer "
                     "received"),
     noCheck},
    {"BootStatusInvalid", noPackageChange,
     [](FirmwareFaults& f, iolsim::Simulator&) { f.bootStatus = BootStatusFault::InvalidValue; },
     fixed(kSwitch + "Could not verify if device is in bootloader mode: Invalid bootloader status"), noCheck},
    {"BootloaderNeverEntered", noPackageChange,
     [](FirmwareFaults& f, iolsim::Simulator&) { f.refuseBootloaderEntry = true; },
     fixed(kSwitch + "Error switching to bootloader mode: Could not switch to bootloader mode"),
     [](const iolsim::FirmwareView& device) {
         EXPECT_EQ(device.statusReads, 5u) << "one check before the entry code, four after it";
         EXPECT_EQ(device.resets, 1u) << "the recovery request is a device reset";
         EXPECT_EQ(device.blob.started, 0u);
     }},
    {"FirstSegmentRefused", noPackageChange,
     [](FirmwareFaults& f, iolsim::Simulator&) { f.refuseBlobSegment = 0; },
     fixed("Could not Blob-transfer firmware file: Error writing blob segment 0 of 3:" + kRefused),
     [](const iolsim::FirmwareView& device) { EXPECT_EQ(device.activationCommands, 0u); }},
    {"ActivationRefusedThreeTimes", noPackageChange,
     [](FirmwareFaults& f, iolsim::Simulator&) { f.refuseActivations = 3; },
     fixed("Could not activate firmware on device: Could not activate new firmware, tried three times"),
     [](const iolsim::FirmwareView& device) {
         EXPECT_EQ(device.activationCommands, 3u);
         EXPECT_EQ(device.firmwareUpdates, 0u);
     }},
    {"ActivationRefusedOnceThenTaken", noPackageChange,
     [](FirmwareFaults& f, iolsim::Simulator&) { f.refuseActivations = 1; }, fixed(""),
     [](const iolsim::FirmwareView& device) {
         EXPECT_EQ(device.activationCommands, 2u);
         EXPECT_EQ(device.firmwareUpdates, 1u);
     }},
    {"DeviceRestartsSlowlyAfterActivation", noPackageChange,
     [](FirmwareFaults&, iolsim::Simulator& sim) {
         auto config = sim.bootloader().config();
         config.bootloaderReadsAfterActivation = 2;
         sim.bootloader().setConfig(config);
     },
     fixed(""), [](const iolsim::FirmwareView& device) { EXPECT_EQ(device.firmwareUpdates, 1u); }},
    {"DeviceStaysInItsBootloader", noPackageChange,
     [](FirmwareFaults& f, iolsim::Simulator&) { f.stayInBootloader = true; },
     fixed("Invalid Bootloader state: Invalid bootloader state"),
     [](const iolsim::FirmwareView& device) {
         EXPECT_EQ(device.activations, 1u);
         EXPECT_EQ(device.resets, 1u) << "the recovery request is a device reset";
     }},
};

// Names the row in test names and failure reports.
void PrintTo(const UpdateCase& row, std::ostream* os) { *os << row.name; }

class UpdateStep : public Update, public testing::WithParamInterface<UpdateCase> {};

} // namespace

TEST_P(UpdateStep, EndsWithItsNestedMessage)
{
    const UpdateCase& c = GetParam();
    const auto image = iolsim::firmwareImagePattern(500, 5); // three segments of the default 199 bytes
    const auto file = package(image, c.package);
    FirmwareFaults knobs;
    c.device(knobs, sim);
    sim.changeFaults([&](iolsim::FaultKnobs& k) { k.firmware = knobs; });

    const Result result = update(file);
    const std::string expected = c.message(file, updateFolder());
    EXPECT_EQ(result.getResult(), expected.empty()) << result.getMessage();
    EXPECT_EQ(result.getMessage(), expected);
    awaitLinkIdle();
    const iolsim::FirmwareView device = sim.firmware();
    c.check(device);
    if (expected.empty()) {
        EXPECT_EQ(sim.installedFirmware(), image);
    } else {
        EXPECT_TRUE(sim.installedFirmware().empty()) << "a failed update must not install anything";
    }
}

INSTANTIATE_TEST_SUITE_P(Firmware, UpdateStep, testing::ValuesIn(kUpdateCases),
                         [](const testing::TestParamInfo<UpdateCase>& row) { return std::string(row.param.name); });
