// The EtherCAT vendor id of this company's own devices. Only such devices are asked for their
// unique id, serial number and firmware version, and only they get the minimal PDO mapping.
// The simulated segment's own device profile takes its vendor id from here too.
#pragma once

#include <cstdint>

inline constexpr uint32_t OWN_VENDOR_ID = 0x00000F5Eu;
