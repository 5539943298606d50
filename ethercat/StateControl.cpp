// Moving the bus and single devices through the EtherCAT state machine: the start to
// OPERATIONAL with the cycle running, BOOTSTRAP for firmware downloads and back, INIT, rescans.
#include <optional>

#include "Corvane.h"
#include "DeviceState.h"
#include "OwnVendor.h"
#include "ProcessDataExchange.h"

namespace {
constexpr int stateAttempts = 40;
constexpr int initAttempts = 5;
constexpr int RECONFIGURE_TIMEOUT_US = 2000;
constexpr int alreadyInStateTimeoutUs = 2000;
constexpr int operationalPassTimeoutUs = 50000;
constexpr int operationalPasses = 40;  // tested and decremented after each pass: 41 passes
constexpr const char* hardwareNotOpen = "Hardware not open.";
constexpr const char* noSuchDevice = "No such device on the bus.";
constexpr const char* processImageTooSmall = "Process data of the devices does not fit the process image.";
}  // namespace

std::optional<Result> Corvane::refuseSwitch(uint16_t deviceNumber)
{
    if (!adapterOpen()) {
        return Result(false, hardwareNotOpen);
    }
    if (!isDevice(deviceNumber)) {
        logger->warn("No device {} on the bus ({} found)", deviceNumber, ec_slavecount);
        return Result(false, noSuchDevice);
    }
    return std::nullopt;
}

Result Corvane::startBusToOperational()
{
    logger->debug("Start EtherCat bus to operational, master state is {}", ec_slave[0].state);
    if (!adapterOpen()) {
        logger->warn("Start to OPERATIONAL refused: hardware not open");
        return Result(false, hardwareNotOpen);
    }
    // A cycle of an earlier start may run beside this one: every step that touches the process
    // image or the group's segments holds the exchange lock, so the two never interleave.
    {
        ProcessDataExchange::Guard exclusive;
        ioMap.fill(0);
    }
    if (!firstStart) {
        logger->debug("Reconfigure if not the first start");
        for (uint16_t device = 1; device <= ec_slavecount; ++device) {
            ec_reconfig_slave(device, RECONFIGURE_TIMEOUT_US);
        }
    }
    firstStart = false;

    int enumerated = 0;
    {
        ProcessDataExchange::Guard exclusive;
        enumerated = ec_config_init(FALSE);
    }
    if (enumerated == 0) {
        logger->warn("Problem enumerating and initializing slaves.");
        return Result(false, "Problem enumerating and initializing slaves.");
    }
    collectDeviceInformation();

    logger->debug("Iterate through device list and stop PDO for tavelin devices");
    for (uint16_t device = 1; device <= ec_slavecount; ++device) {
        if (ec_slave[device].eep_man == OWN_VENDOR_ID) {
            moveAwayPdoMapping(device);
        }
    }
    logger->debug("Stopped PDO for tavelin devices");

    int mapped = 0;
    {
        ProcessDataExchange::Guard exclusive;
        mapped = ec_config_map_bounded(ioMap.data(), ioMap.size());
    }
    if (mapped < 0) {
        logger->warn("Process data of the devices does not fit the {} byte process image", ioMap.size());
        return Result(false, processImageTooSmall);
    }
    readOutPdoMetadata();
    configureMappingPointer();
    {
        ProcessDataExchange::Guard exclusive;
        ec_configdc();
    }

    logger->debug("Set segments");
    logger->debug("Segments: {} , {} {} {} {} set", ec_group[0].nsegments, ec_group[0].IOsegment[0],
                  ec_group[0].IOsegment[1], ec_group[0].IOsegment[2], ec_group[0].IOsegment[3]);
    logger->debug("Set master to OPERATIONAL");
    ec_slave[0].state = EC_STATE_OPERATIONAL;
    logger->debug("Send valid process data");
    {
        ProcessDataExchange::Guard exclusive;
        ec_send_processdata();
        logger->debug("Receive process data");
        ec_receive_processdata(EC_TIMEOUTRET);
    }

    logger->debug("Start real time execution");
    Result started = startRealTimeExecution();
    if (!started.GetResult()) {
        logger->warn("Stop switch to OPERATIONAL");
        return started;
    }

    logger->debug("Request state for all slaves");
    if (setDeviceState(0, DeviceStateOperational, stateAttempts)) {
        int passesLeft = operationalPasses;
        while (true) {
            exchangeProcessData();
            ec_statecheck(0, EC_STATE_OPERATIONAL, operationalPassTimeoutUs);
            if (ec_slave[0].state == EC_STATE_OPERATIONAL) {
                busOperational = true;
                logger->debug("All devices in OPERATIONAL");
                return Result(true, "All devices in OPERATIONAL.");
            }
            if (passesLeft-- == 0) {
                break;
            }
        }
    }

    logger->error("Not all slaves reached OPERATIONAL state, stop execution");
    stopRealTimeExecution();
    ec_readstate();
    for (uint16_t device = 1; device <= ec_slavecount; ++device) {
        if (ec_slave[device].state != EC_STATE_OPERATIONAL) {
            logger->debug("Slave {}; State= {}; statusCode = {} : {}", device, ec_slave[device].state,
                          ec_slave[device].ALstatuscode, ec_ALstatuscode2string(ec_slave[device].ALstatuscode));
        }
    }
    ec_slave[0].state = EC_STATE_INIT;
    ec_writestate(0);
    return Result(false, "Not all slaves reached OPERATIONAL state.");
}

Result Corvane::startBusToBoot()
{
    logger->debug("Start bus in BOOT mode");
    if (!adapterOpen()) {
        return Result(false, hardwareNotOpen);
    }
    if (busOperational) {
        stopRealTimeExecution();
        setDeviceState(0, DeviceStateInit, initAttempts);
        busOperational = false;
    }
    for (uint16_t device = 1; device <= ec_slavecount; ++device) {
        Result done = putDeviceInBootMode(device);
        if (!done.GetResult()) {
            return done;
        }
    }
    return Result(true, "All devices in BOOT mode");
}

Result Corvane::putDeviceInBootMode(uint16_t deviceNumber)
{
    logger->debug("Put device {} into BOOT mode", deviceNumber);
    if (auto refused = refuseSwitch(deviceNumber)) {
        return *refused;
    }
    if (ec_statecheck(deviceNumber, EC_STATE_BOOT, alreadyInStateTimeoutUs) == EC_STATE_BOOT) {
        return Result(true, "Already in BOOT mode");
    }
    if (!setDeviceState(0, DeviceStateInit, stateAttempts)) {
        logger->warn("Setting master to INIT state failed");
        return Result(false, "Setting master to INIT state failed");
    }
    busOperational = false;
    stopRealTimeExecution();
    checkLostConnection(deviceNumber);
    if (ec_eeprom2pdi(deviceNumber) <= 0) {
        logger->warn("Transferring EEPROM rights to slave failed after setting slave to boot mode.");
        return Result(false, "Transferring EEPROM rights to slave failed after setting slave to boot mode.");
    }
    if (setDeviceState(deviceNumber, DeviceStateBootstrap, stateAttempts)) {
        return Result(true, "");
    }
    logger->warn("Setting device to Bootstrap failed.");
    return Result(false, "Setting device to Bootstrap failed.");
}

Result Corvane::putDeviceInInitMode(uint16_t deviceNumber)
{
    logger->debug("Put device {} in INIT mode", deviceNumber);
    if (auto refused = refuseSwitch(deviceNumber)) {
        return *refused;
    }
    if (ec_statecheck(deviceNumber, EC_STATE_INIT, alreadyInStateTimeoutUs) == EC_STATE_INIT) {
        return Result(true, "Already in INIT mode");
    }
    busOperational = false;
    stopRealTimeExecution();
    checkLostConnection(deviceNumber);
    if (ec_eeprom2master(deviceNumber) <= 0) {
        return Result(false, "Transferring EEPROM rights back to master failed after setting slave to INIT mode.");
    }
    if (setDeviceState(deviceNumber, DeviceStateInit, stateAttempts)) {
        return Result(true, "");
    }
    return Result(false, "Setting device to INIT failed.");
}

Result Corvane::putDeviceFromBootToOpMode(uint16_t deviceNumber)
{
    logger->debug("Switch device {} from BOOT into OPERATIONAL mode.", deviceNumber);
    if (auto refused = refuseSwitch(deviceNumber)) {
        return *refused;
    }
    if (!setDeviceState(deviceNumber, DeviceStateInit, stateAttempts)) {
        logger->warn("Setting slave {}, to INIT mode failed.", deviceNumber);
        return Result(false, "Setting slave to INIT mode failed.");
    }
    startBusToOperational();
    return Result(true, "");
}

int Corvane::getOneDeviceState(uint16_t deviceNumber)
{
    logger->debug("Get state of device {}.", deviceNumber);
    if (!adapterOpen() || (deviceNumber != 0 && !isDevice(deviceNumber))) {
        return DeviceStateOther;
    }
    ec_readstate();
    logger->debug("Translate to external state");
    return toDeviceStateCode(ec_slave[deviceNumber].state);
}

Result Corvane::rescanBus(bool collectInformation)
{
    logger->debug("Rescan bus");
    if (!adapterOpen()) {
        return Result(false, hardwareNotOpen);
    }
    if (busOperational) {
        if (!setDeviceState(0, DeviceStateInit, stateAttempts)) {
            logger->warn("Setting master, to INIT mode failed.");
        }
        busOperational = false;
        stopRealTimeExecution();
    }
    int enumerated = 0;
    {
        ProcessDataExchange::Guard exclusive;
        enumerated = ec_config_init(FALSE);
    }
    if (enumerated == 0) {
        logger->warn("Problem enumerating and initializing slaves.");
        return Result(false, "Problem enumerating and initializing slaves.");
    }
    if (collectInformation) {
        collectDeviceInformation();
    }
    for (uint16_t device = 1; device <= ec_slavecount; ++device) {
        if (!setDeviceState(device, DeviceStateInit, initAttempts)) {
            return Result(false, "Setting slave to INIT failed.");
        }
    }
    return startBusToOperational();
}
