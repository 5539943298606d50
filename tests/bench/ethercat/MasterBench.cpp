// Figures of the EtherCAT master against the in-process simulated segment: open + enumerate
// time, SDO expedited round trip, FoE throughput, and the period error of a 1 ms process-data
// cycle while mailbox traffic runs beside it. Prints only; asserts nothing.
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "MasterContext.h"
#include "ethercat.h"
#include "sim/ethercat/Segment.h"

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

struct Bench {
  ecsim::Segment segment;
  explicit Bench(size_t devices) {
    for (size_t p = 1; p <= devices; ++p) segment.addDevice(ecsim::ownDeviceProfile(static_cast<uint32_t>(p)));
  }
  void open() {
    ec_init_transport(std::make_unique<ecmaster::MemoryTransport>(
        [this](std::vector<uint8_t> frame) { return segment.processFrame(frame); }));
  }
  ~Bench() { ec_close(); }
};

void enumerateTimes() {
  for (size_t n : {size_t{1}, size_t{10}, size_t{100}}) {
    Bench bench(n);
    auto start = Clock::now();
    bench.open();
    int found = ec_config_init(FALSE);
    auto took = Clock::now() - start;
    std::printf("open+enumerate %3zu devices: %9.1f ms (found %d)\n", n, microseconds(took) / 1000, found);
  }
}

void sdoRoundTrip() {
  Bench bench(1);
  bench.open();
  ec_config_init(FALSE);
  constexpr int kRounds = 500;
  std::vector<double> times;
  for (int i = 0; i < kRounds; ++i) {
    uint16_t value = 0;
    int size = 2;
    auto start = Clock::now();
    ec_SDOread(1, 0x8000, 0, FALSE, &size, &value, EC_TIMEOUTRXM);
    times.push_back(microseconds(Clock::now() - start));
  }
  std::sort(times.begin(), times.end());
  std::printf("SDO expedited read round trip: p50 %.1f us, p99 %.1f us\n", times[times.size() / 2],
              times[times.size() * 99 / 100]);
}

bool toBootstrap() {
  ec_slave[1].state = EC_STATE_INIT;
  ec_writestate(1);
  ec_statecheck(1, EC_STATE_INIT, EC_TIMEOUTSTATE);
  ec_slave[1].state = EC_STATE_BOOT;
  ec_writestate(1);
  return ec_statecheck(1, EC_STATE_BOOT, EC_TIMEOUTSTATE) == EC_STATE_BOOT;
}

void foeThroughput() {
  Bench bench(1);
  bench.open();
  ec_config_init(FALSE);
  if (!toBootstrap()) {
    std::printf("FoE throughput: device did not enter BOOTSTRAP\n");
    return;
  }
  std::vector<uint8_t> file(64 * 1024);
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 13);
  char name[] = "bench.bin";
  auto start = Clock::now();
  int wkc = ec_FOEwrite(1, name, 0, static_cast<int>(file.size()), file.data(), EC_TIMEOUTRXM);
  double writeUs = microseconds(Clock::now() - start);
  std::vector<uint8_t> back(file.size() + 1);
  int size = static_cast<int>(back.size());
  start = Clock::now();
  int rwkc = ec_FOEread(1, name, 0, &size, back.data(), EC_TIMEOUTRXM);
  double readUs = microseconds(Clock::now() - start);
  std::printf("FoE throughput (64 KiB, mailbox %u bytes): write %.1f KiB/s (result %d), read %.1f KiB/s (result %d)\n",
              ec_slave[1].mbx_l, 64.0 / (writeUs / 1e6), wkc, 64.0 / (readUs / 1e6), rwkc);
}

void cyclePeriod() {
  Bench bench(3);
  bench.open();
  ec_config_init(FALSE);
  static uint8_t map[EC_IOMAPSIZE];
  ec_config_map(map);
  ec_statecheck(0, EC_STATE_SAFE_OP, EC_TIMEOUTSTATE);
  constexpr int kCycles = 3000;
  std::vector<double> errors;
  errors.reserve(kCycles);
  std::atomic<bool> done{false};
  std::thread cycle([&] {
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    auto last = Clock::now();
    for (int i = 0; i < kCycles; ++i) {
      next.tv_nsec += 1000000;
      if (next.tv_nsec >= 1000000000) {
        next.tv_nsec -= 1000000000;
        ++next.tv_sec;
      }
      clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
      auto now = Clock::now();
      if (i > 0) errors.push_back(std::abs(microseconds(now - last) - 1000.0));
      last = now;
      ec_send_processdata();
      ec_receive_processdata(EC_TIMEOUTRET);
    }
    done = true;
  });
  int transfers = 0;
  while (!done) {
    char name[64];
    int size = sizeof name;
    ec_SDOread(1, 0x1008, 0, FALSE, &size, name, EC_TIMEOUTRXM);
    ++transfers;
  }
  cycle.join();
  std::sort(errors.begin(), errors.end());
  std::printf("1 ms cycle period error with %d SDO reads beside it: p50 %.1f us, p99 %.1f us, max %.1f us\n",
              transfers, errors[errors.size() / 2], errors[errors.size() * 99 / 100], errors.back());
}

}  // namespace

int main() {
  enumerateTimes();
  sdoRoundTrip();
  foeThroughput();
  cyclePeriod();
  return 0;
}
