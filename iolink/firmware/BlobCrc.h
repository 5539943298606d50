// The checksum a device verifies over a whole BLOB before it takes it over.
#pragma once

#include <cstddef>
#include <cstdint>

namespace iolink {

// Reflected CRC-32 with polynomial 0x741B8CD7 (0xEB31D82E reflected), register preset to
// 0xFFFFFFFE and complemented at the end. The preset differs from the usual 0xFFFFFFFF, so
// a stock CRC-32C routine gives wrong values.
uint32_t blobCrc(const uint8_t* data, size_t length);

} // namespace iolink
