// The device profiles written here, the SII image builder and the loader of real SII images.
// A profile's SII PDO categories always describe the same default mapping as its objects
// 0x1C12/0x1C13 and 0x16xx/0x1Axx, so a master that reads either sees the same process data.
#include "DeviceProfile.h"

#include "Sii.h"
#include "ethercat/OwnVendor.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace ecsim {

unsigned PdoLayout::bits() const
{
    unsigned total = 0;
    for (const auto& entry : entries)
        total += entry.bitLength;
    return total;
}

namespace {

constexpr size_t kSiiImageBytes = 2048;

void putWord(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void setWord(std::vector<uint8_t>& image, size_t word, uint16_t value)
{
    image[word * 2] = uint8_t(value);
    image[word * 2 + 1] = uint8_t(value >> 8);
}

void setDword(std::vector<uint8_t>& image, size_t word, uint32_t value)
{
    setWord(image, word, uint16_t(value));
    setWord(image, word + 1, uint16_t(value >> 16));
}

void appendCategory(std::vector<uint8_t>& image, uint16_t type, std::vector<uint8_t> data)
{
    if (data.size() % 2 != 0)
        data.push_back(0);
    putWord(image, type);
    putWord(image, uint16_t(data.size() / 2));
    image.insert(image.end(), data.begin(), data.end());
}

uint8_t dataTypeForBits(unsigned bits)
{
    switch (bits) {
    case 1: return uint8_t(DataType::Boolean);
    case 8: return uint8_t(DataType::Unsigned8);
    case 16: return uint8_t(DataType::Unsigned16);
    case 32: return uint8_t(DataType::Unsigned32);
    case 64: return uint8_t(DataType::Unsigned64);
    default: return bits >= 1 && bits <= 8 ? uint8_t(0x2F + bits) : uint8_t(DataType::Unsigned32);
    }
}

std::vector<uint8_t> pdoCategory(const std::vector<PdoLayout>& pdos)
{
    std::vector<uint8_t> data;
    for (const auto& pdo : pdos) {
        putWord(data, pdo.index);
        data.push_back(uint8_t(pdo.entries.size()));
        data.push_back(pdo.syncManager);
        data.push_back(0);  // DC sync
        data.push_back(0);  // name index
        putWord(data, 0);   // flags
        for (const auto& entry : pdo.entries) {
            putWord(data, entry.index);
            data.push_back(entry.subindex);
            data.push_back(0);
            data.push_back(entry.dataType != 0 ? entry.dataType : dataTypeForBits(entry.bitLength));
            data.push_back(entry.bitLength);
            putWord(data, 0);
        }
    }
    return data;
}

// Assignment (0x1C1n), mapping (0x16xx, 0x1Axx) and SM communication type (0x1C00) objects.
void addProcessDataObjects(DeviceProfile& profile, uint8_t mappingCapacity)
{
    auto& od = profile.dictionary;
    auto addMapping = [&](const PdoLayout& pdo) {
        uint8_t capacity = std::max<uint8_t>(mappingCapacity, uint8_t(pdo.entries.size()));
        CoeObject mapping = ObjectDictionary::array(pdo.index, pdo.name.empty() ? "PDO mapping" : pdo.name,
                                                    DataType::Unsigned32, capacity, Access::ReadWritePreOp);
        mapping.objectCode = ObjectCode::Record;
        mapping.entries[0].access = Access::ReadWritePreOp;
        mapping.entries[0].value = {uint8_t(pdo.entries.size())};
        for (size_t i = 0; i < pdo.entries.size(); ++i) {
            const auto& entry = pdo.entries[i];
            uint32_t word = uint32_t(entry.index) << 16 | uint32_t(entry.subindex) << 8 | entry.bitLength;
            mapping.entries[i + 1].value = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
        }
        od.add(std::move(mapping));
    };
    for (const auto& pdo : profile.rxPdos)
        addMapping(pdo);
    for (const auto& pdo : profile.txPdos)
        addMapping(pdo);

    uint8_t smCount = uint8_t(std::min<size_t>(profile.syncManagers.size(), 8));
    CoeObject types = ObjectDictionary::array(0x1C00, "Sync manager type", DataType::Unsigned8, smCount, Access::ReadOnly);
    for (uint8_t sm = 0; sm < smCount; ++sm)
        types.entries[sm + 1u].value = {profile.syncManagers[sm].type};
    od.add(std::move(types));

    for (uint8_t sm = 0; sm < smCount; ++sm) {
        uint8_t type = profile.syncManagers[sm].type;
        if (type != SyncManagerType::Outputs && type != SyncManagerType::Inputs)
            continue;
        const auto& pdos = type == SyncManagerType::Outputs ? profile.rxPdos : profile.txPdos;
        std::vector<uint16_t> assigned;
        for (const auto& pdo : pdos)
            if (pdo.syncManager == sm)
                assigned.push_back(pdo.index);
        uint8_t capacity = uint8_t(std::max<size_t>(pdos.size(), 1));
        char label[48];
        std::snprintf(label, sizeof label, "Sync manager %u PDO assignment", unsigned(sm));
        CoeObject assignment = ObjectDictionary::array(uint16_t(0x1C10 + sm), label, DataType::Unsigned16, capacity,
                                                       Access::ReadWritePreOp);
        assignment.entries[0].access = Access::ReadWritePreOp;
        assignment.entries[0].value = {uint8_t(assigned.size())};
        for (size_t i = 0; i < assigned.size() && i < capacity; ++i)
            assignment.entries[i + 1].value = {uint8_t(assigned[i]), uint8_t(assigned[i] >> 8)};
        od.add(std::move(assignment));
    }
}

void addIdentityObjects(DeviceProfile& profile, const std::string& hardware, const std::string& firmware)
{
    auto& od = profile.dictionary;
    od.add(ObjectDictionary::variable(0x1000, "Device type", DataType::Unsigned32, Access::ReadOnly, 0x00001389));
    od.add(ObjectDictionary::text(0x1008, "Device name", profile.name));
    od.add(ObjectDictionary::text(0x1009, "Hardware version", hardware));
    od.add(ObjectDictionary::text(0x100A, "Software version", firmware));
    CoeObject identity = ObjectDictionary::array(0x1018, "Identity", DataType::Unsigned32, 4, Access::ReadOnly);
    identity.objectCode = ObjectCode::Record;
    const char* names[] = {"Vendor ID", "Product code", "Revision", "Serial number"};
    const uint32_t values[] = {profile.vendorId, profile.productCode, profile.revision, profile.serialNumber};
    for (int i = 0; i < 4; ++i) {
        identity.entries[size_t(i) + 1].name = names[i];
        uint32_t v = values[i];
        identity.entries[size_t(i) + 1].value = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    }
    od.add(std::move(identity));
}

PdoLayout pdo(uint16_t index, uint8_t sm, std::string name, std::vector<PdoEntryLayout> entries)
{
    PdoLayout layout;
    layout.index = index;
    layout.syncManager = sm;
    layout.name = std::move(name);
    layout.entries = std::move(entries);
    return layout;
}

}  // namespace

void buildSii(DeviceProfile& profile)
{
    std::vector<uint8_t> image(SiiWord::FirstCategory * 2, 0);
    setWord(image, SiiWord::PdiControl, uint16_t(profile.pdiType));
    setWord(image, SiiWord::Alias, profile.alias);
    setDword(image, SiiWord::Vendor, profile.vendorId);
    setDword(image, SiiWord::Product, profile.productCode);
    setDword(image, SiiWord::Revision, profile.revision);
    setDword(image, SiiWord::Serial, profile.serialNumber);
    if (profile.hasMailbox()) {
        setWord(image, SiiWord::BootOutStart, profile.bootMailboxOutStart);
        setWord(image, SiiWord::BootOutSize, profile.bootMailboxOutSize);
        setWord(image, SiiWord::BootInStart, profile.bootMailboxInStart);
        setWord(image, SiiWord::BootInSize, profile.bootMailboxInSize);
        setWord(image, SiiWord::MailboxOutStart, profile.mailboxOutStart);
        setWord(image, SiiWord::MailboxOutSize, profile.mailboxOutSize);
        setWord(image, SiiWord::MailboxInStart, profile.mailboxInStart);
        setWord(image, SiiWord::MailboxInSize, profile.mailboxInSize);
        setWord(image, SiiWord::MailboxProtocols, profile.mailboxProtocols);
    }
    setWord(image, SiiWord::Size, uint16_t(kSiiImageBytes * 8 / 1024 - 1));
    setWord(image, SiiWord::Version, 1);
    image[14] = siiCrc8(image.data(), 14);

    // Strings: 1 name, 2 group, 3 order code.
    std::vector<std::string> strings = {profile.name, "Simulated", profile.kind};
    std::vector<uint8_t> stringData;
    stringData.push_back(uint8_t(strings.size()));
    for (const auto& text : strings) {
        size_t length = std::min<size_t>(text.size(), 255);
        stringData.push_back(uint8_t(length));
        stringData.insert(stringData.end(), text.begin(), text.begin() + long(length));
    }
    appendCategory(image, SiiCategoryType::Strings, stringData);

    std::vector<uint8_t> general(32, 0);
    general[0] = 2;  // group
    general[2] = 3;  // order
    general[3] = 1;  // name
    if (profile.hasCoe())
        general[5] = uint8_t(0x01 | 0x04 | 0x08 | (profile.coeSdoInfo ? 0x02 : 0) | (profile.coeCompleteAccess ? 0x20 : 0));
    general[6] = profile.hasFoe() ? 1 : 0;
    general[11] = 0x01;  // SAFE-OP enabled
    general[12] = 100;   // E-bus current in mA
    general[16] = 0x11;  // ports 0 and 1: E-bus
    appendCategory(image, SiiCategoryType::General, general);

    std::vector<uint8_t> fmmus;
    if (!profile.rxPdos.empty())
        fmmus.push_back(1);
    if (!profile.txPdos.empty())
        fmmus.push_back(2);
    if (profile.hasMailbox())
        fmmus.push_back(3);
    if (!fmmus.empty())
        appendCategory(image, SiiCategoryType::Fmmu, fmmus);

    std::vector<uint8_t> sms;
    for (const auto& sm : profile.syncManagers) {
        putWord(sms, sm.start);
        putWord(sms, sm.length);
        sms.push_back(sm.control);
        sms.push_back(0);
        sms.push_back(sm.enable);
        sms.push_back(sm.type);
    }
    if (!sms.empty())
        appendCategory(image, SiiCategoryType::SyncManager, sms);
    if (!profile.txPdos.empty())
        appendCategory(image, SiiCategoryType::TxPdo, pdoCategory(profile.txPdos));
    if (!profile.rxPdos.empty())
        appendCategory(image, SiiCategoryType::RxPdo, pdoCategory(profile.rxPdos));
    putWord(image, SiiCategoryType::End);
    putWord(image, 0);
    if (image.size() < kSiiImageBytes)
        image.resize(kSiiImageBytes, 0xFF);
    profile.sii = std::move(image);
}

DeviceProfile ownDeviceProfile(uint32_t serial)
{
    DeviceProfile profile;
    profile.kind = "own";
    profile.name = "FSN IO Module 4x32";
    profile.vendorId = OWN_VENDOR_ID;
    profile.productCode = 0x00010001;
    profile.revision = 0x00010004;
    profile.serialNumber = serial;
    profile.pdiType = 0x05;
    profile.mailboxProtocols = MailboxProtocol::CoE | MailboxProtocol::FoE;
    profile.mailboxOutStart = profile.bootMailboxOutStart = 0x1000;
    profile.mailboxOutSize = profile.bootMailboxOutSize = 128;
    profile.mailboxInStart = profile.bootMailboxInStart = 0x1080;
    profile.mailboxInSize = profile.bootMailboxInSize = 128;
    profile.supportsBootstrap = true;
    profile.foeOnlyInBootstrap = true;
    profile.syncManagers = {
        {0x1000, 128, 0x26, 0x01, SyncManagerType::MailboxOut},
        {0x1080, 128, 0x22, 0x01, SyncManagerType::MailboxIn},
        {0x1100, 16, 0x64, 0x01, SyncManagerType::Outputs},
        {0x1180, 16, 0x20, 0x01, SyncManagerType::Inputs},
    };
    std::vector<PdoEntryLayout> outputs, inputs;
    for (uint8_t sub = 1; sub <= 4; ++sub) {
        outputs.push_back({0x2400, sub, 32, uint8_t(DataType::Unsigned32), "Output"});
        inputs.push_back({0x2500, sub, 32, uint8_t(DataType::Unsigned32), "Input"});
    }
    profile.rxPdos = {pdo(0x1600, 2, "Outputs", outputs)};
    profile.txPdos = {pdo(0x1A00, 3, "Inputs", inputs)};

    addIdentityObjects(profile, "HW 2.1", "1.4.2");
    char serialText[32];
    std::snprintf(serialText, sizeof serialText, "  SN-%08u ", unsigned(serial));
    profile.dictionary.add(ObjectDictionary::text(0x4040, "Serial number", serialText));
    std::vector<uint8_t> uniqueId = {0x0F, 0x5E, 0xA5, 0x01, uint8_t(serial >> 24), uint8_t(serial >> 16),
                                     uint8_t(serial >> 8), uint8_t(serial)};
    profile.dictionary.add(ObjectDictionary::octets(0x4041, "Unique id", uniqueId));
    profile.dictionary.add(ObjectDictionary::array(0x2400, "Outputs", DataType::Unsigned32, 0x20,
                                                   Access::ReadWrite | Access::RxPdoMappable));
    profile.dictionary.add(ObjectDictionary::array(0x2500, "Inputs", DataType::Unsigned32, 0x20,
                                                   Access::ReadOnly | Access::TxPdoMappable));
    profile.dictionary.add(ObjectDictionary::variable(0x8000, "Filter time", DataType::Unsigned16, Access::ReadWrite, 10));
    addProcessDataObjects(profile, 0x20);
    profile.files["version.txt"] = FoeFile{{'1', '.', '4', '.', '2'}, true, true};
    buildSii(profile);
    return profile;
}

DeviceProfile foreignCoeProfile(uint32_t serial)
{
    DeviceProfile profile;
    profile.kind = "foreign-coe";
    profile.name = "Analog Input 2Ch";
    profile.vendorId = 0x00000A1B;
    profile.productCode = 0x00003300;
    profile.revision = 0x00000002;
    profile.serialNumber = serial;
    profile.mailboxProtocols = MailboxProtocol::CoE;
    profile.mailboxOutStart = profile.bootMailboxOutStart = 0x1800;
    profile.mailboxOutSize = profile.bootMailboxOutSize = 192;
    profile.mailboxInStart = profile.bootMailboxInStart = 0x18C0;
    profile.mailboxInSize = profile.bootMailboxInSize = 192;
    profile.coeCompleteAccess = false;
    profile.syncManagers = {
        {0x1800, 192, 0x26, 0x01, SyncManagerType::MailboxOut},
        {0x18C0, 192, 0x22, 0x01, SyncManagerType::MailboxIn},
        {0x1100, 2, 0x24, 0x01, SyncManagerType::Outputs},
        {0x1180, 4, 0x20, 0x01, SyncManagerType::Inputs},
    };
    profile.rxPdos = {pdo(0x1600, 2, "Control", {{0x7000, 1, 16, uint8_t(DataType::Unsigned16), "Control"}})};
    profile.txPdos = {pdo(0x1A00, 3, "Values", {{0x6000, 1, 16, uint8_t(DataType::Unsigned16), "Value 1"},
                                                  {0x6000, 2, 16, uint8_t(DataType::Unsigned16), "Value 2"}})};
    addIdentityObjects(profile, "B", "03.07");
    profile.dictionary.add(ObjectDictionary::array(0x6000, "Analog inputs", DataType::Unsigned16, 2,
                                                   Access::ReadOnly | Access::TxPdoMappable));
    profile.dictionary.add(ObjectDictionary::array(0x7000, "Control", DataType::Unsigned16, 1,
                                                   Access::ReadWrite | Access::RxPdoMappable));
    CoeObject settings = ObjectDictionary::array(0x8000, "Settings", DataType::Unsigned32, 3, Access::ReadWrite, 1000);
    settings.objectCode = ObjectCode::Record;
    settings.entries[1].name = "Limit";
    settings.entries[2].name = "Offset";
    settings.entries[3].name = "Write-only key";
    settings.entries[3].access = Access::WriteOnly;
    profile.dictionary.add(std::move(settings));
    profile.dictionary.add(ObjectDictionary::text(0x8010, "Unit", "mV", Access::ReadWrite));
    profile.dictionary.find(0x8010)->entries[0].bitLength = 16 * 8;
    addProcessDataObjects(profile, 4);
    buildSii(profile);
    return profile;
}

DeviceProfile digitalIoProfile(uint32_t serial)
{
    DeviceProfile profile;
    profile.kind = "io";
    profile.name = "Digital IO 8/8";
    profile.vendorId = 0x00000A1B;
    profile.productCode = 0x00001188;
    profile.revision = 0x00000001;
    profile.serialNumber = serial;
    profile.pdiType = 0x04;
    profile.distributedClocks = false;
    profile.eeprom8ByteReads = false;
    profile.ramKiB = 1;
    profile.fmmuCount = 3;
    profile.syncManagerCount = 4;
    profile.syncManagers = {
        {0x0F00, 1, 0x44, 0x01, SyncManagerType::Outputs},
        {0x1000, 1, 0x00, 0x01, SyncManagerType::Inputs},
    };
    std::vector<PdoEntryLayout> outputs, inputs;
    for (uint8_t bit = 1; bit <= 8; ++bit) {
        outputs.push_back({0x7000, bit, 1, uint8_t(DataType::Boolean), "Output"});
        inputs.push_back({0x6000, bit, 1, uint8_t(DataType::Boolean), "Input"});
    }
    profile.rxPdos = {pdo(0x1600, 0, "Outputs", outputs)};
    profile.txPdos = {pdo(0x1A00, 1, "Inputs", inputs)};
    // Not reachable without mailbox; holds the process values.
    profile.dictionary.add(ObjectDictionary::array(0x6000, "Inputs", DataType::Boolean, 8, Access::ReadOnly));
    profile.dictionary.add(ObjectDictionary::array(0x7000, "Outputs", DataType::Boolean, 8, Access::ReadWrite));
    buildSii(profile);
    return profile;
}

std::optional<DeviceProfile> profileByKind(const std::string& kind, uint32_t serial)
{
    if (kind == "own")
        return ownDeviceProfile(serial);
    if (kind == "foreign-coe")
        return foreignCoeProfile(serial);
    if (kind == "io")
        return digitalIoProfile(serial);
    return std::nullopt;
}

namespace {

std::vector<PdoLayout> parsePdos(const std::vector<uint8_t>& data)
{
    std::vector<PdoLayout> pdos;
    size_t at = 0;
    while (at + 8 <= data.size()) {
        PdoLayout layout;
        layout.index = uint16_t(data[at] | data[at + 1] << 8);
        size_t count = data[at + 2];
        layout.syncManager = data[at + 3];
        at += 8;
        for (size_t i = 0; i < count && at + 8 <= data.size(); ++i, at += 8) {
            PdoEntryLayout entry;
            entry.index = uint16_t(data[at] | data[at + 1] << 8);
            entry.subindex = data[at + 2];
            entry.dataType = data[at + 4];
            entry.bitLength = data[at + 5];
            layout.entries.push_back(entry);
        }
        pdos.push_back(std::move(layout));
    }
    return pdos;
}

// Objects for every mapped entry, so that the mapping objects point at something.
void addMappedObjects(DeviceProfile& profile, const std::vector<PdoLayout>& pdos, uint16_t access)
{
    for (const auto& layout : pdos) {
        for (const auto& entry : layout.entries) {
            if (entry.index == 0)
                continue;  // padding
            CoeObject* object = profile.dictionary.find(entry.index);
            if (!object) {
                CoeObject created;
                created.index = entry.index;
                created.objectCode = ObjectCode::Record;
                created.dataType = DataType::Unsigned8;
                created.name = "Process data";
                ObjectEntry count;
                count.dataType = DataType::Unsigned8;
                count.bitLength = 8;
                count.value = {0};
                count.name = "SubIndex 000";
                created.entries.push_back(count);
                profile.dictionary.add(std::move(created));
                object = profile.dictionary.find(entry.index);
            }
            if (entry.subindex == 0 && object->entries.size() == 1 && object->entries[0].value == std::vector<uint8_t>{0}) {
                object->objectCode = ObjectCode::Var;
                object->entries.clear();
            }
            if (object->entry(entry.subindex))
                continue;
            ObjectEntry value;
            value.subindex = entry.subindex;
            value.dataType = entry.dataType != 0 ? entry.dataType : dataTypeForBits(entry.bitLength);
            value.bitLength = entry.bitLength;
            value.access = access;
            value.name = "Entry";
            value.value.assign(value.maxBytes(), 0);
            object->entries.push_back(value);
            std::sort(object->entries.begin(), object->entries.end(),
                      [](const ObjectEntry& a, const ObjectEntry& b) { return a.subindex < b.subindex; });
            if (object->objectCode != ObjectCode::Var && !object->entries.empty() && object->entries[0].subindex == 0)
                object->entries[0].value = {object->maxSubindex()};
        }
    }
}

}  // namespace

std::optional<DeviceProfile> profileFromSii(std::vector<uint8_t> image, std::string kind)
{
    if (image.size() < SiiWord::FirstCategory * 2)
        return std::nullopt;
    DeviceProfile profile;
    profile.kind = std::move(kind);
    profile.pdiType = uint8_t(siiWord(image, SiiWord::PdiControl));
    profile.alias = siiWord(image, SiiWord::Alias);
    profile.vendorId = siiDword(image, SiiWord::Vendor);
    profile.productCode = siiDword(image, SiiWord::Product);
    profile.revision = siiDword(image, SiiWord::Revision);
    profile.serialNumber = siiDword(image, SiiWord::Serial);
    profile.bootMailboxOutStart = siiWord(image, SiiWord::BootOutStart);
    profile.bootMailboxOutSize = siiWord(image, SiiWord::BootOutSize);
    profile.bootMailboxInStart = siiWord(image, SiiWord::BootInStart);
    profile.bootMailboxInSize = siiWord(image, SiiWord::BootInSize);
    profile.mailboxOutStart = siiWord(image, SiiWord::MailboxOutStart);
    profile.mailboxOutSize = siiWord(image, SiiWord::MailboxOutSize);
    profile.mailboxInStart = siiWord(image, SiiWord::MailboxInStart);
    profile.mailboxInSize = siiWord(image, SiiWord::MailboxInSize);
    profile.mailboxProtocols = profile.mailboxOutSize > 0 ? siiWord(image, SiiWord::MailboxProtocols) : 0;
    if (profile.mailboxInSize == 0)
        profile.mailboxInSize = profile.mailboxOutSize;
    profile.supportsBootstrap = profile.bootMailboxOutSize > 0;
    profile.coeSdoInfo = false;
    profile.coeCompleteAccess = false;
    profile.loopbackProcessData = false;
    profile.requireOutputsForOp = false;

    std::vector<std::string> strings;
    for (const auto& category : siiCategories(image)) {
        switch (category.type) {
        case SiiCategoryType::Strings: strings = siiStrings(category.data); break;
        case SiiCategoryType::General:
            if (category.data.size() >= 7) {
                profile.coeSdoInfo = (category.data[5] & 0x02) != 0;
                profile.coeCompleteAccess = (category.data[5] & 0x20) != 0;
            }
            break;
        case SiiCategoryType::SyncManager:
            for (size_t at = 0; at + 8 <= category.data.size(); at += 8) {
                const uint8_t* d = category.data.data() + at;
                profile.syncManagers.push_back(
                    {uint16_t(d[0] | d[1] << 8), uint16_t(d[2] | d[3] << 8), d[4], d[6], d[7]});
            }
            break;
        case SiiCategoryType::TxPdo: {
            auto parsed = parsePdos(category.data);
            profile.txPdos.insert(profile.txPdos.end(), parsed.begin(), parsed.end());
            break;
        }
        case SiiCategoryType::RxPdo: {
            auto parsed = parsePdos(category.data);
            profile.rxPdos.insert(profile.rxPdos.end(), parsed.begin(), parsed.end());
            break;
        }
        default: break;
        }
    }
    profile.name = strings.empty() ? "SII device" : strings[0];
    const auto categories = siiCategories(image);
    profile.distributedClocks = std::any_of(categories.begin(), categories.end(),
                                            [](const SiiCategory& c) { return c.type == SiiCategoryType::DistributedClock; });
    if (profile.hasCoe()) {
        addIdentityObjects(profile, "", "");
        addMappedObjects(profile, profile.rxPdos, Access::ReadWrite | Access::RxPdoMappable);
        addMappedObjects(profile, profile.txPdos, Access::ReadOnly | Access::TxPdoMappable);
        addProcessDataObjects(profile, 8);
    } else {
        addMappedObjects(profile, profile.rxPdos, Access::ReadWrite);
        addMappedObjects(profile, profile.txPdos, Access::ReadOnly);
    }
    profile.sii = std::move(image);
    return profile;
}

std::optional<DeviceProfile> profileFromSiiFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return profileFromSii(std::move(image), file.stem().string());
}

}  // namespace ecsim
