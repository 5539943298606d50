// Frames on the serial line: service code, total length, payload, XOR checksum. A length byte
// of 0 or 1 announces the extended form, whose 16-bit big-endian length sits in bytes 2 and 3.
// The library only ever sends the short form; it must still read the long one to skip it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace iolink {

inline constexpr size_t frameCapacity = 255;     // bytes of a transmit or receive buffer
inline constexpr size_t shortHeaderLength = 2;
inline constexpr size_t extendedHeaderLength = 4;

using FrameBuffer = std::array<uint8_t, frameCapacity>;

// True when the length byte announces the extended form.
constexpr bool hasExtendedLength(uint8_t lengthByte) { return lengthByte < 2; }

// Header length for a frame whose length byte is `lengthByte`.
constexpr size_t headerLength(uint8_t lengthByte)
{
    return hasExtendedLength(lengthByte) ? extendedHeaderLength : shortHeaderLength;
}

// Total length taken from a header (at least 4 bytes readable when the form is extended).
uint16_t frameLength(const uint8_t* frame);

// XOR of `count` bytes.
uint8_t xorChecksum(const uint8_t* bytes, size_t count);

// True when the frame's announced length fits `available` and the XOR over all of it is 0.
bool checksumValid(const uint8_t* frame, size_t available);

// Writes the short length and the checksum of a request whose payload is in place; returns the
// total length. `totalLength` includes code, length byte and checksum (3..255).
uint8_t finishFrame(FrameBuffer& frame, uint8_t totalLength);

} // namespace iolink
