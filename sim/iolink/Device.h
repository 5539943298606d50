// Who the simulated master and its device are, and the device's parameter indices. The default
// device carries the IO-Link identification parameters and a handful of test parameters of
// every type and access right, so that tests need not set up their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/iolink/ParameterStore.h"

namespace iolsim {

struct DeviceIdentity {
    uint16_t vendorId = 0x7E51;
    uint32_t deviceId = 0x00A11C;  // 24 bits
    uint8_t revision = 0x11;       // IO-Link 1.1
    uint32_t minCycleTimeUs = 2000;
    uint8_t processDataInLength = 2;   // bytes
    uint8_t processDataOutLength = 1;  // bytes
    std::string vendorName = "Simulated Sensors";
    std::string vendorText = "Devices that exist only in software";
    std::string productName = "SIM-DIST-200";
    std::string productId = "SD200";
    std::string productText = "Simulated distance sensor";
    std::string serialNumber = "SIM0000001";
    std::string hardwareRevision = "HW 1.0";
    std::string firmwareRevision = "FW 1.2.3";
    // The objects a firmware update checks against its package:
    // VENDOR_ID_INDEX (0x1018) subindex 1, 32-bit, read-only; nullopt answers vendorId.
    std::optional<uint32_t> vendorIdObject;
    // HARDWARE_ID_INDEX (0x43BE) subindex 0, text, read-only.
    std::string hardwareId = "SD200-HW-A1";
};

// What VENDOR_ID_INDEX answers for this identity.
inline uint32_t vendorIdObjectValue(const DeviceIdentity& identity) {
    return identity.vendorIdObject ? *identity.vendorIdObject : identity.vendorId;
}

// Answers to MASTER_INFO, by item number.
struct MasterIdentity {
    std::string vendorName = "Simulated Masters";     // item 0
    std::string productName = "SIM-IOLM-1";           // item 1
    std::string hardwareRevision = "HW 2.1";          // item 2
    std::string serialNumber = "M0000000000042";      // item 3, at most 16 characters
    std::string firmwareVersion = "FW 3.4.5";         // item 4
    std::string orderCode = "SIM-IOLM-1-USB";         // item 5
    std::string description = "Simulated IO-Link master, one port";  // item 6
    uint16_t vendorId = 0x7E50;                       // item 7
    uint32_t masterId = 0x000101;                     // item 8, 24 bits
    uint8_t masterType = 1;                           // item 9
    std::vector<uint8_t> portRevisions = {0x11};      // item 10, one byte per port
};

// Parameter indices of the default device.
namespace param {
constexpr uint16_t kDirectParameterPage1 = 0x0000;  // 16 bytes, read-only; subindex 1..16 one byte
constexpr uint16_t kDirectParameterPage2 = 0x0001;  // 16 bytes, read/write
constexpr uint16_t kVendorName = 0x0010;
constexpr uint16_t kVendorText = 0x0011;
constexpr uint16_t kProductName = 0x0012;
constexpr uint16_t kProductId = 0x0013;
constexpr uint16_t kProductText = 0x0014;
constexpr uint16_t kSerialNumber = 0x0015;
constexpr uint16_t kHardwareRevision = 0x0016;
constexpr uint16_t kFirmwareRevision = 0x0017;
constexpr uint16_t kApplicationSpecificTag = 0x0018;  // string, read/write, at most 32
constexpr uint16_t kDeviceStatus = 0x0024;            // u8, read-only, 0 = device OK

// Firmware update (the values of iolink/firmware/DeviceObjects.h; see sim/iolink/Bootloader.h).
constexpr uint16_t kSystemCommand = 0x0002;     // write-only, one byte per write
constexpr uint16_t kBlobChannel = 0x0032;       // the BLOB channel, subindex 0
constexpr uint16_t kVendorIdObject = 0x1018;    // subindex 1: u32 read-only
constexpr uint8_t kVendorIdObjectSubindex = 1;
constexpr uint16_t kHardwareId = 0x43BE;        // string read-only
constexpr uint16_t kBootModeStatus = 0x43BF;    // u8 read-only: 0 application, 1 bootloader

// Test parameters, all subindex 0 unless noted.
constexpr uint16_t kTestU32 = 0x0040;         // u32 read/write, starts at 0x12345678
constexpr uint16_t kTestU16 = 0x0041;         // u16 read/write, range 0..1000, starts at 500
constexpr uint16_t kTestU8 = 0x0042;          // u8 read/write, starts at 7
constexpr uint16_t kTestReadOnlyU32 = 0x0043; // u32 read-only, 0xFFFFFFFF
constexpr uint16_t kTestWriteOnlyU32 = 0x0044;// u32 write-only
constexpr uint16_t kTestString = 0x0045;      // string read/write, at most 64, starts "hello"
constexpr uint16_t kTestBytes = 0x0046;       // bytes read/write, at most 232, starts 41 42 00 43
constexpr uint16_t kTestRecord = 0x0047;      // subindex 1: u8, 2: u16, 3: u32 (read/write)
}  // namespace param

// Fills a store with the default device's parameters (index 0 excepted: the master answers it
// from the identity and the port's cycle time).
void addDefaultParameters(ParameterStore& store, const DeviceIdentity& identity);

// Direct Parameter page 1 as the device holds it while the master runs it at masterCycleTimeUs.
std::vector<uint8_t> directParameterPage1(const DeviceIdentity& identity, uint32_t masterCycleTimeUs);

}  // namespace iolsim
