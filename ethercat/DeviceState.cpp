#include "DeviceState.h"

namespace {
// AL state values as they stand in the AL control and status registers.
constexpr uint16_t alInit = 0x01;
constexpr uint16_t alPreOperational = 0x02;
constexpr uint16_t alBootstrap = 0x03;
constexpr uint16_t alSafeOperational = 0x04;
constexpr uint16_t alOperational = 0x08;
constexpr uint16_t alError = 0x10;
}

uint16_t toEtherCatState(int stateCode)
{
    switch (stateCode) {
    case DeviceStateInit: return alInit;
    case DeviceStatePreOperational: return alPreOperational;
    case DeviceStateBootstrap: return alBootstrap;
    case DeviceStateSafeOperational: return alSafeOperational;
    case DeviceStateOperational: return alOperational;
    default: return alError;
    }
}

int toDeviceStateCode(uint16_t etherCatState)
{
    switch (etherCatState) {
    case alInit: return DeviceStateInit;
    case alPreOperational: return DeviceStatePreOperational;
    case alBootstrap: return DeviceStateBootstrap;
    case alSafeOperational: return DeviceStateSafeOperational;
    case alOperational: return DeviceStateOperational;
    case alError: return DeviceStateError;
    default: return DeviceStateOther;
    }
}
