// Opening the adapter, enumerating and describing the devices, closing again; the state
// request every bus operation shares; the lost-device check.
#include <algorithm>
#include <cctype>

#include <fmt/format.h>

#include "Corvane.h"
#include "DeviceState.h"
#include "OwnVendor.h"

namespace {
constexpr int initAttempts = 5;
constexpr int lostCheckTimeoutUs = 2000;
constexpr int recoverTimeoutUs = 500;

std::string trimBlanks(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}
}  // namespace

bool Corvane::setDeviceState(uint16_t deviceNumber, int stateCode, int attempts)
{
    logger->debug("Set device {} to state {}", deviceNumber, stateCode);
    logger->debug("Translate to internal state");
    const uint16_t state = toEtherCatState(stateCode);
    logger->debug("Setting state");
    if (deviceNumber >= EC_MAXSLAVE) {
        logger->debug("Setting slave {} to state {} ended with result {}", deviceNumber, stateCode, 0);
        return false;
    }
    ec_slave[deviceNumber].state = state;
    int workingCounter = 0;
    int calls = 0;
    do {
        workingCounter = ec_writestate(deviceNumber);
        ++calls;
    } while (workingCounter == 0 && calls < attempts);
    logger->debug("Setting slave {} to state {} ended with result {}", deviceNumber, stateCode, workingCounter);
    return workingCounter > 0;
}

Result Corvane::openHardware(std::string adapterName, bool collectInformation)
{
    logger->debug("Open hardware {}", adapterName);
    if (adapterOpen()) {
        logger->debug("Hardware {} already open", adapterName);
        return Result(true, "Hardware already open.");
    }
    busOperational = false;
    logger->debug("Stop real time execution just to be sure");
    stopRealTimeExecution();
    ioMap.fill(0);

    logger->debug("Initialize lib with ethernet device {}", adapterName);
    if (ec_init(adapterName.c_str()) == 0) {
        logger->warn("Not able to load WinPCAP driver for ethernet device {}, try excecuting as root", adapterName);
        return Result(false, "Not able to load WinPCAP driver, try excecuting as root.");
    }
    if (ec_config_init(FALSE) == 0) {
        logger->warn("Problem enumerating and initializing slaves of ethernet device: {}", adapterName);
        return Result(false, "Problem enumerating and initializing slaves.");
    }
    if (collectInformation) {
        logger->debug("Collect device information of ethernet device {}", adapterName);
        collectDeviceInformation();
    }
    for (uint16_t device = 1; device <= ec_slavecount; ++device) {
        logger->debug("Switch from PRE-OP back into INIT state");
        setDeviceState(device, DeviceStateInit, initAttempts);
    }
    logger->debug("{} slaves found and configured", ec_slavecount);
    if (ec_slavecount != 0) {
        logger->debug("Hardware {} open", adapterName);
        return Result(true, "Hardware open.");
    }
    logger->debug("No slave found on EtherCAT bus");
    return Result(true, "No slave found on EtherCAT bus.");
}

void Corvane::closeHardware()
{
    logger->debug("Close Hardware");
    // Without an adapter there is nobody to tell: skip the INIT request.
    if (ec_slave[0].state != EC_STATE_INIT && adapterOpen()) {
        logger->debug("Set master to INIT state");
        busOperational = false;
        setDeviceState(0, DeviceStateInit, initAttempts);
    }
    stopRealTimeExecution();
    ioMap.fill(0);
    if (adapterOpen()) {
        logger->debug("Driver binded to hardware, close lib");
        ec_close();
    }
    logger->debug("Hardware closed");
}

std::vector<DeviceDescription> Corvane::getEtherCatDeviceList() const
{
    logger->debug("Get EtherCat device list.");
    return devices;
}

std::vector<int> Corvane::getDeviceIdList() const
{
    std::vector<int> numbers;
    const auto count = static_cast<uint16_t>(ec_slavecount);
    for (uint16_t device = 1; device <= count && device != 0; ++device) {
        numbers.push_back(device);
    }
    return numbers;
}

void Corvane::collectDeviceInformation()
{
    logger->debug("Collect device information");
    devices.clear();
    const auto count = static_cast<uint16_t>(ec_slavecount);
    for (uint16_t device = 1; device <= count && device < EC_MAXSLAVE; ++device) {
        DeviceDescription description;
        description.setDeviceNumber(device);
        description.setDeviceAddress(ec_slave[device].configadr);
        description.setVendorId(ec_slave[device].eep_man);
        const bool ownDevice = description.getVendorId() == OWN_VENDOR_ID;

        std::string text;
        description.setName(readString(device, 0x1008, false, text) ? text : "unknown device");

        std::string uniqueId;
        if (!(ownDevice && readString(device, 0x4041, true, uniqueId))) {
            logger->debug("Get next unique id");
            uniqueId = fmt::format("tmpNumber_0x{:08X}", nextUniqueId);
            ++nextUniqueId;
        }
        std::transform(uniqueId.begin(), uniqueId.end(), uniqueId.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        description.setUniqueId(uniqueId);

        std::string serial = "unknown serial number";
        if (ownDevice && readString(device, 0x4040, false, text)) {
            serial = text;
        }
        description.setSerialNumber(trimBlanks(serial));

        description.setFirmwareVersion(ownDevice && readString(device, 0x100A, false, text)
                                           ? text
                                           : "unknown firmware version");
        devices.push_back(std::move(description));
    }
}

void Corvane::checkLostConnection(uint16_t deviceNumber)
{
    logger->debug("Check for lost connection of device {}", deviceNumber);
    if (!isDevice(deviceNumber)) {
        return;
    }
    ec_slavet& device = ec_slave[deviceNumber];
    if (!device.islost) {
        ec_statecheck(deviceNumber, EC_STATE_OPERATIONAL, lostCheckTimeoutUs);
        if (device.state == EC_STATE_NONE) {
            device.islost = TRUE;
        }
    }
    if (device.islost) {
        if (device.state != EC_STATE_NONE) {
            device.islost = FALSE;
        } else if (ec_recover_slave(deviceNumber, recoverTimeoutUs) != 0) {
            device.islost = FALSE;
            ec_statecheck(deviceNumber, EC_STATE_INIT, lostCheckTimeoutUs);
        }
    }
}
