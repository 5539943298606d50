#include "FakeBus.h"

#include <algorithm>

namespace fakebus {

namespace {
enum Cmd : uint8_t { NOP, APRD, APWR, APRW, FPRD, FPWR, FPRW, BRD, BWR, BRW, LRD, LWR, LRW, ARMW, FRMW };

bool reads(uint8_t c) { return c == APRD || c == APRW || c == FPRD || c == FPRW || c == BRD || c == BRW || c == LRD || c == LRW || c == FRMW || c == ARMW; }
bool writes(uint8_t c) { return c == APWR || c == APRW || c == FPWR || c == FPRW || c == BWR || c == BRW || c == LWR || c == LRW; }

void eepromCommand(Device& d) {
  uint16_t control = rd16(d.mem, 0x0502);
  if (d.mem[0x0500] & 0x01) return;  // the PDI owns the EEPROM: ECAT commands are ignored
  uint16_t command = control & 0x0700;
  uint32_t word = rd32(d.mem, 0x0504);
  uint16_t status = d.eeprom8Byte ? 0x0040 : 0;
  if (command == 0x0100) {
    int bytes = d.eeprom8Byte ? 8 : 4;
    for (int i = 0; i < bytes; ++i) {
      size_t at = word * 2 + static_cast<size_t>(i);
      d.mem[0x0508 + static_cast<size_t>(i)] = at < d.eeprom.size() ? d.eeprom[at] : 0xFF;
    }
  } else if (command == 0x0200) {
    if (!(control & 0x0001)) status |= 0x4000;
    else if (word * 2 + 1 >= d.eeprom.size()) status |= 0x2000;
    else {
      d.eeprom[word * 2] = d.mem[0x0508];
      d.eeprom[word * 2 + 1] = d.mem[0x0509];
    }
  }
  wr16(d.mem, 0x0502, status);
  d.busyLeft = d.eepromBusyPolls;
}

// Register access of one device; returns the working counter contribution.
int access(Device& d, uint8_t cmd, uint16_t ado, uint8_t* data, size_t len, bool broadcastRead) {
  if (static_cast<size_t>(ado) + len > d.mem.size()) return 0;
  d.refresh();
  int wkc = 0;
  const uint16_t s0 = d.sm0Start(), l0 = d.sm0Length(), s1 = d.sm1Start(), l1 = d.sm1Length();
  bool touchesSm0 = l0 && ado < s0 + l0 && ado + len > s0;
  bool touchesSm1 = l1 && ado < s1 + l1 && ado + len > s1;
  if (reads(cmd) && ado <= 0x0503 && ado + len > 0x0503) {
    if (d.busyLeft > 0) {
      --d.busyLeft;
      d.mem[0x0503] |= 0x80;
    } else {
      d.mem[0x0503] &= 0x7F;
    }
  }
  if (reads(cmd)) {
    if (touchesSm1 && !d.sm1Full) {
      // empty mailbox: not counted, data unchanged
    } else {
      for (size_t i = 0; i < len; ++i) data[i] = broadcastRead ? static_cast<uint8_t>(data[i] | d.mem[ado + i]) : d.mem[ado + i];
      ++wkc;
      if (touchesSm1 && ado + len >= static_cast<size_t>(s1 + l1)) {
        d.sm1Full = false;
        d.refresh();
      }
    }
  }
  if (writes(cmd)) {
    if (touchesSm0 && (d.mem[0x0805] & 0x08)) return wkc;  // full: ignored, not counted
    uint8_t oldActivate = d.mem[0x080E];
    std::copy(data, data + len, d.mem.begin() + ado);
    wkc += (cmd == APRW || cmd == FPRW || cmd == BRW) ? 2 : 1;
    if (ado <= 0x0120 && ado + len > 0x0120) wr16(d.mem, 0x0130, d.mem[0x0120] & 0x0F);
    if (ado <= 0x0502 && ado + len > 0x0503) eepromCommand(d);
    if (ado <= 0x080E && ado + len > 0x080E && ((oldActivate ^ d.mem[0x080E]) & 0x02)) {
      d.posted = d.lastPosted;
      std::copy(d.posted.begin(), d.posted.end(), d.mem.begin() + s1);
      d.sm1Full = true;
      d.mem[0x080F] = static_cast<uint8_t>((d.mem[0x080F] & ~0x02) | (d.mem[0x080E] & 0x02));
      d.refresh();
    }
    if (touchesSm0 && ado + len >= static_cast<size_t>(s0 + l0)) {
      std::vector<uint8_t> message(d.mem.begin() + s0, d.mem.begin() + s0 + l0);
      uint8_t counter = (message[5] >> 4) & 0x07;
      // A resent write carries the counter of the message before it: dropped as a duplicate.
      if (counter == 0 || counter != d.lastCounter) {
        d.lastCounter = counter;
        d.received.push_back(message);
        if (d.onMailbox) d.onMailbox(d, message);
      }
    }
  }
  return wkc;
}

int logical(Device& d, uint8_t cmd, uint32_t address, uint8_t* data, size_t len) {
  int wkc = 0;
  bool didRead = false, didWrite = false;
  for (int k = 0; k < 4; ++k) {
    size_t f = 0x0600 + 16 * static_cast<size_t>(k);
    if (!(d.mem[f + 12] & 1)) continue;
    uint32_t start = rd32(d.mem, f);
    uint16_t length = rd16(d.mem, f + 4);
    uint16_t phys = rd16(d.mem, f + 8);
    uint8_t type = d.mem[f + 11];
    for (uint32_t i = 0; i < length; ++i) {
      uint32_t logicalByte = start + i;
      if (logicalByte < address || logicalByte >= address + len) continue;
      size_t at = logicalByte - address;
      if ((type & 1) && (cmd == LRD || cmd == LRW)) { data[at] = d.mem[phys + i]; didRead = true; }
      if ((type & 2) && (cmd == LWR || cmd == LRW)) { d.mem[phys + i] = data[at]; didWrite = true; }
    }
  }
  if (didRead) wkc += 1;
  if (didWrite) wkc += (cmd == LRW) ? 2 : 1;
  return wkc;
}
}  // namespace

std::vector<uint8_t> mailboxMessage(uint8_t type, const std::vector<uint8_t>& body, uint8_t counter) {
  std::vector<uint8_t> m(6 + body.size(), 0);
  wr16(m, 0, static_cast<uint16_t>(body.size()));
  m[5] = static_cast<uint8_t>(type | counter << 4);
  std::copy(body.begin(), body.end(), m.begin() + 6);
  return m;
}

std::vector<uint8_t> siiImage(uint32_t vendor, uint32_t product, uint16_t mailboxOut, uint16_t mailboxIn,
                              uint16_t mailboxLength, uint16_t protocols, const std::string& name,
                              const std::vector<SmEntry>& syncManagers) {
  std::vector<uint8_t> e(256, 0xFF);
  std::fill(e.begin(), e.begin() + 0x80, 0);
  auto put32 = [&](size_t a, uint32_t v) { wr16(e, a, static_cast<uint16_t>(v)); wr16(e, a + 2, static_cast<uint16_t>(v >> 16)); };
  put32(0x10, vendor);
  put32(0x14, product);
  put32(0x18, 1);
  wr16(e, 0x30, mailboxOut);
  wr16(e, 0x32, mailboxLength);
  wr16(e, 0x34, mailboxIn);
  wr16(e, 0x36, mailboxLength);
  wr16(e, 0x38, protocols);
  size_t at = 0x80;
  std::vector<uint8_t> strings{1, static_cast<uint8_t>(name.size())};
  append(strings, name.begin(), name.end());
  if (strings.size() % 2) strings.push_back(0);
  wr16(e, at, 10);
  wr16(e, at + 2, static_cast<uint16_t>(strings.size() / 2));
  std::copy(strings.begin(), strings.end(), e.begin() + static_cast<long>(at + 4));
  at += 4 + strings.size();
  if (!syncManagers.empty()) {
    wr16(e, at, 41);
    wr16(e, at + 2, static_cast<uint16_t>(syncManagers.size() * 4));
    at += 4;
    for (const auto& sm : syncManagers) {
      wr16(e, at, sm.start);
      wr16(e, at + 2, sm.length);
      e[at + 4] = sm.control;
      e[at + 5] = 0;
      e[at + 6] = 1;
      e[at + 7] = sm.type;
      at += 8;
    }
  }
  wr16(e, at, 0xFFFF);
  return e;
}

std::optional<std::vector<uint8_t>> Bus::process(std::vector<uint8_t> frame) {
  ++frames;
  if (frame.size() < 16 || frame[12] != 0x88 || frame[13] != 0xA4) return std::nullopt;
  size_t end = 16 + (rd16(frame, 14) & 0x07FF);
  size_t at = 16;
  while (at + 12 <= end && end <= frame.size()) {
    uint8_t cmd = frame[at];
    uint16_t adp = rd16(frame, at + 2), ado = rd16(frame, at + 4), lenField = rd16(frame, at + 6);
    size_t len = lenField & 0x07FF;
    if (at + 12 + len > end) return std::nullopt;
    uint8_t* data = &frame[at + 10];
    int wkc = rd16(frame, at + 10 + len);
    for (auto& d : devices) {
      if (d.silent) break;  // a silent device also stops the frame (it never comes back)
      switch (cmd) {
        case APRD: case APWR: case APRW:
          if (adp == 0) wkc += access(d, cmd, ado, data, len, false);
          ++adp;
          break;
        case FPRD: case FPWR: case FPRW:
          if (adp == rd16(d.mem, 0x0010)) wkc += access(d, cmd, ado, data, len, false);
          break;
        case BRD: case BWR: case BRW:
          wkc += access(d, cmd, ado, data, len, cmd == BRD);
          ++adp;
          break;
        case LRD: case LWR: case LRW:
          wkc += logical(d, cmd, static_cast<uint32_t>(adp) | static_cast<uint32_t>(ado) << 16, data, len);
          break;
        case FRMW:
          if (adp == rd16(d.mem, 0x0010)) wkc += access(d, FPRD, ado, data, len, false);
          break;
        default:
          break;
      }
    }
    for (auto& d : devices)
      if (d.silent) return std::nullopt;
    wr16(frame, at + 2, adp);
    wr16(frame, at + 10 + len, static_cast<uint16_t>(wkc));
    at += 12 + len;
    if (!(lenField & 0x8000)) break;
  }
  frame[6] |= 0x02;
  if (lossRate > 0 && std::uniform_real_distribution<double>(0, 1)(random) < lossRate) return std::nullopt;
  return frame;
}

}  // namespace fakebus
