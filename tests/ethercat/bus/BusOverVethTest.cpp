// The bus service over a real veth pair, against the simulator program on the other end
// (scripts/netns-run + scripts/with-ethercat-sim, started with an own, a foreign CoE and an I/O
// device). Skipped when run any other way.
#include <gtest/gtest.h>

#include <cstdlib>

#include "CapturedLog.h"
#include "Corvane.h"
#include "DeviceState.h"
#include "OwnVendor.h"
#include "SimulatedBus.h"

namespace {

class BusOverVeth : public ::testing::Test {
protected:
    void SetUp() override
    {
        adapter = std::getenv("FSN_ETHERCAT_ADAPTER");
        if (adapter == nullptr) {
            GTEST_SKIP() << "runs only beside the simulator program on a veth pair";
        }
        useTemporaryLogFolder();
        corvane = std::make_unique<Corvane>();
        corvane->setLoggingLevel(Debug);
    }

    void TearDown() override
    {
        if (corvane) {
            corvane->closeHardware();
        }
    }

    const char* adapter = nullptr;
    std::unique_ptr<Corvane> corvane;
};

TEST_F(BusOverVeth, WholeFlowFromScanToClose)
{
    const int adapters = corvane->scanEthernetHardwareDevices();
    ASSERT_GT(adapters, 0);
    bool listed = false;
    for (const auto& entry : corvane->getEthernetDevicesDescriptionList()) {
        listed = listed || entry.getName() == adapter;
    }
    EXPECT_TRUE(listed);

    Result opened = corvane->openHardware(adapter, true);
    ASSERT_TRUE(opened.GetResult()) << opened.GetMessage();
    ASSERT_EQ(opened.GetMessage(), "Hardware open.");
    const auto devices = corvane->getEtherCatDeviceList();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].getVendorId(), OWN_VENDOR_ID);
    EXPECT_EQ(devices[0].getDeviceAddress(), 0x1001);
    EXPECT_EQ(devices[2].getDeviceAddress(), 0x1003);

    Result started = corvane->startBusToOperational();
    ASSERT_TRUE(started.GetResult()) << started.GetMessage();
    EXPECT_EQ(corvane->getOneDeviceState(0), DeviceStateOperational);

    // Mailbox traffic beside the running cycle.
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(corvane->writeOdNumberRaw(1, 0x8000, 0, 2, static_cast<uint32_t>(i)).GetResult());
        ResultLong read = corvane->readOdNumberRaw(1, 0x8000, 0);
        ASSERT_TRUE(read.GetResult());
        ASSERT_EQ(read.getLong(), i);
    }
    EXPECT_EQ(corvane->readOdString(1, 0x100A, false).GetMessage(), "1.4.2");

    ASSERT_TRUE(corvane->putDeviceInBootMode(1).GetResult());
    const std::vector<char> image(3000, 'f');
    EXPECT_TRUE(corvane->writeFileOverEtherCat(1, image, "firmware.bin").GetResult());
    ResultCharArray back = corvane->readFileOverEtherCat(1, "firmware.bin");
    EXPECT_EQ(back.getCharArray(), image);
    ASSERT_TRUE(corvane->putDeviceInInitMode(1).GetResult());
    EXPECT_TRUE(corvane->putDeviceFromBootToOpMode(1).GetResult());
    EXPECT_EQ(corvane->getOneDeviceState(0), DeviceStateOperational);

    corvane->closeHardware();
    EXPECT_EQ(corvane->getOneDeviceState(0), DeviceStateOther) << "closed: nothing answers";
}

}  // namespace
