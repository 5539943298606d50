// The master on a real capture handle: the simulator program answers on one end of a veth
// pair created for this test in its own network namespace, the master opens the other end.
// Without that namespace (FSN_NETNS_VETH unset) the test is skipped, so it never opens an
// interface that existed before it.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "OwnVendor.h"
#include "ethercat.h"

namespace {

const char* simulatorPath() { return std::getenv("FSN_ETHERCAT_SIM"); }

class VethSegment : public ::testing::Test {
protected:
  pid_t simulator = -1;

  void SetUp() override {
    const char* pair = std::getenv("FSN_NETNS_VETH");
    if (pair == nullptr || std::string(pair) != "veth0 veth1" || simulatorPath() == nullptr)
      GTEST_SKIP() << "needs the private veth pair of scripts/netns-run and FSN_ETHERCAT_SIM";
  }
  void TearDown() override {
    ec_close();
    if (simulator > 0) {
      kill(simulator, SIGTERM);
      waitpid(simulator, nullptr, 0);
    }
  }
  void startSimulator(std::vector<std::string> args) {
    args.insert(args.begin(), {simulatorPath(), "--interface", "veth1"});
    simulator = fork();
    ASSERT_GE(simulator, 0);
    if (simulator == 0) {
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  // The simulator needs a moment to open its end; enumerate until it answers.
  int enumerate() {
    int found = EC_NOFRAME;
    for (int attempt = 0; attempt < 50 && found <= 0; ++attempt) {
      found = ec_config_init(FALSE);
      if (found <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return found;
  }
};

}  // namespace

TEST_F(VethSegment, EnumeratesAndTalksToDevicesOverThePair) {
  startSimulator({"--device", "own:2", "--device", "io"});
  ASSERT_EQ(ec_init("veth0"), 1);
  ASSERT_EQ(enumerate(), 3);
  EXPECT_EQ(ec_slave[1].eep_man, OWN_VENDOR_ID);
  EXPECT_EQ(ec_slave[3].configadr, 0x1003);
  char name[64] = {};
  int size = sizeof name - 1;
  ASSERT_GT(ec_SDOread(2, 0x1008, 0, FALSE, &size, name, EC_TIMEOUTRXM), 0);
  EXPECT_STREQ(name, ec_slave[2].name);
  uint8_t map[EC_IOMAPSIZE] = {};
  ASSERT_GT(ec_config_map(map), 0);
  // The simulator is another process on a shared machine: a state request it answers too late
  // for the master is asked once more, as the bus service does.
  if (ec_statecheck(0, EC_STATE_SAFE_OP, EC_TIMEOUTSTATE) != EC_STATE_SAFE_OP) {
    ec_slave[0].state = EC_STATE_SAFE_OP;
    ec_writestate(0);
  }
  EXPECT_EQ(ec_statecheck(0, EC_STATE_SAFE_OP, EC_TIMEOUTSTATE), EC_STATE_SAFE_OP);
  EXPECT_EQ(ec_send_processdata(), 1);
  EXPECT_EQ(ec_receive_processdata(EC_TIMEOUTRET * 5), ec_group[0].outputsWKC * 2 + ec_group[0].inputsWKC);
}

TEST_F(VethSegment, SurvivesFrameLossOnThePair) {
  startSimulator({"--device", "own", "--loss-rate", "0.05", "--seed", "3"});
  ASSERT_EQ(ec_init("veth0"), 1);
  ASSERT_EQ(enumerate(), 1);
  for (int i = 0; i < 20; ++i) {
    uint16_t value = static_cast<uint16_t>(0x100 + i), back = 0;
    ASSERT_GT(ec_SDOwrite(1, 0x8000, 0, FALSE, 2, &value, EC_TIMEOUTRXM), 0);
    int size = 2;
    ASSERT_GT(ec_SDOread(1, 0x8000, 0, FALSE, &size, &back, EC_TIMEOUTRXM), 0);
    ASSERT_EQ(back, value);
  }
}

TEST(PcapTransport, RefusesAnAdapterThatDoesNotExist) {
  EXPECT_EQ(ec_init("fsn-no-such-adapter"), 0);
  EXPECT_EQ(ec_init(nullptr), 0);
}
