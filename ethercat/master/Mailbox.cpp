// Mailbox transport over SM0 (master -> device) and SM1 (device -> master). A message is always
// written with the full SM0 length, because the ESC marks the mailbox full only when its last
// byte is written. A read whose answer was lost has already emptied SM1; the device is then
// asked to post the message again (repeat request) instead of reading an empty mailbox.
#include <thread>

#include "MasterContext.h"

namespace ecmaster {

namespace {
constexpr uint16_t kRegSm0Status = 0x0805;
constexpr uint16_t kRegSm1Status = 0x080D;
constexpr uint16_t kRegSm1Activate = 0x080E;
constexpr uint16_t kRegSm1PdiControl = 0x080F;
constexpr uint8_t kSmMailboxFull = 0x08;
constexpr uint8_t kSmRepeat = 0x02;
constexpr auto kMailboxPollInterval = std::chrono::microseconds(100);
constexpr uint16_t kCoeServiceEmergency = 1;

bool mailboxUsable(uint16_t length) { return length > kMailboxHeaderBytes && length <= EC_MAXMBX; }
}  // namespace

uint8_t nextMailboxCounter(uint8_t counter) { return counter >= 7 ? 1 : static_cast<uint8_t>(counter + 1); }

void mailboxHeader(ec_slavet& slave, uint8_t* mbx, uint16_t dataLength, MailboxType type) {
  putU16(mbx, dataLength);
  putU16(mbx + 2, 0);
  mbx[4] = 0;
  slave.mbx_cnt = nextMailboxCounter(slave.mbx_cnt);
  mbx[5] = static_cast<uint8_t>(static_cast<uint8_t>(type) | slave.mbx_cnt << 4);
}

std::optional<uint16_t> mailboxLength(const ec_slavet& slave, const std::vector<uint8_t>& mbx) {
  if (mbx.size() < static_cast<size_t>(kMailboxHeaderBytes)) return std::nullopt;
  uint16_t length = getU16(mbx.data());
  if (static_cast<size_t>(length) + kMailboxHeaderBytes > mbx.size() ||
      static_cast<size_t>(length) + kMailboxHeaderBytes > slave.mbx_rl)
    return std::nullopt;
  return length;
}

int mailboxSend(Context& ctx, uint16_t slave, std::vector<uint8_t>& mbx, int timeoutUs) {
  if (!ctx.validSlave(slave)) return 0;
  ec_slavet& s = ctx.slave[slave];
  if (!mailboxUsable(s.mbx_l)) return 0;
  mbx.resize(s.mbx_l, 0);
  auto end = Clock::now() + std::chrono::microseconds(timeoutUs);
  for (;;) {
    uint8_t status = 0;
    int wkc = transfer(ctx.exchange, Command::FPRD, s.configadr, kRegSm0Status, &status, 1,
                       EC_TIMEOUTRET);
    if (wkc > 0 && !(status & kSmMailboxFull)) break;
    if (Clock::now() >= end) return 0;
    std::this_thread::sleep_for(kMailboxPollInterval);
  }
  int transmissions = 0;
  int wkc = transfer(ctx.exchange, Command::FPWR, s.configadr, s.mbx_wo, mbx.data(), s.mbx_l,
                     EC_TIMEOUTRET3, &transmissions);
  // SM0 was empty and only the master writes it: a copy sent again that finds it full (not
  // counted) means an earlier copy got in and only its answer was lost. The device drops a
  // second copy by its mailbox counter should it get in too.
  if (wkc == 0 && transmissions > 1) wkc = 1;
  return wkc > 0 ? wkc : 0;
}

int mailboxReceive(Context& ctx, uint16_t slave, std::vector<uint8_t>& mbx, int timeoutUs) {
  if (!ctx.validSlave(slave)) return 0;
  ec_slavet& s = ctx.slave[slave];
  if (!mailboxUsable(s.mbx_rl)) return 0;
  auto end = Clock::now() + std::chrono::microseconds(timeoutUs);
  for (;;) {
    uint8_t sm1[2] = {};
    bool full = false;
    for (;;) {
      int wkc = transfer(ctx.exchange, Command::FPRD, s.configadr, kRegSm1Status, sm1, 2,
                         EC_TIMEOUTRET);
      if (wkc > 0 && (sm1[0] & kSmMailboxFull)) {
        full = true;
        break;
      }
      if (Clock::now() >= end) break;
      std::this_thread::sleep_for(kMailboxPollInterval);
    }
    if (!full) return EC_TIMEOUT;
    mbx.assign(s.mbx_rl, 0);
    int wkc = transfer(ctx.exchange, Command::FPRD, s.configadr, s.mbx_ro, mbx.data(), s.mbx_rl,
                       EC_TIMEOUTRET3);
    if (wkc > 0) {
      auto type = static_cast<MailboxType>(mbx[5] & 0x0F);
      if (type == MailboxType::Error) {
        ctx.noteError(EC_ERR_TYPE_MBX_ERROR, getU16(&mbx[8]));
        continue;
      }
      if (type == MailboxType::CoE && (getU16(&mbx[6]) >> 12) == kCoeServiceEmergency) {
        ctx.noteError(EC_ERR_TYPE_EMERGENCY, getU16(&mbx[8]));
        continue;
      }
      return wkc;
    }
    if (wkc < 0 && Clock::now() >= end) return wkc;
    // The read emptied SM1 but its answer was lost: toggle the repeat request and wait until
    // the device acknowledges it with the message posted again.
    uint8_t activate = static_cast<uint8_t>(sm1[1] ^ kSmRepeat);
    if (transfer(ctx.exchange, Command::FPWR, s.configadr, kRegSm1Activate, &activate, 1,
                 EC_TIMEOUTRET3) <= 0)
      return 0;
    for (;;) {
      uint8_t pdi = 0;
      if (transfer(ctx.exchange, Command::FPRD, s.configadr, kRegSm1PdiControl, &pdi, 1,
                   EC_TIMEOUTRET) > 0 &&
          (pdi & kSmRepeat) == (activate & kSmRepeat))
        break;
      if (Clock::now() >= end) return EC_TIMEOUT;
      std::this_thread::sleep_for(kMailboxPollInterval);
    }
  }
}

void mailboxDrain(Context& ctx, uint16_t slave) {
  if (!ctx.validSlave(slave)) return;
  ec_slavet& s = ctx.slave[slave];
  if (!mailboxUsable(s.mbx_rl)) return;
  uint8_t sm1[2] = {};
  if (transfer(ctx.exchange, Command::FPRD, s.configadr, kRegSm1Status, sm1, 2, EC_TIMEOUTRET) > 0 &&
      (sm1[0] & kSmMailboxFull)) {
    std::vector<uint8_t> discard(s.mbx_rl, 0);
    transfer(ctx.exchange, Command::FPRD, s.configadr, s.mbx_ro, discard.data(), s.mbx_rl,
             EC_TIMEOUTRET);
  }
}

}  // namespace ecmaster
