// Index pool and reply matching. The tag travels in the source MAC and changes with every
// acquisition of an index, so a reply that arrives after its request was given up cannot be
// mistaken for the answer to the next request under the same index. Responders that rewrite the
// source MAC to the plain 01:01:01:01:01:01 pattern lose that protection and are matched on the
// datagram shapes alone.
#include "FrameExchange.h"

#include <algorithm>

#include "ethercat.h"

namespace ecmaster {

namespace {
constexpr uint32_t kUntaggedSource = 0x01010101;
constexpr auto kReceiveSlice = std::chrono::milliseconds(1);

bool isReading(Command c) {
  switch (c) {
    case Command::APRD: case Command::APRW: case Command::FPRD: case Command::FPRW:
    case Command::BRD: case Command::BRW: case Command::LRD: case Command::LRW:
    case Command::ARMW: case Command::FRMW:
      return true;
    default:
      return false;
  }
}
}  // namespace

void FrameExchange::attach(Transport* transport) {
  std::lock_guard lock(mutex_);
  transport_ = transport;
  for (auto& s : slots_) s = Slot{};
}

bool FrameExchange::attached() const {
  std::lock_guard lock(mutex_);
  return transport_ != nullptr;
}

uint32_t FrameExchange::nextTag() {
  do {
    ++tagCounter_;
  } while (tagCounter_ == kUntaggedSource);
  return tagCounter_;
}

std::optional<uint8_t> FrameExchange::acquire(Clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (transport_ == nullptr) return std::nullopt;
    for (int step = 1; step <= kFrameIndexes; ++step) {
      uint8_t i = static_cast<uint8_t>((lastIndex_ + step) % kFrameIndexes);
      if (slots_[i].state == SlotState::Free) {
        lastIndex_ = i;
        slots_[i].state = SlotState::Reserved;
        slots_[i].tag = nextTag();
        slots_[i].reply.clear();
        return i;
      }
    }
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) return std::nullopt;
  }
}

bool FrameExchange::transmit(uint8_t index, const std::vector<Datagram>& datagrams) {
  Transport* transport = nullptr;
  std::vector<uint8_t> frame;
  {
    std::lock_guard lock(mutex_);
    if (index >= kFrameIndexes || transport_ == nullptr) return false;
    Slot& slot = slots_[index];
    if (slot.state == SlotState::Free) return false;
    auto encoded = encodeFrame(datagrams, index, slot.tag);
    if (!encoded) return false;
    frame = std::move(*encoded);
    if (slot.state != SlotState::Received) {
      slot.request.clear();
      for (const auto& d : datagrams) {
        Datagram shape{d.command, d.adp, d.ado, {}};
        shape.data.resize(d.data.size());
        slot.request.push_back(std::move(shape));
      }
      slot.state = SlotState::Sent;
    }
    transport = transport_;
  }
  // The send runs outside the lock: a reply may be dispatched before it returns.
  return transport->send(frame);
}

void FrameExchange::dispatch(const std::vector<uint8_t>& frame) {
  auto decoded = decodeFrame(frame);
  if (!decoded || decoded->datagrams.empty()) return;
  uint8_t index = decoded->datagrams.front().index;
  if (index >= kFrameIndexes) return;
  Slot& slot = slots_[index];
  if (slot.state != SlotState::Sent) return;
  uint32_t tag = decoded->tag();
  if (tag != slot.tag && tag != kUntaggedSource) return;
  if (decoded->datagrams.size() != slot.request.size()) return;
  for (size_t i = 0; i < slot.request.size(); ++i) {
    const Datagram& want = slot.request[i];
    const Datagram& got = decoded->datagrams[i];
    if (got.index != index || got.command != want.command || got.ado != want.ado ||
        got.data.size() != want.data.size())
      return;
    if (!adpChangesInTransit(want.command) && got.adp != want.adp) return;
  }
  slot.reply = std::move(decoded->datagrams);
  slot.state = SlotState::Received;
}

std::optional<std::vector<Datagram>> FrameExchange::await(uint8_t index,
                                                          Clock::time_point deadline) {
  if (index >= kFrameIndexes) return std::nullopt;
  std::unique_lock lock(mutex_);
  // Frames already waiting are looked at even once the deadline has passed: a reply that
  // arrived in time is not lost because this thread was late to look.
  bool drained = false;
  for (;;) {
    Slot& slot = slots_[index];
    if (slot.state == SlotState::Received) return slot.reply;
    if (slot.state == SlotState::Free || transport_ == nullptr) return std::nullopt;
    auto now = Clock::now();
    const bool expired = now >= deadline;
    if (expired && drained) return std::nullopt;
    if (!receiving_) {
      receiving_ = true;
      Transport* transport = transport_;
      lock.unlock();
      auto frame = transport->receive(expired ? now : std::min(deadline, now + kReceiveSlice));
      lock.lock();
      receiving_ = false;
      if (frame) dispatch(*frame);
      else if (expired) drained = true;
      changed_.notify_all();
    } else {
      if (expired) return std::nullopt;
      changed_.wait_until(lock, deadline);
    }
  }
}

void FrameExchange::release(uint8_t index) {
  if (index >= kFrameIndexes) return;
  std::lock_guard lock(mutex_);
  slots_[index] = Slot{};
  changed_.notify_all();
}

std::optional<std::vector<Datagram>> FrameExchange::exchange(
    const std::vector<Datagram>& datagrams, int timeoutUs, int* transmissions) {
  auto end = Clock::now() + std::chrono::microseconds(std::max(timeoutUs, 0));
  auto index = acquire(end);
  if (!index) return std::nullopt;
  std::optional<std::vector<Datagram>> reply;
  if (transmissions) *transmissions = 0;
  for (;;) {
    if (!transmit(*index, datagrams)) break;
    if (transmissions) ++*transmissions;
    auto slice = std::min(end, Clock::now() + std::chrono::microseconds(kResendIntervalUs));
    reply = await(*index, slice);
    if (reply || Clock::now() >= end) break;
  }
  release(*index);
  return reply;
}

int transfer(FrameExchange& exchange, Command command, uint16_t adp, uint16_t ado, void* data,
             size_t length, int timeoutUs, int* transmissions) {
  if (length > kMaxDatagramData) return EC_NOFRAME;
  Datagram d{command, adp, ado, {}};
  auto* bytes = static_cast<uint8_t*>(data);
  if (length > 0) d.data.assign(bytes, bytes + length);
  auto reply = exchange.exchange({d}, timeoutUs, transmissions);
  if (!reply) return EC_NOFRAME;
  const Datagram& r = reply->front();
  if (isReading(command) && length > 0) std::copy(r.data.begin(), r.data.end(), bytes);
  return r.wkc;
}

}  // namespace ecmaster
