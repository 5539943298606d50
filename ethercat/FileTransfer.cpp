// Files over FoE and the ESI EEPROM, word by word through the controller's EEPROM registers.
#include <algorithm>
#include <cstring>

#include "Corvane.h"

namespace {
constexpr int fileAttempts = 5;
constexpr int fileWriteTimeoutUs = 2000000;
constexpr int fileReadBufferBytes = 10240;
constexpr int eepromWriteAttempts = 5;
constexpr int eepromReadAttempts = 2;
constexpr uint32_t foePassword = 0;
}  // namespace

bool Corvane::writeFile(uint16_t deviceNumber, const std::vector<char>& data, const std::string& fileName)
{
    logger->debug("Write file {} to device {}", fileName, deviceNumber);
    if (!usableDevice(deviceNumber, "Write file")) {
        return false;
    }
    logger->debug("state of slave {} is {}", deviceNumber, ec_slave[deviceNumber].state);
    std::vector<char> name(fileName.begin(), fileName.end());
    name.push_back('\0');
    std::vector<char> payload = data;  // the legacy call takes a non-const buffer
    int result = 0;
    int attempt = 0;
    do {
        ++attempt;
        logger->debug("Writing file {} on device {}", fileName, deviceNumber);
        result = ec_FOEwrite(deviceNumber, name.data(), foePassword, static_cast<int>(payload.size()),
                             payload.data(), fileWriteTimeoutUs);
        logger->debug("Got working counter {}", result);
        logger->debug("Retry: {}", attempt);
    } while (result == 0 && attempt < fileAttempts);
    if (result <= 0) {
        logger->warn("Write file failed, retries: {}, working counter {}", attempt, result);
        return false;
    }
    logger->debug("Write File succeeded");
    return true;
}

Result Corvane::writeFileOverEtherCat(uint16_t deviceNumber, const std::vector<char>& data, std::string fileName)
{
    return writeFile(deviceNumber, data, fileName) ? Result(true, "Writing file over ethercat...")
                                                   : Result(false, "Fail");
}

bool Corvane::readFile(uint16_t deviceNumber, std::vector<char>& buffer, int& size, const std::string& fileName)
{
    logger->debug("Read file {} from device {}", fileName, deviceNumber);
    if (!usableDevice(deviceNumber, "Read file")) {
        return false;
    }
    std::vector<char> name(fileName.begin(), fileName.end());
    name.push_back('\0');
    int result = 0;
    int attempt = 0;
    do {
        ++attempt;
        logger->debug("Reading file {}", fileName);
        result = ec_FOEread(deviceNumber, name.data(), foePassword, &size, buffer.data(), EC_TIMEOUTRXM);
        logger->debug("Got working counter {}", result);
        logger->debug("Retry: {}", attempt);
    } while (result == 0 && attempt < fileAttempts);
    if (result <= 0) {
        logger->warn("Read file failed, retries: {}, working counter {}", attempt, result);
        return false;
    }
    logger->debug("Write File succeeded");
    return true;
}

ResultCharArray Corvane::readFileOverEtherCat(uint16_t deviceNumber, std::string fileName)
{
    std::vector<char> buffer(fileReadBufferBytes, 0);
    int size = fileReadBufferBytes;
    if (!readFile(deviceNumber, buffer, size, fileName)) {
        return ResultCharArray(false, "Fail", {});
    }
    buffer.resize(static_cast<std::size_t>(std::clamp(size, 0, fileReadBufferBytes)));
    return ResultCharArray(true, "Char array read...", std::move(buffer));
}

Result Corvane::writeEsiEeprom(uint16_t deviceNumber, uint16_t address, const std::vector<uint8_t>& image)
{
    logger->debug("Write ESI EEPROM to device {}", deviceNumber);
    if (!usableDevice(deviceNumber, "Write ESI EEPROM")) {
        return Result(false, "Fail");
    }
    const uint16_t stationAddress = ec_slave[deviceNumber].configadr;
    for (std::size_t i = 1; i < image.size(); i += 2) {
        const auto word = static_cast<uint16_t>(image[i - 1] + 256 * image[i]);
        int result = 0;
        int attempt = 0;
        do {
            ++attempt;
            ec_eeprom2master(deviceNumber);
            result = ec_writeeepromFP(stationAddress, address, word, EC_TIMEOUTEEP);
        } while (result == 0 && attempt < eepromWriteAttempts);
        if (result == 0) {
            logger->warn("Write ESI EEPROM failed, retries: {}, working counter {}", attempt, result);
            return Result(false, "Fail");
        }
        address = static_cast<uint16_t>(address + 1);
    }
    logger->debug("Write ESI EEPROM succeeded");
    return Result(true, "Eeprom written...");
}

ResultLongArray Corvane::readEsiEeprom(uint16_t deviceNumber, uint16_t address, uint32_t count)
{
    logger->debug("Read ESI EEPROM from device {}", deviceNumber);
    std::vector<uint32_t> values;
    if (count == 0 || !usableDevice(deviceNumber, "Read ESI EEPROM")) {
        return ResultLongArray(true, "Number array read...", std::move(values));
    }
    const uint16_t stationAddress = ec_slave[deviceNumber].configadr;
    values.reserve(std::min<uint32_t>(count, 0x8000));
    for (uint32_t entry = 0; entry < count; ++entry) {
        uint32_t value = 0;
        for (int attempt = 0; attempt < eepromReadAttempts && value == 0; ++attempt) {
            ec_eeprom2master(deviceNumber);
            value = static_cast<uint32_t>(ec_readeepromFP(stationAddress, address, EC_TIMEOUTEEP));
        }
        values.push_back(value);
        address = static_cast<uint16_t>(address + 2);
    }
    return ResultLongArray(true, "Number array read...", std::move(values));
}
