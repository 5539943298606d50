// Unpacking firmware packages: the good case, and archives made to write outside their folder,
// to fill the disk, or that are no archive at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "TemporaryFolder.h"
#include "TestArchive.h"
#include "firmware/FirmwareFolder.h"
#include "firmware/FirmwarePackage.h"

using namespace iolink;

namespace {

class Package : public testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directory(target); }

    std::filesystem::path package(const std::vector<ArchiveEntry>& entries, const std::string& name = "fw.zip")
    {
        const auto file = root.path() / name;
        writeArchive(file, entries);
        return file;
    }

    TemporaryFolder root{"fsn-fw-package"};
    // One level down, so that anything written beside it is still inside the test's folder.
    std::filesystem::path target = root.path() / "unpacked";
};

const std::string kImage(3000, '\x5A');
const std::string kXml = "<iolfw:IOLinkFWData/>";

} // namespace

TEST_F(Package, ExtractsEveryEntryFlatAndReportsEach)
{
    const auto file = package({{"fw.xml", kXml}, {"fw.bin", kImage}});
    testing::internal::CaptureStdout();
    const Result unpacked = unpackFirmwarePackage(file, target);
    const std::string out = testing::internal::GetCapturedStdout();

    ASSERT_TRUE(unpacked.getResult()) << unpacked.getMessage();
    EXPECT_EQ(filesIn(target), (std::vector<std::string>{"fw.bin", "fw.xml"}));
    EXPECT_EQ(readWholeFile(target / "fw.bin"), kImage);
    EXPECT_EQ(readWholeFile(target / "fw.xml"), kXml);
    EXPECT_NE(out.find("Filename: fw.bin to " + (target / "fw.bin").string() + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Filename: fw.xml to " + (target / "fw.xml").string() + "\n"), std::string::npos) << out;
}

TEST_F(Package, RefusesEntriesThatWouldLeaveTheFolderAndWritesNothing)
{
    const std::vector<std::string> names = {
        "../evil.bin", "..\\evil.bin", "sub/fw.bin", "sub\\fw.bin", "/tmp/fsn-evil.bin",
        "C:evil.bin",  "C:\\evil.bin", "..",         ".",           "fw.bin:stream",
    };
    for (const std::string& name : names) {
        const auto file = package({{"fw.xml", kXml}, {"fw.bin", kImage}, {name, "evil"}});
        testing::internal::CaptureStderr();
        const Result unpacked = unpackFirmwarePackage(file, target);
        const std::string err = testing::internal::GetCapturedStderr();

        EXPECT_FALSE(unpacked.getResult()) << name;
        EXPECT_EQ(unpacked.getMessage(), "Error unzipping firmware-file: " + file.string()) << name;
        EXPECT_TRUE(filesIn(target).empty()) << name << ": the good entries must not be written either";
        EXPECT_EQ(filesIn(root.path()), (std::vector<std::string>{"fw.zip", "unpacked"})) << name;
        EXPECT_NE(err.find(name), std::string::npos) << "the refused entry is named: " << err;
    }
    EXPECT_FALSE(std::filesystem::exists("/tmp/fsn-evil.bin"));
}

TEST_F(Package, RefusesAPackageThatDeclaresMoreThanTheLimit)
{
    const std::string half(MAX_EXTRACTED_BYTES / 2 + 1, '\0');
    const std::string whole(MAX_EXTRACTED_BYTES + 1, '\0');
    const std::vector<std::vector<ArchiveEntry>> bombs = {
        {{"fw.xml", kXml}, {"fw.bin", whole}},
        {{"a.bin", half}, {"b.bin", half}},
    };
    for (const auto& entries : bombs) {
        const auto file = package(entries);
        testing::internal::CaptureStderr();
        const Result unpacked = unpackFirmwarePackage(file, target);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(unpacked.getMessage(), "Error unzipping firmware-file: " + file.string());
        EXPECT_TRUE(filesIn(target).empty());
        EXPECT_NE(err.find("extraction limit"), std::string::npos) << err;
    }
}

TEST_F(Package, StopsAnEntryThatInflatesBeyondItsDeclaredSize)
{
    const auto file = package({{"fw.bin", std::string(MAX_EXTRACTED_BYTES + 4096, '\0')}});
    understateEntrySizes(file, 1000);
    testing::internal::CaptureStderr();
    const Result unpacked = unpackFirmwarePackage(file, target);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(unpacked.getMessage(), "Error unzipping firmware-file: " + file.string());
    // The cut-off entry is removed, so at no point did more than the limit stay on disk.
    EXPECT_TRUE(filesIn(target).empty());
}

TEST_F(Package, ReportsAFileThatIsNoArchive)
{
    const auto file = root.path() / "fw.zip";
    std::ofstream(file) << "this is no zip archive";
    testing::internal::CaptureStderr();
    EXPECT_EQ(extractArchive(file.string(), target.string()), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "mz_zip_reader_init_file() failed!\n");
    EXPECT_EQ(unpackFirmwarePackage(file, target).getMessage(), "Error unzipping firmware-file: " + file.string());
}

TEST_F(Package, ReportsAMissingPackage)
{
    const auto file = root.path() / "absent.zip";
    EXPECT_EQ(unpackFirmwarePackage(file, target).getMessage(), "Firmware file not found: " + file.string());
}

TEST(FirmwareFolder, IsANewEmptyFolderUnderTheTemporaryFolderEachTime)
{
    TemporaryFolder temp{"fsn-fw-tmp"};
    const char* previous = std::getenv("TMPDIR");
    const std::string saved = previous ? previous : "";
    setenv("TMPDIR", temp.path().c_str(), 1);

    const auto first = makeFirmwareTempFolder();
    const auto second = makeFirmwareTempFolder();

    EXPECT_EQ(first.parent_path(), temp.path());
    EXPECT_NE(first, second);
    EXPECT_TRUE(std::filesystem::is_directory(first));
    EXPECT_TRUE(std::filesystem::is_empty(first));
    EXPECT_EQ(std::filesystem::status(first).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all)
        << "others must not be able to plant files in it";

    setenv("TMPDIR", (temp.path() / "no-such-folder").c_str(), 1);
    EXPECT_THROW(makeFirmwareTempFolder(), std::filesystem::filesystem_error);

    if (previous) {
        setenv("TMPDIR", saved.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
}
