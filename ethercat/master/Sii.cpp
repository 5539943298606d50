// SII EEPROM: the ESC's EEPROM interface (0x0500-0x050F), the per-device byte cache and the
// category parsers. Every category walk stays inside the first 4 KiB and inside the category's
// own length, so a corrupt or hostile image yields empty results, never a read past a buffer.
#include <thread>

#include "MasterContext.h"

namespace ecmaster {

namespace {
constexpr uint16_t kRegEepConfig = 0x0500;
constexpr uint16_t kRegEepControl = 0x0502;
constexpr uint16_t kRegEepData = 0x0508;
constexpr uint16_t kEepCmdRead = 0x0100;
constexpr uint16_t kEepCmdWrite = 0x0201;  // write command with write enable
constexpr uint16_t kEepErrorMask = 0x7800;
constexpr uint16_t kEepNack = 0x2000;
constexpr uint16_t kEepWriteDisabled = 0x4000;
constexpr uint16_t kEepBusy = 0x8000;
constexpr uint16_t kEepRead8Bytes = 0x0040;
constexpr int kEepCommandAttempts = 4;
constexpr int kEepNackRetries = 3;
constexpr auto kEepPollInterval = std::chrono::microseconds(200);
constexpr auto kEepNackDelay = std::chrono::milliseconds(1);
constexpr uint16_t kFirstCategoryByte = 0x0080;
constexpr uint16_t kCategoryEnd = 0xFFFF;
constexpr uint16_t kCategoryStrings = 10;
constexpr uint16_t kCategoryGeneral = 30;
constexpr uint16_t kCategoryFmmu = 40;
constexpr uint16_t kCategorySyncManager = 41;
constexpr uint16_t kCategoryTxPdo = 50;

// The EEPROM control word once the interface is idle, or nothing on timeout/no answer.
std::optional<uint16_t> waitEepromIdle(Context& ctx, uint16_t configadr, Clock::time_point end) {
  for (;;) {
    uint8_t status[2] = {};
    int wkc = transfer(ctx.exchange, Command::FPRD, configadr, kRegEepControl, status, 2,
                       EC_TIMEOUTRET);
    uint16_t value = getU16(status);
    if (wkc > 0 && !(value & kEepBusy)) return value;
    if (Clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(kEepPollInterval);
  }
}

bool issueEepromCommand(Context& ctx, uint16_t configadr, uint16_t command, uint16_t word) {
  uint8_t request[6] = {};
  putU16(request, command);
  putU16(request + 2, word);
  for (int attempt = 0; attempt < kEepCommandAttempts; ++attempt) {
    if (transfer(ctx.exchange, Command::FPWR, configadr, kRegEepControl, request, sizeof request,
                 EC_TIMEOUTRET) > 0)
      return true;
  }
  return false;
}

bool clearEepromErrors(Context& ctx, uint16_t configadr, uint16_t status) {
  if (!(status & kEepErrorMask)) return true;
  uint8_t zero[2] = {};
  return transfer(ctx.exchange, Command::FPWR, configadr, kRegEepControl, zero, 2,
                  EC_TIMEOUTRET) > 0;
}

// The 4 or 8 bytes at `word`, as the ESC returns them.
std::optional<std::pair<uint64_t, int>> readEeprom(Context& ctx, uint16_t configadr, uint16_t word,
                                                   int timeoutUs) {
  auto end = Clock::now() + std::chrono::microseconds(timeoutUs);
  auto status = waitEepromIdle(ctx, configadr, end);
  if (!status || !clearEepromErrors(ctx, configadr, *status)) return std::nullopt;
  for (int tries = 0; tries <= kEepNackRetries; ++tries) {
    if (!issueEepromCommand(ctx, configadr, kEepCmdRead, word)) return std::nullopt;
    std::this_thread::sleep_for(kEepPollInterval);
    status = waitEepromIdle(ctx, configadr, end);
    if (!status) return std::nullopt;
    if (*status & kEepNack) {
      std::this_thread::sleep_for(kEepNackDelay);
      continue;
    }
    int bytes = (*status & kEepRead8Bytes) ? 8 : 4;
    uint8_t data[8] = {};
    if (transfer(ctx.exchange, Command::FPRD, configadr, kRegEepData, data,
                 static_cast<size_t>(bytes), EC_TIMEOUTRET) <= 0)
      return std::nullopt;
    return std::make_pair(bytes == 8 ? getU64(data) : getU32(data), bytes);
  }
  return std::nullopt;
}

class DeviceSii final : public SiiSource {
public:
  DeviceSii(Context& ctx, uint16_t slave) : ctx_(ctx), slave_(slave) {
    if (ctx_.sii.slave != slave) {
      ctx_.sii.slave = slave;
      ctx_.sii.loaded.reset();
    }
  }
  ~DeviceSii() override {
    if (handedToMaster_) eepromToPdi(ctx_, slave_);
  }
  uint8_t byteAt(uint16_t address) override {
    if (address >= kSiiCacheBytes) return 0xFF;
    size_t word = address / 2;
    if (!ctx_.sii.loaded[word]) {
      if (ctx_.slave[slave_].eep_pdi) {
        eepromToMaster(ctx_, slave_);
        handedToMaster_ = true;
      }
      auto data = readEeprom(ctx_, ctx_.slave[slave_].configadr, static_cast<uint16_t>(word),
                             EC_TIMEOUTEEP);
      if (!data) return 0xFF;
      for (int i = 0; i < data->second && word * 2 + static_cast<size_t>(i) < kSiiCacheBytes; ++i) {
        ctx_.sii.bytes[word * 2 + static_cast<size_t>(i)] = static_cast<uint8_t>(data->first >> (8 * i));
        ctx_.sii.loaded[(word * 2 + static_cast<size_t>(i)) / 2] = true;
      }
    }
    return ctx_.sii.bytes[address];
  }

private:
  Context& ctx_;
  uint16_t slave_;
  bool handedToMaster_ = false;
};

uint16_t u16At(SiiSource& src, uint32_t address) {
  return static_cast<uint16_t>(src.byteAt(static_cast<uint16_t>(address)) |
                               src.byteAt(static_cast<uint16_t>(address + 1)) << 8);
}
}  // namespace

uint8_t siiCrc8(const uint8_t* data, size_t length) {
  uint8_t crc = 0xFF;
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
  }
  return crc;
}

std::unique_ptr<SiiSource> deviceSii(Context& ctx, uint16_t slave) {
  return std::make_unique<DeviceSii>(ctx, slave);
}

uint16_t siiFindCategory(SiiSource& src, uint16_t type, uint16_t* lengthBytes) {
  uint32_t at = kFirstCategoryByte;
  while (at + 4 <= kSiiCacheBytes) {
    uint16_t found = u16At(src, at);
    uint32_t length = static_cast<uint32_t>(u16At(src, at + 2)) * 2;
    if (found == kCategoryEnd) return 0;
    if (found == type) {
      if (lengthBytes)
        *lengthBytes = static_cast<uint16_t>(std::min<uint32_t>(length, kSiiCacheBytes - (at + 4)));
      return static_cast<uint16_t>(at + 4);
    }
    at += 4 + length;
  }
  return 0;
}

std::string siiString(SiiSource& src, uint16_t number) {
  uint16_t length = 0;
  uint16_t start = siiFindCategory(src, kCategoryStrings, &length);
  if (start == 0 || number == 0 || length == 0) return {};
  uint32_t end = start + static_cast<uint32_t>(length);
  uint8_t count = src.byteAt(start);
  if (number > count) return {};
  uint32_t at = start + 1u;
  for (uint16_t n = 1; at < end; ++n) {
    uint8_t size = src.byteAt(static_cast<uint16_t>(at));
    if (n == number) {
      std::string text;
      for (uint32_t i = 0; i < size && i < EC_MAXNAME && at + 1 + i < end; ++i)
        text.push_back(static_cast<char>(src.byteAt(static_cast<uint16_t>(at + 1 + i))));
      return text;
    }
    at += 1u + size;
  }
  return {};
}

std::optional<SiiGeneral> siiGeneral(SiiSource& src) {
  uint16_t length = 0;
  uint16_t start = siiFindCategory(src, kCategoryGeneral, &length);
  if (start == 0 || length < 14) return std::nullopt;
  SiiGeneral g;
  g.nameIndex = src.byteAt(static_cast<uint16_t>(start + 3));
  g.coeDetails = src.byteAt(static_cast<uint16_t>(start + 5));
  g.foeDetails = src.byteAt(static_cast<uint16_t>(start + 6));
  g.eoeDetails = src.byteAt(static_cast<uint16_t>(start + 7));
  g.soeDetails = src.byteAt(static_cast<uint16_t>(start + 8));
  g.flags = src.byteAt(static_cast<uint16_t>(start + 11));
  g.ebusCurrentMa = static_cast<int16_t>(u16At(src, start + 12u));
  return g;
}

int siiSyncManagers(SiiSource& src, ec_slavet& slave) {
  uint16_t length = 0;
  uint16_t start = siiFindCategory(src, kCategorySyncManager, &length);
  if (start == 0) return 0;
  int count = std::min<int>(length / 8, EC_MAXSM);
  for (int i = 0; i < count; ++i) {
    uint32_t at = start + static_cast<uint32_t>(i) * 8;
    slave.SM[i].StartAddr = u16At(src, at);
    slave.SM[i].SMlength = u16At(src, at + 2);
    slave.SM[i].SMflags = src.byteAt(static_cast<uint16_t>(at + 4)) +
                          (static_cast<uint32_t>(src.byteAt(static_cast<uint16_t>(at + 6))) << 16);
    slave.SMtype[i] = src.byteAt(static_cast<uint16_t>(at + 7));
  }
  return count;
}

int siiFmmus(SiiSource& src, ec_slavet& slave) {
  uint16_t length = 0;
  uint16_t start = siiFindCategory(src, kCategoryFmmu, &length);
  if (start == 0) return 0;
  uint8_t* funcs[EC_MAXFMMU] = {&slave.FMMU0func, &slave.FMMU1func, &slave.FMMU2func,
                                &slave.FMMU3func};
  int count = std::min<int>(length, EC_MAXFMMU);
  for (int i = 0; i < count; ++i) *funcs[i] = src.byteAt(static_cast<uint16_t>(start + i));
  return count;
}

int siiPdo(SiiSource& src, ec_eepromPDOt& pdo, uint8_t t) {
  pdo.nPDO = 0;
  pdo.Startpos = 0;
  pdo.Length = 0;
  for (auto& bits : pdo.SMbitsize) bits = 0;
  uint16_t length = 0;
  uint16_t start = siiFindCategory(src, static_cast<uint16_t>(kCategoryTxPdo + (t > 1 ? 1 : t)), &length);
  if (start == 0) return 0;
  pdo.Startpos = static_cast<uint16_t>(start - 2);
  pdo.Length = static_cast<uint16_t>(length / 2);
  uint32_t end = start + static_cast<uint32_t>(length);
  uint32_t at = start;
  int total = 0;
  while (at + 8 <= end && pdo.nPDO < EC_MAXEEPDO - 1) {
    uint16_t index = u16At(src, at);
    uint8_t entries = src.byteAt(static_cast<uint16_t>(at + 2));
    uint8_t sm = src.byteAt(static_cast<uint16_t>(at + 3));
    uint32_t entriesEnd = at + 8 + static_cast<uint32_t>(entries) * 8;
    if (entriesEnd > end) break;  // truncated PDO: not counted
    int bits = 0;
    for (uint32_t e = 0; e < entries; ++e)
      bits += src.byteAt(static_cast<uint16_t>(at + 8 + e * 8 + 5));
    ++pdo.nPDO;
    pdo.Index[pdo.nPDO] = index;
    pdo.SyncM[pdo.nPDO] = sm;
    pdo.BitSize[pdo.nPDO] = static_cast<uint16_t>(bits);
    if (sm < EC_MAXSM) {
      pdo.SMbitsize[sm] = static_cast<uint16_t>(pdo.SMbitsize[sm] + bits);
      total += bits;
    }
    at = entriesEnd;
  }
  return total;
}

uint64_t readEepromFP(Context& ctx, uint16_t configadr, uint16_t word, int timeoutUs) {
  auto data = readEeprom(ctx, configadr, word, timeoutUs);
  return data ? data->first : 0;
}

int writeEepromFP(Context& ctx, uint16_t configadr, uint16_t word, uint16_t data, int timeoutUs) {
  auto end = Clock::now() + std::chrono::microseconds(timeoutUs);
  auto status = waitEepromIdle(ctx, configadr, end);
  if (!status || !clearEepromErrors(ctx, configadr, *status)) return 0;
  for (int tries = 0; tries <= kEepNackRetries; ++tries) {
    uint8_t value[2];
    putU16(value, data);
    if (transfer(ctx.exchange, Command::FPWR, configadr, kRegEepData, value, 2, EC_TIMEOUTRET) <= 0)
      return 0;
    if (!issueEepromCommand(ctx, configadr, kEepCmdWrite, word)) return 0;
    std::this_thread::sleep_for(2 * kEepPollInterval);
    status = waitEepromIdle(ctx, configadr, end);
    if (!status) return 0;
    if (*status & kEepNack) {
      std::this_thread::sleep_for(kEepNackDelay);
      continue;
    }
    return (*status & (kEepErrorMask | kEepWriteDisabled)) ? 0 : 1;
  }
  return 0;
}

int eepromToMaster(Context& ctx, uint16_t slave) {
  if (!ctx.validSlave(slave)) return 0;
  ec_slavet& s = ctx.slave[slave];
  if (!s.eep_pdi) return 1;
  int wkc = 0;
  for (uint8_t value : {uint8_t{2}, uint8_t{0}}) {
    wkc = 0;
    for (int attempt = 0; attempt < kEepCommandAttempts && wkc <= 0; ++attempt)
      wkc = transfer(ctx.exchange, Command::FPWR, s.configadr, kRegEepConfig, &value, 1,
                     EC_TIMEOUTRET);
  }
  s.eep_pdi = 0;
  return wkc;
}

int eepromToPdi(Context& ctx, uint16_t slave) {
  if (!ctx.validSlave(slave)) return 0;
  ec_slavet& s = ctx.slave[slave];
  if (s.eep_pdi) return 1;
  uint8_t value = 1;
  int wkc = 0;
  for (int attempt = 0; attempt < kEepCommandAttempts && wkc <= 0; ++attempt)
    wkc = transfer(ctx.exchange, Command::FPWR, s.configadr, kRegEepConfig, &value, 1,
                   EC_TIMEOUTRET);
  if (wkc > 0) s.eep_pdi = 1;
  return wkc;
}

}  // namespace ecmaster
