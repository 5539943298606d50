// Each fault knob of the firmware-update objects (FaultKnobs::firmware), as a client on the
// line sees it.
#include <gtest/gtest.h>

#include "FirmwareClient.h"

namespace iolsim::test {
namespace {

const Bytes kApplication = readData({0});
const Bytes kBootloader = readData({1});
constexpr uint16_t kRefusal = isdu_error::kFunctionTemporarilyUnavailable;  // the default refusalError

class FirmwareKnobs : public ::testing::Test {
protected:
    void SetUp() override { client.bringToOperate(); }
    void knobs(const std::function<void(FirmwareFaults&)>& change) {
        client.sim.changeFaults([&](FaultKnobs& f) { change(f.firmware); });
    }
    FirmwareClient client;
};

TEST_F(FirmwareKnobs, ARefusedSegmentAnswersTheRefusalInEveryTransferThatReachesIt) {
    knobs([](FirmwareFaults& f) {
        f.refuseBlobSegment = 2;
        f.refusalError = 0x8082;
    });
    Bytes data = patternImage(199 * 4 + 50, 1);  // 5 segments: 4 full, 1 last
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(client.transfer(0x1000, data), writeError(0x8082)) << attempt;
        BlobView v = client.sim.firmware().blob;
        EXPECT_EQ(v.fullSegments, 2u) << attempt;
        EXPECT_EQ(v.state, BlobState::Receiving) << attempt;
        EXPECT_EQ(client.blob(kAbortMessage), kWriteDone);
    }
    knobs([](FirmwareFaults& f) { f.refuseBlobSegment = kNoSegment; });
    EXPECT_EQ(client.transfer(0x1000, data), kWriteDone);
    EXPECT_EQ(client.sim.completedBlob(0x1000), data);
}

TEST_F(FirmwareKnobs, ARefusedSegmentNumberIsCountedWithinTheTransferNotTheCounter) {
    knobs([](FirmwareFaults& f) { f.refuseBlobSegment = 17; });  // control byte 0x21
    Bytes data = patternImage(199 * 20, 2);
    EXPECT_EQ(client.transfer(0x1000, data), writeError(kRefusal));
    EXPECT_EQ(client.sim.firmware().blob.fullSegments, 17u);
}

TEST_F(FirmwareKnobs, EachBlobCommandCanBeRefused) {
    struct Case {
        uint8_t command;
        BlobState stateAfter;
    };
    const Case cases[] = {
        {0xF1, BlobState::Idle},
        {0x30, BlobState::Receiving},
        {0x40, BlobState::LastReceived},
        {0xF2, BlobState::CrcChecked},
    };
    Bytes data = patternImage(199 * 2 + 3, 3);
    for (const auto& c : cases) {
        FirmwareClient fresh;
        fresh.bringToOperate();
        fresh.sim.changeFaults([&](FaultKnobs& f) { f.firmware.refuseBlobCommand = c.command; });
        EXPECT_EQ(fresh.transfer(0x1000, data), writeError(kRefusal)) << int(c.command);
        EXPECT_EQ(fresh.sim.firmware().blob.state, c.stateAfter) << int(c.command);
        EXPECT_FALSE(fresh.sim.completedBlob(0x1000).has_value()) << int(c.command);
    }
    // A refused abort leaves the transfer where it was.
    knobs([](FirmwareFaults& f) { f.refuseBlobCommand = 0xF0; });
    ASSERT_EQ(client.blob(startMessage(0x1000)), kWriteDone);
    EXPECT_EQ(client.blob(kAbortMessage), writeError(kRefusal));
    EXPECT_EQ(client.sim.firmware().blob.state, BlobState::Started);
}

TEST_F(FirmwareKnobs, TheCrcCanNeverMatch) {
    knobs([](FirmwareFaults& f) { f.blobCrcMismatch = true; });
    Bytes data = text("abc");
    EXPECT_EQ(client.transfer(0x1000, data), writeError(blob_error::kCrcMismatch));
    EXPECT_EQ(client.sim.firmware().blob.state, BlobState::LastReceived);
    EXPECT_EQ(client.blob(kFinishMessage), writeError(blob_error::kSequence));
    EXPECT_FALSE(client.sim.completedBlob(0x1000).has_value());
}

TEST_F(FirmwareKnobs, TheBlobInformationCanBeWrong) {
    struct Case {
        const char* name;
        BlobInfoFault fault;
        Bytes answer;
    };
    const Case cases[] = {
        {"correct", BlobInfoFault::None, readData({0x11, 0x00, 0x10, 0x00, 0x00, 200})},
        {"five bytes", BlobInfoFault::FiveBytes, readData({0x11, 0x00, 0x10, 0x00, 0x00})},
        {"seven bytes", BlobInfoFault::SevenBytes, readData({0x11, 0x00, 0x10, 0x00, 0x00, 200, 0x00})},
        {"wrong first byte", BlobInfoFault::WrongTag, readData({0x12, 0x00, 0x10, 0x00, 0x00, 200})},
        {"segment length 0", BlobInfoFault::SegmentLength0, readData({0x11, 0x00, 0x10, 0x00, 0x00, 0})},
        {"segment length 1", BlobInfoFault::SegmentLength1, readData({0x11, 0x00, 0x10, 0x00, 0x00, 1})},
        {"read error", BlobInfoFault::ReadError, readError(kRefusal)},
    };
    for (const auto& c : cases) {
        FirmwareClient fresh;
        fresh.bringToOperate();
        fresh.sim.changeFaults([&](FaultKnobs& f) { f.firmware.blobInfo = c.fault; });
        ASSERT_EQ(fresh.blob(startMessage(0x1000)), kWriteDone) << c.name;
        EXPECT_EQ(fresh.read(kBlobIndex), c.answer) << c.name;
    }
}

TEST_F(FirmwareKnobs, ActivationCanBeRefusedSomeTimes) {
    knobs([](FirmwareFaults& f) { f.refuseActivations = 2; });
    ASSERT_TRUE(client.sendEntryCode());
    Bytes image = patternImage(1000, 4);
    ASSERT_EQ(client.transfer(iolink::FIRMWARE_BLOB_ID, image), kWriteDone);
    EXPECT_EQ(client.command(iolink::ACTIVATE_FIRMWARE_COMMAND), writeError(kRefusal));
    EXPECT_EQ(client.sim.faults().firmware.refuseActivations, 1u);
    // Changing another knob keeps the count where it is.
    client.sim.changeFaults([](FaultKnobs& f) { f.lateResultCycles = 0; });
    EXPECT_EQ(client.sim.faults().firmware.refuseActivations, 1u);
    EXPECT_EQ(client.command(iolink::ACTIVATE_FIRMWARE_COMMAND), writeError(kRefusal));
    EXPECT_EQ(client.bootStatus(), kBootloader);
    EXPECT_EQ(client.command(iolink::ACTIVATE_FIRMWARE_COMMAND), kWriteDone);
    EXPECT_EQ(client.bootStatus(), kApplication);
    EXPECT_EQ(client.sim.installedFirmware(), image);
    FirmwareView v = client.sim.firmware();
    EXPECT_EQ(v.activationCommands, 3u);
    EXPECT_EQ(v.activations, 1u);
    EXPECT_EQ(client.sim.faults().firmware.refuseActivations, 0u);
}

TEST_F(FirmwareKnobs, TheDeviceCanStayInItsBootloaderAfterActivation) {
    knobs([](FirmwareFaults& f) { f.stayInBootloader = true; });
    ASSERT_TRUE(client.sendEntryCode());
    Bytes image = patternImage(1000, 5);
    ASSERT_EQ(client.transfer(iolink::FIRMWARE_BLOB_ID, image), kWriteDone);
    EXPECT_EQ(client.command(iolink::ACTIVATE_FIRMWARE_COMMAND), kWriteDone);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(client.bootStatus(), kBootloader) << i;
    EXPECT_TRUE(client.sim.installedFirmware().empty());
    EXPECT_TRUE(client.sim.firmware().firmwarePending);
    knobs([](FirmwareFaults& f) { f.stayInBootloader = false; });
    EXPECT_EQ(client.command(iolink::ACTIVATE_FIRMWARE_COMMAND), kWriteDone);
    EXPECT_EQ(client.bootStatus(), kApplication);
    EXPECT_EQ(client.sim.installedFirmware(), image);
}

TEST_F(FirmwareKnobs, TheBootloaderEntryCanBeRefused) {
    knobs([](FirmwareFaults& f) { f.refuseBootloaderEntry = true; });
    EXPECT_TRUE(client.sendEntryCode());  // every byte accepted
    for (int i = 0; i < 4; ++i) EXPECT_EQ(client.bootStatus(), kApplication) << i;
    EXPECT_EQ(client.sim.firmware().bootloaderEntries, 0u);
    knobs([](FirmwareFaults& f) { f.refuseBootloaderEntry = false; });
    EXPECT_TRUE(client.sendEntryCode());
    EXPECT_EQ(client.bootStatus(), kBootloader);
}

TEST_F(FirmwareKnobs, TheBootModeStatusCanBeWrong) {
    struct Case {
        const char* name;
        BootStatusFault fault;
        Bytes answer;
    };
    const Case cases[] = {
        {"correct", BootStatusFault::None, kApplication},
        {"read error", BootStatusFault::ReadError, readError(0x8011)},
        {"no byte", BootStatusFault::NoData, readData({})},
        {"neither 0 nor 1", BootStatusFault::InvalidValue, readData({2})},
    };
    for (const auto& c : cases) {
        knobs([&](FirmwareFaults& f) {
            f.bootStatus = c.fault;
            f.refusalError = 0x8011;
        });
        EXPECT_EQ(client.bootStatus(), c.answer) << c.name;
    }
}

}  // namespace
}  // namespace iolsim::test
