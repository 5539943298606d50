// The default simulated device: identification parameters as an IO-Link device carries them,
// and test parameters of every type and access right.
#include "sim/iolink/Device.h"

#include "iolink/firmware/DeviceObjects.h"
#include "sim/iolink/Protocol.h"

namespace iolsim {

static_assert(param::kSystemCommand == iolink::SYSTEM_COMMAND_INDEX);
static_assert(param::kBlobChannel == iolink::BLOB_CHANNEL_INDEX);
static_assert(param::kVendorIdObject == iolink::VENDOR_ID_INDEX);
static_assert(param::kVendorIdObjectSubindex == iolink::VENDOR_ID_SUBINDEX);
static_assert(param::kHardwareId == iolink::HARDWARE_ID_INDEX);
static_assert(param::kBootModeStatus == iolink::BOOTMODE_STATUS_INDEX);

namespace {
constexpr std::size_t kIdentificationTextMax = 64;
constexpr std::size_t kApplicationTagMax = 32;
constexpr uint8_t kSioSupported = 0x40;
// ISDU supported, operate M-sequence type 5, preoperate M-sequence type 2.
constexpr uint8_t kMSequenceCapability = 0x2B;
}  // namespace

std::vector<uint8_t> directParameterPage1(const DeviceIdentity& identity, uint32_t masterCycleTimeUs) {
    std::vector<uint8_t> page(16, 0);
    page[1] = encodeCycleTime(masterCycleTimeUs);
    page[2] = encodeCycleTime(identity.minCycleTimeUs);
    page[3] = kMSequenceCapability;
    page[4] = identity.revision;
    page[5] = static_cast<uint8_t>(encodeProcessDataLength(identity.processDataInLength) | kSioSupported);
    page[6] = encodeProcessDataLength(identity.processDataOutLength);
    page[7] = static_cast<uint8_t>(identity.vendorId >> 8);
    page[8] = static_cast<uint8_t>(identity.vendorId);
    page[9] = static_cast<uint8_t>(identity.deviceId >> 16);
    page[10] = static_cast<uint8_t>(identity.deviceId >> 8);
    page[11] = static_cast<uint8_t>(identity.deviceId);
    return page;
}

void addDefaultParameters(ParameterStore& store, const DeviceIdentity& identity) {
    using namespace param;
    store.addBytes(kDirectParameterPage2, 0, std::vector<uint8_t>(16, 0), 16, Access::ReadWrite);

    auto text = [&](uint16_t index, const std::string& value) {
        store.addString(index, 0, value, kIdentificationTextMax, Access::ReadOnly);
    };
    text(kVendorName, identity.vendorName);
    text(kVendorText, identity.vendorText);
    text(kProductName, identity.productName);
    text(kProductId, identity.productId);
    text(kProductText, identity.productText);
    text(kSerialNumber, identity.serialNumber);
    text(kHardwareRevision, identity.hardwareRevision);
    text(kFirmwareRevision, identity.firmwareRevision);
    store.addString(kApplicationSpecificTag, 0, "***", kApplicationTagMax, Access::ReadWrite);
    store.addU8(kDeviceStatus, 0, 0, Access::ReadOnly);

    store.addU32(kVendorIdObject, kVendorIdObjectSubindex, vendorIdObjectValue(identity), Access::ReadOnly);
    text(kHardwareId, identity.hardwareId);

    store.addU32(kTestU32, 0, 0x12345678);
    store.addNumber(kTestU16, 0, EntryType::U16, 500, Access::ReadWrite, 0, 1000);
    store.addU8(kTestU8, 0, 7);
    store.addU32(kTestReadOnlyU32, 0, 0xFFFFFFFF, Access::ReadOnly);
    store.addU32(kTestWriteOnlyU32, 0, 0, Access::WriteOnly);
    store.addString(kTestString, 0, "hello", 64, Access::ReadWrite);
    store.addBytes(kTestBytes, 0, {0x41, 0x42, 0x00, 0x43}, kMaxIsduData, Access::ReadWrite);
    store.addU8(kTestRecord, 1, 1);
    store.addU16(kTestRecord, 2, 2);
    store.addU32(kTestRecord, 3, 3);
}

}  // namespace iolsim
