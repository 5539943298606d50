// CoE SDO transfers: expedited, normal and segmented up- and downloads, complete access. Sizes
// announced by the device are checked against the caller's buffer before anything is copied,
// and segment toggles are checked so a duplicated segment cannot shift the data.
#include <cstring>

#include "MasterContext.h"

namespace ecmaster {

namespace {
constexpr uint16_t kCoeSdoRequest = 0x2000;
constexpr uint16_t kCoeServiceSdoRequest = 2;
constexpr uint16_t kCoeServiceSdoResponse = 3;
constexpr uint8_t kAbort = 0x80;
constexpr uint8_t kToggle = 0x10;
constexpr int kSdoHeaderBytes = 16;   // mailbox + CoE + command + index + subindex + 4 bytes
constexpr int kSegmentHeaderBytes = 9;  // mailbox + CoE + command
constexpr uint32_t kAbortToggle = 0x05030000;

struct SdoReply {
  int wkc;
  uint16_t length;  // mailbox length
};

// Sends `request` and returns a validated SDO response (CoE service 3, matching index unless
// none is given: segment replies carry data where the index would be).
// On failure the result is the value the caller returns.
std::optional<SdoReply> exchangeSdo(Context& ctx, uint16_t slave, std::vector<uint8_t>& request,
                                    std::vector<uint8_t>& reply, std::optional<uint16_t> index,
                                    int timeoutUs, int& failure) {
  failure = 0;
  if (mailboxSend(ctx, slave, request, EC_TIMEOUTTXM) <= 0) return std::nullopt;
  int wkc = mailboxReceive(ctx, slave, reply, timeoutUs);
  if (wkc <= 0) {
    failure = wkc;
    return std::nullopt;
  }
  auto length = mailboxLength(ctx.slave[slave], reply);
  if (!length || *length < 10 || (reply[5] & 0x0F) != static_cast<uint8_t>(MailboxType::CoE)) {
    ctx.noteError(EC_ERR_TYPE_PACKET_ERROR);
    return std::nullopt;
  }
  const uint16_t service = getU16(&reply[6]) >> 12;
  // Devices send an abort as an SDO request or as an SDO response.
  if (reply[8] == kAbort && (service == kCoeServiceSdoRequest || service == kCoeServiceSdoResponse)) {
    ctx.noteError(EC_ERR_TYPE_SDO_ERROR, getU32(&reply[12]));
    return std::nullopt;
  }
  if (service != kCoeServiceSdoResponse || (index && getU16(&reply[9]) != *index)) {
    ctx.noteError(EC_ERR_TYPE_PACKET_ERROR);
    return std::nullopt;
  }
  return SdoReply{wkc, *length};
}

std::vector<uint8_t> sdoRequest(ec_slavet& s, uint16_t length, uint8_t command, uint16_t index,
                                uint8_t subindex) {
  std::vector<uint8_t> m(s.mbx_l, 0);
  mailboxHeader(s, m.data(), length, MailboxType::CoE);
  putU16(&m[6], kCoeSdoRequest);
  m[8] = command;
  putU16(&m[9], index);
  m[11] = subindex;
  return m;
}

bool mailboxFitsSdo(const ec_slavet& s) {
  return s.mbx_l >= kSdoHeaderBytes && s.mbx_l <= EC_MAXMBX && s.mbx_rl >= kSdoHeaderBytes &&
         s.mbx_rl <= EC_MAXMBX;
}
}  // namespace

int sdoRead(Context& ctx, uint16_t slave, uint16_t index, uint8_t subindex, bool ca, int* psize,
            void* p, int timeoutUs) {
  if (!ctx.validSlave(slave) || psize == nullptr || *psize < 0 || (p == nullptr && *psize > 0))
    return 0;
  ec_slavet& s = ctx.slave[slave];
  if (!mailboxFitsSdo(s)) return 0;
  auto* out = static_cast<uint8_t*>(p);
  const size_t capacity = static_cast<size_t>(*psize);
  if (ca && subindex > 1) subindex = 1;
  mailboxDrain(ctx, slave);
  auto request = sdoRequest(s, 10, ca ? 0x50 : 0x40, index, subindex);
  std::vector<uint8_t> reply;
  int failure = 0;
  auto r = exchangeSdo(ctx, slave, request, reply, index, timeoutUs, failure);
  if (!r) return failure;
  uint8_t command = reply[8];
  if ((command & 0xE0) != 0x40) {
    ctx.noteError(EC_ERR_TYPE_PACKET_ERROR);
    return 0;
  }
  if (command & 0x02) {  // expedited
    size_t n = (command & 0x01) ? 4u - ((command >> 2) & 0x03u) : 4u;
    if (n > capacity) {
      ctx.noteError(EC_ERR_TYPE_PACKET_ERROR, 3);
      return 0;
    }
    std::memcpy(out, &reply[12], n);
    *psize = static_cast<int>(n);
    return r->wkc;
  }
  const uint32_t total = getU32(&reply[12]);
  if (total > capacity) {
    ctx.noteError(EC_ERR_TYPE_PACKET_ERROR, 3);
    return 0;
  }
  size_t received = std::min<size_t>(static_cast<size_t>(r->length - 10), total);
  std::memcpy(out, &reply[16], received);
  int wkc = r->wkc;
  uint8_t toggle = 0;
  while (received < total) {
    auto segment = sdoRequest(s, 10, static_cast<uint8_t>(0x60 | toggle), index, subindex);
    auto seg = exchangeSdo(ctx, slave, segment, reply, std::nullopt, timeoutUs, failure);
    if (!seg) return failure;
    command = reply[8];
    if ((command & 0xE0) != 0x00 || (command & kToggle) != toggle || seg->length < 3) {
      ctx.noteError(EC_ERR_TYPE_SDO_ERROR, kAbortToggle);
      return 0;
    }
    size_t n = seg->length - 3u;
    bool last = command & 0x01;
    if (last && seg->length == 10) n -= (command >> 1) & 0x07u;
    if (received + n > total) {
      ctx.noteError(EC_ERR_TYPE_PACKET_ERROR, 3);
      return 0;
    }
    std::memcpy(out + received, &reply[9], n);
    received += n;
    wkc = seg->wkc;
    toggle ^= kToggle;
    if (last) break;
  }
  *psize = static_cast<int>(received);
  return wkc;
}

int sdoWrite(Context& ctx, uint16_t slave, uint16_t index, uint8_t subindex, bool ca, int psize,
             const void* p, int timeoutUs) {
  if (!ctx.validSlave(slave) || psize < 0 || (p == nullptr && psize > 0)) return 0;
  ec_slavet& s = ctx.slave[slave];
  if (!mailboxFitsSdo(s)) return 0;
  const auto* in = static_cast<const uint8_t*>(p);
  const auto size = static_cast<size_t>(psize);
  if (ca && subindex > 1) subindex = 1;
  mailboxDrain(ctx, slave);
  std::vector<uint8_t> reply;
  int failure = 0;
  auto initiateOk = [&](const SdoReply&) {
    if (reply[8] != 0x60 || reply[11] != subindex) {
      ctx.noteError(EC_ERR_TYPE_PACKET_ERROR);
      return false;
    }
    return true;
  };
  if (size >= 1 && size <= 4 && !ca) {
    auto request = sdoRequest(s, 10, static_cast<uint8_t>(0x23 | (4 - size) << 2), index, subindex);
    std::memcpy(&request[12], in, size);
    auto r = exchangeSdo(ctx, slave, request, reply, index, timeoutUs, failure);
    if (!r) return failure;
    return initiateOk(*r) ? r->wkc : 0;
  }
  size_t first = std::min<size_t>(size, s.mbx_l - static_cast<size_t>(kSdoHeaderBytes));
  auto request = sdoRequest(s, static_cast<uint16_t>(10 + first), ca ? 0x31 : 0x21, index, subindex);
  putU32(&request[12], static_cast<uint32_t>(size));
  if (first > 0) std::memcpy(&request[16], in, first);
  auto r = exchangeSdo(ctx, slave, request, reply, index, timeoutUs, failure);
  if (!r) return failure;
  if (!initiateOk(*r)) return 0;
  int wkc = r->wkc;
  size_t sent = first;
  uint8_t toggle = 0;
  const size_t segmentMax = s.mbx_l - static_cast<size_t>(kSegmentHeaderBytes);
  while (sent < size) {
    size_t n = std::min(size - sent, segmentMax);
    bool last = sent + n == size;
    uint8_t command = toggle;
    uint16_t length = static_cast<uint16_t>(3 + n);
    if (n < 7) {
      command = static_cast<uint8_t>(command | (7 - n) << 1);
      length = 10;
    }
    if (last) command |= 0x01;
    std::vector<uint8_t> segment(s.mbx_l, 0);
    mailboxHeader(s, segment.data(), length, MailboxType::CoE);
    putU16(&segment[6], kCoeSdoRequest);
    segment[8] = command;
    std::memcpy(&segment[9], in + sent, n);
    auto r2 = exchangeSdo(ctx, slave, segment, reply, std::nullopt, timeoutUs, failure);
    if (!r2) return failure;
    int got = r2->wkc;
    if ((reply[8] & 0xE0) != 0x20 || (reply[8] & kToggle) != toggle) {
      ctx.noteError(EC_ERR_TYPE_PACKET_ERROR);
      return 0;
    }
    wkc = got;
    sent += n;
    toggle ^= kToggle;
  }
  return wkc;
}

}  // namespace ecmaster
