// SII parsing against the EEPROM images of real devices, the checksum vectors, and images
// whose lengths and counts point outside the data.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "MasterContext.h"

using namespace ecmaster;

namespace {

std::vector<uint8_t> loadImage(const std::string& name) {
  std::ifstream in("/work/shared/data/ethercat-captured/sii/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void put16(std::vector<uint8_t>& v, size_t at, uint16_t value) {
  if (v.size() < at + 2) v.resize(at + 2, 0xFF);
  v[at] = static_cast<uint8_t>(value);
  v[at + 1] = static_cast<uint8_t>(value >> 8);
}

// Header area of zeros followed by the given category bytes.
std::vector<uint8_t> withCategories(const std::vector<uint8_t>& categories) {
  std::vector<uint8_t> image(0x80, 0);
  for (uint8_t b : categories) image.push_back(b);  // (vector::insert trips a false GCC 12 warning)
  return image;
}

}  // namespace

TEST(SiiChecksum, MatchesTheReferenceVectors) {
  struct Case {
    std::vector<uint8_t> data;
    uint8_t crc;
  } cases[] = {
      {{0x04, 0x01, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0}, 0xE2},
      {{0x80, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0xC6},
      {{0x05, 0x0E, 0x03, 0x06, 0x10, 0x27, 0, 0, 0, 0, 0, 0, 0, 0}, 0xD7},
      {std::vector<uint8_t>(14, 0), 0x30},
      {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0xFB},
  };
  for (const auto& c : cases) EXPECT_EQ(siiCrc8(c.data.data(), c.data.size()), c.crc);
  for (const char* name : {"ek1100.bin", "el2004.bin", "akd-servo-drive.bin"}) {
    auto image = loadImage(name);
    ASSERT_GE(image.size(), 16u) << name;
    EXPECT_EQ(siiCrc8(image.data(), 14), image[14]) << name;
  }
}

TEST(SiiImages, CouplerHasNameAndGeneralButNoProcessData) {
  SiiImage sii(loadImage("ek1100.bin"));
  EXPECT_EQ(siiString(sii, 1), "EK1100");
  EXPECT_EQ(siiString(sii, 3), "System Koppler");
  EXPECT_EQ(siiString(sii, 0), "");
  EXPECT_EQ(siiString(sii, 99), "");
  auto general = siiGeneral(sii);
  ASSERT_TRUE(general);
  EXPECT_EQ(general->ebusCurrentMa, -2000);
  EXPECT_EQ(general->coeDetails, 0);
  ec_slavet slave{};
  EXPECT_EQ(siiSyncManagers(sii, slave), 0);
  ec_eepromPDOt pdo{};
  EXPECT_EQ(siiPdo(sii, pdo, 0), 0);
  EXPECT_EQ(siiPdo(sii, pdo, 1), 0);
  EXPECT_EQ(pdo.nPDO, 0);
}

TEST(SiiImages, DigitalOutputTerminalMapsFourBitsPastAnUnknownCategory) {
  SiiImage sii(loadImage("el2004.bin"));
  EXPECT_EQ(siiString(sii, 1), "EL2004");
  ec_slavet slave{};
  ASSERT_EQ(siiSyncManagers(sii, slave), 1);
  EXPECT_EQ(slave.SM[0].StartAddr, 0x0F00);
  EXPECT_EQ(slave.SM[0].SMflags, 0x00090044u);
  EXPECT_EQ(slave.SMtype[0], 3);
  EXPECT_EQ(siiFmmus(sii, slave), 2);
  EXPECT_EQ(slave.FMMU0func, 1);
  EXPECT_EQ(slave.FMMU1func, 0xFF);
  // The RxPDO category comes after a SyncUnit category the master does not know.
  ec_eepromPDOt pdo{};
  EXPECT_EQ(siiPdo(sii, pdo, 1), 4);
  ASSERT_EQ(pdo.nPDO, 4);
  EXPECT_EQ(pdo.Index[1], 0x1600);
  EXPECT_EQ(pdo.Index[4], 0x1603);
  EXPECT_EQ(pdo.BitSize[2], 1);
  EXPECT_EQ(pdo.SMbitsize[0], 4);
  EXPECT_EQ(pdo.Length, 32);
  EXPECT_EQ(getU16(loadImage("el2004.bin").data() + pdo.Startpos), 32);  // points at the length word
  EXPECT_EQ(siiPdo(sii, pdo, 0), 0);
}

TEST(SiiImages, ServoDriveCountsOnlyAssignedPdos) {
  SiiImage sii(loadImage("akd-servo-drive.bin"));
  EXPECT_EQ(siiString(sii, 1), "AKD");
  auto general = siiGeneral(sii);
  ASSERT_TRUE(general);
  EXPECT_EQ(general->coeDetails, 0x0D);
  EXPECT_EQ(general->foeDetails, 1);
  ec_slavet slave{};
  ASSERT_EQ(siiSyncManagers(sii, slave), 4);
  EXPECT_EQ(slave.SM[0].StartAddr, 0x1800);
  EXPECT_EQ(slave.SM[0].SMlength, 1024);
  EXPECT_EQ(slave.SM[1].SMflags, 0x00010022u);
  EXPECT_EQ(slave.SMtype[3], 4);
  ec_eepromPDOt pdo{};
  // Twelve TxPDOs are listed, only 0x1B01 is assigned (SM3); unassigned ones are listed unsummed.
  EXPECT_EQ(siiPdo(sii, pdo, 0), 48);
  EXPECT_EQ(pdo.nPDO, 12);
  EXPECT_EQ(pdo.SyncM[5], 3);
  EXPECT_EQ(pdo.SMbitsize[3], 48);
  EXPECT_EQ(pdo.BitSize[6], 256);
  EXPECT_EQ(siiPdo(sii, pdo, 1), 48);
  EXPECT_EQ(pdo.SMbitsize[2], 48);
}

TEST(SiiRobustness, StaysInsideTheImageAndTheCategory) {
  struct Case {
    const char* what;
    std::vector<uint8_t> image;
  };
  std::vector<Case> cases;
  {  // a category length that runs past 4 KiB
    std::vector<uint8_t> c;
    put16(c, 0, 41);
    put16(c, 2, 0x7FFF);
    cases.push_back({"SM category longer than the EEPROM", withCategories(c)});
  }
  {  // string count larger than the strings present, last string length past the category
    std::vector<uint8_t> c;
    put16(c, 0, 10);
    put16(c, 2, 2);
    c.push_back(200);
    c.push_back(250);
    c.push_back('A');
    c.push_back('B');
    put16(c, 8, 0xFFFF);
    cases.push_back({"strings past their category", withCategories(c)});
  }
  {  // a PDO announcing more entries than its category holds
    std::vector<uint8_t> c;
    put16(c, 0, 51);
    put16(c, 2, 4);
    put16(c, 4, 0x1600);
    c.push_back(200);
    c.push_back(0);
    c.resize(12, 0);
    put16(c, 12, 0xFFFF);
    cases.push_back({"truncated PDO", withCategories(c)});
  }
  cases.push_back({"no end marker, only 0xFF", std::vector<uint8_t>(4096, 0xFF)});
  cases.push_back({"image shorter than the header", std::vector<uint8_t>(10, 0)});
  std::vector<uint8_t> zeros(8192, 0);  // NOP categories of length 0 until the end
  cases.push_back({"endless NOP categories", zeros});

  for (auto& c : cases) {
    SiiImage sii(c.image);
    ec_slavet slave{};
    ec_eepromPDOt pdo{};
    EXPECT_LE(siiSyncManagers(sii, slave), EC_MAXSM) << c.what;
    EXPECT_EQ(siiPdo(sii, pdo, 1), 0) << c.what;
    EXPECT_LE(siiString(sii, 2).size(), static_cast<size_t>(EC_MAXNAME)) << c.what;
    EXPECT_EQ(siiString(sii, 2), "") << c.what;
    EXPECT_EQ(siiString(sii, 1), c.what == std::string("strings past their category") ? "AB" : "") << c.what;
  }
}
