// Frame encoding and decoding, and the frame exchange: index matching, stale and foreign
// replies, resending, and two threads sharing the index pool.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <random>
#include <thread>

#include "FrameExchange.h"
#include "ethercat.h"

using namespace ecmaster;

namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> v;
  for (int b : list) v.push_back(static_cast<uint8_t>(b));
  return v;
}

// Answers FPRD/APRD/BRD by filling the data with the low byte of ADP and counting one device;
// the optional hook may drop or alter a reply.
std::optional<std::vector<uint8_t>> echoResponder(std::vector<uint8_t> frame) {
  auto decoded = decodeFrame(frame);
  if (!decoded) return std::nullopt;
  size_t at = 16;
  for (auto& d : decoded->datagrams) {
    size_t len = d.data.size();
    for (size_t i = 0; i < len; ++i) frame[at + 10 + i] = static_cast<uint8_t>(d.adp);
    frame[at + 10 + len] = 1;
    at += 12 + len;
  }
  frame[6] |= 0x02;
  return frame;
}

}  // namespace

TEST(Frame, EncodesTheBroadcastReadOfTheReference) {
  Datagram brd{Command::BRD, 0, 0, {0, 0}};
  auto frame = encodeFrame({&brd, 1}, 5, 0x01010101);
  ASSERT_TRUE(frame);
  auto expected = bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x88, 0xA4,
                         0x0E, 0x10, 0x07, 0x05, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                         0x00, 0x00});
  ASSERT_EQ(frame->size(), 60u);  // padded to the Ethernet minimum
  EXPECT_EQ(std::vector<uint8_t>(frame->begin(), frame->begin() + 30), expected);
  EXPECT_TRUE(std::all_of(frame->begin() + 30, frame->end(), [](uint8_t b) { return b == 0; }));
}

TEST(Frame, ChainsDatagramsWithTheMoreBit) {
  std::vector<Datagram> two{{Command::LRW, 0x0000, 0x0001, {1, 2, 3}}, {Command::FRMW, 0x1001, 0x0910, std::vector<uint8_t>(8)}};
  auto frame = encodeFrame(two, 3, 7);
  ASSERT_TRUE(frame);
  EXPECT_EQ(getU16(&(*frame)[14]), 0x1000 + (10 + 3 + 2) + (10 + 8 + 2));
  EXPECT_EQ(getU16(&(*frame)[22]), 0x8003);  // M bit on the first datagram
  EXPECT_EQ(getU16(&(*frame)[16 + 15 + 6]), 8);  // and not on the last
  auto decoded = decodeFrame(*frame);
  ASSERT_TRUE(decoded);
  ASSERT_EQ(decoded->datagrams.size(), 2u);
  EXPECT_EQ(decoded->datagrams[0].data, bytes({1, 2, 3}));
  EXPECT_EQ(decoded->datagrams[1].command, Command::FRMW);
  EXPECT_EQ(decoded->datagrams[1].adp, 0x1001);
  EXPECT_EQ(decoded->tag(), 7u);
}

TEST(Frame, RefusesDatagramsThatDoNotFitOneFrame) {
  std::vector<Datagram> big{{Command::LRW, 0, 0, std::vector<uint8_t>(kMaxDatagramData)}};
  EXPECT_TRUE(encodeFrame(big, 0, 1));
  big.push_back({Command::FPRD, 0x1001, 0x0130, {0, 0}});
  EXPECT_FALSE(encodeFrame(big, 0, 1));
  std::vector<Datagram> tooLong{{Command::LRW, 0, 0, std::vector<uint8_t>(kMaxDatagramData + 1)}};
  EXPECT_FALSE(encodeFrame(tooLong, 0, 1));
}

TEST(Frame, DecodesAnUnpaddedReplyThroughThreeDevices) {
  auto reply = bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x03, 0x01, 0x01, 0x01, 0x01, 0x01, 0x88, 0xA4,
                      0x0E, 0x10, 0x07, 0x05, 0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x11, 0x00,
                      0x03, 0x00});
  auto decoded = decodeFrame(reply);
  ASSERT_TRUE(decoded);
  ASSERT_EQ(decoded->datagrams.size(), 1u);
  const auto& d = decoded->datagrams[0];
  EXPECT_EQ(d.command, Command::BRD);
  EXPECT_EQ(d.index, 5);
  EXPECT_EQ(d.adp, 3);
  EXPECT_EQ(d.wkc, 3);
  EXPECT_EQ(d.data, bytes({0x11, 0x00}));
  reply.resize(60, 0);  // the same reply padded by a physical NIC
  EXPECT_TRUE(decodeFrame(reply));
}

TEST(Frame, RejectsInconsistentFrames) {
  Datagram d{Command::FPRD, 0x1001, 0x0130, {0, 0}};
  auto good = *encodeFrame({&d, 1}, 1, 9);
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
  } cases[] = {
      {"other EtherType", [](auto& f) { f[13] = 0xA5; }},
      {"not a command frame", [](auto& f) { f[15] = 0x40; }},
      {"area longer than the frame", [](auto& f) { putU16(&f[14], 0x1000 | 60); }},
      {"datagram longer than the area", [](auto& f) { putU16(&f[22], 200); }},
      {"more bit without a next datagram", [](auto& f) { putU16(&f[22], 0x8002); }},
      {"circulating frame", [](auto& f) { putU16(&f[22], 0x4002); }},
      {"unknown command", [](auto& f) { f[16] = 0x20; }},
      {"truncated", [](auto& f) { f.resize(20); }},
  };
  for (const auto& c : cases) {
    auto frame = good;
    c.damage(frame);
    EXPECT_FALSE(decodeFrame(frame)) << c.what;
  }
}

TEST(Exchange, TransferReturnsDataAndWorkingCounter) {
  MemoryTransport link(echoResponder);
  FrameExchange exchange;
  exchange.attach(&link);
  uint8_t data[2] = {};
  EXPECT_EQ(transfer(exchange, Command::FPRD, 0x1007, 0x0130, data, 2, EC_TIMEOUTRET), 1);
  EXPECT_EQ(data[0], 0x07);
  exchange.attach(nullptr);
  EXPECT_EQ(transfer(exchange, Command::FPRD, 0x1007, 0x0130, data, 2, EC_TIMEOUTRET), EC_NOFRAME);
}

TEST(Exchange, ResendsUntilAReplyComes) {
  int dropped = 0;
  MemoryTransport link([&](std::vector<uint8_t> f) -> std::optional<std::vector<uint8_t>> {
    if (dropped < 2) {
      ++dropped;
      return std::nullopt;
    }
    return echoResponder(std::move(f));
  });
  FrameExchange exchange;
  exchange.attach(&link);
  uint8_t data[1] = {};
  EXPECT_EQ(transfer(exchange, Command::FPRD, 0x1001, 0x0130, data, 1, 20000), 1);
  EXPECT_EQ(link.framesSent(), 3u);

  MemoryTransport dead([](std::vector<uint8_t>) { return std::optional<std::vector<uint8_t>>{}; });
  exchange.attach(&dead);
  EXPECT_EQ(transfer(exchange, Command::FPRD, 0x1001, 0x0130, data, 1, 20000), EC_NOFRAME);
  EXPECT_GE(dead.framesSent(), 2u);
}

// A reply that arrives after its request was given up must not answer the next request that
// reuses the index, even when that request has exactly the same shape.
TEST(Exchange, IgnoresALateReplyToAnAbandonedRequest) {
  std::optional<std::vector<uint8_t>> held;
  bool hold = true;
  MemoryTransport* linkPtr = nullptr;
  MemoryTransport link([&](std::vector<uint8_t> f) -> std::optional<std::vector<uint8_t>> {
    auto reply = echoResponder(f);
    if (hold) {
      (*reply)[26] = 0xEE;  // the stale content
      held = reply;
      hold = false;
      return std::nullopt;
    }
    if (held && (*held)[17] == f[17]) {  // the index is in use again: old answer first
      linkPtr->inject(*held);
      held.reset();
    }
    return reply;
  });
  linkPtr = &link;
  FrameExchange exchange;
  exchange.attach(&link);
  uint8_t data[1] = {};
  // The first request is never answered in time; the exchange gives up on it.
  EXPECT_EQ(transfer(exchange, Command::FPRD, 0x1001, 0x0130, data, 1, 1000), EC_NOFRAME);
  for (int i = 0; i < kFrameIndexes * 2; ++i) {
    data[0] = 0;
    ASSERT_EQ(transfer(exchange, Command::FPRD, 0x1001, 0x0130, data, 1, EC_TIMEOUTRET), 1);
    ASSERT_EQ(data[0], 0x01) << "exchange " << i << " took a stale reply";
  }
}

TEST(Exchange, DropsRepliesWhoseDatagramsDoNotMatchTheRequest) {
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> alter;
  } cases[] = {
      {"other command", [](auto& f) { f[16] = static_cast<uint8_t>(Command::FPWR); }},
      {"other station address", [](auto& f) { putU16(&f[18], 0x1002); }},
      {"other register", [](auto& f) { putU16(&f[20], 0x0134); }},
      {"other tag", [](auto& f) { f[9] ^= 0x40; }},
  };
  for (const auto& c : cases) {
    MemoryTransport link([&](std::vector<uint8_t> f) {
      auto reply = echoResponder(std::move(f));
      c.alter(*reply);
      return reply;
    });
    FrameExchange exchange;
    exchange.attach(&link);
    uint8_t data[1] = {};
    EXPECT_EQ(transfer(exchange, Command::FPRD, 0x1001, 0x0130, data, 1, 3000), EC_NOFRAME) << c.what;
  }
}

TEST(Exchange, AcceptsTheChangedPositionOfAutoIncrementCommands) {
  MemoryTransport link([](std::vector<uint8_t> f) {
    auto reply = echoResponder(std::move(f));
    putU16(&(*reply)[18], static_cast<uint16_t>(getU16(&(*reply)[18]) + 3));  // passed 3 devices
    return reply;
  });
  FrameExchange exchange;
  exchange.attach(&link);
  uint8_t data[2] = {};
  EXPECT_EQ(transfer(exchange, Command::APRD, static_cast<uint16_t>(-1), 0x0010, data, 2, EC_TIMEOUTRET), 1);
}

// A process-data thread and a mailbox thread share the indexes over a lossy link; each must
// get the answers to its own requests only.
TEST(Exchange, TwoThreadsGetTheirOwnReplies) {
  std::mutex m;
  std::mt19937 random(7);
  MemoryTransport link([&](std::vector<uint8_t> f) -> std::optional<std::vector<uint8_t>> {
    {
      std::lock_guard lock(m);
      if (std::uniform_int_distribution<int>(0, 99)(random) < 5) return std::nullopt;
    }
    return echoResponder(std::move(f));
  });
  FrameExchange exchange;
  exchange.attach(&link);
  std::atomic<int> wrong{0}, lost{0};
  auto worker = [&](uint16_t adp) {
    for (int i = 0; i < 1500; ++i) {
      uint8_t data[4] = {};
      int wkc = transfer(exchange, Command::FPRD, adp, 0x1000, data, sizeof data, 20000);
      if (wkc != 1) ++lost;
      else if (data[0] != static_cast<uint8_t>(adp) || data[3] != static_cast<uint8_t>(adp)) ++wrong;
    }
  };
  std::thread a(worker, uint16_t{0x1011});
  std::thread b(worker, uint16_t{0x1022});
  a.join();
  b.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(lost.load(), 0);
}
