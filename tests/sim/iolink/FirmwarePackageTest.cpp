// Firmware packages built at run time (sim/iolink/FirmwarePackage.h and the iolink-fw-package
// program): opened again with libzip, the description read with tinyxml2 the way the library
// looks its items up, and each broken variant.
#include <stdlib.h>
#include <sys/wait.h>
#include <zip.h>

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "FirmwareClient.h"
#include "sim/iolink/FirmwarePackage.h"

namespace iolsim::test {
namespace {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "fwpkg-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
        path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

struct Entry {
    Bytes data;
    uint64_t size = 0;
    uint64_t compressedSize = 0;
};

// Every entry by its stored name; nullopt when libzip cannot open the file as an archive. Data
// is read for entries up to 1 MiB.
std::optional<std::map<std::string, Entry>> readArchive(const fs::path& path, int* openError = nullptr) {
    int error = 0;
    zip_t* archive = zip_open(path.string().c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (openError) *openError = error;
    if (!archive) return std::nullopt;
    std::map<std::string, Entry> entries;
    zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &st);
        Entry e;
        e.size = st.size;
        e.compressedSize = st.comp_size;
        if (st.size <= 1024 * 1024) {
            e.data.resize(st.size);
            zip_file_t* f = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
            if (f) {
                zip_fread(f, e.data.data(), st.size);
                zip_fclose(f);
            }
        }
        entries[st.name] = std::move(e);
    }
    zip_close(archive);
    return entries;
}

std::string asText(const Bytes& b) { return std::string(b.begin(), b.end()); }

// The description items as the library finds them; empty optionals for missing ones.
struct Description {
    tinyxml2::XMLError loadError = tinyxml2::XML_SUCCESS;
    bool root = false, metaInfo = false, collection = false, key = false, blob = false;
    std::optional<std::string> vendorId, idPattern, fileName;
};

Description parse(const std::string& xml) {
    Description d;
    tinyxml2::XMLDocument doc;
    d.loadError = doc.Parse(xml.c_str(), xml.size());
    if (d.loadError != tinyxml2::XML_SUCCESS) return d;
    auto* root = doc.FirstChildElement("iolfw:IOLinkFWData");
    if (!root) return d;
    d.root = true;
    if (auto* meta = root->FirstChildElement("iolfw:MetaInfo")) {
        d.metaInfo = true;
        if (const char* v = meta->Attribute("iolfw:vendorId")) d.vendorId = v;
        if (auto* collection = meta->FirstChildElement("iolfw:HardwareIdKeyCollection")) {
            d.collection = true;
            if (auto* key = collection->FirstChildElement("iolfw:HardwareIdKey")) {
                d.key = true;
                if (const char* v = key->Attribute("iolfw:idPattern")) d.idPattern = v;
            }
        }
    }
    if (auto* blob = root->FirstChildElement("iolfw:Blob")) {
        d.blob = true;
        if (const char* v = blob->Attribute("iolfw:fileName")) d.fileName = v;
    }
    return d;
}

class Package : public ::testing::Test {
protected:
    FirmwarePackageContents contents(const std::string& name = "pump_v2.zip") {
        FirmwarePackageContents s;
        s.path = temp.path / name;
        s.image = patternImage(5000, 42);
        return s;
    }
    TempFolder temp;
};

TEST_F(Package, ADefaultPackageHoldsTheDescriptionAndTheImage) {
    FirmwarePackageContents s = contents();
    WrittenPackage written = writeFirmwarePackage(s);
    auto entries = readArchive(s.path);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2u);
    ASSERT_TRUE(entries->count("pump_v2.xml"));
    ASSERT_TRUE(entries->count("pump_v2.bin"));
    EXPECT_EQ(entries->at("pump_v2.bin").data, s.image);
    EXPECT_EQ(asText(entries->at("pump_v2.xml").data), written.description);
    EXPECT_EQ(written.entries, (std::vector<std::pair<std::string, uint64_t>>{
                                   {"pump_v2.xml", written.description.size()}, {"pump_v2.bin", 5000}}));

    Description d = parse(written.description);
    ASSERT_EQ(d.loadError, tinyxml2::XML_SUCCESS);
    EXPECT_TRUE(d.root && d.metaInfo && d.collection && d.key && d.blob);
    EXPECT_EQ(d.vendorId, "32337");  // 0x7E51, the default device's vendor id
    EXPECT_EQ(d.idPattern, "SD200-HW-A1");
    EXPECT_EQ(d.fileName, "pump_v2.bin");
    // The defaults fit the default simulated device.
    DeviceIdentity device;
    EXPECT_EQ(*d.vendorId, std::to_string(vendorIdObjectValue(device)));
    EXPECT_EQ(*d.idPattern, device.hardwareId);
}

TEST_F(Package, DescriptionValuesAreWrittenAsGiven) {
    FirmwarePackageContents s = contents();
    s.vendorId = -2;
    s.hardwareId = "A \"quoted\" & <angled> id ";
    s.moreHardwareIds = {"second", "third"};
    s.imageName = "image.img";
    Description d = parse(writeFirmwarePackage(s).description);
    EXPECT_EQ(d.vendorId, "-2");
    EXPECT_EQ(d.idPattern, "A \"quoted\" & <angled> id ");  // the first key counts
    EXPECT_EQ(d.fileName, "image.img");
    auto entries = readArchive(s.path);
    ASSERT_TRUE(entries);
    EXPECT_TRUE(entries->count("image.img"));

    s.blobFileName = "other.bin";
    EXPECT_EQ(parse(writeFirmwarePackage(s).description).fileName, "other.bin");
}

TEST_F(Package, AnyElementOrAttributeCanBeLeftOut) {
    struct Case {
        std::string omitted;
        bool root, metaInfo, collection, key, blob, vendorId, idPattern, fileName;
    };
    const Case cases[] = {
        {fwxml::kMetaInfo, true, false, false, false, true, false, false, true},
        {fwxml::kVendorId, true, true, true, true, true, false, true, true},
        {fwxml::kHardwareIdKeyCollection, true, true, false, false, true, true, false, true},
        {fwxml::kHardwareIdKey, true, true, true, false, true, true, false, true},
        {fwxml::kIdPattern, true, true, true, true, true, true, false, true},
        {fwxml::kBlob, true, true, true, true, false, true, true, false},
        {fwxml::kFileName, true, true, true, true, true, true, true, false},
    };
    for (const auto& c : cases) {
        FirmwarePackageContents s = contents();
        s.omit = {c.omitted};
        writeFirmwarePackage(s);
        auto entries = readArchive(s.path);
        ASSERT_TRUE(entries) << c.omitted;
        Description d = parse(asText(entries->at("pump_v2.xml").data));
        ASSERT_EQ(d.loadError, tinyxml2::XML_SUCCESS) << c.omitted;
        EXPECT_EQ(d.root, c.root) << c.omitted;
        EXPECT_EQ(d.metaInfo, c.metaInfo) << c.omitted;
        EXPECT_EQ(d.collection, c.collection) << c.omitted;
        EXPECT_EQ(d.key, c.key) << c.omitted;
        EXPECT_EQ(d.blob, c.blob) << c.omitted;
        EXPECT_EQ(d.vendorId.has_value(), c.vendorId) << c.omitted;
        EXPECT_EQ(d.idPattern.has_value(), c.idPattern) << c.omitted;
        EXPECT_EQ(d.fileName.has_value(), c.fileName) << c.omitted;
        EXPECT_TRUE(entries->count("pump_v2.bin")) << c.omitted;
    }
    // Without its root only the XML declaration is left (a document tinyxml2 loads, with no
    // element at all); a root of another name is no root either.
    FirmwarePackageContents s = contents();
    s.omit = {fwxml::kRoot};
    std::string declarationOnly = writeFirmwarePackage(s).description;
    EXPECT_EQ(declarationOnly, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    Description d = parse(declarationOnly);
    EXPECT_EQ(d.loadError, tinyxml2::XML_SUCCESS);
    EXPECT_FALSE(d.root);
    s.omit.clear();
    s.rootName = "iolfw:IOLinkFirmwareData";
    d = parse(writeFirmwarePackage(s).description);
    EXPECT_EQ(d.loadError, tinyxml2::XML_SUCCESS);
    EXPECT_FALSE(d.root);
    s.omit = {"iolfw:Nothing"};
    EXPECT_THROW(writeFirmwarePackage(s), std::invalid_argument);
}

TEST_F(Package, AVendorIdThatIsNotDecimal) {
    for (const std::string text : {"0x7E51", "abc", "32337x", ""}) {
        FirmwarePackageContents s = contents();
        s.vendorIdText = text;
        Description d = parse(writeFirmwarePackage(s).description);
        // An empty text means "decimal from vendorId".
        EXPECT_EQ(d.vendorId, text.empty() ? "32337" : text);
    }
}

TEST_F(Package, BrokenArchives) {
    struct Case {
        const char* name;
        std::function<void(FirmwarePackageContents&)> change;
        std::vector<std::string> entries;  // stored names, in any order
    };
    const Case cases[] = {
        {"description under another name", [](auto& s) { s.descriptionName = "firmware.xml"; },
         {"firmware.xml", "pump_v2.bin"}},
        {"no description", [](auto& s) { s.withDescription = false; }, {"pump_v2.bin"}},
        {"no image", [](auto& s) { s.withImage = false; }, {"pump_v2.xml"}},
        {"nothing at all", [](auto& s) { s.withImage = s.withDescription = false; }, {}},
        {"zip slip, parent", [](auto& s) { s.extraEntries = {{"../evil.txt", {1, 2, 3}, 0}}; },
         {"pump_v2.xml", "pump_v2.bin", "../evil.txt"}},
        {"zip slip, absolute", [](auto& s) { s.extraEntries = {{"/tmp/evil.txt", {1}, 0}}; },
         {"pump_v2.xml", "pump_v2.bin", "/tmp/evil.txt"}},
        {"zip slip, drive", [](auto& s) { s.extraEntries = {{"C:evil.txt", {1}, 0}}; },
         {"pump_v2.xml", "pump_v2.bin", "C:evil.txt"}},
        {"zip slip, backslash", [](auto& s) { s.extraEntries = {{"sub\\evil.txt", {1}, 0}}; },
         {"pump_v2.xml", "pump_v2.bin", "sub\\evil.txt"}},
        {"zip slip, slash", [](auto& s) { s.extraEntries = {{"sub/evil.txt", {1}, 0}}; },
         {"pump_v2.xml", "pump_v2.bin", "sub/evil.txt"}},
        {"image named with a parent", [](auto& s) { s.imageName = "../pump_v2.bin"; },
         {"pump_v2.xml", "../pump_v2.bin"}},
        {"stored without compression", [](auto& s) { s.compress = false; }, {"pump_v2.xml", "pump_v2.bin"}},
    };
    for (const auto& c : cases) {
        FirmwarePackageContents s = contents();
        c.change(s);
        WrittenPackage written = writeFirmwarePackage(s);
        auto entries = readArchive(s.path);
        ASSERT_TRUE(entries) << c.name;
        std::vector<std::string> names;
        for (const auto& [name, e] : *entries) names.push_back(name);
        std::vector<std::string> expected = c.entries;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected) << c.name;
        EXPECT_EQ(written.entries.size(), expected.size()) << c.name;
        if (entries->count("pump_v2.bin")) {
            EXPECT_EQ(entries->at("pump_v2.bin").data, s.image) << c.name;
        }
        if (entries->count("../evil.txt")) {
            EXPECT_EQ(entries->at("../evil.txt").data, (Bytes{1, 2, 3})) << c.name;
        }
    }
    // The image name leads the description's file name.
    FirmwarePackageContents s = contents();
    s.imageName = "../pump_v2.bin";
    EXPECT_EQ(parse(writeFirmwarePackage(s).description).fileName, "../pump_v2.bin");
}

TEST_F(Package, AZipBombIsAHugeHighlyCompressedEntry) {
    FirmwarePackageContents s = contents();
    constexpr uint64_t kBomb = 100ull * 1024 * 1024;
    s.extraEntries = {{"bomb.bin", {}, kBomb}};
    writeFirmwarePackage(s);
    auto entries = readArchive(s.path);
    ASSERT_TRUE(entries);
    ASSERT_TRUE(entries->count("bomb.bin"));
    EXPECT_EQ(entries->at("bomb.bin").size, kBomb);
    EXPECT_LT(entries->at("bomb.bin").compressedSize, kBomb / 500);
    EXPECT_LT(fs::file_size(s.path), 1024u * 1024u);
    // It really is 100 MiB of zeros.
    int error = 0;
    zip_t* archive = zip_open(s.path.string().c_str(), ZIP_RDONLY, &error);
    ASSERT_NE(archive, nullptr);
    zip_file_t* f = zip_fopen(archive, "bomb.bin", 0);
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> chunk(1 << 20);
    uint64_t total = 0;
    bool zeros = true;
    for (zip_int64_t n; (n = zip_fread(f, chunk.data(), chunk.size())) > 0;) {
        total += static_cast<uint64_t>(n);
        zeros = zeros && std::all_of(chunk.begin(), chunk.begin() + n, [](uint8_t b) { return b == 0; });
    }
    zip_fclose(f);
    zip_close(archive);
    EXPECT_EQ(total, kBomb);
    EXPECT_TRUE(zeros);
}

TEST_F(Package, AFileThatIsNotAZip) {
    FirmwarePackageContents s = contents();
    s.notAZip = true;
    writeFirmwarePackage(s);
    ASSERT_TRUE(fs::exists(s.path));
    int error = 0;
    EXPECT_FALSE(readArchive(s.path, &error));
    EXPECT_EQ(error, ZIP_ER_NOZIP);
}

TEST_F(Package, AnExistingFileIsReplaced) {
    FirmwarePackageContents s = contents();
    s.notAZip = true;
    writeFirmwarePackage(s);
    s.notAZip = false;
    writeFirmwarePackage(s);
    auto entries = readArchive(s.path);
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->size(), 2u);
}

TEST_F(Package, ThePatternIsDeterministic) {
    EXPECT_EQ(firmwareImagePattern(1000, 7), firmwareImagePattern(1000, 7));
    EXPECT_NE(firmwareImagePattern(1000, 7), firmwareImagePattern(1000, 8));
    EXPECT_EQ(firmwareImagePattern(1000, 7), patternImage(1000, 7));  // as documented
    EXPECT_EQ(firmwareImagePattern(3, 0), firmwareImagePattern(3, 1));
}

// The program, as scripts and the demo run it.
std::string run(const std::string& arguments, int* status) {
    std::string command = std::string(IOLINK_FW_PACKAGE_PROGRAM) + " " + arguments + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    std::string out;
    char buffer[512];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    int rc = pclose(p);
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

TEST_F(Package, TheProgramWritesAndPrintsAPackage) {
    int status = -1;
    fs::path zip = temp.path / "fw.zip";
    std::string out = run("--image-size 70000 --seed 5 --vendor-id 0x1234 --hardware-id 'HW 7' " + zip.string(), &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out.rfind("wrote " + zip.string() + " with 2 entries\n", 0), 0u) << out;
    EXPECT_NE(out.find("  fw.bin  70000 bytes  (image, blobCrc 0x"), std::string::npos) << out;
    EXPECT_NE(out.find("iolfw:vendorId=\"4660\""), std::string::npos) << out;
    auto entries = readArchive(zip);
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->at("fw.bin").data, firmwareImagePattern(70000, 5));
    Description d = parse(asText(entries->at("fw.xml").data));
    EXPECT_EQ(d.idPattern, "HW 7");

    // An image from a file, and broken variants.
    fs::path image = temp.path / "image.raw";
    std::ofstream(image, std::ios::binary) << "firmware!";
    fs::path broken = temp.path / "broken.zip";
    out = run("--image " + image.string() + " --omit iolfw:idPattern --vendor-id-text abc --extra-entry ../x.txt "
              "--description-name other.xml --bomb 1000000 " + broken.string(), &status);
    ASSERT_EQ(status, 0) << out;
    entries = readArchive(broken);
    ASSERT_TRUE(entries);
    EXPECT_EQ(asText(entries->at("broken.bin").data), "firmware!");
    EXPECT_TRUE(entries->count("../x.txt"));
    EXPECT_EQ(entries->at("bomb.bin").size, 1000000u);
    d = parse(asText(entries->at("other.xml").data));
    EXPECT_EQ(d.vendorId, "abc");
    EXPECT_FALSE(d.idPattern);

    out = run("--not-a-zip " + (temp.path / "junk.zip").string(), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_FALSE(readArchive(temp.path / "junk.zip"));

    out = run("--omit iolfw:Nothing " + zip.string(), &status);
    EXPECT_EQ(status, 1) << out;
    out = run("--no-such-option " + zip.string(), &status);
    EXPECT_EQ(status, 2) << out;
    out = run("", &status);
    EXPECT_EQ(status, 2) << out;
}

TEST_F(Package, ItsImageUpdatesTheSimulatedDevice) {
    // The whole chain on the device's side: package image -> BLOB -> activation.
    FirmwarePackageContents s = contents();
    s.image = firmwareImagePattern(64 * 1024, 99);
    writeFirmwarePackage(s);
    auto entries = readArchive(s.path);
    ASSERT_TRUE(entries);
    Description d = parse(asText(entries->at("pump_v2.xml").data));
    const Bytes& image = entries->at(*d.fileName).data;

    FirmwareClient client;
    client.bringToOperate();
    Bytes vendor = client.read(iolink::VENDOR_ID_INDEX, iolink::VENDOR_ID_SUBINDEX);
    ASSERT_EQ(vendor.size(), 5u + 4u);
    EXPECT_EQ(std::to_string(vendor[4] << 24 | vendor[5] << 16 | vendor[6] << 8 | vendor[7]), *d.vendorId);
    EXPECT_EQ(client.read(iolink::HARDWARE_ID_INDEX), readData(text(*d.idPattern)));
    ASSERT_TRUE(client.sendEntryCode());
    ASSERT_EQ(client.transfer(iolink::FIRMWARE_BLOB_ID, image), kWriteDone);
    ASSERT_EQ(client.command(iolink::ACTIVATE_FIRMWARE_COMMAND), kWriteDone);
    EXPECT_EQ(client.bootStatus(), readData({0}));
    EXPECT_EQ(client.sim.installedFirmware(), s.image);
}

}  // namespace
}  // namespace iolsim::test
