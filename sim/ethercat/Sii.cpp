// SII image helpers. Words past the end of an image read as 0xFFFF, as an erased EEPROM does.
#include "Sii.h"

namespace ecsim {

uint8_t siiCrc8(const uint8_t* bytes, size_t count)
{
    uint8_t crc = 0xFF;
    for (size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80) != 0 ? uint8_t((crc << 1) ^ 0x07) : uint8_t(crc << 1);
    }
    return crc;
}

bool siiHeaderChecksumValid(const std::vector<uint8_t>& image)
{
    return image.size() >= 16 && siiCrc8(image.data(), 14) == image[14];
}

uint16_t siiWord(const std::vector<uint8_t>& image, size_t wordAddress)
{
    size_t byte = wordAddress * 2;
    if (byte + 1 >= image.size())
        return 0xFFFF;
    return uint16_t(image[byte] | image[byte + 1] << 8);
}

uint32_t siiDword(const std::vector<uint8_t>& image, size_t wordAddress)
{
    return uint32_t(siiWord(image, wordAddress)) | uint32_t(siiWord(image, wordAddress + 1)) << 16;
}

std::vector<SiiCategory> siiCategories(const std::vector<uint8_t>& image)
{
    std::vector<SiiCategory> categories;
    size_t word = SiiWord::FirstCategory;
    while (word * 2 + 4 <= image.size()) {
        uint16_t type = siiWord(image, word);
        if (type == SiiCategoryType::End)
            break;
        size_t lengthWords = siiWord(image, word + 1);
        size_t dataStart = (word + 2) * 2;
        if (dataStart + lengthWords * 2 > image.size())
            break;
        SiiCategory category;
        category.type = type;
        category.wordAddress = word;
        category.data.assign(image.begin() + long(dataStart), image.begin() + long(dataStart + lengthWords * 2));
        categories.push_back(std::move(category));
        word += 2 + lengthWords;
    }
    return categories;
}

std::vector<std::string> siiStrings(const std::vector<uint8_t>& data)
{
    std::vector<std::string> strings;
    if (data.empty())
        return strings;
    size_t count = data[0];
    size_t at = 1;
    for (size_t i = 0; i < count && at < data.size(); ++i) {
        size_t length = data[at++];
        if (at + length > data.size())
            break;
        strings.emplace_back(data.begin() + long(at), data.begin() + long(at + length));
        at += length;
    }
    return strings;
}

}  // namespace ecsim
