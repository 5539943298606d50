// SDO information service: the object list (fragmented answers the device sends one after the
// other), object descriptions and entry descriptions. Counts and name lengths come from the
// mailbox length and are clipped to the caller's tables.
#include <cstring>

#include "MasterContext.h"

namespace ecmaster {

namespace {
constexpr uint16_t kCoeSdoInfo = 0x8000;
constexpr uint16_t kCoeServiceSdoInfo = 8;
constexpr uint8_t kOpListRequest = 0x01, kOpListResponse = 0x02;
constexpr uint8_t kOpObjectRequest = 0x03, kOpObjectResponse = 0x04;
constexpr uint8_t kOpEntryRequest = 0x05, kOpEntryResponse = 0x06;
constexpr uint8_t kOpError = 0x07;
constexpr uint16_t kListAll = 1;
constexpr int kMaxListFragments = 129;
constexpr uint32_t kListTruncated = 0x0F000000;
constexpr uint8_t kValueInfoAccessCategoryMapping = 0x07;

std::vector<uint8_t> infoRequest(ec_slavet& s, uint16_t length, uint8_t opcode) {
  std::vector<uint8_t> m(s.mbx_l, 0);
  mailboxHeader(s, m.data(), length, MailboxType::CoE);
  putU16(&m[6], kCoeSdoInfo);
  m[8] = opcode;
  return m;
}

// Receives one SDO information answer with opcode `expected`: its mailbox length, or nothing
// (`result` then holds what to return).
std::optional<uint16_t> receiveInfo(Context& ctx, uint16_t slave, std::vector<uint8_t>& reply,
                                    uint8_t expected, int& result) {
  result = mailboxReceive(ctx, slave, reply, EC_TIMEOUTRXM);
  if (result <= 0) return std::nullopt;
  auto length = mailboxLength(ctx.slave[slave], reply);
  if (!length || *length < 6 || (reply[5] & 0x0F) != static_cast<uint8_t>(MailboxType::CoE) ||
      (getU16(&reply[6]) >> 12) != kCoeServiceSdoInfo) {
    ctx.noteError(EC_ERR_TYPE_PACKET_ERROR);
    result = 0;
    return std::nullopt;
  }
  uint8_t opcode = reply[8] & 0x7F;
  if (opcode == kOpError) {
    ctx.noteError(EC_ERR_TYPE_SDOINFO_ERROR, *length >= 10 ? getU32(&reply[12]) : 0);
    result = 0;
    return std::nullopt;
  }
  if (opcode != expected) {
    ctx.noteError(EC_ERR_TYPE_PACKET_ERROR);
    result = 0;
    return std::nullopt;
  }
  return length;
}

void copyName(char* out, const uint8_t* from, int length) {
  size_t n = length > 0 ? std::min<size_t>(static_cast<size_t>(length), EC_MAXNAME) : 0;
  std::memcpy(out, from, n);
  out[n] = '\0';
}

bool usableMailbox(const ec_slavet& s) {
  return s.mbx_l >= 16 && s.mbx_l <= EC_MAXMBX && s.mbx_rl >= 16 && s.mbx_rl <= EC_MAXMBX;
}
}  // namespace

int readOdList(Context& ctx, uint16_t slave, ec_ODlistt* list) {
  if (list == nullptr || !ctx.validSlave(slave)) return 0;
  list->Slave = slave;
  list->Entries = 0;
  ec_slavet& s = ctx.slave[slave];
  if (!usableMailbox(s)) return 0;
  mailboxDrain(ctx, slave);
  auto request = infoRequest(s, 8, kOpListRequest);
  putU16(&request[12], kListAll);
  if (mailboxSend(ctx, slave, request, EC_TIMEOUTTXM) <= 0) return 0;
  std::vector<uint8_t> reply;
  int wkc = 0;
  bool first = true;
  for (int fragment = 0; fragment < kMaxListFragments; ++fragment) {
    auto length = receiveInfo(ctx, slave, reply, kOpListResponse, wkc);
    if (!length) return wkc;
    size_t dataStart = first ? 14 : 12;
    size_t dataEnd = kMailboxHeaderBytes + static_cast<size_t>(*length);
    for (size_t at = dataStart; at + 2 <= dataEnd; at += 2) {
      if (list->Entries >= EC_MAXODLIST) {
        ctx.noteError(EC_ERR_TYPE_SDOINFO_ERROR, kListTruncated);
        return wkc;
      }
      list->Index[list->Entries++] = getU16(&reply[at]);
    }
    first = false;
    if (getU16(&reply[10]) == 0) break;
  }
  return wkc;
}

int readOdDescription(Context& ctx, uint16_t item, ec_ODlistt* list) {
  if (list == nullptr || item >= EC_MAXODLIST || item >= list->Entries) return 0;
  uint16_t slave = list->Slave;
  if (!ctx.validSlave(slave)) return 0;
  ec_slavet& s = ctx.slave[slave];
  if (!usableMailbox(s)) return 0;
  mailboxDrain(ctx, slave);
  auto request = infoRequest(s, 8, kOpObjectRequest);
  putU16(&request[12], list->Index[item]);
  if (mailboxSend(ctx, slave, request, EC_TIMEOUTTXM) <= 0) return 0;
  std::vector<uint8_t> reply;
  int wkc = 0;
  auto length = receiveInfo(ctx, slave, reply, kOpObjectResponse, wkc);
  if (!length) return wkc;
  if (*length < 12 || getU16(&reply[12]) != list->Index[item]) {
    ctx.noteError(EC_ERR_TYPE_PACKET_ERROR);
    return 0;
  }
  list->DataType[item] = getU16(&reply[14]);
  list->MaxSub[item] = reply[16];
  list->ObjectCode[item] = reply[17];
  copyName(list->Name[item], &reply[18], *length - 12);
  return wkc;
}

int readOeSingle(Context& ctx, uint16_t item, uint8_t sub, ec_ODlistt* list, ec_OElistt* oe) {
  if (list == nullptr || oe == nullptr || item >= EC_MAXODLIST || item >= list->Entries) return 0;
  uint16_t slave = list->Slave;
  if (!ctx.validSlave(slave)) return 0;
  ec_slavet& s = ctx.slave[slave];
  if (!usableMailbox(s)) return 0;
  mailboxDrain(ctx, slave);
  auto request = infoRequest(s, 10, kOpEntryRequest);
  putU16(&request[12], list->Index[item]);
  request[14] = sub;
  request[15] = kValueInfoAccessCategoryMapping;
  if (mailboxSend(ctx, slave, request, EC_TIMEOUTTXM) <= 0) return 0;
  std::vector<uint8_t> reply;
  int wkc = 0;
  auto length = receiveInfo(ctx, slave, reply, kOpEntryResponse, wkc);
  if (!length) return wkc;
  if (*length < 16 || getU16(&reply[12]) != list->Index[item] || reply[14] != sub) {
    ctx.noteError(EC_ERR_TYPE_PACKET_ERROR);
    return 0;
  }
  oe->Entries++;
  oe->ValueInfo[sub] = reply[15];
  oe->DataType[sub] = getU16(&reply[16]);
  oe->BitLength[sub] = getU16(&reply[18]);
  oe->ObjAccess[sub] = getU16(&reply[20]);
  copyName(oe->Name[sub], &reply[22], *length - 16);
  return wkc;
}

}  // namespace ecmaster
