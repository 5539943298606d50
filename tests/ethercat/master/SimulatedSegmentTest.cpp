// The master against the simulated segment, in process: enumeration of long chains, the way to
// OPERATIONAL with process data, every SDO kind, the object list, FoE, EEPROM ownership, a lost
// device and frame loss.
#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>

#include "MasterContext.h"
#include "OwnVendor.h"
#include "ethercat.h"
#include "sim/ethercat/Segment.h"

namespace {

ecsim::DeviceProfile profileFor(size_t position) {
  switch (position % 3) {
    case 1: return ecsim::ownDeviceProfile(static_cast<uint32_t>(position));
    case 2: return ecsim::foreignCoeProfile(static_cast<uint32_t>(position));
    default: return ecsim::digitalIoProfile(static_cast<uint32_t>(position));
  }
}

std::vector<uint8_t> pattern(size_t n, uint8_t seed = 1) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 11);
  return v;
}

class SimulatedSegment : public ::testing::Test {
protected:
  ecsim::Segment segment;
  uint8_t map[EC_IOMAPSIZE] = {};

  void SetUp() override {
    ec_init_transport(std::make_unique<ecmaster::MemoryTransport>(
        [this](std::vector<uint8_t> frame) { return segment.processFrame(frame); }));
  }
  void TearDown() override { ec_close(); }

  void build(size_t count) {
    for (size_t p = 1; p <= count; ++p) segment.addDevice(profileFor(p));
  }
  // Cycles process data until every device reports `state`; false when it does not come.
  bool cycleUntil(uint16_t state, int cycles = 300) {
    for (int i = 0; i < cycles; ++i) {
      ec_send_processdata();
      ec_receive_processdata(EC_TIMEOUTRET);
      if (ec_readstate() == state) return true;
    }
    return false;
  }
  bool toBootstrap(uint16_t slave) {
    ec_slave[slave].state = EC_STATE_INIT;
    ec_writestate(slave);
    if (ec_statecheck(slave, EC_STATE_INIT, EC_TIMEOUTSTATE) != EC_STATE_INIT) return false;
    ec_slave[slave].state = EC_STATE_BOOT;
    ec_writestate(slave);
    return ec_statecheck(slave, EC_STATE_BOOT, EC_TIMEOUTSTATE) == EC_STATE_BOOT;
  }
};

}  // namespace

TEST_F(SimulatedSegment, EnumeratesChainsOfOneThreeAndAHundredNinetyNineDevices) {
  for (size_t count : {size_t{1}, size_t{3}, size_t{199}}) {
    SCOPED_TRACE(count);
    while (segment.deviceCount() < count) segment.addDevice(profileFor(segment.deviceCount() + 1));
    ASSERT_EQ(ec_config_init(FALSE), static_cast<int>(count));
    for (size_t p = 1; p <= count; ++p) {
      const auto& profile = segment.profile(p);
      ASSERT_EQ(ec_slave[p].configadr, 0x1000 + p) << p;
      ASSERT_EQ(segment.status(p).stationAddress, 0x1000 + p) << p;
      ASSERT_EQ(ec_slave[p].eep_man, profile.vendorId) << p;
      ASSERT_EQ(ec_slave[p].eep_id, profile.productCode) << p;
      ASSERT_EQ(std::string(ec_slave[p].name), profile.name.substr(0, EC_MAXNAME)) << p;
    }
    EXPECT_EQ(ec_slave[1].eep_man, OWN_VENDOR_ID);
    EXPECT_EQ(ec_statecheck(0, EC_STATE_PRE_OP, EC_TIMEOUTSTATE), EC_STATE_PRE_OP);
  }
}

TEST_F(SimulatedSegment, RefusesAChainOfTwoHundred) {
  for (size_t p = 1; p <= 200; ++p) segment.addDevice(ecsim::digitalIoProfile(static_cast<uint32_t>(p)));
  EXPECT_EQ(ec_config_init(FALSE), EC_SLAVECOUNTEXCEEDED);
  EXPECT_EQ(ec_slavecount, 0);
}

TEST_F(SimulatedSegment, RunsToOperationalWithProcessDataAndBack) {
  build(3);
  ASSERT_EQ(ec_config_init(FALSE), 3);
  int size = ec_config_map(map);
  ASSERT_GT(size, 0);
  ec_configdc();
  ASSERT_EQ(ec_statecheck(0, EC_STATE_SAFE_OP, EC_TIMEOUTSTATE), EC_STATE_SAFE_OP);
  const int expectedWkc = ec_group[0].outputsWKC * 2 + ec_group[0].inputsWKC;
  ec_slave[0].state = EC_STATE_OPERATIONAL;
  ec_send_processdata();
  ec_receive_processdata(EC_TIMEOUTRET);
  ec_writestate(0);
  ASSERT_TRUE(cycleUntil(EC_STATE_OPERATIONAL));
  // The own device loops its four output words back into its inputs.
  ASSERT_GE(ec_slave[1].Obytes, 16u);
  ASSERT_GE(ec_slave[1].Ibytes, 16u);
  for (uint8_t i = 0; i < 16; ++i) ec_slave[1].outputs[i] = static_cast<uint8_t>(0x40 + i);
  int wkc = 0;
  for (int i = 0; i < 5; ++i) {
    ec_send_processdata();
    wkc = ec_receive_processdata(EC_TIMEOUTRET);
  }
  EXPECT_EQ(wkc, expectedWkc);
  for (uint8_t i = 0; i < 16; ++i) EXPECT_EQ(ec_slave[1].inputs[i], 0x40 + i) << int(i);
  ec_slave[0].state = EC_STATE_INIT;
  ec_writestate(0);
  EXPECT_EQ(ec_statecheck(0, EC_STATE_INIT, EC_TIMEOUTSTATE), EC_STATE_INIT);
}

TEST_F(SimulatedSegment, RefusedStateShowsItsStatusCode) {
  build(1);
  segment.faults().refuseState(1, EC_STATE_SAFE_OP, 0x001D);
  ASSERT_EQ(ec_config_init(FALSE), 1);
  ec_config_map(map);
  ec_statecheck(1, EC_STATE_SAFE_OP, 50000);
  ec_readstate();
  EXPECT_EQ(ec_slave[1].state, EC_STATE_PRE_OP | EC_STATE_ERROR);
  EXPECT_EQ(ec_slave[1].ALstatuscode, 0x001D);
  EXPECT_STREQ(ec_ALstatuscode2string(ec_slave[1].ALstatuscode), "Invalid output configuration");
}

TEST_F(SimulatedSegment, TransfersSdosOfEveryKindBothWays) {
  build(1);
  ASSERT_EQ(ec_config_init(FALSE), 1);
  std::vector<uint8_t> buffer(512, 0);
  int size = static_cast<int>(buffer.size());
  ASSERT_GT(ec_SDOread(1, 0x1008, 0, FALSE, &size, buffer.data(), EC_TIMEOUTRXM), 0);
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + size), "FSN IO Module 4x32");

  uint16_t filter = 0x1234;
  EXPECT_GT(ec_SDOwrite(1, 0x8000, 0, FALSE, 2, &filter, EC_TIMEOUTRXM), 0);
  uint16_t back = 0;
  size = 2;
  EXPECT_GT(ec_SDOread(1, 0x8000, 0, FALSE, &size, &back, EC_TIMEOUTRXM), 0);
  EXPECT_EQ(back, 0x1234);

  // Complete access to the 32-word output array: 2 + 128 bytes, more than one mailbox.
  std::vector<uint8_t> array(2 + 128);
  array[0] = 0x20;
  auto words = pattern(128, 5);
  std::copy(words.begin(), words.end(), array.begin() + 2);
  EXPECT_GT(ec_SDOwrite(1, 0x2400, 0, TRUE, static_cast<int>(array.size()), array.data(), EC_TIMEOUTRXM), 0);
  size = static_cast<int>(buffer.size());
  ASSERT_GT(ec_SDOread(1, 0x2400, 0, TRUE, &size, buffer.data(), EC_TIMEOUTRXM), 0);
  ASSERT_EQ(size, 130);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + size), array);
  uint32_t word = 0;
  size = 4;
  ASSERT_GT(ec_SDOread(1, 0x2400, 0x20, FALSE, &size, &word, EC_TIMEOUTRXM), 0);
  EXPECT_EQ(word, ecmaster::getU32(&array[2 + 124]));

  size = static_cast<int>(buffer.size());
  EXPECT_EQ(ec_SDOread(1, 0x5555, 0, FALSE, &size, buffer.data(), EC_TIMEOUTRXM), 0);
  EXPECT_EQ(ecmaster::globalContext().lastAbortCode, 0x06020000u) << ecmaster::globalContext().lastErrorType;
  size = 3;
  EXPECT_EQ(ec_SDOread(1, 0x1008, 0, FALSE, &size, buffer.data(), EC_TIMEOUTRXM), 0) << "buffer too small";
}

TEST_F(SimulatedSegment, ReadsTheObjectListAndDescriptions) {
  build(1);
  ASSERT_EQ(ec_config_init(FALSE), 1);
  auto list = std::make_unique<ec_ODlistt>();
  ASSERT_GT(ec_readODlist(1, list.get()), 0);
  std::vector<uint16_t> indexes(list->Index, list->Index + list->Entries);
  auto item = std::find(indexes.begin(), indexes.end(), 0x2400);
  ASSERT_NE(item, indexes.end());
  EXPECT_NE(std::find(indexes.begin(), indexes.end(), 0x1008), indexes.end());
  auto n = static_cast<uint16_t>(item - indexes.begin());
  ASSERT_GT(ec_readODdescription(n, list.get()), 0);
  EXPECT_EQ(list->ObjectCode[n], 8);
  EXPECT_EQ(list->MaxSub[n], 0x20);
  EXPECT_STREQ(list->Name[n], "Outputs");
  auto entries = std::make_unique<ec_OElistt>();
  ASSERT_GT(ec_readOEsingle(n, 1, list.get(), entries.get()), 0);
  EXPECT_EQ(entries->DataType[1], 0x0007);
  EXPECT_EQ(entries->BitLength[1], 32);
}

TEST_F(SimulatedSegment, TransfersFilesOfBoundarySizesInBootstrap) {
  build(1);
  ASSERT_EQ(ec_config_init(FALSE), 1);
  char name[] = "update.bin";
  int dummy = 16;
  uint8_t small[16];
  EXPECT_LT(ec_FOEread(1, name, 0, &dummy, small, EC_TIMEOUTRXM), 0) << "files only in BOOTSTRAP";
  ASSERT_TRUE(toBootstrap(1));
  const int packet = ec_slave[1].mbx_l - 12;
  for (int size : {0, 1, packet, 2 * packet, 10241}) {
    SCOPED_TRACE(size);
    auto data = pattern(static_cast<size_t>(size), 7);
    ASSERT_GT(ec_FOEwrite(1, name, 0, size, data.data(), EC_TIMEOUTRXM), 0);
    EXPECT_EQ(segment.file(1, name), data);
    std::vector<uint8_t> back(10241 + 64, 0);
    int got = static_cast<int>(back.size());
    ASSERT_GT(ec_FOEread(1, name, 0, &got, back.data(), EC_TIMEOUTRXM), 0);
    ASSERT_EQ(got, size);
    EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + got), data);
  }
  std::vector<uint8_t> tooSmall(100);
  int got = static_cast<int>(tooSmall.size());
  EXPECT_EQ(ec_FOEread(1, name, 0, &got, tooSmall.data(), EC_TIMEOUTRXM), -6);
  char missing[] = "missing.bin";
  got = static_cast<int>(tooSmall.size());
  EXPECT_EQ(ec_FOEread(1, missing, 0, &got, tooSmall.data(), EC_TIMEOUTRXM), -5);
}

TEST_F(SimulatedSegment, ReadsAndWritesTheEepromAfterTakingItFromThePdi) {
  build(2);
  ASSERT_EQ(ec_config_init(FALSE), 2);
  EXPECT_TRUE(segment.status(1).eepromOfferedToPdi);
  ASSERT_GT(ec_eeprom2master(1), 0);
  EXPECT_FALSE(segment.status(1).eepromOfferedToPdi);
  EXPECT_EQ(static_cast<uint32_t>(ec_readeepromFP(0x1001, 0x08, EC_TIMEOUTEEP)), OWN_VENDOR_ID);
  EXPECT_EQ(ec_writeeepromFP(0x1001, 0x0E, 0x4321, EC_TIMEOUTEEP), 1);
  auto image = segment.eeprom(1);
  EXPECT_EQ(image[0x1C], 0x21);
  EXPECT_EQ(image[0x1D], 0x43);
  EXPECT_EQ(static_cast<uint16_t>(ec_readeepromFP(0x1001, 0x0E, EC_TIMEOUTEEP)), 0x4321);
  ASSERT_GT(ec_eeprom2pdi(1), 0);
  EXPECT_TRUE(segment.status(1).eepromOfferedToPdi);
}

TEST_F(SimulatedSegment, DetectsAndRecoversALostDevice) {
  build(3);
  ASSERT_EQ(ec_config_init(FALSE), 3);
  ec_config_map(map);
  ASSERT_EQ(ec_statecheck(0, EC_STATE_SAFE_OP, EC_TIMEOUTSTATE), EC_STATE_SAFE_OP);
  segment.faults().setSilent(2, true);
  EXPECT_EQ(ec_statecheck(2, EC_STATE_SAFE_OP, 5000), EC_STATE_NONE);
  EXPECT_EQ(ec_recover_slave(2, EC_TIMEOUTRET3), 0) << "another device answers at its position";
  segment.faults().setSilent(2, false, true);  // back after a power cycle, address lost
  EXPECT_GT(ec_recover_slave(2, EC_TIMEOUTRET3), 0);
  EXPECT_EQ(segment.status(2).stationAddress, 0x1002);
  EXPECT_EQ(ec_reconfig_slave(2, EC_TIMEOUTRET3), EC_STATE_SAFE_OP);
  EXPECT_EQ(ec_statecheck(2, EC_STATE_SAFE_OP, EC_TIMEOUTSTATE), EC_STATE_SAFE_OP);
}

TEST_F(SimulatedSegment, SurvivesFivePercentFrameLossWithoutAWrongValue) {
  build(3);
  segment.faults().setFrameLoss(0.05, 42);
  ASSERT_EQ(ec_config_init(FALSE), 3);
  for (size_t p = 1; p <= 3; ++p) EXPECT_EQ(ec_slave[p].eep_man, segment.profile(p).vendorId) << p;
  ASSERT_GT(ec_config_map(map), 0);
  int failed = 0, wrong = 0;
  for (int i = 0; i < 30; ++i) {
    std::vector<uint8_t> array(130);
    array[0] = 0x20;
    auto words = pattern(128, static_cast<uint8_t>(i));
    std::copy(words.begin(), words.end(), array.begin() + 2);
    if (ec_SDOwrite(1, 0x2400, 0, TRUE, static_cast<int>(array.size()), array.data(), EC_TIMEOUTRXM) <= 0) {
      ++failed;
      continue;
    }
    std::vector<uint8_t> back(256);
    int size = static_cast<int>(back.size());
    if (ec_SDOread(1, 0x2400, 0, TRUE, &size, back.data(), EC_TIMEOUTRXM) <= 0) {
      ++failed;
      continue;
    }
    back.resize(static_cast<size_t>(size));
    if (back != array) ++wrong;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(failed, 0);
}

// The 1 ms cycle and a caller's mailbox traffic share the link; neither may see the other's
// replies.
TEST_F(SimulatedSegment, ProcessDataCycleRunsBesideMailboxTraffic) {
  build(3);
  ASSERT_EQ(ec_config_init(FALSE), 3);
  ASSERT_GT(ec_config_map(map), 0);
  ASSERT_EQ(ec_statecheck(0, EC_STATE_SAFE_OP, EC_TIMEOUTSTATE), EC_STATE_SAFE_OP);
  const int expectedWkc = ec_group[0].outputsWKC * 2 + ec_group[0].inputsWKC;
  std::atomic<bool> stop{false};
  std::atomic<int> cycles{0}, wrongWkc{0};
  std::thread cycle([&] {
    auto next = std::chrono::steady_clock::now();
    while (!stop) {
      ec_send_processdata();
      int wkc = ec_receive_processdata(EC_TIMEOUTRET);
      if (wkc != expectedWkc) ++wrongWkc;
      ++cycles;
      next += std::chrono::milliseconds(1);
      std::this_thread::sleep_until(next);
    }
  });
  // Mailbox traffic starts once the cycle runs.
  for (int wait = 0; wait < 2000 && cycles < 5; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  int failed = 0;
  for (int i = 0; i < 40; ++i) {
    char name[64] = {};
    int size = sizeof name - 1;
    if (ec_SDOread(1, 0x1008, 0, FALSE, &size, name, EC_TIMEOUTRXM) <= 0 || std::string(name) != ec_slave[1].name)
      ++failed;
    std::vector<uint8_t> array(256);
    size = static_cast<int>(array.size());
    if (ec_SDOread(2, 0x1008, 0, FALSE, &size, array.data(), EC_TIMEOUTRXM) <= 0 ||
        std::string(array.begin(), array.begin() + size) != ec_slave[2].name)
      ++failed;
  }
  stop = true;
  cycle.join();
  EXPECT_EQ(failed, 0);
  EXPECT_GT(cycles.load(), 0);
  EXPECT_EQ(wrongWkc.load(), 0);
}
