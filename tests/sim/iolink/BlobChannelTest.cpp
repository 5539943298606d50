// The device's end of the BLOB transfer, frame by frame through the master:
// the CRC, whole transfers with the counter wrapping, and the ISDU errors for commands that
// come out of order or carry wrong data.
#include <gtest/gtest.h>

#include "FirmwareClient.h"

namespace iolsim::test {
namespace {

TEST(BlobCrc, CheckValuesOfPart41) {
    struct Case {
        const char* data;
        uint32_t crc;
    };
    const Case cases[] = {
        {"123456789", 0xA10AC412},
        {"abc", 0x3A647AEF},  // 979663599, the library's log line "CRC 979663599"
        {"", 0x00000001},
    };
    for (const auto& c : cases) {
        Bytes data = text(c.data);
        EXPECT_EQ(blobCrc(data), c.crc) << c.data;
        EXPECT_EQ(referenceCrc(data), c.crc) << c.data;
    }
    Bytes image = patternImage(70000, 9);
    EXPECT_EQ(blobCrc(image), referenceCrc(image));
}

class Blob : public ::testing::Test {
protected:
    void SetUp() override { client.bringToOperate(); }
    // Start and information read, with the default limits.
    void begin(uint16_t id = iolink::VMM_BLOB_ID) {
        ASSERT_EQ(client.blob(startMessage(id)), kWriteDone);
        ASSERT_EQ(client.read(kBlobIndex), readData(infoAnswer(1024 * 1024, 200)));
    }
    FirmwareClient client;
};

TEST_F(Blob, A64KiBImageArrivesByteForByteWithTheCounterWrapping) {
    const Bytes image = patternImage(64 * 1024, 3);
    client.sim.parameters().clearHistory();
    ASSERT_EQ(client.transfer(iolink::VMM_BLOB_ID, image), kWriteDone);

    auto stored = client.sim.completedBlob(iolink::VMM_BLOB_ID);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->size(), image.size());
    EXPECT_TRUE(*stored == image);
    EXPECT_FALSE(client.sim.completedBlob(iolink::FIRMWARE_BLOB_ID).has_value());

    // 65536 bytes in segments of 199: 329 full ones and a last one of 65536 - 329 * 199 = 65.
    std::vector<uint8_t> controls;
    std::size_t lastLength = 0;
    for (const auto& e : client.sim.parameters().history()) {
        if (e.request.index != kBlobIndex || !e.request.write) continue;
        controls.push_back(e.request.data[0]);
        if (e.request.data[0] == 0x30) lastLength = e.request.data.size() - 1;
        EXPECT_EQ(e.answer.error, isdu_error::kNone);
    }
    ASSERT_EQ(controls.size(), 1u + 329u + 1u + 2u);
    EXPECT_EQ(controls.front(), 0xF1);
    for (std::size_t i = 0; i < 329; ++i) ASSERT_EQ(controls[1 + i], 0x20 | (i & 0x0F)) << i;
    EXPECT_EQ(controls[16 + 1], 0x20);  // the 17th full segment
    EXPECT_EQ(controls[330], 0x30);
    EXPECT_EQ(controls[331], 0x40);
    EXPECT_EQ(controls[332], 0xF2);
    EXPECT_EQ(lastLength, 65u);

    BlobView v = client.sim.firmware().blob;
    EXPECT_EQ(v.state, BlobState::Idle);
    EXPECT_EQ(v.started, 1u);
    EXPECT_EQ(v.completed, 1u);
    EXPECT_EQ(v.errors, 0u);
}

TEST_F(Blob, SegmentPlansOfEverySizeComplete) {
    // Segment length 5 (4 data bytes), as a 10-byte BLOB goes out (10 bytes: 0x20, 0x21,
    // then 0x30 with 2 bytes).
    client.sim.bootloader().setBlobLimits({1000, 5});
    const std::size_t sizes[] = {1, 3, 4, 5, 10, 64, 65, 68, 69, 1000};
    for (std::size_t size : sizes) {
        Bytes image = patternImage(size, static_cast<uint32_t>(size));
        ASSERT_EQ(client.transfer(0x0123, image), kWriteDone) << size;
        EXPECT_EQ(client.sim.completedBlob(0x0123), image) << size;
    }
}

TEST_F(Blob, TheLastCompletedBlobIsKeptPerId) {
    Bytes a = patternImage(500, 1), b = patternImage(300, 2), c = patternImage(10, 3);
    ASSERT_EQ(client.transfer(0x1000, a), kWriteDone);
    ASSERT_EQ(client.transfer(0x0007, b), kWriteDone);
    ASSERT_EQ(client.transfer(0x1000, c), kWriteDone);
    EXPECT_EQ(client.sim.completedBlob(0x1000), c);
    EXPECT_EQ(client.sim.completedBlob(0x0007), b);
    EXPECT_EQ(client.sim.completedBlob(0x0008), std::nullopt);
}

TEST_F(Blob, AnEmptyLastSegmentMakesAnEmptyBlob) {
    begin();
    EXPECT_EQ(client.blob({0x30}), kWriteDone);
    EXPECT_EQ(client.blob(crcMessage(0x00000001)), kWriteDone);
    EXPECT_EQ(client.blob(kFinishMessage), kWriteDone);
    EXPECT_EQ(client.sim.completedBlob(iolink::VMM_BLOB_ID), Bytes{});
}

TEST_F(Blob, AWrongCounterIsAnErrorAndTheRightOneStillFollows) {
    begin();
    Bytes data = patternImage(199 * 3, 5);
    ASSERT_EQ(client.blob(segmentMessage(0, data, 0, 199)), kWriteDone);
    EXPECT_EQ(client.blob(segmentMessage(2, data, 199, 398)), writeError(blob_error::kCounter));
    EXPECT_EQ(client.blob(segmentMessage(0, data, 199, 398)), writeError(blob_error::kCounter));
    EXPECT_EQ(client.sim.firmware().blob.receivedBytes, 199u);
    ASSERT_EQ(client.blob(segmentMessage(1, data, 199, 398)), kWriteDone);
    ASSERT_EQ(client.blob(lastSegmentMessage(data, 398, 597)), kWriteDone);
    ASSERT_EQ(client.blob(crcMessage(referenceCrc(data))), kWriteDone);
    ASSERT_EQ(client.blob(kFinishMessage), kWriteDone);
    EXPECT_EQ(client.sim.completedBlob(iolink::VMM_BLOB_ID), data);
}

TEST_F(Blob, TheCounterWrapsAfterSixteenSegments) {
    begin();
    Bytes data = patternImage(199 * 17, 6);
    for (uint32_t i = 0; i < 16; ++i)
        ASSERT_EQ(client.blob(segmentMessage(i, data, i * 199, (i + 1) * 199)), kWriteDone) << i;
    // Segment 16 must carry 0x20 again; 0x2F + 1 does not exist as a control byte.
    Bytes seventeenth = segmentMessage(16, data, 16 * 199, 17 * 199);
    EXPECT_EQ(seventeenth[0], 0x20);
    Bytes wrong = seventeenth;
    wrong[0] = 0x2F;
    EXPECT_EQ(client.blob(wrong), writeError(blob_error::kCounter));
    EXPECT_EQ(client.blob(seventeenth), kWriteDone);
    EXPECT_EQ(client.sim.firmware().blob.fullSegments, 17u);
}

TEST_F(Blob, AWrongCrcIsRefusedAndFinishThenToo) {
    begin();
    Bytes data = text("abc");
    ASSERT_EQ(client.blob(lastSegmentMessage(data, 0, 3)), kWriteDone);
    EXPECT_EQ(client.blob(crcMessage(0x3A647AEE)), writeError(blob_error::kCrcMismatch));
    EXPECT_EQ(client.blob(kFinishMessage), writeError(blob_error::kSequence));
    EXPECT_FALSE(client.sim.completedBlob(iolink::VMM_BLOB_ID).has_value());
    // The right CRC is still taken.
    EXPECT_EQ(client.blob(crcMessage(0x3A647AEF)), kWriteDone);
    EXPECT_EQ(client.blob(kFinishMessage), kWriteDone);
    EXPECT_EQ(client.sim.completedBlob(iolink::VMM_BLOB_ID), data);
}

TEST_F(Blob, AbortDropsTheTransfer) {
    Bytes old = patternImage(50, 1);
    ASSERT_EQ(client.transfer(iolink::VMM_BLOB_ID, old), kWriteDone);
    begin();
    Bytes data = patternImage(199 * 2, 7);
    ASSERT_EQ(client.blob(segmentMessage(0, data, 0, 199)), kWriteDone);
    EXPECT_EQ(client.blob(kAbortMessage), kWriteDone);
    BlobView v = client.sim.firmware().blob;
    EXPECT_EQ(v.state, BlobState::Idle);
    EXPECT_EQ(v.receivedBytes, 0u);
    EXPECT_EQ(v.aborted, 1u);
    EXPECT_EQ(client.blob(segmentMessage(1, data, 199, 398)), writeError(blob_error::kSequence));
    EXPECT_EQ(client.read(kBlobIndex), readError(blob_error::kSequence));
    // The BLOB completed before stays; an abort with nothing under way is harmless.
    EXPECT_EQ(client.sim.completedBlob(iolink::VMM_BLOB_ID), old);
    EXPECT_EQ(client.blob(kAbortMessage), kWriteDone);
    EXPECT_EQ(client.sim.firmware().blob.aborted, 1u);
    // A new transfer starts from scratch.
    ASSERT_EQ(client.transfer(iolink::VMM_BLOB_ID, data), kWriteDone);
    EXPECT_EQ(client.sim.completedBlob(iolink::VMM_BLOB_ID), data);
}

TEST_F(Blob, AStartDuringATransferBeginsANewOne) {
    begin(0x0042);
    Bytes data = patternImage(199 * 2, 8);
    ASSERT_EQ(client.blob(segmentMessage(0, data, 0, 199)), kWriteDone);
    ASSERT_EQ(client.transfer(0x0043, data), kWriteDone);
    EXPECT_EQ(client.sim.completedBlob(0x0043), data);
    EXPECT_FALSE(client.sim.completedBlob(0x0042).has_value());
}

// Where the transfer stands before the command under test.
enum class Stage { Idle, Started, Receiving, LastReceived, CrcChecked };

TEST_F(Blob, CommandsOutOfOrderOrMalformedAnswerAnIsduError) {
    const Bytes data = text("abc");
    struct Case {
        const char* name;
        Stage stage;
        bool write;
        uint8_t subindex;
        Bytes message;
        Bytes answer;
    };
    const Bytes segment0{0x20, 1, 2, 3};
    const Case cases[] = {
        {"info read with nothing started", Stage::Idle, false, 0, {}, readError(blob_error::kSequence)},
        {"segment with nothing started", Stage::Idle, true, 0, segment0, writeError(blob_error::kSequence)},
        {"last segment with nothing started", Stage::Idle, true, 0, {0x30, 1}, writeError(blob_error::kSequence)},
        {"crc with nothing started", Stage::Idle, true, 0, crcMessage(1), writeError(blob_error::kSequence)},
        {"finish with nothing started", Stage::Idle, true, 0, kFinishMessage, writeError(blob_error::kSequence)},
        {"abort with nothing started", Stage::Idle, true, 0, kAbortMessage, kWriteDone},
        {"segment before the information was read", Stage::Started, true, 0, segment0, writeError(blob_error::kSequence)},
        {"last segment before the information", Stage::Started, true, 0, {0x30, 1}, writeError(blob_error::kSequence)},
        {"crc before the last segment", Stage::Receiving, true, 0, crcMessage(1), writeError(blob_error::kSequence)},
        {"finish before the last segment", Stage::Receiving, true, 0, kFinishMessage, writeError(blob_error::kSequence)},
        {"segment after the last one", Stage::LastReceived, true, 0, segment0, writeError(blob_error::kSequence)},
        {"second last segment", Stage::LastReceived, true, 0, {0x30, 4}, writeError(blob_error::kSequence)},
        {"finish before the crc", Stage::LastReceived, true, 0, kFinishMessage, writeError(blob_error::kSequence)},
        {"segment after the crc", Stage::CrcChecked, true, 0, segment0, writeError(blob_error::kSequence)},
        {"second crc", Stage::CrcChecked, true, 0, crcMessage(0x3A647AEF), writeError(blob_error::kSequence)},
        {"information read again is fine", Stage::Receiving, false, 0, {}, readData(infoAnswer(1024 * 1024, 200))},
        {"empty write", Stage::Receiving, true, 0, {}, writeError(blob_error::kTooShort)},
        {"unknown control byte", Stage::Receiving, true, 0, {0x55, 1}, writeError(blob_error::kUnknownCommand)},
        {"0x31 is no segment", Stage::Receiving, true, 0, {0x31, 1}, writeError(blob_error::kUnknownCommand)},
        {"full segment without data", Stage::Receiving, true, 0, {0x20}, writeError(blob_error::kTooShort)},
        {"segment of 200 data bytes", Stage::Receiving, true, 0, Bytes(201, 0x20), writeError(blob_error::kTooLong)},
        {"last segment of 200 data bytes", Stage::Receiving, true, 0, [] { Bytes b(201, 7); b[0] = 0x30; return b; }(),
         writeError(blob_error::kTooLong)},
        {"start with one id byte", Stage::Receiving, true, 0, {0xF1, 0x10}, writeError(blob_error::kTooShort)},
        {"start with three id bytes", Stage::Receiving, true, 0, {0xF1, 0x10, 0, 0}, writeError(blob_error::kTooLong)},
        {"crc of three bytes", Stage::LastReceived, true, 0, {0x40, 1, 2, 3}, writeError(blob_error::kTooShort)},
        {"crc of five bytes", Stage::LastReceived, true, 0, {0x40, 1, 2, 3, 4, 5}, writeError(blob_error::kTooLong)},
        {"finish with data", Stage::CrcChecked, true, 0, {0xF2, 0}, writeError(blob_error::kTooLong)},
        {"subindex 1", Stage::Receiving, true, 1, segment0, writeError(isdu_error::kSubindexNotAvailable)},
    };
    for (const auto& c : cases) {
        FirmwareClient fresh;
        fresh.bringToOperate();
        if (c.stage != Stage::Idle) {
            ASSERT_EQ(fresh.blob(startMessage(0x1000)), kWriteDone) << c.name;
        }
        if (c.stage >= Stage::Receiving) {
            ASSERT_EQ(fresh.read(kBlobIndex).size(), 11u) << c.name;
        }
        if (c.stage >= Stage::LastReceived) {
            ASSERT_EQ(fresh.blob(lastSegmentMessage(data, 0, 3)), kWriteDone) << c.name;
        }
        if (c.stage >= Stage::CrcChecked) {
            ASSERT_EQ(fresh.blob(crcMessage(0x3A647AEF)), kWriteDone) << c.name;
        }
        Bytes answer = c.write ? fresh.isdu(isduWrite(kBlobIndex, c.subindex, c.message))
                               : fresh.isdu(isduRead(kBlobIndex, c.subindex));
        EXPECT_EQ(answer, c.answer) << c.name;
        EXPECT_FALSE(fresh.sim.completedBlob(0x1000).has_value()) << c.name;
    }
}

TEST_F(Blob, ABlobOfTheMaximumSizeIsTakenOneByteMoreIsNot) {
    client.sim.bootloader().setBlobLimits({10, 5});
    Bytes exact = patternImage(10, 1);
    ASSERT_EQ(client.transfer(0x1000, exact), kWriteDone);
    EXPECT_EQ(client.sim.completedBlob(0x1000), exact);
    Bytes over = patternImage(11, 2);
    EXPECT_EQ(client.transfer(0x1000, over), writeError(blob_error::kTooLong));
    EXPECT_EQ(client.sim.firmware().blob.receivedBytes, 8u);  // the last segment was not taken
}

TEST_F(Blob, TheInformationAnswersTheConfiguredLimits) {
    SimulatorConfig config;
    config.firmware.blob = {0x00ABCDEF, 247};
    FirmwareClient custom(config);
    custom.bringToOperate();
    ASSERT_EQ(custom.blob(startMessage(7)), kWriteDone);
    EXPECT_EQ(custom.read(kBlobIndex), readData({0x11, 0x00, 0xAB, 0xCD, 0xEF, 247}));
    // A segment of 246 data bytes fits one library write frame (at most 247 data bytes).
    Bytes data = patternImage(246 * 2 + 1, 4);
    ASSERT_EQ(custom.transfer(7, data), kWriteDone);
    EXPECT_EQ(custom.sim.completedBlob(7), data);
}

TEST_F(Blob, AFirmwareBlobNeedsTheBootloaderUnlessConfiguredOtherwise) {
    EXPECT_EQ(client.blob(startMessage(iolink::FIRMWARE_BLOB_ID)), writeError(blob_error::kSequence));
    EXPECT_EQ(client.sim.firmware().blob.started, 0u);

    SimulatorConfig config;
    config.firmware.firmwareBlobNeedsBootloader = false;
    FirmwareClient anywhere(config);
    anywhere.bringToOperate();
    Bytes image = patternImage(300, 1);
    ASSERT_EQ(anywhere.transfer(iolink::FIRMWARE_BLOB_ID, image), kWriteDone);
    EXPECT_EQ(anywhere.sim.completedBlob(iolink::FIRMWARE_BLOB_ID), image);
    EXPECT_TRUE(anywhere.sim.firmware().firmwarePending);
}

}  // namespace
}  // namespace iolsim::test
