#include "PdoMapping.h"

#include <fmt/format.h>

PdoEntry PdoEntry::fromMappingWord(uint32_t word)
{
    PdoEntry entry;
    entry.index = static_cast<uint16_t>(word >> 16);
    entry.subIndex = static_cast<uint8_t>(word >> 8);
    entry.bitLength = static_cast<uint8_t>(word);
    return entry;
}

std::string PdoEntry::describe() const
{
    return fmt::format("Index: 0x{:x}, Sub-index: 0x{:x}, Bit lengt: 0x{:02x}", index, subIndex, bitLength);
}

std::string PdoMapping::describe() const
{
    std::string text = fmt::format("PDO Mapping of slave {} with {} byte length\n", deviceNumber, byteLength);
    for (size_t i = 0; i < entries.size(); ++i) {
        const uint32_t value = i < values.size() ? values[i] : 0;
        text += fmt::format("\t- {}\tval: 0x{:x}\n", entries[i].describe(), value);
    }
    return text;
}
