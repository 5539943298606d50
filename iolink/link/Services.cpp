#include "link/Services.h"

#include <algorithm>
#include <cstring>

#include "link/ErrorCodes.h"

namespace iolink {

namespace {

void putBigEndian16(uint8_t* at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}

uint16_t bigEndian16(const uint8_t* at) { return static_cast<uint16_t>((at[0] << 8) | at[1]); }

// Validation bytes 35..39 of the record.
enum : size_t { VALIDATION_FLAG = 0, DETAIL_A = 1, DETAIL_B = 2, DETAIL_C = 3, REVISION = 4 };
constexpr uint8_t revision10 = 0x10;
constexpr uint8_t revision11 = 0x11;

void applyValidationMode(int32_t mode, std::array<uint8_t, 5>& v)
{
    switch (mode) {
    case 0: v[VALIDATION_FLAG] = 0; break;
    case 1: v[VALIDATION_FLAG] = 1; v[REVISION] = revision10; break;
    case 2: v = {1, 2, 0, 0, revision11}; break;
    case 3: v = {1, 1, 1, 1, revision11}; break;
    case 4: v = {1, 1, 1, 0, revision11}; break;
    default: break; // not a validation choice: the bytes go out as last seen
    }
}

int32_t validationModeFromRecord(const uint8_t* v, int32_t previous)
{
    if (v[VALIDATION_FLAG] == 0) {
        return 0;
    }
    if (v[VALIDATION_FLAG] != 1) {
        return previous;
    }
    if (v[REVISION] == revision10) {
        return 1;
    }
    if (v[REVISION] != revision11) {
        return previous;
    }
    if (v[DETAIL_A] == 0 || v[DETAIL_A] == 2) {
        return 2;
    }
    if (v[DETAIL_A] == 1 && v[DETAIL_B] != 0) {
        return v[DETAIL_C] != 0 ? 3 : 4;
    }
    return previous;
}

uint8_t buildPortRequest(FrameBuffer& frame, uint8_t code, uint8_t port)
{
    frame[0] = code;
    frame[2] = port;
    return finishFrame(frame, 4);
}

} // namespace

ProcessDataLayout computeLayout(const PortConfiguration* ports, size_t portCount)
{
    ProcessDataLayout layout;
    uint32_t input = 0;
    uint32_t output = 0;
    for (size_t p = 0; p < portCount && p < maxPorts; ++p) {
        layout.inputOffset[p] = static_cast<uint8_t>(input);
        layout.outputOffset[p] = static_cast<uint8_t>(output);
        input += ports[p].inputLength + ports[p].inputSupplementLength;
        output += ports[p].outputLength + ports[p].outputSupplementLength;
    }
    layout.totalInputLength = static_cast<uint16_t>(input);
    layout.totalOutputLength = static_cast<uint16_t>(output);
    return layout;
}

uint32_t clampCycleTimeUs(uint64_t cycleTimeUs)
{
    return static_cast<uint32_t>(std::clamp<uint64_t>(cycleTimeUs, minCycleTimeUs, maxCycleTimeUs));
}

uint8_t masterModeCode(int32_t portMode)
{
    switch (portMode) {
    case PORT_MODE_PREOPERATIONAL: return 3;
    case PORT_MODE_IOLINK: return 4;
    case PORT_MODE_DIGITAL_INPUT: return 2;
    case PORT_MODE_DIGITAL_OUTPUT: return 1;
    default: return 0;
    }
}

int32_t portModeFromMasterCode(uint8_t code)
{
    switch (code) {
    case 0: return PORT_MODE_INACTIVE;
    case 1: return PORT_MODE_DIGITAL_OUTPUT;
    case 2: return PORT_MODE_DIGITAL_INPUT;
    case 3: return PORT_MODE_PREOPERATIONAL;
    case 4: return PORT_MODE_IOLINK;
    default: return PORT_MODE_UNKNOWN;
    }
}

uint8_t buildWritePortConfig(FrameBuffer& frame, uint8_t port, const PortConfiguration& config,
                             const ProcessDataLayout& layout, PortConfigMemory& memory)
{
    const size_t p = port < maxPorts ? port : 0;
    frame[0] = WRITE_PORT_CONFIG;
    frame[2] = port;
    frame[3] = masterModeCode(config.portMode);
    frame[4] = memory.modeDetail;
    putBigEndian16(&frame[5], clampCycleTimeUs(config.cycleTimeUs) / 100);
    frame[7] = config.inputLength;
    frame[8] = layout.inputOffset[p];
    frame[9] = static_cast<uint8_t>(((config.inputFormat & 0x0F) << 4) | (config.inputSupplementLength & 0x0F));
    frame[10] = config.outputLength;
    frame[11] = layout.outputOffset[p];
    frame[12] = static_cast<uint8_t>(config.outputSupplementLength & 0x0F);
    putBigEndian16(&frame[13], config.vendorId);
    frame[15] = static_cast<uint8_t>(config.deviceId >> 24);
    frame[16] = static_cast<uint8_t>(config.deviceId >> 16);
    frame[17] = static_cast<uint8_t>(config.deviceId >> 8);
    frame[18] = static_cast<uint8_t>(config.deviceId);
    std::copy(memory.identification.begin(), memory.identification.end(), &frame[19]);
    if (config.portMode == PORT_MODE_IOLINK) {
        // Operational IO-Link never checks the device.
        memory.validation[VALIDATION_FLAG] = 0;
        memory.validation[REVISION] = revision11;
    } else {
        applyValidationMode(config.validationMode, memory.validation);
    }
    std::copy(memory.validation.begin(), memory.validation.end(), &frame[35]);
    return finishFrame(frame, static_cast<uint8_t>(portConfigRecordLength));
}

void decodePortConfigRecord(const uint8_t* record, PortConfiguration& config, PortConfigMemory& memory)
{
    config.portMode = portModeFromMasterCode(record[3]);
    memory.modeDetail = record[4];
    config.cycleTimeUs = clampCycleTimeUs(uint64_t{bigEndian16(&record[5])} * 100);
    config.inputLength = record[7];
    config.inputFormat = record[9] >> 4;
    config.inputSupplementLength = record[9] & 0x0F;
    config.outputLength = record[10];
    config.outputSupplementLength = record[12] & 0x0F;
    config.vendorId = bigEndian16(&record[13]);
    config.deviceId = (uint32_t{record[15]} << 24) | (uint32_t{record[16]} << 16) |
                      (uint32_t{record[17]} << 8) | record[18];
    std::copy(&record[19], &record[35], memory.identification.begin());
    std::copy(&record[35], &record[40], memory.validation.begin());
    config.validationMode = validationModeFromRecord(&record[35], config.validationMode);
    if (config.portMode == PORT_MODE_IOLINK) {
        config.validationMode = 0;
    }
}

uint8_t buildMasterInfoRequest(FrameBuffer& frame, uint8_t item)
{
    return buildPortRequest(frame, MASTER_INFO, item);
}

uint8_t buildSetPdLengths(FrameBuffer& frame, uint16_t totalOutput, uint16_t totalInput)
{
    frame[0] = SET_PD_LENGTHS;
    putBigEndian16(&frame[2], totalOutput);
    putBigEndian16(&frame[4], totalInput);
    return finishFrame(frame, 7);
}

uint8_t buildMasterConfigRequest(FrameBuffer& frame)
{
    frame[0] = MASTER_CONFIG;
    return finishFrame(frame, 3);
}

uint8_t buildProcessDataRequest(FrameBuffer& frame, const uint8_t* controlBytes, size_t portCount,
                                uint16_t totalOutput)
{
    const size_t length = shortHeaderLength + 2 * portCount + totalOutput + 1;
    if (length > frameCapacity) {
        return 0;
    }
    frame[0] = PROCESS_DATA;
    std::memcpy(&frame[2], controlBytes, 2 * portCount);
    std::memset(&frame[2 + 2 * portCount], 0, totalOutput);
    return finishFrame(frame, static_cast<uint8_t>(length));
}

uint8_t buildReadPortConfig(FrameBuffer& frame, uint8_t port) { return buildPortRequest(frame, READ_PORT_CONFIG, port); }

uint8_t buildIsduRequest(FrameBuffer& frame, uint8_t port, IsduDirection direction, uint16_t index,
                         uint8_t subindex, const uint8_t* data, size_t dataLength)
{
    if (dataLength > maxIsduWriteData) {
        return 0;
    }
    frame[0] = ISDU_REQUEST;
    frame[2] = port;
    frame[3] = direction;
    putBigEndian16(&frame[4], index);
    frame[6] = subindex;
    if (dataLength > 0) {
        std::memcpy(&frame[7], data, dataLength);
    }
    return finishFrame(frame, static_cast<uint8_t>(8 + dataLength));
}

uint8_t buildIsduResultRequest(FrameBuffer& frame, uint8_t port) { return buildPortRequest(frame, ISDU_RESULT, port); }

uint8_t buildEventRequest(FrameBuffer& frame, uint8_t port) { return buildPortRequest(frame, EVENT_REQUEST, port); }

uint8_t buildPowerRequest(FrameBuffer& frame, bool on) { return buildPortRequest(frame, on ? POWER_ON : POWER_OFF, 0); }

std::optional<MasterConfig> parseMasterConfig(const uint8_t* frame, size_t available)
{
    if (frame[0] != MASTER_CONFIG || !checksumValid(frame, available) || frameLength(frame) < 8) {
        return std::nullopt;
    }
    return MasterConfig{frame[2], bigEndian16(&frame[3]), bigEndian16(&frame[5])};
}

uint32_t parseMasterInfo(const uint8_t* frame, size_t available, MasterInfo& info)
{
    if (frame[0] != MASTER_INFO) {
        return ERROR_WRONG_ANSWER;
    }
    if (!checksumValid(frame, available)) {
        return ERROR_WRONG_CRC;
    }
    const size_t length = frameLength(frame);
    const size_t header = headerLength(frame[1]);
    if (length < header + 2) {
        return ERROR_WRONG_ANSWER;
    }
    const uint8_t item = frame[header];
    const uint8_t* value = &frame[header + 1];
    const size_t valueLength = length - header - 2; // behind the item byte, before the checksum
    const auto storeText = [&](char* target, size_t capacity) -> uint32_t {
        const auto* end = static_cast<const uint8_t*>(std::memchr(value, 0, valueLength));
        const size_t textLength = end ? static_cast<size_t>(end - value) : valueLength;
        if (textLength + 1 > capacity) {
            return ERROR_BUFFER_TOO_SMALL;
        }
        std::memset(target, 0, capacity);
        std::memcpy(target, value, textLength);
        return OK;
    };
    const auto number = [&](size_t bytes) {
        uint32_t n = 0;
        for (size_t i = 0; i < bytes; ++i) {
            n = (n << 8) | value[i];
        }
        return n;
    };
    switch (item) {
    case 0: case 1: case 2: case 4: case 5: case 6:
        return storeText(info.texts[item].data(), info.texts[item].size());
    case 3:
        return storeText(info.item3.data(), info.item3.size());
    case 7:
        if (valueLength < 2) return ERROR_WRONG_ANSWER;
        info.item7 = static_cast<uint16_t>(number(2));
        return OK;
    case 8:
        if (valueLength < 3) return ERROR_WRONG_ANSWER;
        info.item8 = number(3);
        return OK;
    case 9:
        if (valueLength < 1) return ERROR_WRONG_ANSWER;
        info.item9 = value[0];
        return OK;
    case 10:
        if (valueLength > info.item10.size()) return ERROR_BUFFER_TOO_SMALL;
        info.item10 = {};
        for (size_t i = 0; i < valueLength; ++i) {
            info.item10[i] = value[i];
        }
        return OK;
    case 255:
        info = MasterInfo{};
        return OK;
    default:
        return OK;
    }
}

bool parseProcessDataResponse(const uint8_t* frame, size_t available, size_t portCount, uint8_t* statusBytes)
{
    if (frame[0] != PROCESS_DATA || !checksumValid(frame, available)) {
        return false;
    }
    const size_t length = frameLength(frame);
    const size_t header = length > frameCapacity ? extendedHeaderLength : shortHeaderLength;
    if (header + 2 * portCount + 1 > length) {
        return false;
    }
    std::memcpy(statusBytes, &frame[header], 2 * portCount);
    return true;
}

IsduResult parseIsduResult(const uint8_t* frame)
{
    const size_t length = frameLength(frame);
    IsduResult result{frame[2], frame[3], 0, false, 0, nullptr};
    if (length < 5) {
        return result;
    }
    switch (result.status) {
    case 2:
    case 4:
        if (length >= 7) {
            result.ioLinkErrorCode = bigEndian16(&frame[4]);
        }
        break;
    case 3:
        result.hasData = true;
        result.dataLength = static_cast<uint8_t>(length - 5);
        result.data = &frame[4];
        break;
    default:
        break; // finished without data, or a status without a defined result
    }
    return result;
}

uint32_t cycleTimeFromCode(uint8_t code)
{
    const uint32_t multiplier = code & 0x3F;
    uint32_t us = 0;
    switch (code >> 6) {
    case 0: us = multiplier * 100; break;
    case 1: us = (multiplier + 16) * 400; break;
    case 2: us = (multiplier + 20) * 1600; break;
    default: us = minCycleTimeUs; break;
    }
    return clampCycleTimeUs(us);
}

uint8_t processDataLengthFromCode(uint8_t code)
{
    const uint32_t bits = code & 0x1F;
    const uint32_t bytes = (code & 0x80) ? bits + 1 : (bits + 7) / 8;
    return static_cast<uint8_t>(std::min<uint32_t>(bytes, maxProcessDataLength));
}

} // namespace iolink
