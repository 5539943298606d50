// Bit by bit rather than by table: it runs once per transfer over at most a few hundred KiB,
// against a link that moves a few KiB per second.
#include "firmware/BlobCrc.h"

namespace iolink {

namespace {
constexpr uint32_t reflectedPolynomial = 0xEB31D82E;
constexpr uint32_t crcPreset = 0xFFFFFFFE;
} // namespace

uint32_t blobCrc(const uint8_t* data, size_t length)
{
    uint32_t crc = crcPreset;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ reflectedPolynomial : crc >> 1;
        }
    }
    return crc ^ 0xFFFFFFFFu;
}

} // namespace iolink
