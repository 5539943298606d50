// The 1 ms process-data cycle and the PDO work done before the process image is built: the
// minimal mapping of this company's own devices, the PDO metadata of every device, and where
// each device's data lie in the image.
#include <algorithm>

#include <time.h>

#include "Corvane.h"
#include "CycleTrace.h"
#include "ProcessDataExchange.h"
#include "platform/CycleTimer.h"

namespace {
constexpr uint32_t cyclePeriodUs = 1000;
constexpr int pdoWriteTimeoutUs = EC_TIMEOUTRXM;
// Mapping and assignment objects hold at most 254 entries (sub-index 0xFF is reserved).
constexpr uint32_t maxPdoEntries = 254;
constexpr uint32_t ownOutputMapping = 0x24002020;  // object 0x2400:0x20, 32 bits
constexpr uint32_t ownInputMapping = 0x25002020;   // object 0x2500:0x20, 32 bits
}  // namespace

std::mutex& ProcessDataExchange::lock()
{
    static std::mutex exchange;
    return exchange;
}

void Corvane::exchangeProcessData()
{
    ProcessDataExchange::Guard exclusive;
    ec_send_processdata();
    ec_receive_processdata(EC_TIMEOUTRET);
}

void Corvane::processDataCycle(void* user)
{
    CycleTrace* trace = CycleTrace::installed();
    if (trace == nullptr) {
        static_cast<Corvane*>(user)->exchangeProcessData();
        return;
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    ProcessDataExchange::Guard exclusive;
    ec_send_processdata();
    const int workingCounter = ec_receive_processdata(EC_TIMEOUTRET);
    trace->record(static_cast<int64_t>(start.tv_sec) * 1'000'000'000 + start.tv_nsec, workingCounter);
}

Result Corvane::startRealTimeExecution()
{
    if (realTimeTimerId != 0) {
        logger->warn("Thread already running");
        return Result(false, "Thread already running");
    }
    realTimeTimerId = platform::startCycleTimer(cyclePeriodUs, &Corvane::processDataCycle, this);
    if (realTimeTimerId != 0) {
        logger->debug("Thread now running");
        return Result(true, "Thread now running");
    }
    logger->warn("Thread NOT running");
    return Result(false, "Thread NOT running");
}

Result Corvane::stopRealTimeExecution()
{
    logger->debug("Stop real time execution");
    if (realTimeTimerId != 0) {
        platform::stopCycleTimer(realTimeTimerId);
        realTimeTimerId = 0;
    }
    logger->debug("Real time execution stopped");
    return Result(true, "");
}

void Corvane::moveAwayPdoMapping(uint16_t deviceNumber)
{
    logger->debug("Move away PDO mapping on device {}", deviceNumber);
    setSyncManagerPdoAssignment(deviceNumber, 0x1C12, 0x1600);
    setSyncManagerPdoAssignment(deviceNumber, 0x1C13, 0x1A00);
    setPdoMapping(deviceNumber, 0x1600, {ownOutputMapping});
    setPdoMapping(deviceNumber, 0x1A00, {ownInputMapping});
}

int Corvane::setSyncManagerPdoAssignment(uint16_t deviceNumber, uint16_t smObject, uint16_t pdoIndex)
{
    logger->debug("Set sync manager PDO assignment");
    uint8_t count = 0;
    ec_SDOwrite(deviceNumber, smObject, 0, FALSE, 1, &count, pdoWriteTimeoutUs);
    ec_SDOwrite(deviceNumber, smObject, 1, FALSE, 2, &pdoIndex, pdoWriteTimeoutUs);
    count = 1;
    return ec_SDOwrite(deviceNumber, smObject, 0, FALSE, 1, &count, pdoWriteTimeoutUs);
}

int Corvane::setPdoMapping(uint16_t deviceNumber, uint16_t pdoObject, const std::vector<uint32_t>& words)
{
    logger->debug("Set PDO mapping on device {}", deviceNumber);
    uint8_t count = 0;
    ec_SDOwrite(deviceNumber, pdoObject, 0, FALSE, 1, &count, pdoWriteTimeoutUs);
    for (size_t k = 0; k < words.size(); ++k) {
        uint32_t word = words[k];
        ec_SDOwrite(deviceNumber, pdoObject, static_cast<uint8>(k + 1), FALSE, 4, &word, pdoWriteTimeoutUs);
    }
    count = static_cast<uint8_t>(words.size());
    return ec_SDOwrite(deviceNumber, pdoObject, 0, FALSE, 1, &count, pdoWriteTimeoutUs);
}

void Corvane::readOutPdoMetadata()
{
    logger->debug("Get Pdo metadata");
    outputPdoMappings.clear();
    inputPdoMappings.clear();
    if (!adapterOpen()) {
        return;
    }
    for (uint16_t device = 1; device <= ec_slavecount; ++device) {
        readDeviceInformation(device, 0);
        readDeviceInformation(device, 1);
    }
}

Result Corvane::readOutSlaveInformation(uint16_t deviceNumber, uint8_t direction)
{
    if (!usableDevice(deviceNumber, "Read slave information")) {
        return Result(false, "Fail");
    }
    return readDeviceInformation(deviceNumber, direction) ? Result(true, "Reading slave information...")
                                                          : Result(false, "Fail");
}

bool Corvane::readDeviceInformation(uint16_t deviceNumber, uint8_t direction)
{
    logger->debug("Read device {} information", deviceNumber);
    auto sii = std::make_unique<ec_eepromPDOt>();
    ec_siiPDO(deviceNumber, sii.get(), direction);

    uint16_t mappedBits = 0;
    std::vector<PdoMapping>& target = direction != 0 ? outputPdoMappings : inputPdoMappings;
    for (int slot = 0; slot < EC_MAXEEPDO; ++slot) {
        const uint16_t pdoIndex = sii->Index[slot];
        const uint16_t syncManager = sii->SyncM[slot];
        if (pdoIndex == 0 || syncManager == 0 || syncManager == 255) {
            continue;
        }
        uint32_t count = 0;
        if (!readOdRaw(deviceNumber, pdoIndex, 0, count)) {
            PdoMapping empty;
            empty.deviceNumber = deviceNumber;
            target.push_back(std::move(empty));
            return false;
        }
        PdoMapping mapping;
        mapping.deviceNumber = deviceNumber;
        const uint32_t entries = std::min(count, maxPdoEntries);
        for (uint32_t sub = 1; sub <= entries; ++sub) {
            uint32_t word = 0;
            readOdRaw(deviceNumber, pdoIndex, static_cast<uint8_t>(sub), word);
            const PdoEntry entry = PdoEntry::fromMappingWord(word);
            mapping.entries.push_back(entry);
            mapping.byteLength += entry.bitLength / 8u;
            mapping.values.push_back(0);
            mappedBits = static_cast<uint16_t>(mappedBits + entry.bitLength);
        }
        target.push_back(std::move(mapping));
    }
    uint16_t siiBits = 0;
    for (int slot = 0; slot < EC_MAXEEPDO; ++slot) {
        siiBits = static_cast<uint16_t>(siiBits + sii->BitSize[slot]);
    }
    return mappedBits == siiBits;
}

void Corvane::configureMappingPointer()
{
    logger->debug("Configure mapping pointer");
    const auto attach = [this](uint16_t device, std::vector<PdoMapping>& mappings, uint8_t* data, const char* side) {
        auto found = std::find_if(mappings.begin(), mappings.end(),
                                  [device](const PdoMapping& m) { return m.deviceNumber == device; });
        if (found != mappings.end()) {
            found->ioPointer = data;
            return;
        }
        logger->error("ERROR in mapping configuration: searching for device {}", device);
        logger->error("{} mappings: {}", side, mappings.size());
        for (const PdoMapping& mapping : mappings) {
            logger->error(mapping.describe());
        }
    };
    for (uint16_t device = 1; device <= ec_slavecount; ++device) {
        attach(device, outputPdoMappings, ec_slave[device].outputs, "TX");
        attach(device, inputPdoMappings, ec_slave[device].inputs, "RX");
    }
    logger->debug("Configure mapping pointer finished");
}
