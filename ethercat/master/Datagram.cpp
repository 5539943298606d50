// Frame layout: Ethernet header (EtherType 0x88A4), EtherCAT header (type 1, datagram area
// length), then datagrams of 10 header bytes, data and a 2-byte working counter, chained by the
// M bit. Frames shorter than 60 bytes are padded on transmit; the padding is counted nowhere.
#include "Datagram.h"

namespace ecmaster {

namespace {
constexpr uint16_t kLengthMask = 0x07FF;
constexpr uint16_t kCirculatingBit = 0x4000;
constexpr uint16_t kMoreBit = 0x8000;
constexpr uint16_t kTypeCommands = 0x1000;
}  // namespace

bool adpChangesInTransit(Command command) {
  switch (command) {
    case Command::APRD: case Command::APWR: case Command::APRW: case Command::ARMW:
    case Command::BRD: case Command::BWR: case Command::BRW:
      return true;
    default:
      return false;
  }
}

std::optional<std::vector<uint8_t>> encodeFrame(std::span<const Datagram> datagrams, uint8_t index,
                                                uint32_t tag) {
  size_t area = 0;
  for (const auto& d : datagrams) {
    if (d.data.size() > kMaxDatagramData) return std::nullopt;
    area += kDatagramHeaderBytes + d.data.size() + kWkcBytes;
  }
  if (datagrams.empty() || area > kMaxDatagramsArea) return std::nullopt;
  std::vector<uint8_t> frame(kEthernetHeaderBytes + kEtherCatHeaderBytes + area, 0);
  for (int i = 0; i < 6; ++i) frame[i] = 0xFF;
  frame[6] = 0x01;
  frame[7] = 0x01;
  putU32(&frame[8], tag);
  frame[12] = static_cast<uint8_t>(kEtherTypeEtherCat >> 8);
  frame[13] = static_cast<uint8_t>(kEtherTypeEtherCat & 0xFF);
  putU16(&frame[14], static_cast<uint16_t>(kTypeCommands | area));
  size_t at = kEthernetHeaderBytes + kEtherCatHeaderBytes;
  for (size_t i = 0; i < datagrams.size(); ++i) {
    const auto& d = datagrams[i];
    uint8_t* h = &frame[at];
    h[0] = static_cast<uint8_t>(d.command);
    h[1] = index;
    putU16(h + 2, d.adp);
    putU16(h + 4, d.ado);
    uint16_t len = static_cast<uint16_t>(d.data.size());
    if (i + 1 < datagrams.size()) len |= kMoreBit;
    putU16(h + 6, len);
    putU16(h + 8, 0);
    std::copy(d.data.begin(), d.data.end(), frame.begin() + static_cast<long>(at + kDatagramHeaderBytes));
    at += kDatagramHeaderBytes + d.data.size();
    putU16(&frame[at], d.wkc);
    at += kWkcBytes;
  }
  if (frame.size() < kMinFrameBytes) frame.resize(kMinFrameBytes, 0);
  return frame;
}

std::optional<DecodedFrame> decodeFrame(std::span<const uint8_t> frame) {
  if (frame.size() < kEthernetHeaderBytes + kEtherCatHeaderBytes + kDatagramHeaderBytes + kWkcBytes)
    return std::nullopt;
  if (getU16(&frame[12]) != ((kEtherTypeEtherCat & 0xFF) << 8 | kEtherTypeEtherCat >> 8))
    return std::nullopt;
  uint16_t header = getU16(&frame[14]);
  if ((header & 0xF000) != kTypeCommands) return std::nullopt;
  size_t area = header & kLengthMask;
  size_t end = kEthernetHeaderBytes + kEtherCatHeaderBytes + area;
  if (end > frame.size()) return std::nullopt;
  DecodedFrame decoded;
  std::copy(frame.begin() + 6, frame.begin() + 12, decoded.source.begin());
  size_t at = kEthernetHeaderBytes + kEtherCatHeaderBytes;
  for (;;) {
    if (at + kDatagramHeaderBytes + kWkcBytes > end) return std::nullopt;
    const uint8_t* h = &frame[at];
    Datagram d;
    d.command = static_cast<Command>(h[0]);
    if (h[0] > static_cast<uint8_t>(Command::FRMW)) return std::nullopt;
    d.index = h[1];
    d.adp = getU16(h + 2);
    d.ado = getU16(h + 4);
    uint16_t len = getU16(h + 6);
    if (len & kCirculatingBit) return std::nullopt;
    d.irq = getU16(h + 8);
    size_t n = len & kLengthMask;
    if (at + kDatagramHeaderBytes + n + kWkcBytes > end) return std::nullopt;
    d.data.assign(h + kDatagramHeaderBytes, h + kDatagramHeaderBytes + n);
    at += kDatagramHeaderBytes + n;
    d.wkc = getU16(&frame[at]);
    at += kWkcBytes;
    decoded.datagrams.push_back(std::move(d));
    if (!(len & kMoreBit)) break;
  }
  return decoded;
}

}  // namespace ecmaster
