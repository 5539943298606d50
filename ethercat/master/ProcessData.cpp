// Cyclic process data of group 0: one frame per IO segment (LRW, or LWR + LRD for devices that
// cannot take LRW), sent together and collected afterwards. The cycle thread is the only user;
// the indexes it holds between send and receive stay out of the mailbox traffic's way.
#include "MasterContext.h"

namespace ecmaster {

namespace {
constexpr uint16_t kRegDcSystemTime = 0x0910;
constexpr auto kIndexWait = std::chrono::milliseconds(1);
}  // namespace

int sendProcessData(Context& ctx) {
  ec_groupt& group = ctx.group[0];
  if (group.outputs == nullptr || group.Obytes + group.Ibytes == 0 || group.nsegments == 0) return 0;
  std::vector<PendingProcessData> previous;
  {
    std::lock_guard lock(ctx.processDataMutex);
    previous.swap(ctx.pending);
  }
  for (const auto& p : previous) ctx.exchange.release(p.index);  // never collected: stale

  struct Piece {
    Command command;
    uint32_t offset;
    uint32_t length;
  };
  std::vector<Piece> pieces;
  if (!group.blockLRW) {
    uint32_t offset = 0;
    for (int i = 0; i < group.nsegments && i < EC_MAXIOSEGMENTS; ++i) {
      if (group.IOsegment[i]) pieces.push_back({Command::LRW, offset, group.IOsegment[i]});
      offset += group.IOsegment[i];
    }
  } else {
    auto split = [&](Command command, uint32_t from, uint32_t length) {
      for (uint32_t done = 0; done < length;) {
        uint32_t n = std::min<uint32_t>(length - done, static_cast<uint32_t>(kMaxIoSegmentBytes));
        pieces.push_back({command, from + done, n});
        done += n;
      }
    };
    split(Command::LWR, 0, group.Obytes);
    split(Command::LRD, group.Obytes, group.Ibytes);
  }
  std::vector<PendingProcessData> sent;
  bool dcPending = group.hasdc && ctx.validSlave(group.DCnext);
  for (const auto& piece : pieces) {
    uint8_t* image = group.outputs + piece.offset;
    std::vector<Datagram> datagrams;
    datagrams.push_back(Datagram::logical(piece.command, group.logstartaddr + piece.offset,
                                          std::vector<uint8_t>(image, image + piece.length)));
    bool withDc = dcPending;
    if (withDc) {
      datagrams.push_back({Command::FRMW, ctx.slave[group.DCnext].configadr, kRegDcSystemTime,
                           std::vector<uint8_t>(8, 0)});
      dcPending = false;
    }
    auto index = ctx.exchange.acquire(Clock::now() + kIndexWait);
    if (!index) break;
    ctx.exchange.transmit(*index, datagrams);
    sent.push_back({*index, image, piece.length, piece.command != Command::LWR,
                    piece.command == Command::LWR ? 2 : 1, withDc});
  }
  std::lock_guard lock(ctx.processDataMutex);
  ctx.pending = std::move(sent);
  return ctx.pending.empty() ? 0 : 1;
}

int receiveProcessData(Context& ctx, int timeoutUs) {
  std::vector<PendingProcessData> mine;
  {
    std::lock_guard lock(ctx.processDataMutex);
    mine.swap(ctx.pending);
  }
  int wkc = 0;
  bool any = false;
  for (const auto& p : mine) {
    auto reply = ctx.exchange.await(p.index, Clock::now() + std::chrono::microseconds(timeoutUs));
    ctx.exchange.release(p.index);
    if (!reply) continue;
    any = true;
    const Datagram& d = reply->front();
    if (p.readsBack && d.data.size() == p.length) std::copy(d.data.begin(), d.data.end(), p.image);
    wkc += d.wkc * p.wkcFactor;
    if (p.carriesDc && reply->size() > 1 && (*reply)[1].data.size() == 8)
      ctx.dcTime = static_cast<int64>(getU64((*reply)[1].data.data()));
  }
  return any ? wkc : EC_NOFRAME;
}

}  // namespace ecmaster
