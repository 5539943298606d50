// What a simulated device is: identity, controller features, mailbox and sync manager layout,
// default process-data mapping, object dictionary and files, and the SII EEPROM image that
// describes it. Profiles are either written here (the library's own device, a foreign CoE device,
// a plain digital I/O device) or loaded from a real SII image.
#pragma once

#include "ObjectDictionary.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ecsim {

// Mailbox protocol bits of SII word 0x1C.
namespace MailboxProtocol {
inline constexpr uint16_t AoE = 0x01, EoE = 0x02, CoE = 0x04, FoE = 0x08, SoE = 0x10, VoE = 0x20;
}

// Sync manager types of the SII SM category.
namespace SyncManagerType {
inline constexpr uint8_t Unused = 0, MailboxOut = 1, MailboxIn = 2, Outputs = 3, Inputs = 4;
}

struct SyncManagerLayout {
    uint16_t start = 0;
    uint16_t length = 0;
    uint8_t control = 0;  // SM register control byte
    uint8_t enable = 0;   // SII enable byte (bit0 enable)
    uint8_t type = SyncManagerType::Unused;
};

struct PdoEntryLayout {
    uint16_t index = 0;
    uint8_t subindex = 0;
    uint8_t bitLength = 0;
    uint8_t dataType = 0;
    std::string name;
};

struct PdoLayout {
    uint16_t index = 0;         // 0x16xx receive (outputs), 0x1Axx transmit (inputs)
    uint8_t syncManager = 0;    // 0xFF when not assigned
    std::string name;
    std::vector<PdoEntryLayout> entries;
    unsigned bits() const;
};

struct FoeFile {
    std::vector<uint8_t> content;
    bool bootstrapOnly = false;  // readable and writable only in BOOTSTRAP
    bool readOnly = false;
};

struct DeviceProfile {
    std::string kind;  // how the program's --device option names it
    std::string name;  // SII string 1 and object 0x1008
    uint32_t vendorId = 0;
    uint32_t productCode = 0;
    uint32_t revision = 0;
    uint32_t serialNumber = 0;
    uint16_t alias = 0;

    // Controller (ESC) description.
    uint8_t escType = 0x11;
    uint8_t escRevision = 0x01;
    uint16_t escBuild = 0x0001;
    uint8_t fmmuCount = 8;
    uint8_t syncManagerCount = 8;
    uint8_t ramKiB = 8;
    uint8_t portDescriptor = 0x0F;
    bool distributedClocks = true;
    uint8_t pdiType = 0x05;  // 0x00 none, 0x04 digital I/O, 0x05 SPI
    bool eeprom8ByteReads = true;

    // Mailbox (both zero sizes for a device without mailbox).
    uint16_t mailboxProtocols = 0;
    uint16_t mailboxOutStart = 0x1000, mailboxOutSize = 0;  // master -> device (SM0)
    uint16_t mailboxInStart = 0x1080, mailboxInSize = 0;    // device -> master (SM1)
    uint16_t bootMailboxOutStart = 0x1000, bootMailboxOutSize = 0;
    uint16_t bootMailboxInStart = 0x1080, bootMailboxInSize = 0;
    bool supportsBootstrap = false;
    bool coeSdoInfo = true;
    bool coeCompleteAccess = true;
    // FoE files can only be read or written in BOOTSTRAP (ERR 0x8008 "bootstrap only" otherwise);
    // files written there inherit this flag.
    bool foeOnlyInBootstrap = false;

    // SII SM category in SM order, and the default process data.
    std::vector<SyncManagerLayout> syncManagers;
    std::vector<PdoLayout> rxPdos;  // outputs
    std::vector<PdoLayout> txPdos;  // inputs

    // Outputs are looped back to inputs: input entry k of the mapping copies output entry k.
    bool loopbackProcessData = true;
    // SAFE-OP -> OP needs a process-data write since entering SAFE-OP (code 0x001B otherwise).
    bool requireOutputsForOp = true;

    ObjectDictionary dictionary;
    std::map<std::string, FoeFile> files;

    // The EEPROM content. Built from the fields above by buildSii() for profiles written here;
    // for loaded profiles the original image, from which the fields above were taken.
    std::vector<uint8_t> sii;

    bool hasMailbox() const { return mailboxOutSize > 0 && mailboxInSize > 0; }
    bool hasCoe() const { return hasMailbox() && (mailboxProtocols & MailboxProtocol::CoE) != 0; }
    bool hasFoe() const { return hasMailbox() && (mailboxProtocols & MailboxProtocol::FoE) != 0; }
};

// The library's own device: vendor OWN_VENDOR_ID, CoE with SDO information and complete access,
// FoE in BOOTSTRAP, objects 0x1008, 0x100A, 0x4040, 0x4041, output array 0x2400 and input array
// 0x2500 of 32 UNSIGNED32 each. Its default mapping carries 0x2400:01..04 and 0x2500:01..04, larger
// than the minimal 0x2400:20 / 0x2500:20 one. serial distinguishes the instances (0x4040, 0x4041).
DeviceProfile ownDeviceProfile(uint32_t serial = 1);
// Another vendor's CoE device with a 2-byte output and 4-byte input mapping and a few parameters.
DeviceProfile foreignCoeProfile(uint32_t serial = 1);
// A device without mailbox: 8 digital outputs and 8 digital inputs, one byte each.
DeviceProfile digitalIoProfile(uint32_t serial = 1);

// Builds a profile from a real SII image: identity, mailbox, SMs, PDOs and name come from the
// image (which becomes the EEPROM content unchanged); a CoE device gets a dictionary generated
// from its PDOs. Returns nothing when the image is too short to hold a header.
std::optional<DeviceProfile> profileFromSii(std::vector<uint8_t> image, std::string kind = "sii");
std::optional<DeviceProfile> profileFromSiiFile(const std::filesystem::path& file);

// "own", "foreign-coe", "io". Nothing for an unknown kind.
std::optional<DeviceProfile> profileByKind(const std::string& kind, uint32_t serial = 1);

// Fills profile.sii from the profile's fields (header with checksum, Strings, General, FMMU, SM,
// TxPDO, RxPDO categories).
void buildSii(DeviceProfile& profile);

}  // namespace ecsim
