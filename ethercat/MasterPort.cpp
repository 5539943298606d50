// The questions the bus operations ask the master before they put anything on the wire.
#include "Corvane.h"

#include "MasterContext.h"

bool Corvane::adapterOpen()
{
    return ecmaster::globalContext().transport != nullptr;
}

bool Corvane::isDevice(uint16_t deviceNumber)
{
    return deviceNumber >= 1 && deviceNumber <= ec_slavecount;
}

// A device operation may run: the adapter is open and the number names an enumerated device.
// Anything else would index past the device table or send on no adapter at all.
bool Corvane::usableDevice(uint16_t deviceNumber, const char* operation)
{
    if (!adapterOpen()) {
        logger->warn("{} refused: hardware not open", operation);
        return false;
    }
    if (!isDevice(deviceNumber)) {
        logger->warn("{} refused: no device {} on the bus ({} found)", operation, deviceNumber, ec_slavecount);
        return false;
    }
    return true;
}
