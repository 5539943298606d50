// SDO server and SDO information of the simulated devices.
#include "SimBus.h"

#include <gtest/gtest.h>

#include "ethercat/OwnVendor.h"

using namespace simtest;

namespace {

std::vector<uint8_t> bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> pattern(size_t size)
{
    std::vector<uint8_t> out(size);
    for (size_t i = 0; i < size; ++i)
        out[i] = uint8_t(i * 7 + 3);
    return out;
}

// Own device, a foreign CoE device, and an own device with a large octet-string parameter.
ecsim::DeviceProfile withLargeObject()
{
    auto profile = ecsim::ownDeviceProfile(9);
    auto large = ecsim::ObjectDictionary::octets(0x5000, "Blob", std::vector<uint8_t>(8, 0), ecsim::Access::ReadWrite);
    large.entries[0].bitLength = 4000 * 8;
    profile.dictionary.add(std::move(large));
    auto settings = ecsim::ObjectDictionary::array(0x5001, "Settings", ecsim::DataType::Unsigned32, 3, ecsim::Access::ReadWrite, 1000);
    settings.objectCode = ecsim::ObjectCode::Record;
    settings.entries[3].access = ecsim::Access::WriteOnly;
    profile.dictionary.add(std::move(settings));
    return profile;
}

struct Coe : ::testing::Test {
    Coe() : segment({ecsim::ownDeviceProfile(5), ecsim::foreignCoeProfile(), withLargeObject()}), bus(segment)
    {
        bus.enumerate();
        for (size_t position = 1; position <= 3; ++position)
            bus.toPreOp(position);
    }
    ecsim::Segment segment;
    SimBus bus;
};

}  // namespace

TEST_F(Coe, UploadsOfTheOwnDeviceObjects)
{
    struct Case {
        size_t position;
        uint16_t index;
        uint8_t subindex;
        std::vector<uint8_t> expected;
    };
    for (const auto& c : {Case{1, 0x1008, 0, bytes("FSN IO Module 4x32")},
                          Case{1, 0x100A, 0, bytes("1.4.2")},
                          Case{1, 0x4040, 0, bytes("  SN-00000005 ")},
                          Case{1, 0x4041, 0, {0x0F, 0x5E, 0xA5, 0x01, 0, 0, 0, 5}},
                          Case{1, 0x1018, 1, le32(OWN_VENDOR_ID)},
                          Case{1, 0x1018, 0, {4}},
                          Case{1, 0x2400, 0, {0x20}},
                          Case{1, 0x8000, 0, le16(10)},
                          Case{2, 0x1008, 0, bytes("Analog Input 2Ch")},
                          Case{2, 0x1018, 1, le32(0x00000A1B)}}) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.index << ":" << int(c.subindex));
        auto result = bus.sdoUpload(c.position, c.index, c.subindex);
        ASSERT_TRUE(result.answered);
        EXPECT_EQ(result.abortCode, 0u);
        EXPECT_EQ(result.data, c.expected);
    }
}

TEST_F(Coe, DownloadLengthsAndAccessRights)
{
    struct Case {
        size_t position;
        uint16_t index;
        uint8_t subindex;
        std::vector<uint8_t> value;
        uint32_t abortCode;
    };
    for (const auto& c : {Case{1, 0x2400, 1, le32(0xDEADBEEF), 0},
                          Case{1, 0x8000, 0, le16(0x0305), 0},
                          Case{1, 0x8000, 0, {5}, 0x06070013},
                          Case{1, 0x8000, 0, le32(5), 0x06070012},
                          Case{1, 0x1008, 0, bytes("x"), 0x06010002},
                          Case{1, 0x2500, 1, le32(1), 0x06010002},
                          Case{1, 0x7777, 0, {1}, 0x06020000},
                          Case{1, 0x2400, 0x21, le32(1), 0x06090011},
                          Case{2, 0x8010, 0, bytes("Volt"), 0},
                          Case{2, 0x8000, 3, le32(42), 0}}) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.index << ":" << int(c.subindex));
        auto result = bus.sdoDownload(c.position, c.index, c.subindex, c.value);
        ASSERT_TRUE(result.answered);
        EXPECT_EQ(result.abortCode, c.abortCode);
        if (c.abortCode == 0) {
            EXPECT_EQ(segment.objectValue(c.position, c.index, c.subindex), c.value);
        }
    }
    EXPECT_EQ(bus.sdoUpload(2, 0x8000, 3).abortCode, 0x06010001u) << "write-only entry";
    EXPECT_EQ(bus.sdoUpload(2, 0x8010, 0).data, bytes("Volt"));
}

TEST_F(Coe, SegmentedTransfersBothWays)
{
    // Mailbox 128: first chunk 112 bytes, segments of up to 119.
    for (size_t size : {5u, 111u, 112u, 113u, 112u + 119u * 2 + 3, 3000u}) {
        SCOPED_TRACE(size);
        auto value = pattern(size);
        auto written = bus.sdoDownload(3, 0x5000, 0, value);
        ASSERT_TRUE(written.answered);
        ASSERT_EQ(written.abortCode, 0u);
        EXPECT_EQ(segment.objectValue(3, 0x5000, 0), value);
        auto read = bus.sdoUpload(3, 0x5000, 0);
        ASSERT_EQ(read.abortCode, 0u);
        EXPECT_EQ(read.data, value);
    }
    EXPECT_EQ(bus.sdoDownload(3, 0x5000, 0, pattern(4001)).abortCode, 0x06070012u);
}

TEST_F(Coe, RepeatedToggleAbortsTheSegmentedUpload)
{
    segment.setObjectValue(3, 0x5000, 0, pattern(400));
    std::vector<uint8_t> initiate = {0x00, 0x20, 0x40, 0x00, 0x50, 0x00, 0, 0, 0, 0};
    bus.mailboxWrite(3, 3, initiate);
    ASSERT_TRUE(bus.mailboxReceive(3));
    std::vector<uint8_t> segmentRequest = {0x00, 0x20, 0x60, 0, 0, 0, 0, 0, 0, 0};
    bus.mailboxWrite(3, 3, segmentRequest);
    ASSERT_EQ(bus.mailboxReceive(3)->second[2] & 0x10, 0);
    bus.mailboxWrite(3, 3, segmentRequest);  // toggle 0 again
    auto abort = bus.mailboxReceive(3);
    ASSERT_TRUE(abort);
    EXPECT_EQ(abort->second[2], 0x80);
    EXPECT_EQ(get16(abort->second, 0) >> 12, 2) << "aborts travel as SDO requests";
    EXPECT_EQ(get32(abort->second, 6), 0x05030000u);
}

TEST_F(Coe, CompleteAccess)
{
    segment.setObjectValue(1, 0x2400, 2, le32(0x11223344));
    auto fromZero = bus.sdoUpload(1, 0x2400, 0, true);
    ASSERT_EQ(fromZero.abortCode, 0u);
    ASSERT_EQ(fromZero.data.size(), 2u + 32 * 4);
    EXPECT_EQ(fromZero.data[0], 0x20);
    EXPECT_EQ(fromZero.data[1], 0x00) << "subindex 0 takes 16 bits";
    EXPECT_EQ(get32(fromZero.data, 2 + 4), 0x11223344u);
    auto fromOne = bus.sdoUpload(1, 0x2400, 1, true);
    ASSERT_EQ(fromOne.data.size(), 32u * 4);
    EXPECT_EQ(get32(fromOne.data, 4), 0x11223344u);

    // Write-only entries read as zeros; a record of numbers works without subindex 0.
    auto settings = bus.sdoUpload(3, 0x5001, 1, true);
    ASSERT_EQ(settings.abortCode, 0u);
    EXPECT_EQ(settings.data, (std::vector<uint8_t>{0xE8, 3, 0, 0, 0xE8, 3, 0, 0, 0, 0, 0, 0}));

    // Complete download of the mapping: count and entries in one block.
    std::vector<uint8_t> block = {1, 0};
    for (uint8_t b : le32(0x24002020)) block.push_back(b);
    EXPECT_EQ(bus.sdoDownload(1, 0x1600, 0, block, true).abortCode, 0u);
    EXPECT_EQ(segment.objectValue(1, 0x1600, 0), std::vector<uint8_t>{1});
    EXPECT_EQ(segment.objectValue(1, 0x1600, 1), le32(0x24002020));

    // The foreign device does not offer complete access.
    EXPECT_EQ(bus.sdoUpload(2, 0x8000, 1, true).abortCode, 0x06010000u);
}

TEST_F(Coe, MinimalMappingChangesTheProcessDataSizes)
{
    struct Write {
        uint16_t index;
        uint8_t subindex;
        std::vector<uint8_t> value;
    };
    for (const auto& w : {Write{0x1C12, 0, {0}}, Write{0x1C12, 1, le16(0x1600)}, Write{0x1C12, 0, {1}},
                          Write{0x1C13, 0, {0}}, Write{0x1C13, 1, le16(0x1A00)}, Write{0x1C13, 0, {1}},
                          Write{0x1600, 0, {0}}, Write{0x1600, 1, le32(0x24002020)}, Write{0x1600, 0, {1}},
                          Write{0x1A00, 0, {0}}, Write{0x1A00, 1, le32(0x25002020)}, Write{0x1A00, 0, {1}}})
        ASSERT_EQ(bus.sdoDownload(1, w.index, w.subindex, w.value).abortCode, 0u) << std::hex << w.index;
    EXPECT_FALSE(bus.toSafeOp(1, 0, 0x100)) << "the SII lengths no longer fit";
    bus.requestState(1, 0x12);
    EXPECT_TRUE(bus.toSafeOp(1, 0, 0x100, 4, 4));
}

TEST_F(Coe, MappingRulesAreEnforced)
{
    struct Case {
        const char* what;
        uint16_t index;
        uint8_t subindex;
        std::vector<uint8_t> value;
        uint32_t abortCode;
    };
    for (const auto& c : {Case{"entry while count is not 0", 0x1600, 1, le32(0x24002020), 0x06010003},
                          Case{"assignment while count is not 0", 0x1C12, 1, le16(0x1600), 0x06010003},
                          Case{"count above capacity", 0x1600, 0, {0x21}, 0x06090031}}) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(bus.sdoDownload(1, c.index, c.subindex, c.value).abortCode, c.abortCode);
    }
    ASSERT_EQ(bus.sdoDownload(1, 0x1600, 0, {0}).abortCode, 0u);
    for (const auto& c : {Case{"object that does not exist", 0x1600, 1, le32(0x77770120), 0x06040041},
                          Case{"input object into an output PDO", 0x1600, 1, le32(0x25000120), 0x06040041},
                          Case{"wrong bit length", 0x1600, 1, le32(0x24000110), 0x06040041}}) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(bus.sdoDownload(1, c.index, c.subindex, c.value).abortCode, c.abortCode);
    }
    ASSERT_EQ(bus.sdoDownload(1, 0x1C12, 0, {0}).abortCode, 0u);
    EXPECT_EQ(bus.sdoDownload(1, 0x1C12, 1, le16(0x1A00)).abortCode, 0x06090030u) << "transmit PDO on the output SM";

    // Mapping objects are writable in PRE-OP only.
    ASSERT_EQ(bus.sdoDownload(1, 0x1C12, 1, le16(0x1600)).abortCode, 0u);
    ASSERT_EQ(bus.sdoDownload(1, 0x1C12, 0, {1}).abortCode, 0u);
    ASSERT_EQ(bus.sdoDownload(1, 0x1600, 1, le32(0x24000120)).abortCode, 0u);
    ASSERT_EQ(bus.sdoDownload(1, 0x1600, 0, {1}).abortCode, 0u);
    ASSERT_TRUE(bus.toSafeOp(1, 0, 0x100, 4, 16));
    EXPECT_EQ(bus.sdoDownload(1, 0x1600, 0, {0}).abortCode, 0x08000022u);
}

TEST_F(Coe, AbortAndRefusalKnobs)
{
    segment.faults().abortSdo(1, 0x4041, ecsim::DeviceFaults::kAnySubindex, 0x08000020);
    EXPECT_EQ(bus.sdoUpload(1, 0x4041, 0).abortCode, 0x08000020u);
    EXPECT_EQ(bus.sdoUpload(1, 0x4040, 0).abortCode, 0u);

    segment.faults().refuseNext(1, ecsim::TransferKind::SdoUpload, 2, ecsim::RefusalStyle::NoWorkingCounter);
    EXPECT_FALSE(bus.sdoUpload(1, 0x1008, 0).answered);
    EXPECT_FALSE(bus.sdoUpload(1, 0x1008, 0).answered);
    EXPECT_EQ(bus.sdoUpload(1, 0x1008, 0).abortCode, 0u);

    segment.faults().refuseNext(1, ecsim::TransferKind::SdoDownload, 1, ecsim::RefusalStyle::ErrorAnswer, 0x06060000);
    EXPECT_EQ(bus.sdoDownload(1, 0x8000, 0, le16(1)).abortCode, 0x06060000u);
    EXPECT_EQ(bus.sdoDownload(1, 0x8000, 0, le16(1)).abortCode, 0u);
    EXPECT_EQ(bus.sdoUpload(1, 0x8000, 0).abortCode, 0u) << "uploads were not refused";
}

TEST_F(Coe, NotServedInBootstrap)
{
    bus.requestState(1, 0x01);
    bus.requestState(1, 0x03);
    ASSERT_EQ(bus.alStatus(1), 0x03);
    bus.mailboxWrite(1, 3, {0x00, 0x20, 0x40, 0x08, 0x10, 0x00, 0, 0, 0, 0});
    auto reply = bus.mailboxReceive(1);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->first, 0) << "mailbox error: protocol not available";
}

namespace {

// Own device with a small mailbox so that answers need several fragments.
ecsim::DeviceProfile smallMailbox()
{
    auto profile = ecsim::ownDeviceProfile();
    profile.mailboxOutSize = profile.mailboxInSize = profile.bootMailboxOutSize = profile.bootMailboxInSize = 24;
    profile.mailboxInStart = profile.bootMailboxInStart = 0x1020;
    profile.syncManagers[0].length = 24;
    profile.syncManagers[1] = {0x1020, 24, 0x22, 1, ecsim::SyncManagerType::MailboxIn};
    ecsim::buildSii(profile);
    return profile;
}

struct Fragment {
    uint8_t opcode;
    uint16_t left;
    std::vector<uint8_t> payload;
};

std::vector<Fragment> infoExchange(SimBus& bus, std::vector<uint8_t> request)
{
    // CoE header of an SDO information request, then the request.
    request.insert(request.begin(), {uint8_t(0x00), uint8_t(0x80)});
    const std::vector<uint8_t>& message = request;
    bus.mailboxWrite(1, 3, message);
    std::vector<Fragment> fragments;
    while (true) {
        auto reply = bus.mailboxReceive(1);
        if (!reply)
            break;
        auto& body = reply->second;
        fragments.push_back({body[2], get16(body, 4), std::vector<uint8_t>(body.begin() + 6, body.end())});
        if ((body[2] & 0x80) == 0)
            break;
    }
    return fragments;
}

}  // namespace

TEST(SdoInformation, ObjectListComesInFragments)
{
    ecsim::Segment segment({smallMailbox()});
    SimBus bus(segment);
    bus.enumerate();
    ASSERT_TRUE(bus.toPreOp(1));
    auto fragments = infoExchange(bus, {0x01, 0x00, 0x00, 0x00, 0x01, 0x00});
    ASSERT_GE(fragments.size(), 3u);
    std::vector<uint16_t> indexes;
    for (size_t i = 0; i < fragments.size(); ++i) {
        EXPECT_EQ(fragments[i].opcode & 0x7F, 0x02);
        EXPECT_EQ(fragments[i].left, fragments.size() - 1 - i);
        EXPECT_EQ((fragments[i].opcode & 0x80) != 0, i + 1 < fragments.size());
        for (size_t at = 0; at + 1 < fragments[i].payload.size(); at += 2)
            indexes.push_back(get16(fragments[i].payload, at));
    }
    ASSERT_FALSE(indexes.empty());
    EXPECT_EQ(indexes.front(), 1) << "the first fragment starts with the list type";
    indexes.erase(indexes.begin());
    EXPECT_EQ(indexes.size(), segment.profile(1).dictionary.objects().size());
    EXPECT_NE(std::find(indexes.begin(), indexes.end(), 0x4041), indexes.end());
}

TEST(SdoInformation, DescriptionsAndErrors)
{
    ecsim::Segment segment({ecsim::ownDeviceProfile()});
    SimBus bus(segment);
    bus.enumerate();
    ASSERT_TRUE(bus.toPreOp(1));

    auto object = infoExchange(bus, {0x03, 0x00, 0x00, 0x00, 0x00, 0x24});
    ASSERT_EQ(object.size(), 1u);
    EXPECT_EQ(object[0].opcode, 0x04);
    EXPECT_EQ(get16(object[0].payload, 0), 0x2400);
    EXPECT_EQ(get16(object[0].payload, 2), 0x0007);
    EXPECT_EQ(object[0].payload[4], 0x20);
    EXPECT_EQ(object[0].payload[5], 8) << "ARRAY";
    EXPECT_EQ(std::string(object[0].payload.begin() + 6, object[0].payload.end()), "Outputs");

    auto entry = infoExchange(bus, {0x05, 0x00, 0x00, 0x00, 0x41, 0x40, 0x00, 0x07});
    ASSERT_EQ(entry.size(), 1u);
    EXPECT_EQ(entry[0].opcode, 0x06);
    EXPECT_EQ(get16(entry[0].payload, 4), 0x000A) << "OCTET_STRING";
    EXPECT_EQ(get16(entry[0].payload, 6), 64);
    EXPECT_EQ(get16(entry[0].payload, 8), 0x07);
    EXPECT_EQ(std::string(entry[0].payload.begin() + 10, entry[0].payload.end()), "Unique id");

    struct Case {
        std::vector<uint8_t> request;
        uint32_t code;
    };
    for (const auto& c : {Case{{0x03, 0, 0, 0, 0x34, 0x12}, 0x06020000}, Case{{0x05, 0, 0, 0, 0x00, 0x24, 0x40, 0x07}, 0x06090011}}) {
        auto error = infoExchange(bus, c.request);
        ASSERT_EQ(error.size(), 1u);
        EXPECT_EQ(error[0].opcode, 0x07);
        EXPECT_EQ(get32(error[0].payload), c.code);
    }
}
