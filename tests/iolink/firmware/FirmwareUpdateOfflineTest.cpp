// The steps of a firmware update that come before any device access: temporary folder, package,
// description. No master is connected, so a step that reached the device would fail on the link.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "TemporaryFolder.h"
#include "TestArchive.h"
#include "link/IoLinkLib.h"

namespace {

class OfflineUpdate : public testing::Test {
protected:
    void SetUp() override
    {
        if (const char* previous = std::getenv("TMPDIR")) {
            savedTmpdir = previous;
        }
        setenv("TMPDIR", tmp.path().c_str(), 1);
    }

    void TearDown() override
    {
        if (savedTmpdir) {
            setenv("TMPDIR", savedTmpdir->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }

    // The folder the update made under TMPDIR (exactly one is expected).
    std::filesystem::path madeFolder()
    {
        const auto names = filesIn(tmp.path());
        EXPECT_EQ(names.size(), 1u);
        return names.empty() ? std::filesystem::path() : tmp.path() / names.front();
    }

    TemporaryFolder tmp{"fsn-fw-tmpdir"};
    TemporaryFolder packages{"fsn-fw-packages"};
    std::optional<std::string> savedTmpdir;
    IoLinkLib lib;
};

const std::string kDescriptionWithoutKeys =
    "<iolfw:IOLinkFWData><iolfw:MetaInfo iolfw:vendorId=\"4120\"></iolfw:MetaInfo>"
    "<iolfw:Blob iolfw:fileName=\"fw.bin\"/></iolfw:IOLinkFWData>";

} // namespace

TEST_F(OfflineUpdate, AMissingPackageIsNamedAndStillLeavesANewEmptyFolder)
{
    const auto package = packages.path() / "absent.zip";
    const Result result = lib.writeFirmware(package);
    EXPECT_FALSE(result.getResult());
    EXPECT_EQ(result.getMessage(), "Firmware file not found: " + package.string());
    EXPECT_TRUE(std::filesystem::is_empty(madeFolder()));
}

TEST_F(OfflineUpdate, TheDescriptionMustBeNamedLikeThePackage)
{
    const auto package = packages.path() / "fw.zip";
    writeArchive(package, {{"firmware.xml", kDescriptionWithoutKeys}, {"fw.bin", "image"}});
    testing::internal::CaptureStdout();
    const Result result = lib.writeFirmware(package);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(result.getMessage(), "Firmware description file not found: " + (madeFolder() / "fw.xml").string());
}

TEST_F(OfflineUpdate, ADefectiveDescriptionFailsBeforeTheDeviceIsAsked)
{
    const auto package = packages.path() / "fw.zip";
    writeArchive(package, {{"fw.xml", kDescriptionWithoutKeys}, {"fw.bin", "image"}});
    testing::internal::CaptureStdout();
    const Result result = lib.writeFirmware(package);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(result.getMessage(), "Error verifying FW file with device: Error reading XML file: XML element not present");
}

TEST_F(OfflineUpdate, AnUnusableTemporaryFolderIsAFailedResultNotAnException)
{
    const auto notAFolder = packages.path() / "plain-file";
    std::ofstream(notAFolder) << "x";
    setenv("TMPDIR", notAFolder.c_str(), 1);
    Result result(true, "");
    ASSERT_NO_THROW(result = lib.writeFirmware(packages.path() / "fw.zip"));
    EXPECT_FALSE(result.getResult());
    EXPECT_EQ(result.getMessage().rfind("Could not create temporary folder: ", 0), 0u) << result.getMessage();
}
