// CoE object dictionary access through SDO transfers, with the attempt rule: a transfer is
// repeated while the working counter is 0, up to a limit per kind of transfer.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include <fmt/format.h>

#include "Corvane.h"

namespace {
constexpr int numberAttempts = 5;
constexpr int stringAttempts = 15;
constexpr int arrayAttempts = 5;
constexpr int writeAttempts = 5;
constexpr int writeTimeoutUs = 20000;
constexpr int stringBufferBytes = 255;
constexpr int arrayBufferBytes = 256;

// Runs `transfer` until it returns non-zero or `limit` calls were made; `calls` says how many.
template <typename Transfer>
int withAttempts(int limit, int& calls, Transfer&& transfer)
{
    int workingCounter = 0;
    calls = 0;
    do {
        workingCounter = transfer();
        ++calls;
    } while (workingCounter == 0 && calls < limit);
    return workingCounter;
}
}  // namespace

bool Corvane::readOdRaw(uint16_t deviceNumber, uint16_t index, uint8_t subindex, uint32_t& value)
{
    logger->debug("Read OD raw from device {}, index {}, subindex {}", deviceNumber, index, subindex);
    logger->debug("Read raw number of device {}, index {}, subindex {}", deviceNumber, index, subindex);
    if (!usableDevice(deviceNumber, "Read OD raw")) {
        return false;
    }
    uint8_t bytes[4] = {};
    int calls = 0;
    const int workingCounter = withAttempts(numberAttempts, calls, [&] {
        int size = sizeof bytes;
        return ec_SDOread(deviceNumber, index, subindex, FALSE, &size, bytes, EC_TIMEOUTRXM);
    });
    if (workingCounter <= 0) {
        logger->warn("Read number raw failed, retries: {}, working counter {}", calls, workingCounter);
        return false;
    }
    value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    logger->debug("Got value: {}", value);
    return true;
}

ResultLong Corvane::readOdNumberRaw(uint16_t deviceNumber, uint16_t index, uint8_t subindex)
{
    uint32_t value = 0;
    if (!readOdRaw(deviceNumber, index, subindex, value)) {
        return ResultLong(false, "Fail", 0);
    }
    return ResultLong(true, "Number read...", static_cast<int32_t>(value));
}

bool Corvane::readString(uint16_t deviceNumber, uint16_t index, bool hex, std::string& text)
{
    logger->debug("Read String from device {}, Index: {}.", deviceNumber, index);
    if (!usableDevice(deviceNumber, "Read string")) {
        return false;
    }
    uint8_t buffer[stringBufferBytes + 1] = {};
    int size = stringBufferBytes;
    int calls = 0;
    const int workingCounter = withAttempts(stringAttempts, calls, [&] {
        return ec_SDOread(deviceNumber, index, 0, FALSE, &size, buffer, EC_TIMEOUTRXM);
    });
    if (workingCounter <= 0) {
        logger->warn("Read String failed, retries: {}, working counter {}.", calls, workingCounter);
        return false;
    }
    const auto received = static_cast<std::size_t>(std::clamp(size, 0, stringBufferBytes));
    if (hex) {
        text = bytesToHex(buffer, received);
    } else {
        text.assign(reinterpret_cast<const char*>(buffer), strnlen(reinterpret_cast<const char*>(buffer), received));
    }
    logger->debug("Read string successfully");
    return true;
}

Result Corvane::readOdString(uint16_t deviceNumber, uint16_t index, bool hex)
{
    std::string text;
    if (!readString(deviceNumber, index, hex, text)) {
        return Result(false, "Fail");
    }
    return Result(true, text);
}

std::string Corvane::bytesToHex(const uint8_t* bytes, std::size_t count)
{
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text += fmt::format("{:02x}", bytes[i]);
    }
    return text;
}

ResultLongArray Corvane::readOdArray(uint16_t deviceNumber, uint16_t index)
{
    logger->debug("Read array from device {}, Index: {}", deviceNumber, index);
    if (!usableDevice(deviceNumber, "Read array")) {
        return ResultLongArray(false, "Fail", {});
    }
    uint8_t buffer[arrayBufferBytes] = {};
    int size = arrayBufferBytes;
    int calls = 0;
    const int workingCounter = withAttempts(arrayAttempts, calls, [&] {
        return ec_SDOread(deviceNumber, index, 1, TRUE, &size, buffer, EC_TIMEOUTRXM);
    });
    if (workingCounter <= 0) {
        logger->warn("Read array failed, retries: {}, working counter {}", calls, workingCounter);
        return ResultLongArray(false, "Fail", {});
    }
    const int received = std::clamp(size, 0, arrayBufferBytes);
    std::vector<uint32_t> entries;
    for (int offset = 0; offset + 4 <= received; offset += 4) {
        entries.push_back(static_cast<uint32_t>(buffer[offset]) | static_cast<uint32_t>(buffer[offset + 1]) << 8 |
                          static_cast<uint32_t>(buffer[offset + 2]) << 16 |
                          static_cast<uint32_t>(buffer[offset + 3]) << 24);
    }
    logger->debug("Read array succeeded");
    return ResultLongArray(true, "Number array read...", std::move(entries));
}

Result Corvane::writeOdNumberRaw(uint16_t deviceNumber, uint16_t index, uint8_t subindex, int size, uint32_t value)
{
    logger->debug("Write OD to device {}, Index: {}, Subindex: {}, Value: {}.", deviceNumber, index, subindex, value);
    logger->debug("Write (SDO) number raw to device {}, Index: {}, Subindex: {}, Value: {}", deviceNumber, index,
                  subindex, value);
    if (size < 1 || size > 4) {
        logger->warn("Write OD raw refused: size {} is not 1 to 4 bytes", size);
        return Result(false, "Fail");
    }
    if (!usableDevice(deviceNumber, "Write OD raw")) {
        return Result(false, "Fail");
    }
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    int calls = 0;
    const int workingCounter = withAttempts(writeAttempts, calls, [&] {
        return ec_SDOwrite(deviceNumber, index, subindex, FALSE, size, const_cast<uint8_t*>(bytes), writeTimeoutUs);
    });
    // No frame back (negative) is as much a failed write as five refusals.
    if (workingCounter <= 0) {
        logger->warn("Write OD raw failed, retries: {}, working counter {}", calls, workingCounter);
        return Result(false, "Fail");
    }
    logger->debug("Write number succeeded");
    return Result(true, "Number written...");
}

ResultInt Corvane::getDataType(uint16_t deviceNumber, uint16_t index, uint8_t subindex)
{
    logger->debug("Get datatype of index {}, subindex {} from device {}", index, subindex, deviceNumber);
    if (!usableDevice(deviceNumber, "Get datatype")) {
        return ResultInt(true, "Device data type", 0);
    }
    if (odListCache.count(deviceNumber) == 0) {
        auto odList = std::make_unique<ec_ODlistt>();
        odList->Slave = deviceNumber;
        ec_readODlist(deviceNumber, odList.get());
        odListCache[deviceNumber] = std::move(odList);
        oeListCache[deviceNumber] = std::make_unique<ec_OElistt>();
    }
    ec_ODlistt& cached = *odListCache[deviceNumber];
    const uint16_t entries = std::min<uint16_t>(cached.Entries, EC_MAXODLIST);
    for (uint16_t i = 0; i < entries; ++i) {
        // The object list names the indices only; their data types come with each object's
        // description, fetched once per object and kept with the list.
        if (cached.Index[i] == index && cached.DataType[i] == 0) {
            ec_readODdescription(i, &cached);
        }
    }
    auto odList = std::make_unique<ec_ODlistt>(cached);
    auto oeList = std::make_unique<ec_OElistt>(*oeListCache[deviceNumber]);
    for (uint16_t i = 0; i < entries; ++i) {
        if (odList->Index[i] == index) {
            const std::string name = dataTypeToString(odList->DataType[i]);
            std::fwrite(name.data(), 1, name.size(), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
            return ResultInt(true, "Device data type", 0);
        }
    }
    // Not listed: ask for the entry description once more; the answer is not kept.
    if (entries < EC_MAXODLIST) {
        odList->Index[entries] = index;
        odList->Entries = static_cast<uint16_t>(entries + 1);
        odList->Slave = deviceNumber;
        ec_readOEsingle(entries, subindex, odList.get(), oeList.get());
    }
    return ResultInt(true, "Device data type", 0);
}

std::string Corvane::dataTypeToString(uint16_t code)
{
    logger->debug("Convert datatype to string");
    switch (code) {
    case 1: return "BOOLEAN";
    case 2: return "INTEGER8";
    case 3: return "INTEGER16";
    case 4: return "INTEGER32";
    case 5: return "UNSIGNED8";
    case 6: return "UNSIGNED16";
    case 7: return "UNSIGNED32";
    case 8: return "REAL32";
    case 9: return "VISIBLE_STRING";
    case 10: return "OCTET_STRING";
    case 16: return "INTEGER24";
    case 17: return "REAL64";
    case 21: return "INTEGER64";
    case 22: return "UNSIGNED24";
    case 27: return "UNSIGNED64";
    default: break;
    }
    if (code >= 48 && code <= 55) {
        return "BIT" + std::to_string(code - 47);
    }
    return "Type:" + std::to_string(code);
}
