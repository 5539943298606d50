// Adapter listing and the driver probe, with the capture library made to fail or to list
// adapters of our choosing (tests/support/fake_pcap.c stands in front of libpcap).
#include <gtest/gtest.h>

#include <cstdlib>

#include <spdlog/sinks/ostream_sink.h>
#include <spdlog/spdlog.h>

#include "Corvane.h"
#include "TemporaryFolder.h"
#include "logging/Logger.h"

namespace {

class Discovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (spdlog::get("cpplogger") == nullptr) {
            setenv("appdata", appData.path().c_str(), 1);
        }
        corvane = std::make_unique<Corvane>();
        corvane->setLoggingLevel(Debug);
        auto logger = tlog::Logger::getInstance().getLogger();
        captured = std::make_shared<spdlog::sinks::ostream_sink_mt>(lines);
        captured->set_pattern("%v");
        logger->sinks().push_back(captured);
    }

    void TearDown() override
    {
        auto& sinks = tlog::Logger::getInstance().getLogger()->sinks();
        std::erase(sinks, captured);
        unsetenv("FSN_FAKE_PCAP");
    }

    static void capture(const char* mode) { setenv("FSN_FAKE_PCAP", mode, 1); }

    bool logged(const std::string& line) const { return lines.str().find(line + "\n") != std::string::npos; }

    TemporaryFolder appData{"fsn-discovery"};
    std::unique_ptr<Corvane> corvane;
    std::ostringstream lines;
    std::shared_ptr<spdlog::sinks::ostream_sink_mt> captured;
};

TEST_F(Discovery, ListsEveryAdapterWithItsDescription)
{
    capture("list");
    ASSERT_EQ(corvane->scanEthernetHardwareDevices(), 3);
    const auto adapters = corvane->getEthernetDevicesDescriptionList();
    ASSERT_EQ(adapters.size(), 3u);
    EXPECT_EQ(adapters[0].getName(), "fake0");
    EXPECT_EQ(adapters[0].getDescription(), "Fake adapter zero");
    EXPECT_EQ(adapters[1].getName(), "fake1");
    EXPECT_EQ(adapters[1].getDescription(), "(No description available)");
    EXPECT_EQ(adapters[2].getName(), "fake2");
    EXPECT_EQ(adapters[2].getDescription(), "") << "a present but empty description stays empty";

    EXPECT_TRUE(logged("Scan Ethernet hardware devices"));
    EXPECT_TRUE(logged("Start WinPcap driver"));
    EXPECT_TRUE(logged("Ethernet device found: fake0, Fake adapter zero"));
    EXPECT_TRUE(logged("Ethernet device found: fake1, (No description available)"));
    EXPECT_TRUE(logged("Ethernet device found: fake2, "));
}

TEST_F(Discovery, FailingCaptureLibraryEmptiesTheList)
{
    capture("list");
    ASSERT_EQ(corvane->scanEthernetHardwareDevices(), 3);
    capture("fail");
    EXPECT_EQ(corvane->scanEthernetHardwareDevices(), -1);
    EXPECT_TRUE(corvane->getEthernetDevicesDescriptionList().empty());
    EXPECT_TRUE(logged("WinPcap driver not installed or not in admin mode"));
    EXPECT_EQ(lines.str().find("simulated capture library failure"), std::string::npos)
        << "the capture library's own text is not logged";

    EXPECT_FALSE(corvane->probeWinPcapDriver());
    EXPECT_TRUE(logged("Probe WinPcap driver"));
    EXPECT_TRUE(logged("No WinPcap driver found"));
}

TEST_F(Discovery, NoAdaptersIsNotAFailure)
{
    capture("empty");
    EXPECT_EQ(corvane->scanEthernetHardwareDevices(), 0);
    EXPECT_TRUE(corvane->getEthernetDevicesDescriptionList().empty());
    EXPECT_TRUE(corvane->probeWinPcapDriver());
    EXPECT_TRUE(logged("WinPcap driver found"));
}

TEST_F(Discovery, EachScanReplacesTheLastAndTheProbeLeavesItAlone)
{
    capture("list");
    corvane->scanEthernetHardwareDevices();
    EXPECT_EQ(corvane->scanEthernetHardwareDevices(), 3);
    EXPECT_EQ(corvane->getEthernetDevicesDescriptionList().size(), 3u);
    capture("fail");
    corvane->probeWinPcapDriver();
    EXPECT_EQ(corvane->getEthernetDevicesDescriptionList().size(), 3u);
}

TEST_F(Discovery, RealCaptureLibraryCountMatchesTheList)
{
    const int count = corvane->scanEthernetHardwareDevices();
    ASSERT_GE(count, 0);
    EXPECT_EQ(static_cast<size_t>(count), corvane->getEthernetDevicesDescriptionList().size());
    EXPECT_TRUE(corvane->probeWinPcapDriver());
}

// Run inside a network namespace of the test's own, with a veth pair (scripts/netns-run).
TEST_F(Discovery, SeesTheVethPairOfItsOwnNamespace)
{
    const char* expected = getenv("FSN_NETNS_VETH");
    if (expected == nullptr) {
        GTEST_SKIP() << "runs only under scripts/netns-run";
    }
    ASSERT_GT(corvane->scanEthernetHardwareDevices(), 0);
    std::string names;
    for (const auto& adapter : corvane->getEthernetDevicesDescriptionList()) {
        names += adapter.getName() + " ";
    }
    std::istringstream wanted(expected);
    for (std::string name; wanted >> name;) {
        EXPECT_NE(names.find(name + " "), std::string::npos) << name << " not in " << names;
    }
}

}  // namespace
