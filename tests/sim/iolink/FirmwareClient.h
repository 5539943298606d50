// Test client for the simulated device's firmware-update objects: BLOB channel messages built
// byte by byte, the entry code, and a whole transfer carried out
// frame by frame through handleRequest().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SimClient.h"
#include "iolink/firmware/DeviceObjects.h"

namespace iolsim::test {

constexpr uint16_t kBlobIndex = 50;
constexpr uint16_t kSystemCommandIndex = 2;
constexpr uint16_t kBootStatusIndex = 0x43BF;

inline Bytes startMessage(uint16_t id) { return {0xF1, static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id)}; }
inline Bytes segmentMessage(uint32_t number, const Bytes& data, std::size_t from, std::size_t to) {
    Bytes m{static_cast<uint8_t>(0x20 | (number & 0x0F))};
    m.insert(m.end(), data.begin() + static_cast<std::ptrdiff_t>(from), data.begin() + static_cast<std::ptrdiff_t>(to));
    return m;
}
inline Bytes lastSegmentMessage(const Bytes& data, std::size_t from, std::size_t to) {
    Bytes m{0x30};
    m.insert(m.end(), data.begin() + static_cast<std::ptrdiff_t>(from), data.begin() + static_cast<std::ptrdiff_t>(to));
    return m;
}
inline Bytes crcMessage(uint32_t crc) {
    return {0x40, static_cast<uint8_t>(crc >> 24), static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 8),
            static_cast<uint8_t>(crc)};
}
inline const Bytes kFinishMessage{0xF2};
inline const Bytes kAbortMessage{0xF0};

inline Bytes infoAnswer(uint32_t maxSize, uint8_t maxSegment) {
    return {0x11, static_cast<uint8_t>(maxSize >> 24), static_cast<uint8_t>(maxSize >> 16),
            static_cast<uint8_t>(maxSize >> 8), static_cast<uint8_t>(maxSize), maxSegment};
}

// A deterministic image: a byte pattern that does not repeat with the segment length.
inline Bytes patternImage(std::size_t size, uint32_t seed = 1) {
    Bytes b(size);
    uint32_t x = seed ? seed : 1;
    for (auto& v : b) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        v = static_cast<uint8_t>(x);
    }
    return b;
}

// The BLOB CRC computed another way than the simulator does (a byte table), so the
// tests do not take their expected values from the code under test.
inline uint32_t referenceCrc(const Bytes& data) {
    static const auto table = [] {
        std::vector<uint32_t> t(256);
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ ((c & 1u) ? 0xEB31D82Eu : 0u);
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFE;
    for (uint8_t b : data) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline const Bytes kWriteDone = resultFrame(kResultWriteDone);
inline Bytes readData(const Bytes& bytes) { return resultFrame(kResultReadData, bytes); }
inline Bytes writeError(uint16_t code) { return errorResult(kResultWriteError, code); }
inline Bytes readError(uint16_t code) { return errorResult(kResultReadError, code); }

class FirmwareClient : public SimClient {
public:
    explicit FirmwareClient(SimulatorConfig config = {}) : SimClient(std::move(config)) {}

    Bytes write(uint16_t index, const Bytes& data) { return isdu(isduWrite(index, 0, data)); }
    Bytes read(uint16_t index, uint8_t subindex = 0) { return isdu(isduRead(index, subindex)); }
    Bytes blob(const Bytes& message) { return write(kBlobIndex, message); }
    Bytes command(uint8_t byte) { return write(kSystemCommandIndex, {byte}); }
    Bytes bootStatus() { return read(kBootStatusIndex); }

    // The nine entry bytes; true when every one was accepted.
    bool sendEntryCode() {
        bool ok = true;
        for (uint8_t b : iolink::bootloaderEntryCode()) ok = command(b) == kWriteDone && ok;
        return ok;
    }

    // A whole transfer as the library makes it: start, information, segments of
    // (byte 5 - 1) bytes, last segment, CRC, finish. Stops at the first answer that is not a
    // success and returns it; kWriteDone when all went through.
    Bytes transfer(uint16_t id, const Bytes& data) {
        Bytes a = blob(startMessage(id));
        if (a != kWriteDone) return a;
        Bytes info = read(kBlobIndex);
        if (info.size() != 5 + 6) return info;
        const std::size_t s = static_cast<uint8_t>(info[4 + 5] - 1);
        const std::size_t n = data.size();
        const std::size_t segments = (n + s - 1) / s;
        for (std::size_t i = 0; i + 1 < segments; ++i) {
            a = blob(segmentMessage(static_cast<uint32_t>(i), data, i * s, (i + 1) * s));
            if (a != kWriteDone) return a;
        }
        a = blob(lastSegmentMessage(data, segments ? (segments - 1) * s : 0, n));
        if (a != kWriteDone) return a;
        a = blob(crcMessage(referenceCrc(data)));
        if (a != kWriteDone) return a;
        return blob(kFinishMessage);
    }
};

}  // namespace iolsim::test
