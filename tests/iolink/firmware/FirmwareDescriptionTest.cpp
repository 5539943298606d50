// Reading the package's XML description: what it must hold, and that every defect is named
// before the device is asked anything.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "TemporaryFolder.h"
#include "firmware/FirmwareDescription.h"
#include "link/IoLinkLib.h"

using namespace iolink;

namespace {

struct Description {
    std::string vendorAttribute = R"( iolfw:vendorId="4120")";
    std::string idAttribute = R"( iolfw:idPattern="SD200-HW-A1")";
    std::string fileAttribute = R"( iolfw:fileName="fw.bin")";
    bool root = true;
    bool metaInfo = true;
    bool collection = true;
    bool key = true;
    bool blob = true;

    std::string text() const
    {
        std::string keyText = key ? "<iolfw:HardwareIdKey" + idAttribute + "/>" : "";
        std::string collectionText =
            collection ? "<iolfw:HardwareIdKeyCollection>" + keyText + "</iolfw:HardwareIdKeyCollection>" : "";
        std::string metaText = metaInfo ? "<iolfw:MetaInfo" + vendorAttribute + ">" + collectionText + "</iolfw:MetaInfo>" : "";
        std::string blobText = blob ? "<iolfw:Blob" + fileAttribute + "/>" : "";
        const std::string rootName = root ? "iolfw:IOLinkFWData" : "iolfw:FirmwareData";
        return "<?xml version=\"1.0\"?>\n<" + rootName + " xmlns:iolfw=\"urn:example\">" + metaText + blobText + "</" +
               rootName + ">\n";
    }
};

class DescriptionFile : public testing::Test {
protected:
    std::filesystem::path write(const std::string& content)
    {
        const auto file = folder.path() / "fw.xml";
        std::ofstream(file) << content;
        return file;
    }

    TemporaryFolder folder{"fsn-fw-xml"};
};

} // namespace

TEST_F(DescriptionFile, ReadsVendorHardwareIdAndImageName)
{
    const DescriptionRead read = readFirmwareDescription(write(Description{}.text()));
    ASSERT_TRUE(read.result.getResult()) << read.result.getMessage();
    EXPECT_EQ(read.description.vendorId, 4120);
    EXPECT_EQ(read.description.hardwareId, "SD200-HW-A1");
    EXPECT_EQ(read.description.imageFileName, "fw.bin");
}

TEST_F(DescriptionFile, TakesTheFirstHardwareIdKey)
{
    const std::string text =
        "<iolfw:IOLinkFWData><iolfw:MetaInfo iolfw:vendorId=\"7\"><iolfw:HardwareIdKeyCollection>"
        "<iolfw:HardwareIdKey iolfw:idPattern=\"first\"/><iolfw:HardwareIdKey iolfw:idPattern=\"second\"/>"
        "</iolfw:HardwareIdKeyCollection></iolfw:MetaInfo><iolfw:Blob iolfw:fileName=\"a.bin\"/></iolfw:IOLinkFWData>";
    const DescriptionRead read = readFirmwareDescription(write(text));
    ASSERT_TRUE(read.result.getResult()) << read.result.getMessage();
    EXPECT_EQ(read.description.hardwareId, "first");
}

TEST_F(DescriptionFile, NamesEveryMissingItem)
{
    struct Case {
        const char* what;
        Description description;
        std::string message;
    };
    const std::string elementMissing = "Error reading XML file: XML element not present";
    std::vector<Case> cases;
    const auto add = [&](const char* what, auto change, std::string message) {
        Description d;
        change(d);
        cases.push_back({what, d, std::move(message)});
    };
    add("root", [](Description& d) { d.root = false; }, elementMissing);
    add("MetaInfo", [](Description& d) { d.metaInfo = false; }, elementMissing);
    add("HardwareIdKeyCollection", [](Description& d) { d.collection = false; }, elementMissing);
    add("HardwareIdKey", [](Description& d) { d.key = false; }, elementMissing);
    add("Blob", [](Description& d) { d.blob = false; }, elementMissing);
    add("vendorId", [](Description& d) { d.vendorAttribute.clear(); },
        "Error reading XML file: XML attribute not present: iolfw:vendorId");
    add("idPattern", [](Description& d) { d.idAttribute.clear(); },
        "Error reading XML file: XML attribute not present: iolfw:idPattern");
    add("fileName", [](Description& d) { d.fileAttribute.clear(); },
        "Error reading XML file: XML attribute not present: iolfw:fileName");
    add("vendorId without prefix", [](Description& d) { d.vendorAttribute = R"( vendorId="4120")"; },
        "Error reading XML file: XML attribute not present: iolfw:vendorId");

    for (const Case& c : cases) {
        const DescriptionRead read = readFirmwareDescription(write(c.description.text()));
        EXPECT_FALSE(read.result.getResult()) << c.what;
        EXPECT_EQ(read.result.getMessage(), c.message) << c.what;
    }
}

TEST_F(DescriptionFile, TakesTheVendorIdAsA32BitDecimalNumberOnly)
{
    struct Case {
        std::string text;
        std::optional<int32_t> value;
    };
    const std::vector<Case> cases = {
        {"4120", 4120},          {"-5", -5},           {"+7", 7},
        {" 42 ", 42},            {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
        {"0x1018", std::nullopt}, {"12ab", std::nullopt}, {"", std::nullopt},
        {"2147483648", std::nullopt}, {"1 2", std::nullopt}, {"+-1", std::nullopt},
        {"1.5", std::nullopt},
    };
    for (const Case& c : cases) {
        Description d;
        d.vendorAttribute = " iolfw:vendorId=\"" + c.text + "\"";
        const DescriptionRead read = readFirmwareDescription(write(d.text()));
        if (c.value) {
            ASSERT_TRUE(read.result.getResult()) << '"' << c.text << "\": " << read.result.getMessage();
            EXPECT_EQ(read.description.vendorId, *c.value) << '"' << c.text << '"';
        } else {
            EXPECT_EQ(read.result.getMessage(),
                      "Error reading XML file: XML attribute iolfw:vendorId is not a decimal number: " + c.text)
                << '"' << c.text << '"';
        }
    }
}

TEST_F(DescriptionFile, ReportsTheLoadErrorOfAFileThatIsNoXml)
{
    const auto broken = write("<iolfw:IOLinkFWData><unclosed>");
    const DescriptionRead read = readFirmwareDescription(broken);
    EXPECT_FALSE(read.result.getResult());
    EXPECT_EQ(read.result.getMessage().rfind("Error opening XML file: " + broken.string() + ", Errorcode: ", 0), 0u)
        << read.result.getMessage();

    const auto missing = folder.path() / "absent.xml";
    EXPECT_EQ(readFirmwareDescription(missing).result.getMessage(),
              "Error opening XML file: " + missing.string() + ", Errorcode: 3");
}

// No master is connected here: a verification that reached the device would fail on the link.
TEST_F(DescriptionFile, VerificationStopsAtADefectiveDescriptionBeforeAskingTheDevice)
{
    Description d;
    d.collection = false;
    IoLinkLib lib;
    const ResultString verified = verifyFirmwareDescription(lib, write(d.text()));
    EXPECT_FALSE(verified.getResult());
    EXPECT_EQ(verified.getMessage(), "Error reading XML file: XML element not present");

    const ResultString deviceAsked = verifyFirmwareDescription(lib, write(Description{}.text()));
    EXPECT_EQ(deviceAsked.getMessage().rfind("Error reading Vendor Id from device for verifying firmware file: ", 0), 0u)
        << deviceAsked.getMessage();
}
