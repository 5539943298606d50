// SII EEPROM image helpers: header checksum, category chain, and reading words of an image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ecsim {

namespace SiiCategoryType {
inline constexpr uint16_t Nop = 0, Strings = 10, DataTypes = 20, General = 30, Fmmu = 40, SyncManager = 41,
                          TxPdo = 50, RxPdo = 51, DistributedClock = 60, End = 0xFFFF;
}

// Word addresses of the SII header.
namespace SiiWord {
inline constexpr uint16_t PdiControl = 0x00, Alias = 0x04, Checksum = 0x07, Vendor = 0x08, Product = 0x0A,
                          Revision = 0x0C, Serial = 0x0E, BootOutStart = 0x14, BootOutSize = 0x15,
                          BootInStart = 0x16, BootInSize = 0x17, MailboxOutStart = 0x18, MailboxOutSize = 0x19,
                          MailboxInStart = 0x1A, MailboxInSize = 0x1B, MailboxProtocols = 0x1C, Size = 0x3E,
                          Version = 0x3F, FirstCategory = 0x40;
}

// CRC-8 (polynomial 0x07, initial 0xFF) over the given bytes; the header checksum covers bytes 0..13.
uint8_t siiCrc8(const uint8_t* bytes, size_t count);
bool siiHeaderChecksumValid(const std::vector<uint8_t>& image);

struct SiiCategory {
    uint16_t type = 0;
    size_t wordAddress = 0;  // of the category header
    std::vector<uint8_t> data;
};

// The category chain from word 0x40 until the end marker, the end of the image or a category that
// would run past it.
std::vector<SiiCategory> siiCategories(const std::vector<uint8_t>& image);
// Strings of a Strings category; index 0 of the result is string 1.
std::vector<std::string> siiStrings(const std::vector<uint8_t>& categoryData);

uint16_t siiWord(const std::vector<uint8_t>& image, size_t wordAddress);
uint32_t siiDword(const std::vector<uint8_t>& image, size_t wordAddress);

}  // namespace ecsim
