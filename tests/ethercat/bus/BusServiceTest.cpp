// The bus service against a simulated segment in the test's own process: opening and describing
// the devices, the start to OPERATIONAL with its cycle, state switches, object dictionary, FoE
// and EEPROM, with the log lines the operations write and the refusals the simulator makes.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "CapturedLog.h"
#include "Corvane.h"
#include "DeviceState.h"
#include "OwnVendor.h"
#include "SimulatedBus.h"
#include "ethercat.h"

using ecsim::RefusalStyle;
using ecsim::TransferKind;

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

class BusService : public ::testing::Test {
protected:
    static void SetUpTestSuite() { useTemporaryLogFolder(); }

    void SetUp() override
    {
        corvane = std::make_unique<Corvane>();
        corvane->setLoggingLevel(Debug);
    }

    void TearDown() override
    {
        if (corvane) {
            corvane->closeHardware();
        }
    }

    // own device, foreign CoE device, plain digital I/O: positions 1, 2, 3
    static std::vector<ecsim::DeviceProfile> mixedBus()
    {
        return {ecsim::ownDeviceProfile(1), ecsim::foreignCoeProfile(1), ecsim::digitalIoProfile(1)};
    }

    void open(bool collect = true)
    {
        Result opened = corvane->openHardware(simulatedAdapter, collect);
        ASSERT_TRUE(opened.GetResult()) << opened.GetMessage();
    }

    void startToOperational()
    {
        Result started = corvane->startBusToOperational();
        ASSERT_TRUE(started.GetResult()) << started.GetMessage() << "\n" << log.text();
    }

    SimulatedBus bus{mixedBus()};
    std::unique_ptr<Corvane> corvane;
    CapturedLog log;
};

TEST_F(BusService, OpensEnumeratesAndDescribesEveryDevice)
{
    bus.segment().setObjectValue(1, 0x4040, 0, bytesOf("  123  "));
    Result opened = corvane->openHardware(simulatedAdapter, true);
    EXPECT_TRUE(opened.GetResult());
    EXPECT_EQ(opened.GetMessage(), "Hardware open.");
    EXPECT_TRUE(log.has('D', "3 slaves found and configured"));
    EXPECT_TRUE(log.has('D', "Hardware sim open"));
    EXPECT_EQ(log.count('D', "Switch from PRE-OP back into INIT state"), 3u);

    const auto devices = corvane->getEtherCatDeviceList();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(corvane->getDeviceIdList(), (std::vector<int>{1, 2, 3}));
    for (uint16_t i = 0; i < 3; ++i) {
        EXPECT_EQ(devices[i].getDeviceNumber(), i + 1);
        EXPECT_EQ(devices[i].getDeviceAddress(), 0x1001 + i);
        EXPECT_EQ(devices[i].getVendorId(), bus.segment().profile(i + 1).vendorId);
    }
    const auto& own = devices[0];
    EXPECT_EQ(own.getVendorId(), OWN_VENDOR_ID);
    EXPECT_EQ(own.getName(), bus.segment().profile(1).name);
    const auto uniqueBytes = *bus.segment().objectValue(1, 0x4041, 0);
    std::string expectedId = Corvane::bytesToHex(uniqueBytes.data(), uniqueBytes.size());
    for (char& c : expectedId) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(own.getUniqueId(), expectedId);
    EXPECT_EQ(own.getSerialNumber(), "123");
    EXPECT_EQ(own.getFirmwareVersion(), "1.4.2");

    const auto& foreign = devices[1];
    EXPECT_EQ(foreign.getName(), bus.segment().profile(2).name);
    EXPECT_EQ(foreign.getUniqueId(), "TMPNUMBER_0X00000000");
    EXPECT_EQ(foreign.getSerialNumber(), "unknown serial number");
    EXPECT_EQ(foreign.getFirmwareVersion(), "unknown firmware version");

    const auto& io = devices[2];
    EXPECT_EQ(io.getName(), "unknown device") << "no mailbox, no name object";
    EXPECT_EQ(io.getUniqueId(), "TMPNUMBER_0X00000001");

    for (size_t position = 1; position <= 3; ++position) {
        EXPECT_EQ(bus.segment().status(position).alStatus, EC_STATE_INIT) << position;
    }
}

TEST_F(BusService, SecondOpenChangesNothing)
{
    open(false);
    EXPECT_TRUE(corvane->getEtherCatDeviceList().empty()) << "no collection was asked for";
    EXPECT_EQ(corvane->getDeviceIdList().size(), 3u);
    const uint64_t before = bus.framesSent();
    Result again = corvane->openHardware("some-other-adapter", true);
    EXPECT_TRUE(again.GetResult());
    EXPECT_EQ(again.GetMessage(), "Hardware already open.");
    EXPECT_TRUE(log.has('D', "Hardware some-other-adapter already open"));
    EXPECT_EQ(bus.framesSent(), before);
}

TEST_F(BusService, UnknownAdapterFailsToOpen)
{
    Result opened = corvane->openHardware("no-such-adapter", true);
    EXPECT_FALSE(opened.GetResult());
    EXPECT_EQ(opened.GetMessage(), "Not able to load WinPCAP driver, try excecuting as root.");
    EXPECT_TRUE(log.has('W', "Not able to load WinPCAP driver for ethernet device no-such-adapter, try excecuting as root"));
}

TEST_F(BusService, StartsToOperationalWithTheCycleRunning)
{
    open();
    startToOperational();
    EXPECT_TRUE(log.has('D', "All devices in OPERATIONAL"));
    EXPECT_TRUE(log.has('D', "Thread now running"));
    EXPECT_NE(corvane->cycleTimerId(), 0u);
    EXPECT_TRUE(corvane->isBusOperational());
    EXPECT_EQ(corvane->getOneDeviceState(0), DeviceStateOperational);
    for (uint16_t device = 1; device <= 3; ++device) {
        EXPECT_EQ(corvane->getOneDeviceState(device), DeviceStateOperational) << device;
    }
    // The own device got the minimal mapping: one 4-byte output and one 4-byte input.
    EXPECT_EQ(ec_slave[1].Obytes, 4u);
    EXPECT_EQ(ec_slave[1].Ibytes, 4u);
    ASSERT_FALSE(corvane->outputMappings().empty());
    const PdoMapping& ownOutputs = corvane->outputMappings().front();
    EXPECT_EQ(ownOutputs.deviceNumber, 1u);
    ASSERT_EQ(ownOutputs.entries.size(), 1u);
    EXPECT_EQ(ownOutputs.entries[0].index, 0x2400);
    EXPECT_EQ(ownOutputs.entries[0].subIndex, 0x20);
    EXPECT_EQ(ownOutputs.ioPointer, ec_slave[1].outputs);

    // Let the cycle run for a while: the devices stay in OPERATIONAL.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(corvane->getOneDeviceState(0), DeviceStateOperational);
}

TEST_F(BusService, SecondStartFailsButTheFirstCycleKeepsRunning)
{
    open();
    startToOperational();
    const uint32_t cycle = corvane->cycleTimerId();
    Result second = corvane->startBusToOperational();
    EXPECT_FALSE(second.GetResult());
    EXPECT_EQ(second.GetMessage(), "Thread already running");
    EXPECT_TRUE(log.has('D', "Reconfigure if not the first start"));
    EXPECT_TRUE(log.has('W', "Stop switch to OPERATIONAL"));
    EXPECT_EQ(corvane->cycleTimerId(), cycle);
    EXPECT_TRUE(corvane->isBusOperational());
}

TEST_F(BusService, RefusedOperationalIsReportedPerDevice)
{
    open();
    bus.segment().faults().refuseState(2, EC_STATE_OPERATIONAL, 0x001D);
    Result started = corvane->startBusToOperational();
    EXPECT_FALSE(started.GetResult());
    EXPECT_EQ(started.GetMessage(), "Not all slaves reached OPERATIONAL state.");
    EXPECT_TRUE(log.has('E', "Not all slaves reached OPERATIONAL state, stop execution"));
    EXPECT_TRUE(log.has('D', std::string("Slave 2; State= 20; statusCode = 29 : ") + ec_ALstatuscode2string(0x001D)))
        << log.text();
    EXPECT_EQ(corvane->cycleTimerId(), 0u) << "the cycle is stopped again";
    EXPECT_FALSE(corvane->isBusOperational());
}

TEST_F(BusService, BootstrapAndBackHandsTheEepromOver)
{
    open();
    startToOperational();
    Result boot = corvane->putDeviceInBootMode(1);
    EXPECT_TRUE(boot.GetResult()) << boot.GetMessage();
    EXPECT_EQ(boot.GetMessage(), "");
    EXPECT_EQ(corvane->cycleTimerId(), 0u);
    EXPECT_FALSE(corvane->isBusOperational());
    EXPECT_TRUE(bus.segment().status(1).eepromOfferedToPdi);
    EXPECT_EQ(corvane->getOneDeviceState(1), DeviceStateBootstrap);

    Result already = corvane->putDeviceInBootMode(1);
    EXPECT_EQ(already.GetMessage(), "Already in BOOT mode");

    // FoE files of this device are reachable in BOOTSTRAP only.
    const std::vector<char> image(10241, 'x');
    Result written = corvane->writeFileOverEtherCat(1, image, "firmware.bin");
    EXPECT_TRUE(written.GetResult()) << log.text();
    EXPECT_EQ(written.GetMessage(), "Writing file over ethercat...");
    EXPECT_EQ(bus.segment().file(1, "firmware.bin")->size(), image.size());
    ResultCharArray version = corvane->readFileOverEtherCat(1, "version.txt");
    EXPECT_TRUE(version.GetResult());
    const std::vector<char> versionBytes = version.getCharArray();
    EXPECT_EQ(std::string(versionBytes.begin(), versionBytes.end()), "1.4.2");

    Result init = corvane->putDeviceInInitMode(1);
    EXPECT_TRUE(init.GetResult()) << init.GetMessage();
    EXPECT_FALSE(bus.segment().status(1).eepromOfferedToPdi);
    EXPECT_EQ(corvane->getOneDeviceState(1), DeviceStateInit);
    EXPECT_EQ(corvane->putDeviceInInitMode(1).GetMessage(), "Already in INIT mode");

    Result back = corvane->putDeviceFromBootToOpMode(1);
    EXPECT_TRUE(back.GetResult());
    EXPECT_EQ(corvane->getOneDeviceState(0), DeviceStateOperational);
}

// Mailbox traffic needs PRE-OPERATIONAL or above; openHardware leaves the devices in INIT.
TEST_F(BusService, ObjectDictionaryReadsAndWrites)
{
    open();
    startToOperational();
    bus.segment().setObjectValue(1, 0x8000, 0, {0x2A, 0x00});
    ResultLong number = corvane->readOdNumberRaw(1, 0x8000, 0);
    EXPECT_TRUE(number.GetResult());
    EXPECT_EQ(number.GetMessage(), "Number read...");
    EXPECT_EQ(number.getLong(), 42);
    EXPECT_TRUE(log.has('D', "Read OD raw from device 1, index 32768, subindex 0"));
    EXPECT_TRUE(log.has('D', "Got value: 42"));

    bus.segment().setObjectValue(1, 0x2400, 1, {0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(corvane->readOdNumberRaw(1, 0x2400, 1).getLong(), -1);

    Result name = corvane->readOdString(1, 0x1008, false);
    EXPECT_EQ(name.GetMessage(), bus.segment().profile(1).name);
    bus.segment().setObjectValue(1, 0x4040, 0, {'a', 'b', 'c'});
    EXPECT_EQ(corvane->readOdString(1, 0x4040, true).GetMessage(), "616263");

    ResultLongArray array = corvane->readOdArray(1, 0x2400);
    EXPECT_TRUE(array.GetResult()) << log.text();
    EXPECT_EQ(array.getLongArray().size(), 0x20u);
    EXPECT_EQ(array.getLongArray()[0], 0xFFFFFFFFu);

    Result write = corvane->writeOdNumberRaw(1, 0x8000, 0, 2, 0x10305);
    EXPECT_TRUE(write.GetResult());
    EXPECT_EQ(write.GetMessage(), "Number written...");
    EXPECT_EQ(*bus.segment().objectValue(1, 0x8000, 0), (std::vector<uint8_t>{0x05, 0x03}));

    bus.segment().faults().abortSdo(1, 0x8000, 0, 0x06010002);
    Result aborted = corvane->writeOdNumberRaw(1, 0x8000, 0, 2, 7);
    EXPECT_FALSE(aborted.GetResult());
    EXPECT_EQ(aborted.GetMessage(), "Fail");
    EXPECT_FALSE(corvane->readOdNumberRaw(1, 0x8000, 0).GetResult());
}

TEST_F(BusService, GetDataTypePrintsTheTypeAndReadsTheListOnce)
{
    open();
    startToOperational();
    ::testing::internal::CaptureStdout();
    ResultInt type = corvane->getDataType(1, 0x8000, 0);
    const uint64_t afterFirst = bus.framesSent();
    corvane->getDataType(1, 0x8000, 0);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(type.GetResult());
    EXPECT_EQ(type.GetMessage(), "Device data type");
    EXPECT_EQ(type.getInt(), 0);
    EXPECT_NE(printed.find("UNSIGNED16\n"), std::string::npos) << printed;
    EXPECT_EQ(bus.framesSent(), afterFirst) << "a listed index needs no request";
}

TEST_F(BusService, EsiEepromWritesWordsAndReadsDoubleWords)
{
    open();
    Result written = corvane->writeEsiEeprom(2, 0x0010, {0x34, 0x12, 0x99});
    EXPECT_TRUE(written.GetResult());
    EXPECT_EQ(written.GetMessage(), "Eeprom written...");
    const auto eeprom = bus.segment().eeprom(2);
    EXPECT_EQ(eeprom[0x20], 0x34);
    EXPECT_EQ(eeprom[0x21], 0x12);
    EXPECT_NE(eeprom[0x22], 0x99) << "the odd byte is not written";

    // A controller that never acknowledges: five attempts, then "Fail".
    bus.segment().faults().refuseNext(2, TransferKind::Eeprom, 1000);
    Result refused = corvane->writeEsiEeprom(2, 0x0010, {1, 2});
    EXPECT_EQ(refused.GetMessage(), "Fail");
    EXPECT_TRUE(log.has('W', "Write ESI EEPROM failed, retries: 5, working counter 0")) << log.text();
    bus.segment().faults().clearAll();

    ResultLongArray read = corvane->readEsiEeprom(2, 0x0008, 4);
    ASSERT_EQ(read.getLongArray().size(), 4u);
    const uint32_t vendor = read.getLongArray()[0];
    EXPECT_EQ(vendor, bus.segment().profile(2).vendorId);
    EXPECT_TRUE(corvane->readEsiEeprom(2, 0x0008, 0).getLongArray().empty());
}

TEST_F(BusService, DeviceNumbersOffTheBusSendNothing)
{
    open();
    const uint64_t before = bus.framesSent();
    for (uint16_t device : {uint16_t{0}, uint16_t{4}, uint16_t{199}, uint16_t{200}, uint16_t{65535}}) {
        EXPECT_EQ(corvane->readOdNumberRaw(device, 0x1008, 0).GetMessage(), "Fail") << device;
        EXPECT_EQ(corvane->readOdString(device, 0x1008, false).GetMessage(), "Fail");
        EXPECT_EQ(corvane->readOdArray(device, 0x2400).GetMessage(), "Fail");
        EXPECT_EQ(corvane->writeOdNumberRaw(device, 0x8000, 0, 2, 1).GetMessage(), "Fail");
        EXPECT_EQ(corvane->writeFileOverEtherCat(device, {'a'}, "f").GetMessage(), "Fail");
        EXPECT_EQ(corvane->readFileOverEtherCat(device, "f").GetMessage(), "Fail");
        EXPECT_EQ(corvane->writeEsiEeprom(device, 0, {1, 2}).GetMessage(), "Fail");
        EXPECT_TRUE(corvane->readEsiEeprom(device, 0, 3).getLongArray().empty());
        EXPECT_EQ(corvane->readOutSlaveInformation(device, 0).GetMessage(), "Fail");
        if (device != 0) {
            EXPECT_EQ(corvane->getOneDeviceState(device), DeviceStateOther);
        }
        EXPECT_FALSE(corvane->putDeviceInBootMode(device).GetResult());
        EXPECT_FALSE(corvane->putDeviceInInitMode(device).GetResult());
        EXPECT_FALSE(corvane->putDeviceFromBootToOpMode(device).GetResult());
    }
    EXPECT_EQ(bus.framesSent(), before);
}

TEST_F(BusService, WriteSizesOutsideOneToFourSendNothing)
{
    open();
    const uint64_t before = bus.framesSent();
    for (int size : {0, -1, 5, 8}) {
        EXPECT_EQ(corvane->writeOdNumberRaw(1, 0x8000, 0, size, 1).GetMessage(), "Fail") << size;
    }
    EXPECT_EQ(bus.framesSent(), before);
}

TEST_F(BusService, LostDeviceIsSeenAndFoundAgain)
{
    open();
    startToOperational();
    bus.segment().faults().setSilent(3, true);
    EXPECT_EQ(corvane->getOneDeviceState(3), DeviceStateOther);
    bus.segment().faults().setSilent(3, false);
    Result init = corvane->putDeviceInInitMode(3);
    EXPECT_TRUE(init.GetResult()) << init.GetMessage() << log.text();
    EXPECT_EQ(corvane->getOneDeviceState(3), DeviceStateInit);
}

TEST_F(BusService, DeletingTheObjectStopsItsCycle)
{
    open();
    startToOperational();
    corvane->closeHardware();
    corvane.reset();
    // A second object on the same bus works on; the first one's timer is gone.
    corvane = std::make_unique<Corvane>();
    open();
    startToOperational();
    corvane.reset();  // with the cycle running
}

TEST(BusServiceClosed, OperationsWithoutAnOpenAdapterSendNothing)
{
    useTemporaryLogFolder();
    SimulatedBus bus({ecsim::ownDeviceProfile(1)});
    Corvane corvane;
    EXPECT_EQ(corvane.startBusToOperational().GetMessage(), "Hardware not open.");
    EXPECT_EQ(corvane.startBusToBoot().GetMessage(), "Hardware not open.");
    EXPECT_EQ(corvane.rescanBus(true).GetMessage(), "Hardware not open.");
    EXPECT_EQ(corvane.putDeviceInBootMode(1).GetMessage(), "Hardware not open.");
    EXPECT_EQ(corvane.readOdNumberRaw(1, 0x1008, 0).GetMessage(), "Fail");
    EXPECT_EQ(corvane.getOneDeviceState(0), DeviceStateOther);
    corvane.closeHardware();
    corvane.closeHardware();
    EXPECT_EQ(bus.framesSent(), 0u);
}

// Each transfer kind with the simulator refusing it n times: the operation keeps trying up to
// its attempt limit and no further.
struct RetryCase {
    const char* name;
    TransferKind kind;
    int attempts;
    bool inBootstrap;  // FoE files of the own device exist in BOOTSTRAP only
    bool (*run)(Corvane&);
};

bool readNumber(Corvane& c) { return c.readOdNumberRaw(1, 0x8000, 0).GetResult(); }
bool readText(Corvane& c) { return c.readOdString(1, 0x1008, false).GetResult(); }
bool readArray(Corvane& c) { return c.readOdArray(1, 0x2400).GetResult(); }
bool writeNumber(Corvane& c) { return c.writeOdNumberRaw(1, 0x8000, 0, 2, 3).GetResult(); }
bool writeFile(Corvane& c) { return c.writeFileOverEtherCat(1, {'a', 'b'}, "retry.bin").GetResult(); }
bool readFile(Corvane& c) { return c.readFileOverEtherCat(1, "version.txt").GetResult(); }

class RetryCounts : public BusService, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(RetryCounts, RefusalsUpToTheLimitAreRetried)
{
    const RetryCase& c = GetParam();
    open();
    startToOperational();
    if (c.inBootstrap) {
        ASSERT_TRUE(corvane->putDeviceInBootMode(1).GetResult());
    }
    for (int refused : {c.attempts - 1, c.attempts}) {
        bus.segment().faults().refuseNext(1, c.kind, static_cast<unsigned>(refused), RefusalStyle::NoWorkingCounter);
        EXPECT_EQ(c.run(*corvane), refused < c.attempts) << c.name << " refused " << refused << " times";
        bus.segment().faults().clearAll();
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, RetryCounts, ::testing::Values(
    RetryCase{"readOdNumberRaw", TransferKind::SdoUpload, 5, false, readNumber},
    RetryCase{"readOdString", TransferKind::SdoUpload, 15, false, readText},
    RetryCase{"readOdArray", TransferKind::SdoUpload, 5, false, readArray},
    RetryCase{"writeOdNumberRaw", TransferKind::SdoDownload, 5, false, writeNumber},
    RetryCase{"writeFileOverEtherCat", TransferKind::Foe, 5, true, writeFile},
    RetryCase{"readFileOverEtherCat", TransferKind::Foe, 5, true, readFile}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
