// The legacy interface end to end over the fake segment: enumeration, mapping and the bound on
// the process image, process data, states, recovery, EEPROM access and the range checks.
#include <fstream>
#include <iterator>

#include "MasterFixture.h"

namespace {
std::vector<uint8_t> loadImage(const std::string& name) {
  std::ifstream in("/work/shared/data/ethercat-captured/sii/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
}  // namespace

TEST_F(MasterTest, EnumeratesRealDevicesFromTheirSii) {
  addImageDevice(loadImage("ek1100.bin"));
  addImageDevice(loadImage("el2004.bin"));
  addImageDevice(loadImage("akd-servo-drive.bin"));
  device(3).eeprom8Byte = true;
  device(3).mem[0x0502] = 0x40;
  ASSERT_EQ(ec_config_init(FALSE), 3);
  ASSERT_EQ(ec_slavecount, 3);
  struct Expected {
    const char* name;
    uint32_t vendor, product;
    uint16_t mailbox;
  } expected[] = {{"EK1100", 2, 0x044C2C52, 0}, {"EL2004", 2, 0x07D43052, 0}, {"AKD", 0x6A, 0x00414B44, 1024}};
  for (uint16_t s = 1; s <= 3; ++s) {
    const auto& e = expected[s - 1];
    SCOPED_TRACE(e.name);
    EXPECT_STREQ(ec_slave[s].name, e.name);
    EXPECT_EQ(ec_slave[s].configadr, 0x1000 + s);
    EXPECT_EQ(fakebus::rd16(device(s).mem, 0x0010), 0x1000 + s);
    EXPECT_EQ(ec_slave[s].eep_man, e.vendor);
    EXPECT_EQ(ec_slave[s].eep_id, e.product);
    EXPECT_EQ(ec_slave[s].mbx_l, e.mailbox);
    EXPECT_EQ(device(s).mem[0x0120], EC_STATE_PRE_OP | EC_STATE_ACK);
    EXPECT_EQ(device(s).mem[0x0500], 1) << "EEPROM handed back to the PDI";
  }
  EXPECT_EQ(ec_slave[3].eep_8byte, 1);
  EXPECT_EQ(ec_slave[3].mbx_proto, 0x0E);
  EXPECT_EQ(ec_slave[3].CoEdetails, 0x0D);
  EXPECT_EQ(ec_slave[3].SM[0].StartAddr, 0x1800);
  EXPECT_EQ(fakebus::rd16(device(3).mem, 0x0808), 0x1C00) << "mailbox SMs written";
  EXPECT_EQ(ec_slave[2].SM[0].SMflags, 0x00090044u);
}

TEST_F(MasterTest, EnumerationReportsEmptyMissingAndOversizedSegments) {
  EXPECT_EQ(ec_config_init(FALSE), 0);  // answered, but nobody there
  for (int i = 0; i < EC_MAXSLAVE; ++i) bus.devices.emplace_back();
  EXPECT_EQ(ec_config_init(FALSE), EC_SLAVECOUNTEXCEEDED);
  EXPECT_EQ(ec_slavecount, 0);
  ec_close();
  EXPECT_EQ(ec_config_init(FALSE), EC_NOFRAME);
}

TEST_F(MasterTest, MapsBitPackedOutputsFromTheSii) {
  addImageDevice(loadImage("ek1100.bin"));
  addImageDevice(loadImage("el2004.bin"));
  addImageDevice(loadImage("el2004.bin"));
  ASSERT_EQ(ec_config_init(FALSE), 3);
  uint8_t map[EC_IOMAPSIZE] = {};
  ASSERT_EQ(ec_config_map(map), 1);  // two 4-bit devices share one byte
  EXPECT_EQ(ec_slave[2].outputs, map);
  EXPECT_EQ(ec_slave[2].Ostartbit, 0);
  EXPECT_EQ(ec_slave[3].outputs, map);
  EXPECT_EQ(ec_slave[3].Ostartbit, 4);
  EXPECT_EQ(ec_slave[1].outputs, nullptr);
  EXPECT_EQ(ec_group[0].outputsWKC, 2);
  EXPECT_EQ(ec_group[0].nsegments, 1);
  const auto& mem = device(3).mem;
  EXPECT_EQ(fakebus::rd32(mem, 0x0600), 0u);
  EXPECT_EQ(fakebus::rd16(mem, 0x0604), 1);
  EXPECT_EQ(mem[0x0606], 4);  // start bit
  EXPECT_EQ(mem[0x0607], 7);  // end bit
  EXPECT_EQ(fakebus::rd16(mem, 0x0608), 0x0F00);
  EXPECT_EQ(mem[0x060B], 2);
  EXPECT_EQ(mem[0x060C], 1);
  EXPECT_EQ(fakebus::rd16(mem, 0x0802), 1) << "SM0 length from the PDO bits";
  EXPECT_EQ(device(2).mem[0x0120], EC_STATE_SAFE_OP);
}

class MappedCoeDevice : public MasterTest {
protected:
  fakebus::CoeServer coe;
  void SetUp() override {
    MasterTest::SetUp();
    auto u8 = [](uint8_t v) { return std::vector<uint8_t>{v}; };
    auto u16 = [](uint16_t v) { return std::vector<uint8_t>{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; };
    auto u32 = [](uint32_t v) {
      return std::vector<uint8_t>{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                                  static_cast<uint8_t>(v >> 24)};
    };
    coe.objects[{0x1C00, 0}] = u8(4);
    for (uint8_t i = 1; i <= 4; ++i) coe.objects[{0x1C00, i}] = u8(i);
    coe.objects[{0x1C12, 0}] = u8(1);
    coe.objects[{0x1C12, 1}] = u16(0x1600);
    coe.objects[{0x1600, 0}] = u8(2);
    coe.objects[{0x1600, 1}] = u32(0x70000108);
    coe.objects[{0x1600, 2}] = u32(0x70000210);
    coe.objects[{0x1C13, 0}] = u8(1);
    coe.objects[{0x1C13, 1}] = u16(0x1A00);
    coe.objects[{0x1A00, 0}] = u8(1);
    coe.objects[{0x1A00, 1}] = u32(0x60000120);
    addMailboxDevice(&coe);
    ASSERT_EQ(ec_config_init(FALSE), 1);
  }
};

TEST_F(MappedCoeDevice, RefusesAnImageThatDoesNotFitAndChangesNothing) {
  uint8_t map[16] = {};
  EXPECT_EQ(ec_config_map_bounded(map, 6), EC_ERROR);
  EXPECT_EQ(ec_slave[1].outputs, nullptr);
  EXPECT_EQ(ec_slave[1].Obytes, 0u);
  EXPECT_EQ(ec_group[0].nsegments, 0);
  EXPECT_EQ(ec_group[0].outputs, nullptr);
  for (size_t a = 0x0600; a < 0x0640; ++a) ASSERT_EQ(device(1).mem[a], 0) << "FMMU written at " << a;
  EXPECT_EQ(device(1).mem[0x0120], EC_STATE_PRE_OP | EC_STATE_ACK) << "no SAFE-OP request";
  EXPECT_EQ(ec_config_map_bounded(map, 7), 7);
}

TEST_F(MappedCoeDevice, ExchangesProcessDataThroughTheMapping) {
  uint8_t map[EC_IOMAPSIZE] = {};
  ASSERT_EQ(ec_config_map(map), 7);
  EXPECT_EQ(ec_slave[1].Obytes, 3u);
  EXPECT_EQ(ec_slave[1].Ibytes, 4u);
  EXPECT_EQ(ec_slave[1].outputs, map);
  EXPECT_EQ(ec_slave[1].inputs, map + 3);
  EXPECT_EQ(fakebus::rd16(device(1).mem, 0x0812), 3);
  EXPECT_EQ(fakebus::rd16(device(1).mem, 0x081A), 4);
  const int expectedWkc = ec_group[0].outputsWKC * 2 + ec_group[0].inputsWKC;
  EXPECT_EQ(expectedWkc, 3);
  for (uint8_t i = 0; i < 4; ++i) device(1).mem[0x1180 + i] = static_cast<uint8_t>(0x10 + i);
  map[0] = 0xA1;
  map[2] = 0xA3;
  EXPECT_EQ(ec_send_processdata(), 1);
  EXPECT_EQ(ec_receive_processdata(EC_TIMEOUTRET), expectedWkc);
  EXPECT_EQ(device(1).mem[0x1100], 0xA1);
  EXPECT_EQ(device(1).mem[0x1102], 0xA3);
  EXPECT_EQ(map[3], 0x10);
  EXPECT_EQ(map[6], 0x13);
  device(1).silent = true;
  EXPECT_EQ(ec_send_processdata(), 1);
  EXPECT_EQ(ec_receive_processdata(EC_TIMEOUTRET), EC_NOFRAME);
}

TEST_F(MasterTest, FailsCallsForDevicesBeyondTheCountWithoutATransfer) {
  fakebus::CoeServer coe;
  addMailboxDevice(&coe);
  ASSERT_EQ(ec_config_init(FALSE), 1);
  const uint64_t before = link->framesSent();
  uint8_t buffer[64] = {};
  int size = sizeof buffer;
  char name[] = "file";
  ec_ODlistt list{};
  list.Slave = 2;
  list.Entries = 1;
  ec_OElistt entries{};
  ec_eepromPDOt pdo{};
  struct Case {
    const char* call;
    std::function<int(uint16_t)> run;
  } cases[] = {
      {"ec_SDOread", [&](uint16_t s) { return ec_SDOread(s, 0x1000, 0, FALSE, &size, buffer, EC_TIMEOUTRXM); }},
      {"ec_SDOwrite", [&](uint16_t s) { return ec_SDOwrite(s, 0x1000, 0, FALSE, 4, buffer, EC_TIMEOUTRXM); }},
      {"ec_readODlist", [&](uint16_t s) { return ec_readODlist(s, &list); }},
      {"ec_readODdescription", [&](uint16_t) { return ec_readODdescription(0, &list); }},
      {"ec_readOEsingle", [&](uint16_t) { return ec_readOEsingle(0, 1, &list, &entries); }},
      {"ec_FOEread", [&](uint16_t s) { return ec_FOEread(s, name, 0, &size, buffer, EC_TIMEOUTRXM); }},
      {"ec_FOEwrite", [&](uint16_t s) { return ec_FOEwrite(s, name, 0, 4, buffer, EC_TIMEOUTRXM); }},
      {"ec_eeprom2master", [&](uint16_t s) { return ec_eeprom2master(s); }},
      {"ec_eeprom2pdi", [&](uint16_t s) { return ec_eeprom2pdi(s); }},
      {"ec_siiPDO", [&](uint16_t s) { return ec_siiPDO(s, &pdo, 0); }},
      {"ec_reconfig_slave", [&](uint16_t s) { return ec_reconfig_slave(s, EC_TIMEOUTRET3); }},
      {"ec_recover_slave", [&](uint16_t s) { return ec_recover_slave(s, EC_TIMEOUTRET3); }},
      {"ec_statecheck", [&](uint16_t s) { return static_cast<int>(ec_statecheck(s, EC_STATE_INIT, 1000)); }},
      {"ec_writestate", [&](uint16_t s) { return ec_writestate(s); }},
  };
  for (const auto& c : cases) {
    for (uint16_t s : {uint16_t{2}, uint16_t{EC_MAXSLAVE}, uint16_t{0xFFFF}}) {
      EXPECT_EQ(c.run(s), 0) << c.call << " slave " << s;
    }
  }
  EXPECT_EQ(link->framesSent(), before);
}

TEST_F(MasterTest, ReadsStatesAndDoesNotTakeAMixedBroadcastForBoot) {
  addImageDevice(loadImage("ek1100.bin"));
  addImageDevice(loadImage("el2004.bin"));
  ASSERT_EQ(ec_config_init(FALSE), 2);
  fakebus::wr16(device(1).mem, 0x0130, EC_STATE_INIT);
  fakebus::wr16(device(2).mem, 0x0130, EC_STATE_PRE_OP);
  EXPECT_EQ(ec_readstate(), EC_STATE_INIT);
  EXPECT_EQ(ec_slave[1].state, EC_STATE_INIT);
  EXPECT_EQ(ec_slave[2].state, EC_STATE_PRE_OP);
  fakebus::wr16(device(2).mem, 0x0130, EC_STATE_SAFE_OP | EC_STATE_ERROR);
  fakebus::wr16(device(2).mem, 0x0134, 0x001D);
  EXPECT_EQ(ec_readstate(), EC_STATE_INIT);
  EXPECT_EQ(ec_slave[2].state, EC_STATE_SAFE_OP | EC_STATE_ERROR);
  EXPECT_EQ(ec_slave[2].ALstatuscode, 0x001D);
  fakebus::wr16(device(1).mem, 0x0130, EC_STATE_PRE_OP);
  fakebus::wr16(device(2).mem, 0x0130, EC_STATE_PRE_OP);
  EXPECT_EQ(ec_readstate(), EC_STATE_PRE_OP);
  EXPECT_EQ(ec_slave[2].ALstatuscode, 0);

  ec_slave[0].state = EC_STATE_OPERATIONAL;
  EXPECT_EQ(ec_writestate(0), 2);
  EXPECT_EQ(ec_statecheck(0, EC_STATE_OPERATIONAL, EC_TIMEOUTSTATE), EC_STATE_OPERATIONAL);
  device(2).silent = true;
  EXPECT_EQ(ec_statecheck(2, EC_STATE_OPERATIONAL, 5000), 0);
  EXPECT_EQ(ec_slave[2].state, 0);
}

TEST_F(MasterTest, RecoversADeviceThatLostItsAddressButNotAStranger) {
  addImageDevice(loadImage("ek1100.bin"));
  addImageDevice(loadImage("el2004.bin"));
  ASSERT_EQ(ec_config_init(FALSE), 2);
  EXPECT_EQ(ec_recover_slave(2, EC_TIMEOUTRET3), 1);  // still there
  fakebus::wr16(device(2).mem, 0x0010, 0);             // power cycled
  EXPECT_GT(ec_recover_slave(2, EC_TIMEOUTRET3), 0);
  EXPECT_EQ(fakebus::rd16(device(2).mem, 0x0010), 0x1002);
  EXPECT_EQ(ec_slave[2].configadr, 0x1002);
  // Another device in its place keeps no address from us.
  fakebus::wr16(device(2).mem, 0x0010, 0);
  device(2).eeprom = loadImage("akd-servo-drive.bin");
  EXPECT_EQ(ec_recover_slave(2, EC_TIMEOUTRET3), 0);
  EXPECT_EQ(fakebus::rd16(device(2).mem, 0x0010), 0);
  EXPECT_EQ(ec_slave[2].configadr, 0x1002);
}

TEST_F(MasterTest, ReconfiguresADeviceBackToSafeOp) {
  fakebus::CoeServer coe;
  addMailboxDevice(&coe);
  ASSERT_EQ(ec_config_init(FALSE), 1);
  uint8_t map[EC_IOMAPSIZE];
  ec_config_map(map);
  std::fill(device(1).mem.begin() + 0x0800, device(1).mem.begin() + 0x0820, 0);  // device reset
  EXPECT_EQ(ec_reconfig_slave(1, EC_TIMEOUTRET3), EC_STATE_SAFE_OP);
  EXPECT_EQ(fakebus::rd16(device(1).mem, 0x0800), 0x1000) << "mailbox SM rewritten";
}

TEST_F(MasterTest, ReadsAndWritesTheEepromOnlyWhenTheMasterOwnsIt) {
  addImageDevice(fakebus::siiImage(0x0F5E, 0x1234, 0, 0, 0, 0, "Io"));
  ASSERT_EQ(ec_config_init(FALSE), 1);
  device(1).eepromBusyPolls = 2;
  ASSERT_EQ(device(1).mem[0x0500], 1) << "PDI owns the EEPROM after enumeration";
  std::fill(device(1).mem.begin() + 0x0508, device(1).mem.begin() + 0x0510, 0);
  EXPECT_NE(static_cast<uint32_t>(ec_readeepromFP(0x1001, 0x08, EC_TIMEOUTEEP)), 0x0F5Eu)
      << "the ESC ignores commands while the PDI owns the EEPROM";
  EXPECT_GT(ec_eeprom2master(1), 0);
  EXPECT_EQ(ec_eeprom2master(1), 1) << "nothing to do";
  EXPECT_EQ(device(1).mem[0x0500], 0);
  EXPECT_EQ(static_cast<uint32_t>(ec_readeepromFP(0x1001, 0x08, EC_TIMEOUTEEP)), 0x0F5Eu);
  EXPECT_EQ(ec_writeeepromFP(0x1001, 0x20, 0xBEEF, EC_TIMEOUTEEP), 1);
  EXPECT_EQ(fakebus::rd16(device(1).eeprom, 0x40), 0xBEEF);
  EXPECT_EQ(ec_writeeepromFP(0x1001, 0x7FFF, 0x1111, EC_TIMEOUTEEP), 0) << "address beyond the EEPROM";
  EXPECT_EQ(ec_readeepromFP(0x1009, 0x08, 5000), 0u) << "nobody at that address";
  EXPECT_GT(ec_eeprom2pdi(1), 0);
  EXPECT_EQ(device(1).mem[0x0500], 1);
}

TEST(AlStatusText, NamesTheStandardCodes) {
  struct Case {
    uint16_t code;
    const char* text;
  } cases[] = {{0x0000, "No error"},
               {0x0011, "Invalid requested state change"},
               {0x0016, "Invalid mailbox configuration"},
               {0x001B, "Sync manager watchdog"},
               {0x001D, "Invalid output configuration"},
               {0x0061, "Device identification value updated"},
               {0x00F0, "Application controller available"},
               {0x0003, "Unknown"},
               {0xFFFF, "Unknown"}};
  for (const auto& c : cases) EXPECT_STREQ(ec_ALstatuscode2string(c.code), c.text) << c.code;
}
