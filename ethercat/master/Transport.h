// The byte-level seam between the master and the wire: whole Ethernet frames out, whole frames
// in. The protocol code above never touches an OS handle; a capture handle on an adapter or an
// in-memory link to a responder (tests, fuzzing, in-process simulation) plug in here.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ecmaster {

using Clock = std::chrono::steady_clock;

// A mutex that serves waiting threads in arrival order. A plain mutex lets a thread that
// releases and re-takes it in a tight loop (a caller streaming mailbox traffic) starve another
// (the 1 ms cycle) for many milliseconds.
class FairMutex {
public:
  void lock() {
    std::unique_lock guard(mutex_);
    const uint64_t ticket = next_++;
    turn_.wait(guard, [&] { return serving_ == ticket; });
  }
  void unlock() {
    {
      std::lock_guard guard(mutex_);
      ++serving_;
    }
    turn_.notify_all();
  }

private:
  std::mutex mutex_;
  std::condition_variable turn_;
  uint64_t next_ = 0;
  uint64_t serving_ = 0;
};

class Transport {
public:
  virtual ~Transport() = default;
  // Puts one frame on the wire. False when the frame could not be handed over.
  virtual bool send(const std::vector<uint8_t>& frame) = 0;
  // The next inbound frame, or nothing once `deadline` has passed. Called by one thread at a
  // time; send may run concurrently from another thread.
  virtual std::optional<std::vector<uint8_t>> receive(Clock::time_point deadline) = 0;
};

// Inbound EtherCAT frames of a named adapter through libpcap (immediate mode, inbound direction
// only, filtered on EtherType 0x88A4).
class PcapTransport final : public Transport {
public:
  // Nothing when the adapter cannot be opened; `error` then says why.
  static std::unique_ptr<PcapTransport> open(const std::string& interfaceName, std::string& error);
  ~PcapTransport() override;
  PcapTransport(const PcapTransport&) = delete;
  PcapTransport& operator=(const PcapTransport&) = delete;

  bool send(const std::vector<uint8_t>& frame) override;
  std::optional<std::vector<uint8_t>> receive(Clock::time_point deadline) override;

private:
  PcapTransport(void* handle, int fd) : handle_(handle), fd_(fd) {}
  void* handle_;  // pcap_t*
  int fd_;
  FairMutex sendMutex_;
};

// A link to a function that answers each sent frame with at most one frame. The answer is
// queued and handed out by receive, so a responder may also answer late, twice or never.
class MemoryTransport final : public Transport {
public:
  using Responder = std::function<std::optional<std::vector<uint8_t>>(std::vector<uint8_t> frame)>;
  explicit MemoryTransport(Responder responder) : responder_(std::move(responder)) {}

  bool send(const std::vector<uint8_t>& frame) override;
  std::optional<std::vector<uint8_t>> receive(Clock::time_point deadline) override;
  // Queues a frame as if it had arrived from the wire.
  void inject(std::vector<uint8_t> frame);
  uint64_t framesSent() const;

private:
  Responder responder_;
  FairMutex responderMutex_;
  mutable std::mutex queueMutex_;
  std::condition_variable queueChanged_;
  std::deque<std::vector<uint8_t>> queue_;
  uint64_t framesSent_ = 0;
};

}  // namespace ecmaster
