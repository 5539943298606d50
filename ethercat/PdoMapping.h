// PDO metadata of one device in one direction: which objects its PDOs carry, and where its
// data start in the process image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PdoEntry {
    uint16_t index = 0;
    uint8_t subIndex = 0;
    uint8_t bitLength = 0;

    // A CANopen mapping word: index in bits 31..16, sub-index in 15..8, length in 7..0.
    static PdoEntry fromMappingWord(uint32_t word);
    std::string describe() const;
};

struct PdoMapping {
    uint32_t deviceNumber = 0;
    uint32_t byteLength = 0;
    std::vector<PdoEntry> entries;
    std::vector<uint32_t> values;
    uint8_t* ioPointer = nullptr;

    // The text the error log shows for a mapping.
    std::string describe() const;
};
