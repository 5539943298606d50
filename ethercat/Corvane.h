// The bus library object: the adapters of the last scan, the devices of the last enumeration,
// the process image and the cycle's timer. The bus itself lives in the master's one
// process-wide context, so every Corvane object of a process acts on the same bus.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <spdlog/logger.h>

#include "DeviceDescription.h"
#include "EthernetDevicesDescription.h"
#include "LogLevel.h"
#include "PdoMapping.h"
#include "Result.h"
#include "ethercat.h"

class Corvane {
public:
    static constexpr std::size_t ioMapSize = 4096;

    Corvane();
    // Stops a running cycle first: its timer calls into this object.
    ~Corvane();

    Corvane(const Corvane&) = delete;
    Corvane& operator=(const Corvane&) = delete;

    // Adapter discovery
    int scanEthernetHardwareDevices();
    std::vector<EthernetDevicesDescription> getEthernetDevicesDescriptionList() const;
    bool probeWinPcapDriver();

    // Opening, enumerating and closing the bus
    Result openHardware(std::string adapterName, bool collectInformation);
    void closeHardware();
    std::vector<DeviceDescription> getEtherCatDeviceList() const;
    std::vector<int> getDeviceIdList() const;

    // Bus and device states
    Result startBusToOperational();
    Result startBusToBoot();
    Result putDeviceInBootMode(uint16_t deviceNumber);
    Result putDeviceInInitMode(uint16_t deviceNumber);
    Result putDeviceFromBootToOpMode(uint16_t deviceNumber);
    int getOneDeviceState(uint16_t deviceNumber);
    Result rescanBus(bool collectInformation);

    // Process data and PDO metadata
    void readOutPdoMetadata();
    Result readOutSlaveInformation(uint16_t deviceNumber, uint8_t direction);

    // Object dictionary
    ResultLong readOdNumberRaw(uint16_t deviceNumber, uint16_t index, uint8_t subindex);
    Result readOdString(uint16_t deviceNumber, uint16_t index, bool hex);
    ResultLongArray readOdArray(uint16_t deviceNumber, uint16_t index);
    Result writeOdNumberRaw(uint16_t deviceNumber, uint16_t index, uint8_t subindex, int size, uint32_t value);
    ResultInt getDataType(uint16_t deviceNumber, uint16_t index, uint8_t subindex);

    // File transfer and ESI EEPROM
    Result writeFileOverEtherCat(uint16_t deviceNumber, const std::vector<char>& data, std::string fileName);
    ResultCharArray readFileOverEtherCat(uint16_t deviceNumber, std::string fileName);
    Result writeEsiEeprom(uint16_t deviceNumber, uint16_t address, const std::vector<uint8_t>& image);
    ResultLongArray readEsiEeprom(uint16_t deviceNumber, uint16_t address, uint32_t count);

    // Logging
    void setLoggingLevel(LogLevel level);

    // Helpers shared by the device information and the object dictionary operations.
    static std::string bytesToHex(const uint8_t* bytes, std::size_t count);
    std::string dataTypeToString(uint16_t code);

    // For tests and diagnostics: what the cycle and the PDO metadata look like now.
    uint32_t cycleTimerId() const { return realTimeTimerId; }
    bool isBusOperational() const { return busOperational; }
    const std::vector<PdoMapping>& outputMappings() const { return outputPdoMappings; }
    const std::vector<PdoMapping>& inputMappings() const { return inputPdoMappings; }
    const uint8_t* processImage() const { return ioMap.data(); }

private:
    bool setDeviceState(uint16_t deviceNumber, int stateCode, int attempts);
    void collectDeviceInformation();
    void checkLostConnection(uint16_t deviceNumber);

    Result startRealTimeExecution();
    Result stopRealTimeExecution();
    static void processDataCycle(void* user);
    void exchangeProcessData();
    void moveAwayPdoMapping(uint16_t deviceNumber);
    int setSyncManagerPdoAssignment(uint16_t deviceNumber, uint16_t smObject, uint16_t pdoIndex);
    int setPdoMapping(uint16_t deviceNumber, uint16_t pdoObject, const std::vector<uint32_t>& words);
    bool readDeviceInformation(uint16_t deviceNumber, uint8_t direction);
    void configureMappingPointer();

    bool readOdRaw(uint16_t deviceNumber, uint16_t index, uint8_t subindex, uint32_t& value);
    bool readString(uint16_t deviceNumber, uint16_t index, bool hex, std::string& text);
    bool writeFile(uint16_t deviceNumber, const std::vector<char>& data, const std::string& fileName);
    bool readFile(uint16_t deviceNumber, std::vector<char>& buffer, int& size, const std::string& fileName);

    // The checks the bus operations make before touching the wire.
    static bool adapterOpen();
    static bool isDevice(uint16_t deviceNumber);
    bool usableDevice(uint16_t deviceNumber, const char* operation);
    // Why a state switch of this device cannot run (no adapter, no such device), or nothing.
    std::optional<Result> refuseSwitch(uint16_t deviceNumber);

    bool firstStart = true;
    bool busOperational = false;
    uint32_t realTimeTimerId = 0;
    std::map<uint16_t, std::unique_ptr<ec_ODlistt>> odListCache;
    std::map<uint16_t, std::unique_ptr<ec_OElistt>> oeListCache;
    std::array<uint8_t, ioMapSize> ioMap{};
    uint32_t nextUniqueId = 0;
    std::vector<EthernetDevicesDescription> ethernetDevices;
    std::vector<DeviceDescription> devices;
    std::vector<PdoMapping> outputPdoMappings;
    std::vector<PdoMapping> inputPdoMappings;
    std::shared_ptr<spdlog::logger> logger;
    std::shared_ptr<spdlog::logger> levelLogger;
};
