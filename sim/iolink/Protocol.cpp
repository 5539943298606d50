// Frame codec and IO-Link encodings of the simulated master.
#include "sim/iolink/Protocol.h"

#include <algorithm>

namespace iolsim {

uint8_t xorChecksum(std::span<const uint8_t> bytes) {
    uint8_t x = 0;
    for (uint8_t b : bytes) x = static_cast<uint8_t>(x ^ b);
    return x;
}

std::optional<std::size_t> announcedLength(std::span<const uint8_t> bytes) {
    if (bytes.size() < 2) return std::nullopt;
    if (bytes[1] >= 2) return bytes[1];
    if (bytes.size() < 4) return std::nullopt;
    return static_cast<std::size_t>(bytes[2]) << 8 | bytes[3];
}

std::size_t headerLength(std::span<const uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[1] < 2 ? 4 : 2;
}

bool isValidFrame(std::span<const uint8_t> frame) {
    auto length = announcedLength(frame);
    // A frame needs its header and a checksum byte behind it.
    if (!length || *length != frame.size() || *length < headerLength(frame) + 1) return false;
    return xorChecksum(frame) == 0;
}

std::vector<uint8_t> makeFrame(uint8_t serviceCode, std::span<const uint8_t> payload) {
    std::vector<uint8_t> frame;
    std::size_t shortLength = payload.size() + 3;
    if (shortLength <= kShortFrameMax) {
        frame.reserve(shortLength);
        frame.push_back(serviceCode);
        frame.push_back(static_cast<uint8_t>(shortLength));
    } else {
        std::size_t longLength = payload.size() + 5;
        frame.reserve(longLength);
        frame.push_back(serviceCode);
        frame.push_back(0);
        frame.push_back(static_cast<uint8_t>(longLength >> 8));
        frame.push_back(static_cast<uint8_t>(longLength));
    }
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(xorChecksum(frame));
    return frame;
}

namespace {
constexpr uint32_t kMinCycleUs = 400;
constexpr uint32_t kMaxCycleUs = 132800;
}  // namespace

uint32_t decodeCycleTimeUs(uint8_t encoded) {
    uint32_t multiplier = encoded & 0x3Fu;
    uint32_t us = 0;
    switch (encoded >> 6) {
    case 0: us = multiplier * 100; break;
    case 1: us = (multiplier + 16) * 400; break;
    case 2: us = (multiplier + 20) * 1600; break;
    default: us = kMinCycleUs; break;  // reserved time base
    }
    return std::clamp(us, kMinCycleUs, kMaxCycleUs);
}

uint8_t encodeCycleTime(uint32_t timeUs) {
    timeUs = std::clamp(timeUs, kMinCycleUs, kMaxCycleUs);
    // Each time base covers its own range; round up so the device never runs faster than asked.
    if (timeUs <= 6300) return static_cast<uint8_t>((timeUs + 99) / 100);
    if (timeUs <= 31600) return static_cast<uint8_t>(0x40 | ((timeUs + 399) / 400 - 16));
    return static_cast<uint8_t>(0x80 | ((timeUs + 1599) / 1600 - 20));
}

uint8_t encodeProcessDataLength(uint8_t lengthBytes) {
    lengthBytes = std::min(lengthBytes, kMaxProcessDataLength);
    if (lengthBytes <= 2) return static_cast<uint8_t>(lengthBytes * 8);
    return static_cast<uint8_t>(0x80 | (lengthBytes - 1));
}

uint8_t decodeProcessDataLength(uint8_t encoded) {
    unsigned bytes = (encoded & 0x80) ? (encoded & 0x1Fu) + 1 : ((encoded & 0x1Fu) + 7) / 8;
    return static_cast<uint8_t>(std::min<unsigned>(bytes, kMaxProcessDataLength));
}

}  // namespace iolsim
