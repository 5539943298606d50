// AL state handling: reading, requesting and waiting for states, and bringing a device back
// after it was reset or lost its station address. A broadcast read of the AL status gives the
// OR of all devices; it is trusted only when it names a single state (INIT | PRE-OP reads as
// BOOT), otherwise every device is read on its own.
#include <thread>

#include "MasterContext.h"

namespace ecmaster {

namespace {
constexpr uint16_t kRegStationAddress = 0x0010;
constexpr uint16_t kRegAlias = 0x0012;
constexpr uint16_t kRegAlControl = 0x0120;
constexpr uint16_t kRegAlStatus = 0x0130;
constexpr uint16_t kRegFmmu0 = 0x0600;
constexpr uint16_t kRegSm0 = 0x0800;
constexpr auto kStatePollInterval = std::chrono::milliseconds(1);
constexpr int kStatusReadsPerFrame = 64;
constexpr uint16_t kStateMask = 0x0F;

bool isSingleState(uint16_t state) {
  return state == EC_STATE_INIT || state == EC_STATE_PRE_OP || state == EC_STATE_SAFE_OP ||
         state == EC_STATE_OPERATIONAL;
}

int writeControl(Context& ctx, uint16_t configadr, uint16_t value, int timeoutUs) {
  uint8_t data[2];
  putU16(data, value);
  return transfer(ctx.exchange, Command::FPWR, configadr, kRegAlControl, data, 2, timeoutUs);
}
}  // namespace

uint16_t stateCheck(Context& ctx, uint16_t slave, uint16_t reqstate, int timeoutUs) {
  if (slave > ctx.slavecount) return 0;
  auto end = Clock::now() + std::chrono::microseconds(std::max(timeoutUs, 0));
  uint16_t state = 0;
  for (;;) {
    uint8_t status[6] = {};
    if (slave == 0) {
      int wkc = transfer(ctx.exchange, Command::BRD, 0, kRegAlStatus, status, 2, EC_TIMEOUTRET);
      state = wkc > 0 ? getU16(status) : 0;
    } else {
      ec_slavet& s = ctx.slave[slave];
      int wkc = transfer(ctx.exchange, Command::FPRD, s.configadr, kRegAlStatus, status, 6,
                         EC_TIMEOUTRET);
      state = wkc > 0 ? getU16(status) : 0;
      if (wkc > 0) s.ALstatuscode = getU16(status + 4);
    }
    ctx.slave[slave].state = state;
    if ((state & kStateMask) == reqstate || Clock::now() >= end) break;
    std::this_thread::sleep_for(kStatePollInterval);
  }
  return static_cast<uint16_t>(state & kStateMask);
}

int readState(Context& ctx) {
  uint8_t status[2] = {};
  int wkc = transfer(ctx.exchange, Command::BRD, 0, kRegAlStatus, status, 2, EC_TIMEOUTRET);
  uint16_t all = getU16(status);
  if (ctx.slavecount > 0 && wkc >= ctx.slavecount && !(all & EC_STATE_ERROR) &&
      isSingleState(all & kStateMask)) {
    for (int i = 0; i <= ctx.slavecount; ++i) {
      ctx.slave[i].state = all & kStateMask;
      ctx.slave[i].ALstatuscode = 0;
    }
    return all & kStateMask;
  }
  uint16_t lowest = 0xFF;
  uint16_t codes = 0;
  for (int first = 1; first <= ctx.slavecount; first += kStatusReadsPerFrame) {
    int last = std::min(ctx.slavecount, first + kStatusReadsPerFrame - 1);
    std::vector<Datagram> reads;
    for (int i = first; i <= last; ++i)
      reads.push_back({Command::FPRD, ctx.slave[i].configadr, kRegAlStatus, std::vector<uint8_t>(6, 0)});
    auto reply = ctx.exchange.exchange(reads, EC_TIMEOUTRET3);
    for (int i = first; i <= last; ++i) {
      ec_slavet& s = ctx.slave[i];
      const Datagram* d = reply ? &(*reply)[static_cast<size_t>(i - first)] : nullptr;
      if (d && d->wkc > 0) {
        s.state = getU16(d->data.data());
        s.ALstatuscode = getU16(d->data.data() + 4);
      } else {
        s.state = 0;
        s.ALstatuscode = 0;
      }
      lowest = std::min<uint16_t>(lowest, s.state & kStateMask);
      codes |= s.ALstatuscode;
    }
  }
  if (lowest == 0xFF) lowest = 0;
  ctx.slave[0].state = lowest;
  ctx.slave[0].ALstatuscode = codes;
  return lowest;
}

int writeState(Context& ctx, uint16_t slave) {
  if (slave > ctx.slavecount) return 0;
  uint8_t data[2];
  putU16(data, ctx.slave[slave].state);
  if (slave == 0)
    return transfer(ctx.exchange, Command::BWR, 0, kRegAlControl, data, 2, EC_TIMEOUTRET3);
  return transfer(ctx.exchange, Command::FPWR, ctx.slave[slave].configadr, kRegAlControl, data, 2,
                  EC_TIMEOUTRET3);
}

int reconfigSlave(Context& ctx, uint16_t slave, int timeoutUs) {
  if (!ctx.validSlave(slave)) return 0;
  ec_slavet& s = ctx.slave[slave];
  // INIT without acknowledge: devices take a request for INIT as acknowledgement of an error.
  if (writeControl(ctx, s.configadr, EC_STATE_INIT, timeoutUs) <= 0) return 0;
  eepromToPdi(ctx, slave);
  uint16_t state = stateCheck(ctx, slave, EC_STATE_INIT, EC_TIMEOUTSTATE);
  if (state != EC_STATE_INIT) return state;
  for (int k = 0; k < EC_MAXSM; ++k) {
    if (s.SM[k].StartAddr == 0) continue;
    transfer(ctx.exchange, Command::FPWR, s.configadr, static_cast<uint16_t>(kRegSm0 + 8 * k),
             &s.SM[k], sizeof(ec_smt), timeoutUs);
  }
  writeControl(ctx, s.configadr, EC_STATE_PRE_OP, timeoutUs);
  state = stateCheck(ctx, slave, EC_STATE_PRE_OP, EC_TIMEOUTSTATE);
  if (state != EC_STATE_PRE_OP) return state;
  if (s.PO2SOconfig) s.PO2SOconfig(slave);
  writeControl(ctx, s.configadr, EC_STATE_SAFE_OP, timeoutUs);
  state = stateCheck(ctx, slave, EC_STATE_SAFE_OP, EC_TIMEOUTSTATE);
  for (int k = 0; k < std::min<int>(s.FMMUunused, EC_MAXFMMU); ++k)
    transfer(ctx.exchange, Command::FPWR, s.configadr, static_cast<uint16_t>(kRegFmmu0 + 16 * k),
             &s.FMMU[k], sizeof(ec_fmmut), timeoutUs);
  return state;
}

int recoverSlave(Context& ctx, uint16_t slave, int timeoutUs) {
  if (!ctx.validSlave(slave)) return 0;
  ec_slavet& s = ctx.slave[slave];
  const uint16_t position = static_cast<uint16_t>(1 - slave);
  uint8_t address[2] = {};
  int wkc = transfer(ctx.exchange, Command::APRD, position, kRegStationAddress, address, 2, timeoutUs);
  if (wkc <= 0) return 0;
  if (getU16(address) == s.configadr) return 1;
  if (getU16(address) != 0) return 0;  // another device sits at this position
  // Give the device a temporary address, check it is the one we knew, then give it its own.
  uint8_t zero[2] = {};
  transfer(ctx.exchange, Command::FPWR, EC_TEMPNODE, kRegStationAddress, zero, 2, EC_TIMEOUTRET);
  uint8_t temporary[2];
  putU16(temporary, EC_TEMPNODE);
  if (transfer(ctx.exchange, Command::APWR, position, kRegStationAddress, temporary, 2, timeoutUs) <= 0)
    return 0;
  const uint16_t configadr = s.configadr;
  s.configadr = EC_TEMPNODE;
  eepromToMaster(ctx, slave);
  uint8_t alias[2] = {};
  int rval = 0;
  bool same = transfer(ctx.exchange, Command::FPRD, EC_TEMPNODE, kRegAlias, alias, 2, timeoutUs) > 0 &&
              getU16(alias) == s.aliasadr &&
              static_cast<uint32_t>(readEepromFP(ctx, EC_TEMPNODE, 0x08, EC_TIMEOUTEEP)) == s.eep_man &&
              static_cast<uint32_t>(readEepromFP(ctx, EC_TEMPNODE, 0x0A, EC_TIMEOUTEEP)) == s.eep_id &&
              static_cast<uint32_t>(readEepromFP(ctx, EC_TEMPNODE, 0x0C, EC_TIMEOUTEEP)) == s.eep_rev;
  uint8_t own[2];
  putU16(own, same ? configadr : 0);
  int written = transfer(ctx.exchange, Command::FPWR, EC_TEMPNODE, kRegStationAddress, own, 2, timeoutUs);
  if (same) rval = written > 0 ? written : 0;
  s.configadr = configadr;
  return rval;
}

const char* alStatusText(uint16_t code) {
  struct Entry {
    uint16_t code;
    const char* text;
  };
  static constexpr Entry kTexts[] = {
      {0x0000, "No error"},
      {0x0001, "Unspecified error"},
      {0x0002, "No memory"},
      {0x0011, "Invalid requested state change"},
      {0x0012, "Unknown requested state"},
      {0x0013, "Bootstrap not supported"},
      {0x0014, "No valid firmware"},
      {0x0015, "Invalid mailbox configuration"},
      {0x0016, "Invalid mailbox configuration"},
      {0x0017, "Invalid sync manager configuration"},
      {0x0018, "No valid inputs available"},
      {0x0019, "No valid outputs"},
      {0x001A, "Synchronization error"},
      {0x001B, "Sync manager watchdog"},
      {0x001C, "Invalid sync Manager types"},
      {0x001D, "Invalid output configuration"},
      {0x001E, "Invalid input configuration"},
      {0x001F, "Invalid watchdog configuration"},
      {0x0020, "Slave needs cold start"},
      {0x0021, "Slave needs INIT"},
      {0x0022, "Slave needs PREOP"},
      {0x0023, "Slave needs SAFEOP"},
      {0x0024, "Invalid input mapping"},
      {0x0025, "Invalid output mapping"},
      {0x0026, "Inconsistent settings"},
      {0x0027, "Freerun not supported"},
      {0x0028, "Synchronisation not supported"},
      {0x0029, "Freerun needs 3buffer mode"},
      {0x002A, "Background watchdog"},
      {0x002B, "No valid Inputs and Outputs"},
      {0x002C, "Fatal sync error"},
      {0x002D, "No sync error"},
      {0x002E, "Invalid input FMMU configuration"},
      {0x0030, "Invalid DC SYNC configuration"},
      {0x0031, "Invalid DC latch configuration"},
      {0x0032, "PLL error"},
      {0x0033, "DC sync IO error"},
      {0x0034, "DC sync timeout error"},
      {0x0035, "DC invalid sync cycle time"},
      {0x0036, "DC invalid sync0 cycle time"},
      {0x0037, "DC invalid sync1 cycle time"},
      {0x0041, "MBX_AOE"},
      {0x0042, "MBX_EOE"},
      {0x0043, "MBX_COE"},
      {0x0044, "MBX_FOE"},
      {0x0045, "MBX_SOE"},
      {0x004F, "MBX_VOE"},
      {0x0050, "EEPROM no access"},
      {0x0051, "EEPROM error"},
      {0x0060, "Slave restarted locally"},
      {0x0061, "Device identification value updated"},
      {0x00F0, "Application controller available"},
  };
  for (const auto& e : kTexts)
    if (e.code == code) return e.text;
  return "Unknown";
}

}  // namespace ecmaster
