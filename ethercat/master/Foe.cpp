// FoE file transfer. Packets count from 1 and carry mbx_l - 12 bytes; a shorter packet ends the
// file, so a file of an exact multiple (and an empty file) ends with a zero-length packet. A
// BUSY answer during a write makes the last packet go out again.
#include <cstring>

#include "MasterContext.h"

namespace ecmaster {

namespace {
constexpr uint8_t kOpRead = 1, kOpWrite = 2, kOpData = 3, kOpAck = 4, kOpError = 5, kOpBusy = 6;
constexpr int kFoeHeaderBytes = 12;  // mailbox header + opcode + reserved + u32
constexpr uint32_t kFoeNotFound = 0x8001;
constexpr int kMaxBusyRepeats = 1000;
constexpr int kFoeOverflow = -6, kFoeUnexpected = -3, kFoeError = -5, kFoeAckMismatch = -7,
              kFoeNotFoundResult = -10;

std::vector<uint8_t> foeMessage(ec_slavet& s, uint8_t opcode, uint32_t value, const void* data,
                                size_t length) {
  std::vector<uint8_t> m(s.mbx_l, 0);
  mailboxHeader(s, m.data(), static_cast<uint16_t>(6 + length), MailboxType::FoE);
  m[6] = opcode;
  putU32(&m[8], value);
  if (length > 0) std::memcpy(&m[kFoeHeaderBytes], data, length);
  return m;
}

// Receives one FoE message: its mailbox length, or nothing (`result` then holds what to return).
std::optional<uint16_t> receiveFoe(Context& ctx, uint16_t slave, std::vector<uint8_t>& reply,
                                   int timeoutUs, int& result) {
  result = mailboxReceive(ctx, slave, reply, timeoutUs);
  if (result <= 0) return std::nullopt;
  auto length = mailboxLength(ctx.slave[slave], reply);
  if (!length || *length < 6 || (reply[5] & 0x0F) != static_cast<uint8_t>(MailboxType::FoE)) {
    ctx.noteError(EC_ERR_TYPE_PACKET_ERROR);
    result = kFoeUnexpected;
    return std::nullopt;
  }
  return length;
}

bool usableMailbox(const ec_slavet& s) {
  return s.mbx_l > kFoeHeaderBytes && s.mbx_l <= EC_MAXMBX && s.mbx_rl > kFoeHeaderBytes &&
         s.mbx_rl <= EC_MAXMBX;
}

std::vector<uint8_t> requestFor(ec_slavet& s, uint8_t opcode, const char* filename,
                                uint32_t password) {
  size_t maxData = s.mbx_l - static_cast<size_t>(kFoeHeaderBytes);
  size_t nameLength = filename ? strnlen(filename, maxData) : 0;
  return foeMessage(s, opcode, password, filename, nameLength);
}
}  // namespace

int foeRead(Context& ctx, uint16_t slave, const char* filename, uint32_t password, int* psize,
            void* p, int timeoutUs) {
  if (!ctx.validSlave(slave) || psize == nullptr || *psize < 0 || (p == nullptr && *psize > 0))
    return 0;
  ec_slavet& s = ctx.slave[slave];
  if (!usableMailbox(s)) return 0;
  const size_t capacity = static_cast<size_t>(*psize);
  const size_t maxData = s.mbx_l - static_cast<size_t>(kFoeHeaderBytes);
  auto* out = static_cast<uint8_t*>(p);
  mailboxDrain(ctx, slave);
  auto request = requestFor(s, kOpRead, filename, password);
  if (mailboxSend(ctx, slave, request, EC_TIMEOUTTXM) <= 0) return 0;
  size_t received = 0;
  uint32_t expected = 1;
  std::vector<uint8_t> reply;
  for (;;) {
    int result = 0;
    auto length = receiveFoe(ctx, slave, reply, timeoutUs, result);
    if (!length) return result;
    uint8_t opcode = reply[6];
    if (opcode == kOpError) {
      uint32_t code = getU32(&reply[8]);
      ctx.lastFoeError = static_cast<uint16_t>(code);
      ctx.noteError(EC_ERR_TYPE_FOE_ERROR, code);
      return kFoeError;
    }
    if (opcode != kOpData) {
      ctx.noteError(EC_ERR_TYPE_PACKET_ERROR);
      return kFoeUnexpected;
    }
    if (getU32(&reply[8]) != expected) {
      ctx.noteError(EC_ERR_TYPE_FOE_PACKETNUMBER);
      return kFoeOverflow;
    }
    size_t n = *length - 6u;
    if (received + n > capacity) {
      ctx.noteError(EC_ERR_TYPE_FOE_BUF2SMALL);
      return kFoeOverflow;
    }
    std::memcpy(out + received, &reply[kFoeHeaderBytes], n);
    received += n;
    *psize = static_cast<int>(received);
    auto ack = foeMessage(s, kOpAck, expected, nullptr, 0);
    int wkc = mailboxSend(ctx, slave, ack, EC_TIMEOUTTXM);
    if (wkc <= 0) return 0;
    if (n < maxData) return wkc;
    ++expected;
  }
}

int foeWrite(Context& ctx, uint16_t slave, const char* filename, uint32_t password, int psize,
             const void* p, int timeoutUs) {
  if (!ctx.validSlave(slave) || psize < 0 || (p == nullptr && psize > 0)) return 0;
  ec_slavet& s = ctx.slave[slave];
  if (!usableMailbox(s)) return 0;
  const size_t size = static_cast<size_t>(psize);
  const size_t maxData = s.mbx_l - static_cast<size_t>(kFoeHeaderBytes);
  const auto* in = static_cast<const uint8_t*>(p);
  mailboxDrain(ctx, slave);
  auto last = requestFor(s, kOpWrite, filename, password);
  auto retransmit = last;  // the message to repeat after BUSY
  if (mailboxSend(ctx, slave, last, EC_TIMEOUTTXM) <= 0) return 0;
  uint32_t packet = 0;     // number of the last DATA sent (0: only the request)
  size_t sent = 0;
  bool finalSent = false;  // the short (or empty) last packet is out
  int busyRepeats = 0;
  std::vector<uint8_t> reply;
  for (;;) {
    int result = 0;
    auto length = receiveFoe(ctx, slave, reply, timeoutUs, result);
    if (!length) return result;
    uint8_t opcode = reply[6];
    if (opcode == kOpAck) {
      if (getU32(&reply[8]) != packet) {
        ctx.noteError(EC_ERR_TYPE_FOE_PACKETNUMBER);
        return kFoeAckMismatch;
      }
      if (finalSent) return result;
      size_t n = std::min(size - sent, maxData);
      ++packet;
      retransmit = foeMessage(s, kOpData, packet, in + sent, n);
      sent += n;
      finalSent = n < maxData;
      busyRepeats = 0;
    } else if (opcode == kOpBusy) {
      if (++busyRepeats > kMaxBusyRepeats) return kFoeUnexpected;
      // Same content, new mailbox counter: the device must not drop it as a duplicate.
      std::vector<uint8_t> again(retransmit);
      mailboxHeader(s, again.data(), getU16(again.data()), MailboxType::FoE);
      retransmit = again;
    } else if (opcode == kOpError) {
      uint32_t code = getU32(&reply[8]);
      ctx.lastFoeError = static_cast<uint16_t>(code);
      ctx.noteError(code == kFoeNotFound ? EC_ERR_TYPE_FOE_FILE_NOTFOUND : EC_ERR_TYPE_FOE_ERROR, code);
      return code == kFoeNotFound ? kFoeNotFoundResult : kFoeError;
    } else {
      ctx.noteError(EC_ERR_TYPE_PACKET_ERROR);
      return kFoeUnexpected;
    }
    auto message = retransmit;
    if (mailboxSend(ctx, slave, message, EC_TIMEOUTTXM) <= 0) return 0;
  }
}

}  // namespace ecmaster
