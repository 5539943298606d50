// Mailbox protocols over the fake segment: SDO transfers of every kind, aborts and malformed
// answers, the SDO information service, FoE transfers, mailbox counters, and the whole stack
// under frame loss.
#include <numeric>

#include "MasterFixture.h"

namespace {
std::vector<uint8_t> pattern(size_t n, uint8_t seed = 1) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}
// Sizes that cross the boundaries of a 128-byte mailbox: expedited, normal (first chunk 112),
// segmented (119 per segment) with a short tail.
constexpr size_t kFirstChunk = 128 - 16;
constexpr size_t kSegment = 128 - 9;
}  // namespace

class SdoTest : public MasterTest {
protected:
  fakebus::CoeServer coe;
  void SetUp() override {
    MasterTest::SetUp();
    addMailboxDevice(&coe);
    ASSERT_EQ(ec_config_init(FALSE), 1);
  }
};

TEST_F(SdoTest, UploadsEverySize) {
  for (size_t size : {size_t{1}, size_t{2}, size_t{3}, size_t{4}, size_t{5}, kFirstChunk, kFirstChunk + 1,
                      kFirstChunk + 2 * kSegment + 3, size_t{2000}}) {
    SCOPED_TRACE(size);
    coe.objects[{0x2000, 1}] = pattern(size);
    std::vector<uint8_t> buffer(4096, 0xCC);
    int got = static_cast<int>(buffer.size());
    EXPECT_GT(ec_SDOread(1, 0x2000, 1, FALSE, &got, buffer.data(), EC_TIMEOUTRXM), 0);
    ASSERT_EQ(got, static_cast<int>(size));
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + got), pattern(size));
    EXPECT_EQ(buffer[size], 0xCC) << "nothing written past the object";
  }
}

TEST_F(SdoTest, DownloadsEverySize) {
  for (size_t size : {size_t{1}, size_t{2}, size_t{3}, size_t{4}, size_t{5}, kFirstChunk, kFirstChunk + 1,
                      kFirstChunk + 2 * kSegment + 3, size_t{2000}}) {
    SCOPED_TRACE(size);
    auto value = pattern(size, 9);
    EXPECT_GT(ec_SDOwrite(1, 0x2001, 2, FALSE, static_cast<int>(size), value.data(), EC_TIMEOUTRXM), 0);
    EXPECT_EQ((coe.objects[{0x2001, 2}]), value);
  }
  uint8_t expedited[2] = {0x34, 0x12};
  ec_SDOwrite(1, 0x2002, 0, FALSE, 2, expedited, EC_TIMEOUTRXM);
  EXPECT_EQ(device(1).received.back()[8], 0x2B) << "2-byte expedited download";
}

TEST_F(SdoTest, CompleteAccessUsesNormalTransfersFromSubindexOne) {
  coe.objects[{0x3000, 1}] = pattern(12);
  std::vector<uint8_t> buffer(64);
  int size = static_cast<int>(buffer.size());
  EXPECT_GT(ec_SDOread(1, 0x3000, 7, TRUE, &size, buffer.data(), EC_TIMEOUTRXM), 0);
  EXPECT_EQ(size, 12);
  EXPECT_EQ(device(1).received.back()[8], 0x50);
  EXPECT_EQ(device(1).received.back()[11], 1);
  auto value = pattern(3);
  EXPECT_GT(ec_SDOwrite(1, 0x3001, 0, TRUE, 3, value.data(), EC_TIMEOUTRXM), 0);
  EXPECT_EQ(device(1).received.back()[8], 0x31) << "CA download is never expedited";
  EXPECT_EQ((coe.objects[{0x3001, 0}]), value);
}

TEST_F(SdoTest, FailsOnAbortsSmallBuffersAndBadSegments) {
  coe.objects[{0x2000, 0}] = pattern(300);
  coe.objects[{0x2003, 0}] = pattern(4);
  coe.abortOn[0x2004] = 0x06010002;
  struct Case {
    const char* what;
    uint16_t index;
    int bufferSize;
    uint32_t abortCode;
  } cases[] = {
      {"unknown object", 0x5555, 64, 0x06020000},
      {"device refuses", 0x2004, 64, 0x06010002},
      {"normal object larger than the buffer", 0x2000, 299, 0},
      {"expedited object larger than the buffer", 0x2003, 3, 0},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> buffer(static_cast<size_t>(c.bufferSize) + 8, 0xCC);
    int size = c.bufferSize;
    context().lastAbortCode = 0;
    EXPECT_EQ(ec_SDOread(1, c.index, 0, FALSE, &size, buffer.data(), EC_TIMEOUTRXM), 0) << c.what;
    EXPECT_EQ(context().lastAbortCode, c.abortCode) << c.what;
    EXPECT_EQ(buffer[static_cast<size_t>(c.bufferSize)], 0xCC) << c.what;
  }
  uint8_t value[4] = {};
  EXPECT_EQ(ec_SDOwrite(1, 0x2004, 0, FALSE, 4, value, EC_TIMEOUTRXM), 0);
  EXPECT_EQ(context().lastAbortCode, 0x06010002u);

  // A segment answered with the previous toggle would shift the data: refused.
  coe.repeatFirstSegmentToggle = true;
  std::vector<uint8_t> buffer(512);
  int size = static_cast<int>(buffer.size());
  EXPECT_EQ(ec_SDOread(1, 0x2000, 0, FALSE, &size, buffer.data(), EC_TIMEOUTRXM), 0);
  // The next transfer starts clean: the drain discards whatever the device still offers.
  coe.repeatFirstSegmentToggle = false;
  size = static_cast<int>(buffer.size());
  EXPECT_GT(ec_SDOread(1, 0x2000, 0, FALSE, &size, buffer.data(), EC_TIMEOUTRXM), 0);
  EXPECT_EQ(size, 300);
}

TEST_F(SdoTest, TimesOutWhenTheDeviceNeverAnswers) {
  device(1).onMailbox = nullptr;
  uint8_t buffer[4];
  int size = 4;
  EXPECT_EQ(ec_SDOread(1, 0x1000, 0, FALSE, &size, buffer, 20000), EC_TIMEOUT);
}

TEST_F(SdoTest, RejectsAMailboxLengthLargerThanTheMailbox) {
  device(1).onMailbox = [](fakebus::Device& d, const std::vector<uint8_t>&) {
    auto m = fakebus::mailboxMessage(3, {0x00, 0x30, 0x43, 0x00, 0x10, 0x00, 1, 2, 3, 4});
    fakebus::wr16(m, 0, 0x0400);  // claims 1024 bytes in a 128-byte mailbox
    d.post(m);
  };
  uint8_t buffer[4];
  int size = 4;
  EXPECT_EQ(ec_SDOread(1, 0x1000, 0, FALSE, &size, buffer, EC_TIMEOUTRXM), 0);
}

TEST_F(SdoTest, NumbersMailboxMessagesOneToSevenAndSkipsZero) {
  struct Case {
    uint8_t counter, next;
  } cases[] = {{0, 1}, {1, 2}, {6, 7}, {7, 1}};
  for (const auto& c : cases) EXPECT_EQ(ecmaster::nextMailboxCounter(c.counter), c.next);
  device(1).received.clear();
  uint8_t value[1] = {1};
  for (int i = 0; i < 9; ++i) ec_SDOwrite(1, 0x2005, 0, FALSE, 1, value, EC_TIMEOUTRXM);
  std::vector<int> counters;
  for (const auto& m : device(1).received) counters.push_back(m[5] >> 4);
  EXPECT_EQ(counters, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 1, 2}));
}

TEST_F(SdoTest, ReadsTheObjectListInFragments) {
  for (uint16_t i = 0; i < 25; ++i) coe.odList.push_back(static_cast<uint16_t>(0x1000 + i));
  ec_ODlistt list{};
  EXPECT_GT(ec_readODlist(1, &list), 0);
  EXPECT_EQ(list.Slave, 1);
  ASSERT_EQ(list.Entries, 25);
  EXPECT_EQ(list.Index[0], 0x1000);
  EXPECT_EQ(list.Index[24], 0x1018);

  coe.objectName = std::string(60, 'N');  // longer than a name field
  EXPECT_GT(ec_readODdescription(3, &list), 0);
  EXPECT_EQ(list.ObjectCode[3], 0x07);
  EXPECT_EQ(list.MaxSub[3], 0x02);
  EXPECT_EQ(list.DataType[3], 0x0007);
  EXPECT_EQ(std::string(list.Name[3]), std::string(EC_MAXNAME, 'N'));
  EXPECT_EQ(ec_readODdescription(25, &list), 0) << "item beyond the list";

  ec_OElistt entries{};
  EXPECT_GT(ec_readOEsingle(3, 2, &list, &entries), 0);
  EXPECT_EQ(entries.Entries, 1);
  EXPECT_EQ(entries.BitLength[2], 32);
  EXPECT_EQ(entries.ObjAccess[2], 0x0007);
  EXPECT_STREQ(entries.Name[2], "Entry 2");
}

TEST_F(SdoTest, StopsTheObjectListAtItsCapacity) {
  coe.odFragmentEntries = 50;
  for (int i = 0; i < 1100; ++i) coe.odList.push_back(static_cast<uint16_t>(0x2000 + i));
  auto list = std::make_unique<ec_ODlistt>();
  ec_readODlist(1, list.get());
  EXPECT_EQ(list->Entries, EC_MAXODLIST);
  EXPECT_EQ(list->Index[EC_MAXODLIST - 1], 0x2000 + EC_MAXODLIST - 1);
}

class FoeTest : public MasterTest {
protected:
  fakebus::CoeServer coe;
  fakebus::FoeServer foe;
  static constexpr int kPacket = 128 - 12;
  void SetUp() override {
    MasterTest::SetUp();
    addMailboxDevice(&coe, &foe);
    ASSERT_EQ(ec_config_init(FALSE), 1);
  }
};

TEST_F(FoeTest, WritesAndReadsBackFilesOfBoundarySizes) {
  char name[] = "firmware.bin";
  for (int size : {0, 1, kPacket, 2 * kPacket, 10241}) {
    SCOPED_TRACE(size);
    auto data = pattern(static_cast<size_t>(size), 3);
    EXPECT_GT(ec_FOEwrite(1, name, 0, size, data.data(), EC_TIMEOUTRXM), 0);
    EXPECT_EQ(foe.files[name], data);
    ASSERT_FALSE(foe.dataPacketSizes.empty());
    EXPECT_LT(foe.dataPacketSizes.back(), static_cast<uint32_t>(kPacket)) << "ends with a short packet";
    std::vector<uint8_t> back(10240 + 1 + 16, 0xCC);
    int got = static_cast<int>(back.size());
    EXPECT_GT(ec_FOEread(1, name, 0, &got, back.data(), EC_TIMEOUTRXM), 0);
    ASSERT_EQ(got, size);
    EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + size), data);
  }
}

TEST_F(FoeTest, ReportsErrorsWithTheirResults) {
  char name[] = "f";
  foe.files[name] = pattern(300);
  std::vector<uint8_t> buffer(400, 0xCC);
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::function<int()> run;
    int result;
  } cases[] = {
      {"read into a buffer too small", [] {},
       [&] { int size = 200; return ec_FOEread(1, name, 0, &size, buffer.data(), EC_TIMEOUTRXM); }, -6},
      {"read of a missing file", [] {},
       [&] { int size = 400; char other[] = "missing"; return ec_FOEread(1, other, 0, &size, buffer.data(), EC_TIMEOUTRXM); }, -5},
      {"read with a wrong packet number", [&] { foe.wrongPacketNumber = true; },
       [&] { int size = 400; return ec_FOEread(1, name, 0, &size, buffer.data(), EC_TIMEOUTRXM); }, -6},
      {"write refused as not found", [&] { foe.wrongPacketNumber = false; foe.errorCode = 0x8001; },
       [&] { return ec_FOEwrite(1, name, 0, 10, buffer.data(), EC_TIMEOUTRXM); }, -10},
      {"write refused otherwise", [&] { foe.errorCode = 0x8008; },
       [&] { return ec_FOEwrite(1, name, 0, 10, buffer.data(), EC_TIMEOUTRXM); }, -5},
  };
  for (const auto& c : cases) {
    c.arrange();
    EXPECT_EQ(c.run(), c.result) << c.what;
  }
  EXPECT_EQ(buffer[200], 0xCC) << "nothing past the caller's size";
}

TEST_F(FoeTest, SendsThePacketAgainAfterBusy) {
  char name[] = "busy.bin";
  foe.busyAfterPacket = 2;
  auto data = pattern(3 * kPacket + 5);
  EXPECT_GT(ec_FOEwrite(1, name, 0, static_cast<int>(data.size()), data.data(), EC_TIMEOUTRXM), 0);
  EXPECT_EQ(foe.files[name], data);
}

// Every reply has a 5 % chance of being lost; retries, repeat requests and the counters must
// still deliver exact values.
TEST_F(MasterTest, SurvivesFivePercentFrameLoss) {
  fakebus::CoeServer coe;
  fakebus::FoeServer foe;
  addMailboxDevice(&coe, &foe);
  addImageDevice(fakebus::siiImage(2, 3, 0, 0, 0, 0, "Plain"));
  bus.lossRate = 0.05;
  ASSERT_EQ(ec_config_init(FALSE), 2);
  EXPECT_STREQ(ec_slave[1].name, "MailboxDevice");
  EXPECT_STREQ(ec_slave[2].name, "Plain");
  // A transfer whose frames were all lost may fail; the bus service then repeats it (up to five
  // times), so that is what counts here. A value read back must never be wrong.
  constexpr int kAttempts = 5;
  const auto withAttempts = [](auto&& transfer) {
    int result = 0;
    for (int attempt = 0; attempt < kAttempts && result <= 0; ++attempt) result = transfer();
    return result;
  };
  int wrong = 0, failed = 0;
  for (int i = 0; i < 40; ++i) {
    auto value = pattern(static_cast<size_t>(1 + i * 13), static_cast<uint8_t>(i));
    if (int w = withAttempts([&] {
          return ec_SDOwrite(1, 0x2100, 0, FALSE, static_cast<int>(value.size()), value.data(), EC_TIMEOUTRXM);
        });
        w <= 0) {
      ADD_FAILURE() << "write " << i << " gave " << w << ", error type " << context().lastErrorType;
      ++failed;
      continue;
    }
    std::vector<uint8_t> back(1024);
    int size = 0;
    if (int r = withAttempts([&] {
          size = static_cast<int>(back.size());
          return ec_SDOread(1, 0x2100, 0, FALSE, &size, back.data(), EC_TIMEOUTRXM);
        });
        r <= 0) {
      ADD_FAILURE() << "read " << i << " gave " << r << ", error type " << context().lastErrorType;
      ++failed;
      continue;
    }
    back.resize(static_cast<size_t>(size));
    if (back != value) ++wrong;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(failed, 0);
  char name[] = "lossy";
  auto file = pattern(2000);
  EXPECT_GT(ec_FOEwrite(1, name, 0, static_cast<int>(file.size()), file.data(), EC_TIMEOUTRXM), 0);
  EXPECT_EQ(foe.files[name], file);
}
