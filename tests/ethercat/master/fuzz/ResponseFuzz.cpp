// A bounded fuzz run of everything that parses bytes from the wire: frame decoding, the SII
// parsers and the mailbox protocols (SDO, SDO information, FoE). Replies are built from valid
// templates with random mutations, so most of them get past the outer checks and reach the
// inner parsers. Guard bytes around every caller buffer catch writes past its size; the
// sanitizer build catches the rest.
//
// usage: ethercat_master_fuzz [ITERATIONS] [SECONDS] [SEED]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "MasterContext.h"

using namespace ecmaster;

namespace {

std::mt19937 rng;
int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

void mutate(std::vector<uint8_t>& v) {
  int edits = 1 + below(4);
  for (int i = 0; i < edits && !v.empty(); ++i) {
    switch (below(5)) {
      case 0: v[static_cast<size_t>(below(static_cast<int>(v.size())))] = static_cast<uint8_t>(below(256)); break;
      case 1: v[static_cast<size_t>(below(static_cast<int>(v.size())))] ^= static_cast<uint8_t>(1 << below(8)); break;
      case 2: v.resize(static_cast<size_t>(below(static_cast<int>(v.size()) + 1))); break;
      case 3: v.resize(v.size() + static_cast<size_t>(below(64)), static_cast<uint8_t>(below(256))); break;
      default: {  // a length-like field set to an extreme
        if (v.size() >= 2) {
          size_t at = static_cast<size_t>(below(static_cast<int>(v.size()) - 1));
          uint16_t value = below(2) ? 0xFFFF : static_cast<uint16_t>(below(2048));
          putU16(&v[at], value);
        }
      }
    }
  }
}

std::vector<uint8_t> loadImage(const char* name) {
  std::ifstream in(std::string("/work/shared/data/ethercat-captured/sii/") + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Mailbox replies of a 128-byte mailbox: mailbox header + body, of every kind the master reads.
std::vector<std::vector<uint8_t>> mailboxTemplates() {
  auto message = [](uint8_t type, std::vector<uint8_t> body) {
    std::vector<uint8_t> m(6, 0);
    putU16(m.data(), static_cast<uint16_t>(body.size()));
    m[5] = type;
    m.insert(m.end(), body.begin(), body.end());
    m.resize(128, 0);
    return m;
  };
  std::vector<uint8_t> normal{0x00, 0x30, 0x41, 0x00, 0x20, 0x00, 0x00, 0x02, 0x00, 0x00};
  normal.resize(10 + 112, 0x5A);
  std::vector<uint8_t> segment{0x00, 0x30, 0x00};
  segment.resize(3 + 119, 0x33);
  std::vector<uint8_t> odList{0x00, 0x80, 0x82, 0x00, 0x02, 0x00, 0x01, 0x00};
  for (int i = 0; i < 50; ++i) { odList.push_back(static_cast<uint8_t>(i)); odList.push_back(0x10); }
  std::vector<uint8_t> foeData{0x03, 0x00, 0x01, 0x00, 0x00, 0x00};
  foeData.resize(6 + 116, 0x77);
  return {
      message(3, {0x00, 0x30, 0x4B, 0x00, 0x20, 0x00, 0x34, 0x12, 0x00, 0x00}),  // expedited
      message(3, normal),
      message(3, segment),
      message(3, {0x00, 0x30, 0x60, 0x00, 0x20, 0x00, 0, 0, 0, 0}),  // download response
      message(3, {0x00, 0x30, 0x20, 0, 0, 0, 0, 0, 0, 0}),           // segment download response
      message(3, {0x00, 0x20, 0x80, 0x00, 0x20, 0x00, 0x00, 0x00, 0x02, 0x06}),
      message(3, odList),
      message(3, {0x00, 0x80, 0x04, 0, 0, 0, 0x00, 0x20, 0x07, 0x00, 0x02, 0x07, 'N', 'a', 'm', 'e'}),
      message(3, {0x00, 0x80, 0x06, 0, 0, 0, 0x00, 0x20, 0x01, 0x07, 0x07, 0, 32, 0, 7, 0, 'E'}),
      message(3, {0x00, 0x80, 0x07, 0, 0, 0, 0x00, 0x00, 0x00, 0x08}),
      message(4, foeData),
      message(4, {0x04, 0x00, 0x00, 0x00, 0x00, 0x00}),
      message(4, {0x05, 0x00, 0x01, 0x80, 0x00, 0x00}),
      message(4, {0x06, 0x00, 0x00, 0x00, 0x00, 0x00}),
      message(0, {0x01, 0x00, 0x02, 0x00}),
      message(3, {0x00, 0x10, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0}),  // emergency
  };
}

// Answers every request frame with the same frame, its datagram data replaced by random or
// template bytes: register polls see random status bits, mailbox reads see mutated replies.
struct RandomDevice {
  std::vector<std::vector<uint8_t>> templates = mailboxTemplates();
  std::optional<std::vector<uint8_t>> respond(std::vector<uint8_t> frame) {
    if (below(50) == 0) return std::nullopt;
    auto decoded = decodeFrame(frame);
    if (!decoded) return std::nullopt;
    size_t at = 16;
    for (const auto& d : decoded->datagrams) {
      size_t len = d.data.size();
      uint8_t* data = &frame[at + 10];
      if (len >= 64) {
        auto reply = templates[static_cast<size_t>(below(static_cast<int>(templates.size())))];
        if (below(3)) mutate(reply);
        std::memset(data, 0, len);
        std::memcpy(data, reply.data(), std::min(len, reply.size()));
      } else {
        for (size_t i = 0; i < len; ++i) data[i] = static_cast<uint8_t>(below(256));
        if (len >= 1 && below(2)) data[0] = static_cast<uint8_t>(below(2) ? 0x08 : 0x00);  // SM full / empty
      }
      putU16(&frame[at + 10 + len], static_cast<uint16_t>(below(4) ? 1 : below(3)));
      at += 12 + len;
    }
    if (below(20) == 0) mutate(frame);
    return frame;
  }
};

struct Guarded {
  static constexpr size_t kGuard = 32;
  std::vector<uint8_t> bytes;
  size_t size;
  explicit Guarded(size_t n) : bytes(n + 2 * kGuard, 0xA5), size(n) {}
  uint8_t* data() { return bytes.data() + kGuard; }
  bool intact() const {
    for (size_t i = 0; i < kGuard; ++i)
      if (bytes[i] != 0xA5 || bytes[kGuard + size + i] != 0xA5) return false;
    return true;
  }
};

int failures = 0;
void check(bool ok, const char* what) {
  if (!ok) {
    ++failures;
    std::fprintf(stderr, "fuzz: %s\n", what);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const long iterations = argc > 1 ? std::atol(argv[1]) : 3000;
  const double seconds = argc > 2 ? std::atof(argv[2]) : 20.0;
  rng.seed(argc > 3 ? static_cast<unsigned>(std::atol(argv[3])) : 20261211u);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);

  std::vector<std::vector<uint8_t>> images{loadImage("ek1100.bin"), loadImage("el2004.bin"),
                                           loadImage("akd-servo-drive.bin")};
  RandomDevice device;
  MemoryTransport link([&](std::vector<uint8_t> f) { return device.respond(std::move(f)); });
  auto ctx = std::make_unique<Context>();
  ctx->exchange.attach(&link);
  ctx->slavecount = 1;
  ec_slavet& s = ctx->slave[1];
  s.configadr = 0x1001;
  s.mbx_l = s.mbx_rl = 128;
  s.mbx_wo = 0x1000;
  s.mbx_ro = 0x1080;
  s.mbx_proto = ECT_MBXPROT_COE | ECT_MBXPROT_FOE;
  constexpr int kTimeoutUs = 3000;

  long done = 0;
  for (; done < iterations && std::chrono::steady_clock::now() < end; ++done) {
    // Frames.
    Datagram d{Command::LRW, 0, 0, std::vector<uint8_t>(static_cast<size_t>(below(80)))};
    auto frame = *encodeFrame({&d, 1}, static_cast<uint8_t>(below(16)), 1);
    mutate(frame);
    if (auto decoded = decodeFrame(frame))
      for (const auto& dg : decoded->datagrams) check(dg.data.size() <= frame.size(), "datagram larger than frame");

    // SII.
    auto image = images[static_cast<size_t>(below(3))];
    for (int k = 0; k < 8; ++k) mutate(image);
    SiiImage sii(image);
    ec_slavet slave{};
    ec_eepromPDOt pdo{};
    check(siiString(sii, static_cast<uint16_t>(below(12))).size() <= EC_MAXNAME, "string too long");
    siiGeneral(sii);
    check(siiSyncManagers(sii, slave) <= EC_MAXSM, "too many SMs");
    check(siiFmmus(sii, slave) <= EC_MAXFMMU, "too many FMMUs");
    siiPdo(sii, pdo, static_cast<uint8_t>(below(2)));
    check(pdo.nPDO < EC_MAXEEPDO, "PDO count beyond the table");

    // Mailbox protocols.
    switch (below(7)) {
      case 0: {
        Guarded buffer(static_cast<size_t>(below(300)));
        int size = static_cast<int>(buffer.size);
        sdoRead(*ctx, 1, 0x2000, 0, below(2), &size, buffer.data(), kTimeoutUs);
        check(buffer.intact() && size >= 0 && static_cast<size_t>(size) <= buffer.size, "SDO read overflow");
        break;
      }
      case 1: {
        std::vector<uint8_t> value(static_cast<size_t>(below(400)), 1);
        sdoWrite(*ctx, 1, 0x2000, 0, below(2), static_cast<int>(value.size()), value.data(), kTimeoutUs);
        break;
      }
      case 2: {
        auto list = std::make_unique<ec_ODlistt>();
        readOdList(*ctx, 1, list.get());
        check(list->Entries <= EC_MAXODLIST, "OD list overflow");
        list->Entries = 1;
        readOdDescription(*ctx, 0, list.get());
        check(std::strlen(list->Name[0]) <= EC_MAXNAME, "object name too long");
        break;
      }
      case 3: {
        auto list = std::make_unique<ec_ODlistt>();
        auto entries = std::make_unique<ec_OElistt>();
        list->Slave = 1;
        list->Entries = 1;
        list->Index[0] = 0x2000;
        readOeSingle(*ctx, 0, static_cast<uint8_t>(below(256)), list.get(), entries.get());
        break;
      }
      case 4: {
        Guarded buffer(static_cast<size_t>(below(600)));
        int size = static_cast<int>(buffer.size);
        foeRead(*ctx, 1, "file", 0, &size, buffer.data(), kTimeoutUs);
        check(buffer.intact() && size >= 0 && static_cast<size_t>(size) <= buffer.size, "FoE read overflow");
        break;
      }
      case 5: {
        std::vector<uint8_t> file(static_cast<size_t>(below(600)), 2);
        foeWrite(*ctx, 1, "file", 0, static_cast<int>(file.size()), file.data(), kTimeoutUs);
        break;
      }
      default: {
        readState(*ctx);
        stateCheck(*ctx, 1, EC_STATE_OPERATIONAL, 0);
      }
    }
  }
  ctx->exchange.attach(nullptr);
  std::printf("fuzz: %ld iterations, %d failures\n", done, failures);
  return failures == 0 ? 0 : 1;
}
