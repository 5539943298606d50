// SII EEPROM: image content, checksum, the EEPROM interface registers and ownership.
#include "SimBus.h"
#include "sim/ethercat/Sii.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace simtest;

namespace {

const std::string kCaptured = FSN_SII_FOLDER;

struct EepromBus : ::testing::Test {
    EepromBus() : segment({ecsim::ownDeviceProfile(7), ecsim::digitalIoProfile()}), bus(segment)
    {
        bus.enumerate();
        segment.faults().setEepromBusyTime(1, std::chrono::microseconds(0));
        segment.faults().setEepromBusyTime(2, std::chrono::microseconds(0));
    }

    int command(size_t position, uint16_t control, uint32_t word)
    {
        auto data = le16(control);
        for (uint8_t b : le32(word)) data.push_back(b);
        return bus.fpwr(position, 0x0502, data);
    }
    std::vector<uint8_t> readWords(size_t position, uint32_t word, uint16_t bytes = 8)
    {
        command(position, 0x0100, word);
        std::vector<uint8_t> data;
        bus.fprd(position, 0x0508, bytes, data);
        return data;
    }

    ecsim::Segment segment;
    SimBus bus;
};

}  // namespace

TEST(Sii, ChecksumVectors)
{
    struct Case {
        std::vector<uint8_t> bytes;
        uint8_t crc;
    };
    std::vector<uint8_t> zeros(14, 0);
    std::vector<uint8_t> a = {0x04, 0x01, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0};
    std::vector<uint8_t> b = zeros;
    b[0] = 0x80;
    b[1] = 0x02;
    std::vector<uint8_t> c = {0x05, 0x0E, 0x03, 0x06, 0x10, 0x27, 0, 0, 0, 0, 0, 0, 0, 0};
    std::vector<uint8_t> digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    for (const auto& v : {Case{a, 0xE2}, Case{b, 0xC6}, Case{c, 0xD7}, Case{zeros, 0x30}, Case{digits, 0xFB}})
        EXPECT_EQ(ecsim::siiCrc8(v.bytes.data(), v.bytes.size()), v.crc);
}

TEST(Sii, BuiltImageDescribesTheProfile)
{
    auto profile = ecsim::ownDeviceProfile(3);
    const auto& image = profile.sii;
    EXPECT_TRUE(ecsim::siiHeaderChecksumValid(image));
    EXPECT_EQ(ecsim::siiDword(image, 0x08), profile.vendorId);
    EXPECT_EQ(ecsim::siiDword(image, 0x0E), 3u);
    EXPECT_EQ(ecsim::siiWord(image, 0x18), 0x1000);
    EXPECT_EQ(ecsim::siiWord(image, 0x19), 128);
    EXPECT_EQ(ecsim::siiWord(image, 0x1C), ecsim::MailboxProtocol::CoE | ecsim::MailboxProtocol::FoE);
    auto categories = ecsim::siiCategories(image);
    std::vector<uint16_t> types;
    for (const auto& category : categories)
        types.push_back(category.type);
    EXPECT_EQ(types, (std::vector<uint16_t>{10, 30, 40, 41, 50, 51}));
    EXPECT_EQ(ecsim::siiStrings(categories[0].data).at(0), profile.name);
    EXPECT_LE((categories.back().wordAddress + 2) * 2 + categories.back().data.size(), 4096u);

    // The loader reads the same profile back.
    auto loaded = ecsim::profileFromSii(image);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->name, profile.name);
    ASSERT_EQ(loaded->rxPdos.size(), 1u);
    EXPECT_EQ(loaded->rxPdos[0].bits(), 128u);
    EXPECT_EQ(loaded->txPdos[0].entries[3].index, 0x2500);
    EXPECT_EQ(loaded->syncManagers.size(), 4u);
}

TEST(Sii, RealImagesLoadAsProfiles)
{
    struct Case {
        const char* file;
        bool mailbox;
    };
    for (Case c : {Case{"ek1100.bin", false}, Case{"el2004.bin", false}, Case{"akd-servo-drive.bin", true}}) {
        SCOPED_TRACE(c.file);
        auto profile = ecsim::profileFromSiiFile(kCaptured + c.file);
        ASSERT_TRUE(profile);
        EXPECT_NE(profile->vendorId, 0u);
        EXPECT_FALSE(profile->name.empty());
        EXPECT_EQ(profile->hasMailbox(), c.mailbox);
        ecsim::Segment segment({*profile});
        SimBus bus(segment);
        bus.enumerate();
        // The EEPROM holds the original image.
        EXPECT_EQ(segment.eeprom(1), profile->sii);
        EXPECT_TRUE(bus.toPreOp(1)) << std::hex << bus.alStatusCode(1);
        if (!profile->hasCoe()) {
            EXPECT_TRUE(bus.toSafeOp(1, 0, 0x100)) << std::hex << bus.alStatusCode(1);
        }
    }
    EXPECT_FALSE(ecsim::profileFromSiiFile(kCaptured + "missing.bin"));
    EXPECT_FALSE(ecsim::profileFromSii({1, 2, 3}));
}

TEST_F(EepromBus, ReadsFourOrEightBytesAsTheControllerSays)
{
    EXPECT_EQ(bus.read16(1, 0x0502) & 0x0040, 0x0040);
    EXPECT_EQ(bus.read16(2, 0x0502) & 0x0040, 0);
    auto eight = readWords(1, 0x08);
    EXPECT_EQ(get32(eight, 0), ecsim::ownDeviceProfile().vendorId);
    EXPECT_EQ(get32(eight, 4), ecsim::ownDeviceProfile().productCode);
    auto four = readWords(2, 0x08);
    EXPECT_EQ(get32(four, 0), ecsim::digitalIoProfile().vendorId);
    EXPECT_EQ(get32(four, 4), 0u) << "a 4-byte controller leaves the upper half alone";
    auto beyond = readWords(1, 0x7FFF, 4);
    EXPECT_EQ(get32(beyond), 0xFFFFFFFFu) << "words past the image read as erased";
}

TEST_F(EepromBus, PdiOwnershipBlocksMasterCommands)
{
    auto before = readWords(1, 0x08, 4);
    bus.fpwr(1, 0x0500, {1});
    EXPECT_TRUE(segment.status(1).eepromOfferedToPdi);
    std::vector<uint8_t> owner;
    bus.fprd(1, 0x0500, 2, owner);
    EXPECT_EQ(owner[1] & 1, 1) << "PDI accessing";
    bus.fpwr(1, 0x0508, std::vector<uint8_t>(8, 0));
    EXPECT_EQ(readWords(1, 0x0A, 4), std::vector<uint8_t>(4, 0)) << "read while the PDI owns it changes nothing";
    bus.fpwr(1, 0x0500, {2});
    bus.fpwr(1, 0x0500, {0});
    bus.fprd(1, 0x0500, 2, owner);
    EXPECT_EQ(owner[0] | owner[1], 0);
    EXPECT_EQ(readWords(1, 0x0A, 4), le32(ecsim::ownDeviceProfile().productCode));
    (void)before;
}

TEST_F(EepromBus, WritesNeedTheEnableBitAndAValidAddress)
{
    bus.fpwr(1, 0x0508, le16(0xBEEF));
    command(1, 0x0200, 0x0030);
    EXPECT_EQ(bus.read16(1, 0x0502) & 0x4000, 0x4000) << "write without enable";
    command(1, 0x0000, 0);
    EXPECT_EQ(bus.read16(1, 0x0502) & 0x7800, 0) << "command 0 clears the errors";

    command(1, 0x0201, 0x0030);
    EXPECT_EQ(bus.read16(1, 0x0502) & 0x7800, 0);
    EXPECT_EQ(get16(readWords(1, 0x0030, 2)), 0xBEEF);
    EXPECT_EQ(segment.eeprom(1)[0x60], 0xEF);

    command(1, 0x0201, 0x8000);
    EXPECT_EQ(bus.read16(1, 0x0502) & 0x2000, 0x2000) << "address beyond the EEPROM";
}

TEST_F(EepromBus, BusyWhileACommandRunsAndCommandsMeanwhileAreIgnored)
{
    segment.faults().setEepromBusyTime(1, std::chrono::milliseconds(30));
    command(1, 0x0100, 0x08);
    EXPECT_EQ(bus.read16(1, 0x0502) & 0x8000, 0x8000);
    command(1, 0x0100, 0x0A);  // ignored
    std::this_thread::sleep_for(std::chrono::milliseconds(35));
    EXPECT_EQ(bus.read16(1, 0x0502) & 0x8000, 0);
    std::vector<uint8_t> data;
    bus.fprd(1, 0x0508, 4, data);
    EXPECT_EQ(get32(data), ecsim::ownDeviceProfile().vendorId);
}

TEST_F(EepromBus, RefusalKnobs)
{
    segment.faults().refuseNext(1, ecsim::TransferKind::Eeprom, 1, ecsim::RefusalStyle::NoWorkingCounter);
    EXPECT_EQ(command(1, 0x0100, 0x08), 0) << "command write not counted";
    EXPECT_EQ(command(1, 0x0100, 0x08), 1);

    segment.faults().refuseNext(1, ecsim::TransferKind::Eeprom, 1, ecsim::RefusalStyle::ErrorAnswer);
    command(1, 0x0100, 0x08);
    EXPECT_EQ(bus.read16(1, 0x0502) & 0x2000, 0x2000) << "missing acknowledge";
}

TEST_F(EepromBus, SlowPdiKeepsTheEepromForAWhile)
{
    auto faults = segment.faults().device(1);
    faults.pdiReleaseDelay = std::chrono::milliseconds(20);
    faults.eepromBusyTime = std::chrono::microseconds(0);
    segment.faults().setDevice(1, faults);
    bus.fpwr(1, 0x0500, {1});
    bus.fpwr(1, 0x0500, {0});
    std::vector<uint8_t> owner;
    bus.fprd(1, 0x0501, 1, owner);
    EXPECT_EQ(owner[0] & 1, 1) << "still accessing";
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    bus.fprd(1, 0x0501, 1, owner);
    EXPECT_EQ(owner[0] & 1, 0);
    // Forcing takes it back at once.
    bus.fpwr(1, 0x0500, {1});
    bus.fpwr(1, 0x0500, {2});
    bus.fprd(1, 0x0501, 1, owner);
    EXPECT_EQ(owner[0] & 1, 0);
}
