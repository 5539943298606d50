#include "SimulatedDevice.h"

#include <cstdlib>
#include <fstream>
#include <thread>

#include "link/LinkState.h"
#include "link/LinkThread.h"
#include "logging/IoLinkLogger.h"

using namespace std::chrono_literals;

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

void SimulatedDevice::SetUp()
{
    savedWorkingDirectory = std::filesystem::current_path();
    std::filesystem::current_path(work.path());
    if (const char* previous = std::getenv("TMPDIR")) {
        savedTmpdir = previous;
    }
    setenv("TMPDIR", tmp.path().c_str(), 1);

    sim.startServing();
    const Result connected = lib.connectToMaster(sim.slavePath());
    ASSERT_TRUE(connected.getResult()) << connected.getMessage();
    const Result operating = lib.switchToIoLinkMode();
    ASSERT_TRUE(operating.getResult()) << operating.getMessage();
}

void SimulatedDevice::TearDown()
{
    // Whatever the test left running ends before the simulator goes away.
    (void)lib.stopCyclicCommunication();
    iolink::stopLinkThread();
    std::filesystem::current_path(savedWorkingDirectory);
    if (savedTmpdir) {
        setenv("TMPDIR", savedTmpdir->c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
}

void SimulatedDevice::awaitLinkIdle()
{
    EXPECT_TRUE(eventually([] { return iolink::linkState().ports[0].isduState == iolink::ISDU_IDLE; }, 30s));
}

void SimulatedDevice::setFirmwareFaults(const std::function<void(iolsim::FirmwareFaults&)>& change)
{
    sim.changeFaults([&](iolsim::FaultKnobs& knobs) { change(knobs.firmware); });
}

std::filesystem::path SimulatedDevice::writeFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    const auto file = files.path() / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file;
}

std::filesystem::path SimulatedDevice::updateFolder()
{
    std::vector<std::filesystem::path> made;
    for (const auto& entry : std::filesystem::directory_iterator(tmp.path())) {
        made.push_back(entry.path());
    }
    EXPECT_EQ(made.size(), 1u);
    return made.empty() ? std::filesystem::path() : made.front();
}

std::string SimulatedDevice::logText()
{
    // Lines reach the file through a buffered stream.
    iolinklog::ioLinkLogger()->flush();
    return readWholeFile(work.path() / "iolink.log");
}
