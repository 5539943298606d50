// Enumeration and configuration: station addresses, SII identity and mailbox layout, PDO
// mapping and the process image. The image layout is computed on a copy of the device table and
// committed (to the table and to the devices) only once it is known to fit the caller's buffer.
#include <cstdio>
#include <cstring>

#include "MasterContext.h"

namespace ecmaster {

namespace {
constexpr uint16_t kRegType = 0x0000;
constexpr uint16_t kRegPortDescriptor = 0x0007;
constexpr uint16_t kRegFeatures = 0x0008;
constexpr uint16_t kRegStationAddress = 0x0010;
constexpr uint16_t kRegAlias = 0x0012;
constexpr uint16_t kRegDlControl = 0x0100;
constexpr uint16_t kRegDlPort = 0x0101;
constexpr uint16_t kRegDlAlias = 0x0103;
constexpr uint16_t kRegDlStatus = 0x0110;
constexpr uint16_t kRegAlControl = 0x0120;
constexpr uint16_t kRegPdiType = 0x0140;
constexpr uint16_t kRegEventMask = 0x0200;
constexpr uint16_t kRegRxErrors = 0x0300;
constexpr uint16_t kRegEepConfig = 0x0500;
constexpr uint16_t kRegEepControl = 0x0502;
constexpr uint16_t kRegFmmu0 = 0x0600;
constexpr uint16_t kRegSm0 = 0x0800;
constexpr uint16_t kRegDcSystemTime = 0x0910;
constexpr uint16_t kRegDcSpeedStart = 0x0930;
constexpr uint16_t kRegDcTimeFilter = 0x0934;
constexpr uint16_t kRegDcCyclicActivation = 0x0981;
constexpr uint32_t kDefaultMailboxSm0 = 0x00010026;
constexpr uint32_t kDefaultMailboxSm1 = 0x00010022;
constexpr uint16_t kDefaultMailboxStart = 0x1000;
constexpr uint16_t kDefaultMailboxLength = 0x80;
constexpr uint32_t kSmEnable = 0x00010000;
constexpr uint8_t kSmTypeOutputs = 3, kSmTypeInputs = 4;
constexpr uint8_t kFmmuRead = 1, kFmmuWrite = 2;

int broadcastWrite(Context& ctx, uint16_t ado, std::vector<uint8_t> data) {
  return transfer(ctx.exchange, Command::BWR, 0, ado, data.data(), data.size(), EC_TIMEOUTRET3);
}

uint16_t readWord(Context& ctx, Command cmd, uint16_t adp, uint16_t ado, int* wkc = nullptr) {
  uint8_t data[2] = {};
  int w = transfer(ctx.exchange, cmd, adp, ado, data, 2, EC_TIMEOUTRET3);
  if (wkc) *wkc = w;
  return getU16(data);
}

int writeWord(Context& ctx, Command cmd, uint16_t adp, uint16_t ado, uint16_t value) {
  uint8_t data[2];
  putU16(data, value);
  return transfer(ctx.exchange, cmd, adp, ado, data, 2, EC_TIMEOUTRET3);
}

uint32_t eeprom32(Context& ctx, uint16_t configadr, uint16_t word) {
  return static_cast<uint32_t>(readEepromFP(ctx, configadr, word, EC_TIMEOUTEEP));
}

void findParent(Context& ctx, int s) {
  // Walk back: end points close a branch, junctions open one; the parent is the first device
  // with a free port once all branches in between are closed.
  if (s <= 1) return;
  int open = 0;
  for (int c = s - 1; c >= 1; --c) {
    uint8_t topology = ctx.slave[c].topology;
    if (topology == 1) --open;
    if (topology == 3) ++open;
    if (topology == 4) open += 2;
    if ((open >= 0 && topology > 1) || c == 1) {
      ctx.slave[s].parent = static_cast<uint16_t>(c);
      return;
    }
  }
}

void readSiiDetails(Context& ctx, int s) {
  ec_slavet& slave = ctx.slave[s];
  for (int p = 1; p < s; ++p) {
    const ec_slavet& prev = ctx.slave[p];
    if (prev.eep_man == slave.eep_man && prev.eep_id == slave.eep_id && prev.eep_rev == slave.eep_rev) {
      slave.CoEdetails = prev.CoEdetails;
      slave.FoEdetails = prev.FoEdetails;
      slave.EoEdetails = prev.EoEdetails;
      slave.SoEdetails = prev.SoEdetails;
      slave.blockLRW = prev.blockLRW;
      slave.Ebuscurrent = prev.Ebuscurrent;
      std::memcpy(slave.name, prev.name, sizeof slave.name);
      for (int k = 0; k < EC_MAXSM; ++k) {
        slave.SM[k] = prev.SM[k];
        slave.SMtype[k] = prev.SMtype[k];
      }
      slave.FMMU0func = prev.FMMU0func;
      slave.FMMU1func = prev.FMMU1func;
      slave.FMMU2func = prev.FMMU2func;
      slave.FMMU3func = prev.FMMU3func;
      return;
    }
  }
  auto sii = deviceSii(ctx, static_cast<uint16_t>(s));
  if (auto general = siiGeneral(*sii)) {
    slave.CoEdetails = general->coeDetails;
    slave.FoEdetails = general->foeDetails;
    slave.EoEdetails = general->eoeDetails;
    slave.SoEdetails = general->soeDetails;
    slave.blockLRW = (general->flags & 0x02) ? 1 : 0;
    slave.Ebuscurrent = general->ebusCurrentMa;
  }
  std::string name = siiString(*sii, 1);
  if (name.empty()) {
    std::snprintf(slave.name, sizeof slave.name, "? M:%8.8x I:%8.8x", slave.eep_man, slave.eep_id);
  } else {
    std::snprintf(slave.name, sizeof slave.name, "%s", name.c_str());
  }
  siiSyncManagers(*sii, slave);
  siiFmmus(*sii, slave);
}

// Summed bit length of the PDOs assigned in `assignIndex` (0x1C1n), read object by object.
int pdoAssignBits(Context& ctx, uint16_t slave, uint16_t assignIndex) {
  uint8_t count = 0;
  int size = 1;
  if (sdoRead(ctx, slave, assignIndex, 0, false, &size, &count, EC_TIMEOUTRXM) <= 0) return 0;
  int bits = 0;
  for (uint8_t n = 1; n <= count && n != 0; ++n) {
    uint8_t raw[2] = {};
    size = 2;
    if (sdoRead(ctx, slave, assignIndex, n, false, &size, raw, EC_TIMEOUTRXM) <= 0) continue;
    uint16_t pdo = getU16(raw);
    if (pdo == 0) continue;
    uint8_t entries = 0;
    size = 1;
    if (sdoRead(ctx, slave, pdo, 0, false, &size, &entries, EC_TIMEOUTRXM) <= 0) continue;
    for (uint8_t e = 1; e <= entries && e != 0; ++e) {
      uint8_t mapping[4] = {};
      size = 4;
      if (sdoRead(ctx, slave, pdo, e, false, &size, mapping, EC_TIMEOUTRXM) > 0) bits += mapping[0];
    }
  }
  return bits;
}

// SM types and process-data sizes from 0x1C00 / 0x1C1n. False when the device has none.
bool mapFromCoe(Context& ctx, uint16_t slave, int& outputBits, int& inputBits) {
  ec_slavet& s = ctx.slave[slave];
  uint8_t smCount = 0;
  int size = 1;
  if (sdoRead(ctx, slave, 0x1C00, 0, false, &size, &smCount, EC_TIMEOUTRXM) <= 0 || smCount <= 2)
    return false;
  smCount = std::min<uint8_t>(smCount, EC_MAXSM);
  int shift = 0;  // some devices list their SM types shifted by one
  for (uint8_t sm = 2; sm < smCount; ++sm) {
    uint8_t type = 0;
    size = 1;
    if (sdoRead(ctx, slave, 0x1C00, static_cast<uint8_t>(sm + 1), false, &size, &type, EC_TIMEOUTRXM) <= 0)
      continue;
    if (sm == 2 && type == 2) shift = 1;
    if (type) type = static_cast<uint8_t>(type + shift);
    if (sm == 2 && type == 0) type = kSmTypeOutputs;
    if (sm == 3 && type == 0) type = kSmTypeInputs;
    s.SMtype[sm] = type;
    if (type == 0) s.SM[sm].SMflags &= ~kSmEnable;
    if (type == kSmTypeOutputs || type == kSmTypeInputs) {
      int bits = pdoAssignBits(ctx, slave, static_cast<uint16_t>(0x1C10 + sm));
      if (bits) {
        s.SM[sm].SMlength = static_cast<uint16_t>((bits + 7) / 8);
        (type == kSmTypeOutputs ? outputBits : inputBits) += bits;
      }
    }
  }
  return outputBits > 0 || inputBits > 0;
}

void mapFromSii(Context& ctx, uint16_t slave, int& outputBits, int& inputBits) {
  ec_slavet& s = ctx.slave[slave];
  auto pdo = std::make_unique<ec_eepromPDOt>();
  auto sii = deviceSii(ctx, slave);
  outputBits = siiPdo(*sii, *pdo, 1);
  for (int sm = 0; sm < EC_MAXSM; ++sm)
    if (pdo->SMbitsize[sm]) {
      s.SM[sm].SMlength = static_cast<uint16_t>((pdo->SMbitsize[sm] + 7) / 8);
      s.SMtype[sm] = kSmTypeOutputs;
    }
  inputBits = siiPdo(*sii, *pdo, 0);
  for (int sm = 0; sm < EC_MAXSM; ++sm)
    if (pdo->SMbitsize[sm]) {
      s.SM[sm].SMlength = static_cast<uint16_t>((pdo->SMbitsize[sm] + 7) / 8);
      s.SMtype[sm] = kSmTypeInputs;
    }
}

struct Layout {
  uint32_t logAddr = 0;
  uint8_t bitPos = 0;
  uint32_t segmentSize = 0;
  int segment = 0;
};

void addToSegment(ec_groupt& group, Layout& at, uint32_t diff) {
  if (at.segmentSize + diff > static_cast<uint32_t>(kMaxIoSegmentBytes) && at.segmentSize > 0) {
    group.IOsegment[at.segment] = at.segmentSize;
    if (at.segment < EC_MAXIOSEGMENTS - 1) {
      ++at.segment;
      at.segmentSize = diff;
    } else {
      at.segmentSize += diff;
    }
  } else {
    at.segmentSize += diff;
  }
}

// FMMUs for the SMs of `smType` of one device; returns the image offset of its first byte
// (or -1 when it has none) and records the start bit.
long mapDirection(ec_slavet& s, ec_groupt& group, Layout& at, uint8_t smType, uint32_t bits,
                  uint32_t bytes, uint8_t& startBit) {
  long first = -1;
  uint32_t done = 0;
  int sm = 0;
  const uint32_t needed = (bits + 7) / 8;
  while (sm < EC_MAXSM && done < needed && s.FMMUunused < EC_MAXFMMU) {
    while (sm < EC_MAXSM && s.SMtype[sm] != smType) ++sm;
    if (sm >= EC_MAXSM) break;
    ec_fmmut& f = s.FMMU[s.FMMUunused];
    f = ec_fmmut{};
    f.PhysStart = s.SM[sm].StartAddr;
    uint32_t byteCount = s.SM[sm].SMlength;
    uint32_t endAddr = s.SM[sm].StartAddr + byteCount;
    ++sm;
    // Contiguous SMs of the same direction share one FMMU.
    while (byteCount * 8 < bits && sm < EC_MAXSM) {
      while (sm < EC_MAXSM && s.SMtype[sm] != smType) ++sm;
      if (sm >= EC_MAXSM || s.SM[sm].StartAddr > endAddr) break;
      byteCount += s.SM[sm].SMlength;
      endAddr = s.SM[sm].StartAddr + s.SM[sm].SMlength;
      ++sm;
    }
    uint32_t size;
    if (bytes == 0) {  // bit-packed device
      f.LogStart = at.logAddr;
      f.LogStartbit = at.bitPos;
      uint32_t endBit = at.bitPos + bits - 1;
      f.LogLength = static_cast<uint16_t>(endBit / 8 + 1);
      f.LogEndbit = static_cast<uint8_t>(endBit % 8);
      at.logAddr += endBit / 8;
      at.bitPos = static_cast<uint8_t>(endBit % 8 + 1);
      if (at.bitPos > 7) {
        ++at.logAddr;
        at.bitPos = 0;
      }
      size = f.LogLength;
    } else {
      if (at.bitPos) {
        ++at.logAddr;
        at.bitPos = 0;
      }
      size = std::min(byteCount, bytes - std::min(bytes, done));
      f.LogStart = at.logAddr;
      f.LogStartbit = 0;
      f.LogLength = static_cast<uint16_t>(size);
      f.LogEndbit = 7;
      at.logAddr += size;
    }
    done += size;
    f.PhysStartBit = 0;
    f.FMMUtype = smType == kSmTypeOutputs ? kFmmuWrite : kFmmuRead;
    f.FMMUactive = 1;
    if (first < 0) {
      first = static_cast<long>(f.LogStart - group.logstartaddr);
      startBit = f.LogStartbit;
    }
    ++(smType == kSmTypeOutputs ? group.outputsWKC : group.inputsWKC);
    ++s.FMMUunused;
  }
  return first;
}
}  // namespace

int configInit(Context& ctx, bool /*usetable: no built-in device table*/) {
  ctx.slavecount = 0;
  for (auto& s : ctx.slave) s = ec_slavet{};
  for (int g = 0; g < EC_MAXGROUP; ++g) {
    ctx.group[g] = ec_groupt{};
    ctx.group[g].logstartaddr = static_cast<uint32_t>(g) << 16;
  }
  ctx.sii.slave = 0;
  ctx.sii.loaded.reset();
  {
    std::lock_guard lock(ctx.processDataMutex);
    for (const auto& p : ctx.pending) ctx.exchange.release(p.index);
    ctx.pending.clear();
  }
  broadcastWrite(ctx, kRegDlAlias, {0});
  broadcastWrite(ctx, kRegAlControl, le16(EC_STATE_INIT | EC_STATE_ACK));
  broadcastWrite(ctx, kRegAlControl, le16(EC_STATE_INIT | EC_STATE_ACK));
  uint8_t type[2] = {};
  int count = transfer(ctx.exchange, Command::BRD, 0, kRegType, type, 2, EC_TIMEOUTSAFE);
  if (count >= EC_MAXSLAVE) return EC_SLAVECOUNTEXCEEDED;
  if (count <= 0) return count;
  broadcastWrite(ctx, kRegDlPort, {0});
  broadcastWrite(ctx, kRegEventMask, le16(0x0004));
  broadcastWrite(ctx, kRegRxErrors, std::vector<uint8_t>(8, 0));
  broadcastWrite(ctx, kRegFmmu0, std::vector<uint8_t>(16 * 3, 0));
  broadcastWrite(ctx, kRegSm0, std::vector<uint8_t>(8 * 4, 0));
  broadcastWrite(ctx, kRegDcCyclicActivation, {0});
  broadcastWrite(ctx, kRegDcSystemTime, std::vector<uint8_t>(4, 0));
  broadcastWrite(ctx, kRegDcSpeedStart, le16(0x1000));
  broadcastWrite(ctx, kRegDcTimeFilter, le16(0x0C00));
  broadcastWrite(ctx, kRegDlAlias, {0});
  broadcastWrite(ctx, kRegAlControl, le16(EC_STATE_INIT | EC_STATE_ACK));
  broadcastWrite(ctx, kRegEepConfig, {2});
  broadcastWrite(ctx, kRegEepConfig, {0});
  ctx.slavecount = count;

  for (int s = 1; s <= count; ++s) {
    ec_slavet& slave = ctx.slave[s];
    auto position = static_cast<uint16_t>(1 - s);
    slave.Itype = readWord(ctx, Command::APRD, position, kRegPdiType);
    writeWord(ctx, Command::APWR, position, kRegStationAddress, static_cast<uint16_t>(EC_NODEOFFSET + s));
    writeWord(ctx, Command::APWR, position, kRegDlControl, s == 1 ? 1 : 0);
    slave.configadr = readWord(ctx, Command::APRD, position, kRegStationAddress);
    slave.aliasadr = readWord(ctx, Command::FPRD, slave.configadr, kRegAlias);
    slave.eep_8byte = (readWord(ctx, Command::FPRD, slave.configadr, kRegEepControl) & 0x0040) ? 1 : 0;
    slave.eep_man = eeprom32(ctx, slave.configadr, 0x08);
    slave.eep_id = eeprom32(ctx, slave.configadr, 0x0A);
    slave.eep_rev = eeprom32(ctx, slave.configadr, 0x0C);
    uint32_t mailbox = eeprom32(ctx, slave.configadr, 0x18);
    slave.mbx_wo = static_cast<uint16_t>(mailbox);
    slave.mbx_l = static_cast<uint16_t>(mailbox >> 16);
    if (slave.mbx_l > 0) {
      mailbox = eeprom32(ctx, slave.configadr, 0x1A);
      slave.mbx_ro = static_cast<uint16_t>(mailbox);
      slave.mbx_rl = static_cast<uint16_t>(mailbox >> 16);
      if (slave.mbx_rl == 0) slave.mbx_rl = slave.mbx_l;
      slave.mbx_proto = static_cast<uint16_t>(eeprom32(ctx, slave.configadr, 0x1C));
    }
  }
  for (int s = 1; s <= count; ++s) {
    ec_slavet& slave = ctx.slave[s];
    slave.hasdc = (readWord(ctx, Command::FPRD, slave.configadr, kRegFeatures) & 0x04) ? TRUE : FALSE;
    uint16_t dl = readWord(ctx, Command::FPRD, slave.configadr, kRegDlStatus);
    for (int port = 0; port < 4; ++port) {
      if (((dl >> (8 + 2 * port)) & 0x03) == 0x02) {
        slave.activeports = static_cast<uint8_t>(slave.activeports | 1 << port);
        ++slave.topology;
      }
    }
    slave.ptype = static_cast<uint8_t>(readWord(ctx, Command::FPRD, slave.configadr, kRegPortDescriptor));
    findParent(ctx, s);
    stateCheck(ctx, static_cast<uint16_t>(s), EC_STATE_INIT, EC_TIMEOUTSTATE);
    if (slave.mbx_l > 0) {
      slave.SMtype[0] = 1;
      slave.SMtype[1] = 2;
      slave.SMtype[2] = 3;
      slave.SMtype[3] = 4;
      slave.SM[0] = {slave.mbx_wo, slave.mbx_l, kDefaultMailboxSm0};
      slave.SM[1] = {slave.mbx_ro, slave.mbx_rl, kDefaultMailboxSm1};
    }
    readSiiDetails(ctx, s);
    if (slave.mbx_l > 0) {
      if (slave.SM[0].StartAddr == 0) {
        slave.SM[0] = {kDefaultMailboxStart, kDefaultMailboxLength, kDefaultMailboxSm0};
        slave.SMtype[0] = 1;
      }
      if (slave.SM[1].StartAddr == 0) {
        slave.SM[1] = {kDefaultMailboxStart + kDefaultMailboxLength, kDefaultMailboxLength, kDefaultMailboxSm1};
        slave.SMtype[1] = 2;
      }
      transfer(ctx.exchange, Command::FPWR, slave.configadr, kRegSm0, &slave.SM[0], 2 * sizeof(ec_smt),
               EC_TIMEOUTRET3);
    }
    eepromToPdi(ctx, static_cast<uint16_t>(s));
    writeWord(ctx, Command::FPWR, slave.configadr, kRegAlControl, EC_STATE_PRE_OP | EC_STATE_ACK);
  }
  return count;
}

int configMap(Context& ctx, uint8_t* image, size_t size) {
  const int count = ctx.slavecount;
  if (count <= 0 || image == nullptr) return 0;
  // Device data (mailbox counters, states) may change while reading the mapping; the layout is
  // made on a copy.
  for (int s = 1; s <= count; ++s) {
    auto slave = static_cast<uint16_t>(s);
    stateCheck(ctx, slave, EC_STATE_PRE_OP, EC_TIMEOUTSTATE);
    int outputBits = 0, inputBits = 0;
    bool mapped = (ctx.slave[s].mbx_proto & ECT_MBXPROT_COE) && mapFromCoe(ctx, slave, outputBits, inputBits);
    if (!mapped) {
      outputBits = inputBits = 0;
      mapFromSii(ctx, slave, outputBits, inputBits);
    }
    ctx.slave[s].Obits = static_cast<uint16_t>(outputBits);
    ctx.slave[s].Ibits = static_cast<uint16_t>(inputBits);
  }
  std::vector<ec_slavet> work(ctx.slave, ctx.slave + count + 1);
  ec_groupt group = ctx.group[0];
  group.nsegments = 0;
  group.outputsWKC = 0;
  group.inputsWKC = 0;
  group.Isegment = 0;
  group.Ioffset = 0;
  group.blockLRW = 0;
  for (auto& seg : group.IOsegment) seg = 0;
  std::vector<long> outOffset(static_cast<size_t>(count) + 1, -1), inOffset(static_cast<size_t>(count) + 1, -1);
  Layout at;
  at.logAddr = group.logstartaddr;
  for (int s = 1; s <= count; ++s) {
    ec_slavet& slave = work[static_cast<size_t>(s)];
    slave.FMMUunused = 0;
    slave.Obytes = slave.Obits > 7 ? (slave.Obits + 7u) / 8u : 0;
    slave.Ibytes = slave.Ibits > 7 ? (slave.Ibits + 7u) / 8u : 0;
    for (int k = 2; k < EC_MAXSM; ++k) {
      if (slave.SM[k].StartAddr == 0) continue;
      if (slave.SM[k].SMlength == 0) slave.SM[k].SMflags &= ~kSmEnable;
      else slave.SM[k].SMflags |= kSmEnable;
    }
    uint32_t before = at.logAddr;
    if (slave.Obits)
      outOffset[static_cast<size_t>(s)] =
          mapDirection(slave, group, at, kSmTypeOutputs, slave.Obits, slave.Obytes, slave.Ostartbit);
    addToSegment(group, at, at.logAddr - before);
    group.blockLRW = static_cast<uint8_t>(group.blockLRW | slave.blockLRW);
  }
  if (at.bitPos) {
    ++at.logAddr;
    ++at.segmentSize;
    at.bitPos = 0;
  }
  const uint32_t outputBytes = at.logAddr - group.logstartaddr;
  group.Isegment = static_cast<uint16_t>(at.segment);
  group.Ioffset = static_cast<uint16_t>(at.segmentSize);
  for (int s = 1; s <= count; ++s) {
    ec_slavet& slave = work[static_cast<size_t>(s)];
    uint32_t before = at.logAddr;
    if (slave.Ibits)
      inOffset[static_cast<size_t>(s)] =
          mapDirection(slave, group, at, kSmTypeInputs, slave.Ibits, slave.Ibytes, slave.Istartbit);
    addToSegment(group, at, at.logAddr - before);
  }
  if (at.bitPos) {
    ++at.logAddr;
    ++at.segmentSize;
  }
  const uint32_t total = at.logAddr - group.logstartaddr;
  if (total > size) return EC_ERROR;
  group.IOsegment[at.segment] = at.segmentSize;
  group.nsegments = static_cast<uint16_t>(at.segment + 1);
  group.outputs = image;
  group.Obytes = outputBytes;
  group.inputs = image + outputBytes;
  group.Ibytes = total - outputBytes;

  // Commit: the table first, then the devices.
  for (int s = 1; s <= count; ++s) {
    auto i = static_cast<size_t>(s);
    work[i].outputs = outOffset[i] >= 0 ? image + outOffset[i] : nullptr;
    work[i].inputs = inOffset[i] >= 0 ? image + inOffset[i] : nullptr;
    ctx.slave[s] = work[i];
  }
  ctx.group[0] = group;
  ctx.slave[0].outputs = group.outputs;
  ctx.slave[0].Obytes = group.Obytes;
  ctx.slave[0].inputs = group.inputs;
  ctx.slave[0].Ibytes = group.Ibytes;
  for (int s = 1; s <= count; ++s) {
    ec_slavet& slave = ctx.slave[s];
    for (int k = 0; k < EC_MAXSM; ++k) {
      if (slave.SM[k].StartAddr == 0 || (k < 2 && slave.mbx_l > 0)) continue;
      transfer(ctx.exchange, Command::FPWR, slave.configadr, static_cast<uint16_t>(kRegSm0 + 8 * k),
               &slave.SM[k], sizeof(ec_smt), EC_TIMEOUTRET3);
    }
    for (int k = 0; k < slave.FMMUunused; ++k)
      transfer(ctx.exchange, Command::FPWR, slave.configadr, static_cast<uint16_t>(kRegFmmu0 + 16 * k),
               &slave.FMMU[k], sizeof(ec_fmmut), EC_TIMEOUTRET3);
  }
  for (int s = 1; s <= count; ++s) {
    eepromToPdi(ctx, static_cast<uint16_t>(s));
    writeWord(ctx, Command::FPWR, ctx.slave[s].configadr, kRegAlControl, EC_STATE_SAFE_OP);
  }
  return static_cast<int>(total);
}

}  // namespace ecmaster
