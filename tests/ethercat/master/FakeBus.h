// A small scripted EtherCAT segment for the master's unit tests: register memory per device,
// auto-increment/configured/broadcast/logical addressing with working counters, an EEPROM behind
// 0x0500-0x050F, and mailbox SMs whose messages go to a per-device handler. It is deliberately
// simple (no AL rules, no timing); the full simulated segment is tested elsewhere.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <vector>

namespace fakebus {

inline uint16_t rd16(const std::vector<uint8_t>& m, size_t a) { return static_cast<uint16_t>(m[a] | m[a + 1] << 8); }
inline void wr16(std::vector<uint8_t>& m, size_t a, uint16_t v) {
  m[a] = static_cast<uint8_t>(v);
  m[a + 1] = static_cast<uint8_t>(v >> 8);
}
// Appends element by element (GCC 12 warns falsely on vector::insert into small vectors).
template <typename It>
void append(std::vector<uint8_t>& v, It from, It to) {
  for (; from != to; ++from) v.push_back(static_cast<uint8_t>(*from));
}
inline uint32_t rd32(const std::vector<uint8_t>& m, size_t a) { return rd16(m, a) | static_cast<uint32_t>(rd16(m, a + 2)) << 16; }

struct Device {
  static constexpr size_t kMemory = 0x3000;
  std::vector<uint8_t> mem = std::vector<uint8_t>(kMemory, 0);
  std::vector<uint8_t> eeprom;
  // Called with each complete mailbox message the master wrote (header included); replies are
  // queued with post().
  std::function<void(Device&, const std::vector<uint8_t>&)> onMailbox;
  std::deque<std::vector<uint8_t>> outbox;
  std::vector<uint8_t> posted, lastPosted;
  bool sm1Full = false;
  uint8_t lastCounter = 0;
  bool silent = false;
  bool eeprom8Byte = false;
  int eepromBusyPolls = 0;  // polls of 0x0502 that still see busy after each command
  int busyLeft = 0;
  std::vector<std::vector<uint8_t>> received;  // mailbox messages as written

  Device() {
    mem[0x0000] = 0x11;
    mem[0x0004] = 8;
    mem[0x0005] = 8;
    wr16(mem, 0x0110, 0x0031 | 0x0200);  // port 0 communicating
    wr16(mem, 0x0130, 0x0001);
  }
  uint16_t sm0Start() const { return rd16(mem, 0x0800); }
  uint16_t sm0Length() const { return rd16(mem, 0x0802); }
  uint16_t sm1Start() const { return rd16(mem, 0x0808); }
  uint16_t sm1Length() const { return rd16(mem, 0x080A); }
  void post(std::vector<uint8_t> message) { outbox.push_back(std::move(message)); refresh(); }
  void refresh() {
    if (!sm1Full && !outbox.empty() && sm1Length() > 0) {
      posted = outbox.front();
      outbox.pop_front();
      posted.resize(sm1Length(), 0);
      std::copy(posted.begin(), posted.end(), mem.begin() + sm1Start());
      lastPosted = posted;
      sm1Full = true;
    }
    mem[0x080D] = static_cast<uint8_t>(sm1Full ? 0x08 : 0x00);
  }
};

// SII image helpers.
// SII of a test device: identity, mailbox words, a Strings category with `name` and, when given,
// an SM category of {start, length, control, type} entries.
struct SmEntry {
  uint16_t start, length;
  uint8_t control, type;
};
std::vector<uint8_t> siiImage(uint32_t vendor, uint32_t product, uint16_t mailboxOut, uint16_t mailboxIn,
                              uint16_t mailboxLength, uint16_t protocols, const std::string& name,
                              const std::vector<SmEntry>& syncManagers = {});

class Bus {
public:
  std::vector<Device> devices;
  // Reply loss: each reply is dropped with this probability (deterministic seed).
  double lossRate = 0.0;
  std::mt19937 random{12345};
  uint64_t frames = 0;

  std::optional<std::vector<uint8_t>> process(std::vector<uint8_t> frame);
};

// A mailbox message: header (length, counter, type) plus body.
std::vector<uint8_t> mailboxMessage(uint8_t type, const std::vector<uint8_t>& body, uint8_t counter = 0);

}  // namespace fakebus
