// The bus library object: the adapters of the last scan, the devices of the last enumeration,
// the process image and the cycle's timer. The bus itself lives in the master's one
// process-wide context, so every Corvane object of a process acts on the same bus.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include <spdlog/logger.h>

#include "DeviceDescription.h"
#include "EthernetDevicesDescription.h"
#include "LogLevel.h"
#include "Result.h"

class Corvane {
public:
    static constexpr std::size_t ioMapSize = 4096;

    Corvane();
    ~Corvane();

    Corvane(const Corvane&) = delete;
    Corvane& operator=(const Corvane&) = delete;

    // Adapter discovery
    int scanEthernetHardwareDevices();
    std::vector<EthernetDevicesDescription> getEthernetDevicesDescriptionList() const;
    bool probeWinPcapDriver();

    // Logging
    void setLoggingLevel(LogLevel level);

private:
    bool firstStart = true;
    bool busOperational = false;
    uint32_t realTimeTimerId = 0;
    std::array<uint8_t, ioMapSize> ioMap{};
    uint32_t nextUniqueId = 0;
    std::vector<EthernetDevicesDescription> ethernetDevices;
    std::vector<DeviceDescription> devices;
    std::shared_ptr<spdlog::logger> logger;
    std::shared_ptr<spdlog::logger> levelLogger;
};
