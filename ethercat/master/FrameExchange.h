// Frame exchange: sixteen datagram indexes shared by every thread that talks to the bus (the
// process-data cycle and mailbox callers at the same time). A reply is taken for a request only
// when its index is in flight, it carries that request's tag and every datagram matches the
// request's command, length and unchanged address fields; anything else (late answers to
// abandoned requests, foreign frames) is dropped. One thread at a time reads the transport; the
// others wait on a condition variable, so no lock is held while anyone waits.
#pragma once

#include <condition_variable>
#include <mutex>

#include "Datagram.h"
#include "Transport.h"

namespace ecmaster {

inline constexpr int kFrameIndexes = 16;
// A request is sent again after this long without a reply, until its timeout.
inline constexpr int kResendIntervalUs = 2000;

class FrameExchange {
public:
  void attach(Transport* transport);
  bool attached() const;

  // A free index, or nothing when all stay busy until `deadline`.
  std::optional<uint8_t> acquire(Clock::time_point deadline);
  // Sends (or sends again) the request of an acquired index.
  bool transmit(uint8_t index, const std::vector<Datagram>& datagrams);
  // The reply to the request of `index`, once it arrived and until it is released.
  std::optional<std::vector<Datagram>> await(uint8_t index, Clock::time_point deadline);
  void release(uint8_t index);

  // One request, sent again every 2 ms until a reply arrives or `timeoutUs` passed.
  // `transmissions`, when given, counts how often it went out.
  std::optional<std::vector<Datagram>> exchange(const std::vector<Datagram>& datagrams,
                                                int timeoutUs, int* transmissions = nullptr);

private:
  enum class SlotState { Free, Reserved, Sent, Received };
  struct Slot {
    SlotState state = SlotState::Free;
    uint32_t tag = 0;
    std::vector<Datagram> request;  // data not kept: only the shape is compared
    std::vector<Datagram> reply;
  };
  void dispatch(const std::vector<uint8_t>& frame);  // with mutex_ held
  uint32_t nextTag();

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  Transport* transport_ = nullptr;
  bool receiving_ = false;
  Slot slots_[kFrameIndexes];
  uint8_t lastIndex_ = kFrameIndexes - 1;
  uint32_t tagCounter_ = 0;
};

// One datagram exchanged with `exchange`: on a reply, `data` holds the returned data (for
// reading commands) and the result is the working counter; EC_NOFRAME (-1) without a reply.
int transfer(FrameExchange& exchange, Command command, uint16_t adp, uint16_t ado, void* data,
             size_t length, int timeoutUs, int* transmissions = nullptr);

}  // namespace ecmaster
