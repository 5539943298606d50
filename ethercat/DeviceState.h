// The caller's device state codes (0..6) and the EtherCAT AL states they stand for.
#pragma once

#include <cstdint>

enum DeviceState : int {
    DeviceStateInit = 0,
    DeviceStatePreOperational = 1,
    DeviceStateBootstrap = 2,
    DeviceStateSafeOperational = 3,
    DeviceStateOperational = 4,
    DeviceStateError = 5,
    DeviceStateOther = 6,
};

// Code to the AL state requested from a device; every code outside 0..4 requests 0x10.
uint16_t toEtherCatState(int stateCode);

// AL state word read from a device to a code; the whole word counts, so an error bit beside a
// state (0x14) is "other", not that state.
int toDeviceStateCode(uint16_t etherCatState);
