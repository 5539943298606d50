// The simulated device's system commands, boot mode and firmware activation,
// and the identity objects a firmware update checks, frame by frame through the master.
#include <gtest/gtest.h>

#include "FirmwareClient.h"

namespace iolsim::test {
namespace {

const Bytes kApplication = readData({0});
const Bytes kBootloader = readData({1});

class Boot : public ::testing::Test {
protected:
    void SetUp() override { client.bringToOperate(); }
    FirmwareClient client;
};

TEST_F(Boot, TheDeviceStartsInTheApplication) {
    EXPECT_EQ(client.bootStatus(), kApplication);
    FirmwareView v = client.sim.firmware();
    EXPECT_FALSE(v.inBootloader);
    EXPECT_EQ(v.statusReads, 1u);
}

TEST_F(Boot, TheEntryCodeInOrderEntersTheBootloader) {
    const auto code = iolink::bootloaderEntryCode();
    for (std::size_t i = 0; i < code.size(); ++i) {
        EXPECT_EQ(client.bootStatus(), kApplication) << i;
        EXPECT_EQ(client.command(code[i]), kWriteDone) << i;
    }
    EXPECT_EQ(client.bootStatus(), kBootloader);
    FirmwareView v = client.sim.firmware();
    EXPECT_TRUE(v.inBootloader);
    EXPECT_EQ(v.bootloaderEntries, 1u);
    EXPECT_EQ(v.systemCommands, Bytes(code.begin(), code.end()));
    // Once more while in the bootloader: nothing changes.
    EXPECT_TRUE(client.sendEntryCode());
    EXPECT_EQ(client.sim.firmware().bootloaderEntries, 1u);
    EXPECT_EQ(client.bootStatus(), kBootloader);
}

TEST_F(Boot, ABrokenEntryCodeStartsTheSequenceAgain) {
    const auto code = iolink::bootloaderEntryCode();
    struct Case {
        const char* name;
        Bytes sent;
        Bytes answers;  // per byte: 1 accepted, 0 refused
        bool entered;
    };
    auto codeBytes = [&](std::size_t from, std::size_t to) { return Bytes(code.begin() + from, code.begin() + to); };
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const Case cases[] = {
        {"complete", codeBytes(0, 9), Bytes(9, 1), true},
        {"eight bytes", codeBytes(0, 8), Bytes(8, 1), false},
        {"two bytes swapped", join({codeBytes(0, 3), {code[4], code[3]}, codeBytes(5, 9)}), Bytes(9, 1), false},
        {"a foreign byte inside", join({codeBytes(0, 4), {0x01}, codeBytes(4, 9)}),
         join({Bytes(4, 1), {0}, Bytes(5, 1)}), false},
        {"a foreign byte, then the whole code", join({codeBytes(0, 4), {0x01}, codeBytes(0, 9)}),
         join({Bytes(4, 1), {0}, Bytes(9, 1)}), true},
        {"the first byte again inside, then the rest", join({codeBytes(0, 5), codeBytes(0, 9)}), Bytes(14, 1), true},
        {"activate inside breaks it", join({codeBytes(0, 5), {iolink::ACTIVATE_FIRMWARE_COMMAND}, codeBytes(5, 9)}),
         join({Bytes(5, 1), {0}, Bytes(4, 1)}), false},
    };
    for (const auto& c : cases) {
        FirmwareClient fresh;
        fresh.bringToOperate();
        for (std::size_t i = 0; i < c.sent.size(); ++i) {
            Bytes answer = fresh.command(c.sent[i]);
            if (c.answers[i]) EXPECT_EQ(answer, kWriteDone) << c.name << " byte " << i;
            else EXPECT_NE(answer, kWriteDone) << c.name << " byte " << i;
        }
        EXPECT_EQ(fresh.bootStatus(), c.entered ? kBootloader : kApplication) << c.name;
    }
}

TEST_F(Boot, SystemCommandsAreSingleBytesAndWriteOnly) {
    EXPECT_EQ(client.write(kSystemCommandIndex, {}), writeError(isdu_error::kLengthUnderrun));
    EXPECT_EQ(client.write(kSystemCommandIndex, {0x80, 0x80}), writeError(isdu_error::kLengthOverrun));
    EXPECT_EQ(client.command(0x01), writeError(isdu_error::kFunctionNotAvailable));
    EXPECT_EQ(client.isdu(isduWrite(kSystemCommandIndex, 1, {0x80})), writeError(isdu_error::kSubindexNotAvailable));
    // The library's recovery request is a read of index 2 (its buffer's 0x80 never travels).
    EXPECT_EQ(client.read(kSystemCommandIndex), readError(isdu_error::kAccessDenied));
    EXPECT_EQ(client.sim.firmware().systemCommandReads, 1u);
    EXPECT_EQ(client.sim.firmware().resets, 0u);
    EXPECT_EQ(client.write(kBootStatusIndex, {1}), writeError(isdu_error::kAccessDenied));
    EXPECT_EQ(client.read(kBootStatusIndex, 1), readError(isdu_error::kSubindexNotAvailable));
}

TEST_F(Boot, ACompleteUpdateAdoptsTheImageAndReturnsToTheApplication) {
    const Bytes image = patternImage(64 * 1024, 11);
    EXPECT_EQ(client.bootStatus(), kApplication);
    ASSERT_TRUE(client.sendEntryCode());
    EXPECT_EQ(client.bootStatus(), kBootloader);
    ASSERT_EQ(client.transfer(iolink::FIRMWARE_BLOB_ID, image), kWriteDone);
    EXPECT_TRUE(client.sim.firmware().firmwarePending);
    EXPECT_TRUE(client.sim.installedFirmware().empty());
    EXPECT_EQ(client.command(iolink::ACTIVATE_FIRMWARE_COMMAND), kWriteDone);
    EXPECT_EQ(client.bootStatus(), kApplication);
    EXPECT_TRUE(client.sim.installedFirmware() == image);
    FirmwareView v = client.sim.firmware();
    EXPECT_EQ(v.firmwareUpdates, 1u);
    EXPECT_EQ(v.activations, 1u);
    EXPECT_FALSE(v.firmwarePending);
    // The image is used up: activating again has nothing to activate.
    EXPECT_EQ(client.command(iolink::ACTIVATE_FIRMWARE_COMMAND), writeError(isdu_error::kFunctionTemporarilyUnavailable));
}

TEST_F(Boot, ActivationNeedsTheBootloaderAndAFirmwareBlob) {
    const uint8_t activate = iolink::ACTIVATE_FIRMWARE_COMMAND;
    const Bytes refused = writeError(isdu_error::kFunctionTemporarilyUnavailable);
    EXPECT_EQ(client.command(activate), refused);  // application
    ASSERT_TRUE(client.sendEntryCode());
    EXPECT_EQ(client.command(activate), refused);  // bootloader, no image
    ASSERT_EQ(client.transfer(iolink::VMM_BLOB_ID, patternImage(100)), kWriteDone);
    EXPECT_EQ(client.command(activate), refused);  // another BLOB id is no firmware
    // An aborted firmware transfer leaves nothing to activate.
    ASSERT_EQ(client.blob(startMessage(iolink::FIRMWARE_BLOB_ID)), kWriteDone);
    ASSERT_EQ(client.blob(kAbortMessage), kWriteDone);
    EXPECT_EQ(client.command(activate), refused);
    EXPECT_EQ(client.bootStatus(), kBootloader);
    FirmwareView v = client.sim.firmware();
    EXPECT_EQ(v.activationCommands, 4u);
    EXPECT_EQ(v.activations, 0u);
    EXPECT_TRUE(client.sim.installedFirmware().empty());
}

TEST_F(Boot, TheDeviceCanTakeSomeStatusReadsToLeaveTheBootloader) {
    SimulatorConfig config;
    config.firmware.bootloaderReadsAfterActivation = 2;
    FirmwareClient slow(config);
    slow.bringToOperate();
    ASSERT_TRUE(slow.sendEntryCode());
    Bytes image = patternImage(1000, 2);
    ASSERT_EQ(slow.transfer(iolink::FIRMWARE_BLOB_ID, image), kWriteDone);
    ASSERT_EQ(slow.command(iolink::ACTIVATE_FIRMWARE_COMMAND), kWriteDone);
    EXPECT_EQ(slow.sim.firmware().readsUntilApplication, 2u);
    EXPECT_EQ(slow.bootStatus(), kBootloader);
    EXPECT_EQ(slow.bootStatus(), kBootloader);
    EXPECT_EQ(slow.bootStatus(), kApplication);
    EXPECT_EQ(slow.bootStatus(), kApplication);
    EXPECT_EQ(slow.sim.installedFirmware(), image);
}

TEST_F(Boot, AnActivationCanRestartTheDevice) {
    SimulatorConfig config;
    config.firmware.activationRestartCycles = 5;
    FirmwareClient restarting(config);
    restarting.bringToOperate();
    ASSERT_TRUE(restarting.sendEntryCode());
    ASSERT_EQ(restarting.transfer(iolink::FIRMWARE_BLOB_ID, patternImage(10)), kWriteDone);
    ASSERT_EQ(restarting.command(iolink::ACTIVATE_FIRMWARE_COMMAND), kWriteDone);
    EXPECT_EQ(restarting.sim.port().phase, PortPhase::NoDevice);
    for (int i = 0; i < 100 && restarting.sim.port().phase != PortPhase::Operate; ++i) restarting.cycle();
    EXPECT_EQ(restarting.sim.port().phase, PortPhase::Operate);
    EXPECT_EQ(restarting.bootStatus(), kApplication);
}

TEST_F(Boot, AResetLeavesTheBootloaderAndDropsTransferAndImage) {
    ASSERT_TRUE(client.sendEntryCode());
    ASSERT_EQ(client.transfer(iolink::FIRMWARE_BLOB_ID, patternImage(100)), kWriteDone);
    ASSERT_EQ(client.blob(startMessage(iolink::FIRMWARE_BLOB_ID)), kWriteDone);
    EXPECT_EQ(client.command(iolink::DEVICE_RESET_COMMAND), kWriteDone);
    EXPECT_EQ(client.bootStatus(), kApplication);
    FirmwareView v = client.sim.firmware();
    EXPECT_EQ(v.resets, 1u);
    EXPECT_FALSE(v.firmwarePending);
    EXPECT_EQ(v.blob.state, BlobState::Idle);
    EXPECT_TRUE(client.sim.installedFirmware().empty());
    ASSERT_TRUE(client.sendEntryCode());
    EXPECT_EQ(client.command(iolink::ACTIVATE_FIRMWARE_COMMAND), writeError(isdu_error::kFunctionTemporarilyUnavailable));
}

TEST_F(Boot, EnteringTheBootloaderDropsATransferUnderWay) {
    ASSERT_EQ(client.blob(startMessage(iolink::VMM_BLOB_ID)), kWriteDone);
    ASSERT_TRUE(client.sendEntryCode());
    EXPECT_EQ(client.sim.firmware().blob.state, BlobState::Idle);
}

TEST_F(Boot, ADeviceCanStartInItsBootloader) {
    SimulatorConfig config;
    config.firmware.startInBootloader = true;
    FirmwareClient stuck(config);
    stuck.bringToOperate();
    EXPECT_EQ(stuck.bootStatus(), kBootloader);
    Bytes image = patternImage(500, 3);
    ASSERT_EQ(stuck.transfer(iolink::FIRMWARE_BLOB_ID, image), kWriteDone);
    ASSERT_EQ(stuck.command(iolink::ACTIVATE_FIRMWARE_COMMAND), kWriteDone);
    EXPECT_EQ(stuck.bootStatus(), kApplication);
    EXPECT_EQ(stuck.sim.installedFirmware(), image);
    EXPECT_EQ(stuck.sim.firmware().bootloaderEntries, 0u);
}

TEST(Identity, VendorAndHardwareIdObjects) {
    struct Case {
        const char* name;
        SimulatorConfig config;
        Bytes vendor;
        Bytes hardware;
    };
    SimulatorConfig other;
    other.device.vendorId = 0x0102;
    other.device.hardwareId = "HW-X 2 ";
    SimulatorConfig wide;
    wide.device.vendorIdObject = 0xFFFFFFFE;
    wide.device.hardwareId = "";
    const Case cases[] = {
        {"defaults", {}, {0x00, 0x00, 0x7E, 0x51}, text("SD200-HW-A1")},
        {"the 16-bit vendor id and a hardware id with a trailing space", other, {0, 0, 0x01, 0x02}, text("HW-X 2 ")},
        {"a 32-bit vendor id object and an empty hardware id", wide, {0xFF, 0xFF, 0xFF, 0xFE}, {}},
    };
    for (const auto& c : cases) {
        FirmwareClient client(c.config);
        client.bringToOperate();
        EXPECT_EQ(client.read(iolink::VENDOR_ID_INDEX, iolink::VENDOR_ID_SUBINDEX), readData(c.vendor)) << c.name;
        EXPECT_EQ(client.read(iolink::HARDWARE_ID_INDEX), readData(c.hardware)) << c.name;
    }
    FirmwareClient client;
    client.bringToOperate();
    EXPECT_EQ(client.read(iolink::VENDOR_ID_INDEX, 0), readError(isdu_error::kSubindexNotAvailable));
    EXPECT_EQ(client.isdu(isduWrite(iolink::VENDOR_ID_INDEX, 1, {0, 0, 0, 1})), writeError(isdu_error::kAccessDenied));
    EXPECT_EQ(client.write(iolink::HARDWARE_ID_INDEX, text("x")), writeError(isdu_error::kAccessDenied));
    // The Direct Parameter page keeps the 16-bit vendor id of the identity.
    Bytes page = client.read(0x0000);
    ASSERT_EQ(page.size(), 5u + 16u);
    EXPECT_EQ(page[4 + 7] << 8 | page[4 + 8], 0x7E51);
}

}  // namespace
}  // namespace iolsim::test
