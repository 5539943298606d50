// EtherCAT frames and datagrams: typed commands, encoding of a request frame and decoding of a
// returned one. Datagrams are located only through their length fields, so padded (60-byte) and
// unpadded (veth) frames decode alike; anything that does not add up is rejected whole.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ecmaster {

enum class Command : uint8_t {
  NOP = 0, APRD, APWR, APRW, FPRD, FPWR, FPRW, BRD, BWR, BRW, LRD, LWR, LRW, ARMW, FRMW
};

inline constexpr uint16_t kEtherTypeEtherCat = 0x88A4;
inline constexpr size_t kEthernetHeaderBytes = 14;
inline constexpr size_t kEtherCatHeaderBytes = 2;
inline constexpr size_t kDatagramHeaderBytes = 10;
inline constexpr size_t kWkcBytes = 2;
inline constexpr size_t kMaxFrameBytes = 1514;
inline constexpr size_t kMinFrameBytes = 60;
inline constexpr size_t kMaxDatagramsArea = kMaxFrameBytes - kEthernetHeaderBytes - kEtherCatHeaderBytes;
inline constexpr size_t kMaxDatagramData = 1486;

struct Datagram {
  Command command = Command::NOP;
  uint16_t adp = 0;  // position, station address or low word of a logical address
  uint16_t ado = 0;  // register or high word of a logical address
  std::vector<uint8_t> data;
  uint16_t wkc = 0;
  uint8_t index = 0;   // filled on decode
  uint16_t irq = 0;    // filled on decode

  static Datagram logical(Command command, uint32_t address, std::vector<uint8_t> data) {
    return {command, static_cast<uint16_t>(address & 0xFFFF), static_cast<uint16_t>(address >> 16),
            std::move(data)};
  }
};

// True for commands whose ADP the devices change on the way (auto-increment and broadcast).
bool adpChangesInTransit(Command command);

// A frame with `datagrams`, all tagged with `index`. The source MAC carries `tag` in its last
// four octets (devices change only bit 1 of the first octet), so a reply can be tied to the
// transmission it answers. Nothing when the datagrams do not fit one frame.
std::optional<std::vector<uint8_t>> encodeFrame(std::span<const Datagram> datagrams, uint8_t index,
                                                uint32_t tag);

struct DecodedFrame {
  std::array<uint8_t, 6> source{};
  std::vector<Datagram> datagrams;
  uint32_t tag() const {
    return static_cast<uint32_t>(source[2]) | static_cast<uint32_t>(source[3]) << 8 |
           static_cast<uint32_t>(source[4]) << 16 | static_cast<uint32_t>(source[5]) << 24;
  }
};

// Nothing unless the bytes are an EtherCAT command frame whose length fields are consistent.
std::optional<DecodedFrame> decodeFrame(std::span<const uint8_t> frame);

// Little-endian helpers shared by the layers.
inline uint16_t getU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t getU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t getU64(const uint8_t* p) {
  return static_cast<uint64_t>(getU32(p)) | static_cast<uint64_t>(getU32(p + 4)) << 32;
}
inline void putU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void putU64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline std::vector<uint8_t> le16(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }

}  // namespace ecmaster
