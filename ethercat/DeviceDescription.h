// One EtherCAT device as the Java caller sees it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

class DeviceDescription {
public:
    uint16_t getDeviceNumber() const { return deviceNumber; }
    void setDeviceNumber(uint16_t value) { deviceNumber = value; }
    uint16_t getDeviceAddress() const { return deviceAddress; }
    void setDeviceAddress(uint16_t value) { deviceAddress = value; }
    uint32_t getVendorId() const { return vendorId; }
    void setVendorId(uint32_t value) { vendorId = value; }
    std::string getUniqueId() const { return uniqueId; }
    void setUniqueId(std::string value) { uniqueId = std::move(value); }
    std::string getSerialNumber() const { return serialNumber; }
    void setSerialNumber(std::string value) { serialNumber = std::move(value); }
    std::string getName() const { return name; }
    void setName(std::string value) { name = std::move(value); }
    std::string getFirmwareVersion() const { return firmwareVersion; }
    void setFirmwareVersion(std::string value) { firmwareVersion = std::move(value); }

private:
    uint16_t deviceNumber = 0;
    uint16_t deviceAddress = 0;
    uint32_t vendorId = 0;
    std::string uniqueId;
    std::string serialNumber;
    std::string name;
    std::string firmwareVersion;
};
