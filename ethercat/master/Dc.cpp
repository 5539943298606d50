// Distributed clocks, minimal: latch the port receive times, chain the DC devices (the first is
// the reference clock), set each system time offset from the master clock and a propagation
// delay estimated from the port time differences along a line.
#include "MasterContext.h"

namespace ecmaster {

namespace {
constexpr uint16_t kRegDcPortTimes = 0x0900;
constexpr uint16_t kRegDcReceiveTime = 0x0918;
constexpr uint16_t kRegDcOffset = 0x0920;
constexpr uint16_t kRegDcDelay = 0x0928;
constexpr int64_t kSecondsFrom1970To2000 = 946684800;
}  // namespace

bool configDc(Context& ctx) {
  uint8_t latch[4] = {};
  transfer(ctx.exchange, Command::BWR, 0, kRegDcPortTimes, latch, 4, EC_TIMEOUTRET);
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const int64_t masterTimeNs =
      std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() - kSecondsFrom1970To2000 * 1000000000LL;
  uint16_t previous = 0;
  ctx.group[0].hasdc = FALSE;
  ctx.slave[0].hasdc = FALSE;
  for (int i = 1; i <= ctx.slavecount; ++i) {
    ec_slavet& s = ctx.slave[i];
    s.DCnext = 0;
    s.DCprevious = 0;
    if (!s.hasdc) continue;
    auto number = static_cast<uint16_t>(i);
    if (previous == 0) {
      ctx.slave[0].hasdc = TRUE;
      ctx.slave[0].DCnext = number;
      ctx.group[0].hasdc = TRUE;
      ctx.group[0].DCnext = number;
    } else {
      ctx.slave[previous].DCnext = number;
      s.DCprevious = previous;
    }
    previous = number;
    uint8_t times[16] = {};
    transfer(ctx.exchange, Command::FPRD, s.configadr, kRegDcPortTimes, times, sizeof times, EC_TIMEOUTRET);
    s.DCrtA = static_cast<int32_t>(getU32(times));
    s.DCrtB = static_cast<int32_t>(getU32(times + 4));
    s.DCrtC = static_cast<int32_t>(getU32(times + 8));
    s.DCrtD = static_cast<int32_t>(getU32(times + 12));
    uint8_t receive[8] = {};
    transfer(ctx.exchange, Command::FPRD, s.configadr, kRegDcReceiveTime, receive, 8, EC_TIMEOUTRET);
    uint8_t offset[8];
    putU64(offset, static_cast<uint64_t>(masterTimeNs) - getU64(receive));
    transfer(ctx.exchange, Command::FPWR, s.configadr, kRegDcOffset, offset, 8, EC_TIMEOUTRET);
    // Along a line, the round trip seen at a device shrinks by twice the hop delay per device.
    const ec_slavet* parent = s.parent ? &ctx.slave[s.parent] : nullptr;
    int32_t ownLoop = (s.activeports & 0x02) ? s.DCrtB - s.DCrtA : 0;
    if (parent && parent->hasdc) {
      int32_t parentLoop = (parent->activeports & 0x02) ? parent->DCrtB - parent->DCrtA : 0;
      s.pdelay = parent->pdelay + std::max<int32_t>(0, (parentLoop - ownLoop) / 2);
    } else {
      s.pdelay = 0;
    }
    uint8_t delay[4];
    putU32(delay, static_cast<uint32_t>(s.pdelay));
    transfer(ctx.exchange, Command::FPWR, s.configadr, kRegDcDelay, delay, 4, EC_TIMEOUTRET);
  }
  return ctx.group[0].hasdc;
}

}  // namespace ecmaster
