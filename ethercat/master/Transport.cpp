// Both transports. The capture handle is non-blocking and waited on with poll() on its
// selectable descriptor, so a receive never sleeps past its deadline and never holds a lock
// while it waits. A handle does not see the frames it injected itself; replies that passed the
// devices arrive as inbound frames.
#include "Transport.h"

#include <pcap/pcap.h>
#include <poll.h>

#include <cstring>

namespace ecmaster {

namespace {
constexpr int kSnapLengthBytes = 2048;
constexpr int kPcapTimeoutMs = 1;
constexpr uint16_t kEtherTypeEtherCat = 0x88A4;
}  // namespace

std::unique_ptr<PcapTransport> PcapTransport::open(const std::string& interfaceName,
                                                    std::string& error) {
  char errbuf[PCAP_ERRBUF_SIZE] = {};
  pcap_t* p = pcap_create(interfaceName.c_str(), errbuf);
  if (p == nullptr) {
    error = errbuf;
    return nullptr;
  }
  auto fail = [&](const std::string& what) {
    error = what + ": " + pcap_geterr(p);
    pcap_close(p);
    return nullptr;
  };
  pcap_set_immediate_mode(p, 1);
  pcap_set_snaplen(p, kSnapLengthBytes);
  pcap_set_promisc(p, 1);
  pcap_set_timeout(p, kPcapTimeoutMs);
  if (pcap_activate(p) < 0) return fail("pcap_activate");
  if (pcap_setdirection(p, PCAP_D_IN) != 0) return fail("pcap_setdirection");
  bpf_program filter{};
  if (pcap_compile(p, &filter, "ether proto 0x88a4", 1, PCAP_NETMASK_UNKNOWN) != 0)
    return fail("pcap_compile");
  int rc = pcap_setfilter(p, &filter);
  pcap_freecode(&filter);
  if (rc != 0) return fail("pcap_setfilter");
  if (pcap_setnonblock(p, 1, errbuf) != 0) {
    error = errbuf;
    pcap_close(p);
    return nullptr;
  }
  int fd = pcap_get_selectable_fd(p);
  if (fd < 0) {
    error = "no selectable descriptor";
    pcap_close(p);
    return nullptr;
  }
  return std::unique_ptr<PcapTransport>(new PcapTransport(p, fd));
}

PcapTransport::~PcapTransport() { pcap_close(static_cast<pcap_t*>(handle_)); }

bool PcapTransport::send(const std::vector<uint8_t>& frame) {
  std::lock_guard lock(sendMutex_);
  return pcap_sendpacket(static_cast<pcap_t*>(handle_), frame.data(),
                         static_cast<int>(frame.size())) == 0;
}

std::optional<std::vector<uint8_t>> PcapTransport::receive(Clock::time_point deadline) {
  auto* p = static_cast<pcap_t*>(handle_);
  for (;;) {
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    int rc = pcap_next_ex(p, &header, &data);
    if (rc == 1) {
      size_t length = header->caplen;
      // The filter should have done this; a frame of another protocol is still never handed up.
      if (length >= 14 && ((data[12] << 8) | data[13]) == kEtherTypeEtherCat)
        return std::vector<uint8_t>(data, data + length);
      continue;
    }
    if (rc < 0) return std::nullopt;
    auto now = Clock::now();
    if (now >= deadline) return std::nullopt;
    auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    pollfd pfd{fd_, POLLIN, 0};
    ::poll(&pfd, 1, static_cast<int>(remaining));
  }
}

bool MemoryTransport::send(const std::vector<uint8_t>& frame) {
  std::optional<std::vector<uint8_t>> reply;
  {
    std::lock_guard lock(responderMutex_);
    reply = responder_(frame);
  }
  std::lock_guard lock(queueMutex_);
  ++framesSent_;
  if (reply) {
    queue_.push_back(std::move(*reply));
    queueChanged_.notify_all();
  }
  return true;
}

std::optional<std::vector<uint8_t>> MemoryTransport::receive(Clock::time_point deadline) {
  std::unique_lock lock(queueMutex_);
  if (!queueChanged_.wait_until(lock, deadline, [&] { return !queue_.empty(); }))
    return std::nullopt;
  auto frame = std::move(queue_.front());
  queue_.pop_front();
  return frame;
}

void MemoryTransport::inject(std::vector<uint8_t> frame) {
  std::lock_guard lock(queueMutex_);
  queue_.push_back(std::move(frame));
  queueChanged_.notify_all();
}

uint64_t MemoryTransport::framesSent() const {
  std::lock_guard lock(queueMutex_);
  return framesSent_;
}

}  // namespace ecmaster
