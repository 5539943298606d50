// Golden bytes of the requests, the decoding of answers and records, and the IO-Link encodings
// of the device's identification page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/ErrorCodes.h"
#include "link/Services.h"

using namespace iolink;

namespace {

std::vector<uint8_t> bytesOf(const FrameBuffer& frame, size_t length) { return {frame.begin(), frame.begin() + length}; }

// A frame from code and payload, checksum appended.
std::vector<uint8_t> answer(uint8_t code, std::vector<uint8_t> payload)
{
    std::vector<uint8_t> frame{code, static_cast<uint8_t>(payload.size() + 3)};
    frame.insert(frame.end(), payload.begin(), payload.end());
    uint8_t sum = 0;
    for (const uint8_t b : frame) {
        sum = static_cast<uint8_t>(sum ^ b);
    }
    frame.push_back(sum);
    return frame;
}

TEST(Requests, FixedFramesHaveTheirGoldenBytes)
{
    FrameBuffer f{};
    EXPECT_EQ(bytesOf(f, buildMasterConfigRequest(f)), (std::vector<uint8_t>{0x02, 0x03, 0x01}));
    EXPECT_EQ(bytesOf(f, buildMasterInfoRequest(f, 5)), (std::vector<uint8_t>{0x00, 0x04, 0x05, 0x01}));
    EXPECT_EQ(bytesOf(f, buildPowerRequest(f, false)), (std::vector<uint8_t>{0x0D, 0x04, 0x00, 0x09}));
    EXPECT_EQ(bytesOf(f, buildPowerRequest(f, true)), (std::vector<uint8_t>{0x0E, 0x04, 0x00, 0x0A}));
    EXPECT_EQ(bytesOf(f, buildReadPortConfig(f, 0)), (std::vector<uint8_t>{0x05, 0x04, 0x00, 0x01}));
    EXPECT_EQ(bytesOf(f, buildIsduResultRequest(f, 0)), (std::vector<uint8_t>{0x0B, 0x04, 0x00, 0x0F}));
    EXPECT_EQ(bytesOf(f, buildEventRequest(f, 0)), (std::vector<uint8_t>{0x0C, 0x04, 0x00, 0x08}));
    EXPECT_EQ(bytesOf(f, buildSetPdLengths(f, 0x0102, 0x0003)),
              (std::vector<uint8_t>{0x01, 0x07, 0x01, 0x02, 0x00, 0x03, 0x06}));
}

TEST(Requests, IsduReadIsEightBytesAndAWriteCarriesItsData)
{
    FrameBuffer f{};
    EXPECT_EQ(bytesOf(f, buildIsduRequest(f, 0, ISDU_READ, 0x1000, 1, nullptr, 0)),
              (std::vector<uint8_t>{0x0A, 0x08, 0x00, 0x01, 0x10, 0x00, 0x01, 0x12}));
    const uint8_t value[] = {0x00, 0x00, 0x01, 0x02}; // 258, most significant first
    const uint8_t length = buildIsduRequest(f, 0, ISDU_WRITE, 0x1000, 1, value, sizeof value);
    EXPECT_EQ(bytesOf(f, length), (std::vector<uint8_t>{0x0A, 0x0C, 0x00, 0x00, 0x10, 0x00, 0x01, 0x00, 0x00, 0x01,
                                                        0x02, 0x14}));
}

TEST(Requests, IsduWriteDataAreLimitedToOneShortFrame)
{
    FrameBuffer f{};
    const std::vector<uint8_t> data(maxIsduWriteData + 1, 0xAA);
    EXPECT_EQ(buildIsduRequest(f, 0, ISDU_WRITE, 1, 0, data.data(), maxIsduWriteData), 255);
    EXPECT_EQ(buildIsduRequest(f, 0, ISDU_WRITE, 1, 0, data.data(), maxIsduWriteData + 1), 0);
}

TEST(Requests, ProcessDataCarriesControlBytesAndZeroedOutputs)
{
    FrameBuffer f{};
    const uint8_t control[] = {0x40, 0xA8};
    EXPECT_EQ(bytesOf(f, buildProcessDataRequest(f, control, 1, 0)),
              (std::vector<uint8_t>{0x03, 0x05, 0x40, 0xA8, 0x03 ^ 0x05 ^ 0x40 ^ 0xA8}));
    f.fill(0xEE);
    ASSERT_EQ(buildProcessDataRequest(f, control, 1, 2), 7);
    EXPECT_EQ(f[4], 0);
    EXPECT_EQ(f[5], 0);
}

TEST(Requests, ProcessDataThatWouldExceed255BytesIsNotBuilt)
{
    FrameBuffer f{};
    f[0] = 0x77;
    const uint8_t control[] = {0, 0};
    EXPECT_EQ(buildProcessDataRequest(f, control, 1, 250), 255);
    f[0] = 0x77;
    EXPECT_EQ(buildProcessDataRequest(f, control, 1, 251), 0);
    EXPECT_EQ(f[0], 0x77) << "the buffer keeps its previous frame";
}

TEST(MasterConfigAnswer, GivesPortCountAndTotals)
{
    const auto frame = answer(0x02, {1, 0x00, 0x01, 0x00, 0x02});
    const auto config = parseMasterConfig(frame.data(), frame.size());
    ASSERT_TRUE(config);
    EXPECT_EQ(config->portCount, 1);
    EXPECT_EQ(config->totalOutputLength, 1);
    EXPECT_EQ(config->totalInputLength, 2);

    auto corrupted = frame;
    corrupted.back() ^= 0xFF;
    EXPECT_FALSE(parseMasterConfig(corrupted.data(), corrupted.size()));
}

struct MasterInfoCase {
    std::string name;
    std::vector<uint8_t> frame;
    uint32_t code;
};

void PrintTo(const MasterInfoCase& c, std::ostream* out) { *out << c.name; }

class MasterInfoAnswer : public testing::TestWithParam<MasterInfoCase> {};

TEST_P(MasterInfoAnswer, IsStoredOrRefusedWithItsCode)
{
    MasterInfo info;
    EXPECT_EQ(parseMasterInfo(GetParam().frame.data(), GetParam().frame.size(), info), GetParam().code);
}

std::vector<uint8_t> textItem(uint8_t item, size_t characters)
{
    std::vector<uint8_t> payload{item};
    payload.insert(payload.end(), characters, 'x');
    return answer(0x00, payload);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MasterInfoAnswer,
    testing::Values(MasterInfoCase{"text64Fits", textItem(0, 64), OK},
                    MasterInfoCase{"text65Refused", textItem(0, 65), ERROR_BUFFER_TOO_SMALL},
                    MasterInfoCase{"serial16Fits", textItem(3, 16), OK},
                    MasterInfoCase{"serial17Refused", textItem(3, 17), ERROR_BUFFER_TOO_SMALL},
                    MasterInfoCase{"oneRevisionFits", answer(0x00, {10, 0x11}), OK},
                    MasterInfoCase{"twoRevisionsRefused", answer(0x00, {10, 0x11, 0x11}), ERROR_BUFFER_TOO_SMALL},
                    MasterInfoCase{"wrongCode", answer(0x01, {0, 'a'}), ERROR_WRONG_ANSWER},
                    MasterInfoCase{"wrongChecksum", std::vector<uint8_t>{0x00, 0x05, 0x00, 'a', 0x00},
                                   ERROR_WRONG_CRC}),
    [](const testing::TestParamInfo<MasterInfoCase>& testCase) { return testCase.param.name; });

TEST(MasterInfoAnswer, TextEndsAtTheFirstZeroAndNumbersAreBigEndian)
{
    MasterInfo info;
    const auto text = answer(0x00, {1, 'S', 'I', 'M', 0, 'z'});
    ASSERT_EQ(parseMasterInfo(text.data(), text.size(), info), OK);
    EXPECT_STREQ(info.texts[1].data(), "SIM");
    const auto id = answer(0x00, {8, 0x01, 0x02, 0x03});
    ASSERT_EQ(parseMasterInfo(id.data(), id.size(), info), OK);
    EXPECT_EQ(info.item8, 0x010203u);
    const auto clear = answer(0x00, {255});
    ASSERT_EQ(parseMasterInfo(clear.data(), clear.size(), info), OK);
    EXPECT_EQ(info.item8, 0u);
    EXPECT_STREQ(info.texts[1].data(), "");
}

// A READ_PORT_CONFIG answer with the given mode, cycle-time word and validation bytes.
std::vector<uint8_t> portRecord(uint8_t mode, uint16_t cycle100us, std::array<uint8_t, 5> validation)
{
    std::vector<uint8_t> r(portConfigRecordLength, 0);
    r[0] = 0x05;
    r[1] = static_cast<uint8_t>(portConfigRecordLength);
    r[3] = mode;
    r[4] = 0x5C;
    r[5] = static_cast<uint8_t>(cycle100us >> 8);
    r[6] = static_cast<uint8_t>(cycle100us);
    r[7] = 2;
    r[9] = 0x31;
    r[10] = 1;
    r[12] = 0x02;
    r[13] = 0x7E;
    r[14] = 0x51;
    r[15] = 0x00;
    r[16] = 0x00;
    r[17] = 0xA1;
    r[18] = 0x1C;
    for (size_t i = 0; i < 16; ++i) {
        r[19 + i] = static_cast<uint8_t>(i + 1);
    }
    std::copy(validation.begin(), validation.end(), r.begin() + 35);
    return r;
}

struct CycleCase {
    uint16_t word;
    uint32_t us;
};

class RecordCycleTime : public testing::TestWithParam<CycleCase> {};

TEST_P(RecordCycleTime, IsClampedTo400To132800Microseconds)
{
    PortConfiguration config;
    PortConfigMemory memory;
    decodePortConfigRecord(portRecord(4, GetParam().word, {}).data(), config, memory);
    EXPECT_EQ(config.cycleTimeUs, GetParam().us);
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordCycleTime,
                         testing::Values(CycleCase{0, 400}, CycleCase{3, 400}, CycleCase{4, 400}, CycleCase{20, 2000},
                                         CycleCase{1328, 132800}, CycleCase{1329, 132800},
                                         CycleCase{0xFFFF, 132800}));

TEST(PortRecordDecoding, TakesFieldsAndKeepsTheBytesItDoesNotInterpret)
{
    PortConfiguration config;
    PortConfigMemory memory;
    decodePortConfigRecord(portRecord(3, 20, {1, 0, 0, 0, 0x10}).data(), config, memory);
    EXPECT_EQ(config.portMode, PORT_MODE_PREOPERATIONAL);
    EXPECT_EQ(config.validationMode, 1);
    EXPECT_EQ(config.vendorId, 0x7E51);
    EXPECT_EQ(config.deviceId, 0xA11Cu);
    EXPECT_EQ(config.inputLength, 2);
    EXPECT_EQ(config.inputFormat, 3);
    EXPECT_EQ(config.inputSupplementLength, 1);
    EXPECT_EQ(config.outputLength, 1);
    EXPECT_EQ(config.outputSupplementLength, 2);
    EXPECT_EQ(memory.modeDetail, 0x5C);
    EXPECT_EQ(memory.identification[15], 16);

    // Written back, the record carries what was read.
    FrameBuffer f{};
    const ProcessDataLayout layout = computeLayout(&config, 1);
    ASSERT_EQ(buildWritePortConfig(f, 0, config, layout, memory), portConfigRecordLength);
    const auto read = portRecord(3, 20, {1, 0, 0, 0, 0x10});
    for (size_t i = 3; i < 40; ++i) {
        if (i == 8 || i == 11) {
            continue; // offsets come from the layout
        }
        EXPECT_EQ(f[i], read[i]) << "byte " << i;
    }
    EXPECT_TRUE(checksumValid(f.data(), f.size()));
}

struct ModeCase {
    int32_t portMode;
    uint8_t code;
    int32_t readBack;
};

class MasterModeCode : public testing::TestWithParam<ModeCase> {};

TEST_P(MasterModeCode, MapsBothWays)
{
    EXPECT_EQ(masterModeCode(GetParam().portMode), GetParam().code);
    EXPECT_EQ(portModeFromMasterCode(GetParam().code), GetParam().readBack);
}

INSTANTIATE_TEST_SUITE_P(Cases, MasterModeCode,
                         testing::Values(ModeCase{0, 0, 0}, ModeCase{1, 3, 1}, ModeCase{2, 4, 2}, ModeCase{3, 2, 3},
                                         ModeCase{4, 1, 4}, ModeCase{7, 0, 0}, ModeCase{-1, 0, 0}));

TEST(MasterModeCode, UnknownCodesReadBackAs255)
{
    EXPECT_EQ(portModeFromMasterCode(5), PORT_MODE_UNKNOWN);
    EXPECT_EQ(portModeFromMasterCode(0xFF), PORT_MODE_UNKNOWN);
}

struct ValidationCase {
    int32_t mode;
    std::array<uint8_t, 5> bytes; // 35..39 as written, starting from 0x77 everywhere
};

class ValidationMode : public testing::TestWithParam<ValidationCase> {};

TEST_P(ValidationMode, WritesItsBytesAndReadsBackToItself)
{
    PortConfiguration config;
    config.portMode = PORT_MODE_PREOPERATIONAL;
    config.validationMode = GetParam().mode;
    PortConfigMemory memory;
    memory.validation = {0x77, 0x77, 0x77, 0x77, 0x77};
    FrameBuffer f{};
    buildWritePortConfig(f, 0, config, computeLayout(&config, 1), memory);
    const std::array<uint8_t, 5> written = {f[35], f[36], f[37], f[38], f[39]};
    EXPECT_EQ(written, GetParam().bytes);

    std::vector<uint8_t> record(f.begin(), f.begin() + portConfigRecordLength);
    record[0] = 0x05;
    PortConfiguration read;
    read.validationMode = 99;
    PortConfigMemory readMemory;
    decodePortConfigRecord(record.data(), read, readMemory);
    if (GetParam().mode != 0) {
        EXPECT_EQ(read.validationMode, GetParam().mode);
    } else {
        EXPECT_EQ(read.validationMode, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ValidationMode,
                         testing::Values(ValidationCase{0, {0, 0x77, 0x77, 0x77, 0x77}},
                                         ValidationCase{1, {1, 0x77, 0x77, 0x77, 0x10}},
                                         ValidationCase{2, {1, 2, 0, 0, 0x11}},
                                         ValidationCase{3, {1, 1, 1, 1, 0x11}},
                                         ValidationCase{4, {1, 1, 1, 0, 0x11}}));

TEST(ValidationMode, OperationalIoLinkNeverChecksTheDevice)
{
    PortConfiguration config;
    config.portMode = PORT_MODE_IOLINK;
    config.validationMode = 3;
    PortConfigMemory memory;
    FrameBuffer f{};
    buildWritePortConfig(f, 0, config, computeLayout(&config, 1), memory);
    EXPECT_EQ(f[35], 0);
    EXPECT_EQ(f[39], 0x11);
}

TEST(ProcessDataLayout, CountsSupplementsIntoTheTotals)
{
    PortConfiguration config;
    config.inputLength = 2;
    config.inputSupplementLength = 1;
    config.outputLength = 4;
    const ProcessDataLayout layout = computeLayout(&config, 1);
    EXPECT_EQ(layout.inputOffset[0], 0);
    EXPECT_EQ(layout.totalInputLength, 3);
    EXPECT_EQ(layout.totalOutputLength, 4);
}

struct EncodingCase {
    uint8_t code;
    uint32_t value;
};

class IdentificationCycleTime : public testing::TestWithParam<EncodingCase> {};

TEST_P(IdentificationCycleTime, DecodesTimeBaseAndMultiplier)
{
    EXPECT_EQ(cycleTimeFromCode(GetParam().code), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Cases, IdentificationCycleTime,
                         testing::Values(EncodingCase{0x00, 400}, EncodingCase{0x02, 400}, EncodingCase{0x04, 400},
                                         EncodingCase{0x05, 500}, EncodingCase{0x14, 2000},
                                         EncodingCase{0x45, 8400}, EncodingCase{0x85, 40000},
                                         EncodingCase{0xBF, 132800}, EncodingCase{0xC5, 400}));

class IdentificationLength : public testing::TestWithParam<EncodingCase> {};

TEST_P(IdentificationLength, DecodesBitAndByteCounts)
{
    EXPECT_EQ(processDataLengthFromCode(GetParam().code), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Cases, IdentificationLength,
                         testing::Values(EncodingCase{0x00, 0}, EncodingCase{0x01, 1}, EncodingCase{0x08, 1},
                                         EncodingCase{0x09, 2}, EncodingCase{0x10, 2}, EncodingCase{0x1F, 4},
                                         EncodingCase{0x81, 2}, EncodingCase{0x9E, 31}, EncodingCase{0x9F, 32}));

struct IsduResultCase {
    std::string name;
    std::vector<uint8_t> payload; // port, status, ...
    uint16_t ioLinkErrorCode;
    bool hasData;
    uint8_t dataLength;
};

void PrintTo(const IsduResultCase& c, std::ostream* out) { *out << c.name; }

class IsduResultAnswer : public testing::TestWithParam<IsduResultCase> {};

TEST_P(IsduResultAnswer, FollowsTheResultStatus)
{
    const auto frame = answer(0x0B, GetParam().payload);
    const IsduResult r = parseIsduResult(frame.data());
    EXPECT_EQ(r.ioLinkErrorCode, GetParam().ioLinkErrorCode);
    EXPECT_EQ(r.hasData, GetParam().hasData);
    EXPECT_EQ(r.dataLength, GetParam().dataLength);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsduResultAnswer,
    testing::Values(IsduResultCase{"writeDone", {0, 1}, 0, false, 0},
                    IsduResultCase{"finished", {0, 0}, 0, false, 0},
                    IsduResultCase{"writeError", {0, 2, 0x80, 0x23}, 0x8023, false, 0},
                    IsduResultCase{"readError", {0, 4, 0x80, 0x11}, 0x8011, false, 0},
                    IsduResultCase{"readData", {0, 3, 0x01, 0x02}, 0, true, 2},
                    IsduResultCase{"readNoData", {0, 3}, 0, true, 0},
                    IsduResultCase{"undefinedStatus", {0, 5, 0x12, 0x34}, 0, false, 0}),
    [](const testing::TestParamInfo<IsduResultCase>& testCase) { return testCase.param.name; });

TEST(ErrorCodeText, NamesEveryCodeAndUnknownOnes)
{
    EXPECT_EQ(errorCodeText(0), "OK");
    EXPECT_EQ(errorCodeText(5), "ERROR_CANT_INITIALIZE_PERIPHERAL");
    EXPECT_EQ(errorCodeText(13), "ERROR_MASTER_NOT_CONNECTED");
    EXPECT_EQ(errorCodeText(21), "SERVICE_NOT_SUPPORTED");
    EXPECT_EQ(errorCodeText(22), "Unknown Error Code");
    EXPECT_EQ(errorCodeText(0xFFFFFFFF), "Unknown Error Code");
}

} // namespace
