// The master on a pseudo-terminal, reached the way a client reaches a serial port: in process
// through Simulator::startServing(), and as the iolink-sim program.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "SimClient.h"

extern char** environ;

namespace iolsim::test {
namespace {

using namespace std::chrono_literals;

// Opens the terminal as the library's serial port does: exclusive, raw 115200 8N1, purged.
int openLikeAClient(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return -1;
    termios t{};
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0 || tcgetattr(fd, &t) != 0) {
        ::close(fd);
        return -1;
    }
    cfmakeraw(&t);
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &t);
    tcflush(fd, TCIOFLUSH);
    return fd;
}

bool readExactly(int fd, uint8_t* into, std::size_t count, int timeoutMs) {
    std::size_t done = 0;
    while (done < count) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return false;
        ssize_t n = ::read(fd, into + done, count - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// One frame by its length field; empty when none arrives within the time.
Bytes readFrame(int fd, int timeoutMs = 2000) {
    Bytes frame(2);
    if (!readExactly(fd, frame.data(), 2, timeoutMs)) return {};
    if (frame[1] < 2) {
        frame.resize(4);
        if (!readExactly(fd, frame.data() + 2, 2, timeoutMs)) return {};
    }
    std::size_t length = *announcedLength(frame);
    std::size_t have = frame.size();
    if (length < have) return frame;
    frame.resize(length);
    if (!readExactly(fd, frame.data() + have, length - have, timeoutMs)) return {};
    return frame;
}

bool writeAll(int fd, const Bytes& bytes) {
    return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

const Bytes kMasterConfig{0x02, 0x03, 0x01};

class PseudoTerminal : public ::testing::Test {
protected:
    void SetUp() override {
        sim.startServing();
        fd = openLikeAClient(sim.slavePath());
        ASSERT_GE(fd, 0) << sim.slavePath();
    }
    void TearDown() override {
        if (fd >= 0) ::close(fd);
    }
    Simulator sim;
    int fd = -1;
};

TEST_F(PseudoTerminal, RequestAndAnswerCrossTheTerminal) {
    EXPECT_EQ(sim.slavePath().rfind("/dev/pts/", 0), 0u);
    ASSERT_TRUE(writeAll(fd, kMasterConfig));
    EXPECT_EQ(readFrame(fd), request(Service::MasterConfig, {1, 0, 0, 0, 0}));
    ASSERT_TRUE(writeAll(fd, request(Service::MasterInfo, {9})));
    EXPECT_EQ(readFrame(fd), request(Service::MasterInfo, {9, 1}));
}

TEST_F(PseudoTerminal, FrameWrittenInPiecesIsAssembled) {
    Bytes config = portConfig(ModeCode::DigitalInput, 1, 0);
    ASSERT_TRUE(writeAll(fd, Bytes(config.begin(), config.begin() + 1)));
    std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(writeAll(fd, Bytes(config.begin() + 1, config.begin() + 20)));
    std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(writeAll(fd, Bytes(config.begin() + 20, config.end())));
    EXPECT_EQ(readFrame(fd), request(Service::WritePortConfig, {0, 0}));
    // Two requests in one write get two answers.
    Bytes both = kMasterConfig;
    Bytes info = request(Service::MasterInfo, {9});
    both.insert(both.end(), info.begin(), info.end());
    ASSERT_TRUE(writeAll(fd, both));
    EXPECT_EQ(readFrame(fd), request(Service::MasterConfig, {1, 0, 0, 0, 1}));
    EXPECT_EQ(readFrame(fd), request(Service::MasterInfo, {9, 1}));
}

TEST_F(PseudoTerminal, LineNoiseIsDroppedAndTheNextRequestFound) {
    // A partial frame that stops, and a header announcing an impossible length.
    ASSERT_TRUE(writeAll(fd, {0x0A, 0x20, 0x00}));
    std::this_thread::sleep_for(150ms);
    ASSERT_TRUE(writeAll(fd, kMasterConfig));
    EXPECT_EQ(readFrame(fd), request(Service::MasterConfig, {1, 0, 0, 0, 0}));
    ASSERT_TRUE(writeAll(fd, {0x55, 0x00, 0xFF, 0xFF, 0x12, 0x34}));
    std::this_thread::sleep_for(150ms);
    ASSERT_TRUE(writeAll(fd, kMasterConfig));
    EXPECT_EQ(readFrame(fd), request(Service::MasterConfig, {1, 0, 0, 0, 0}));
    EXPECT_GE(sim.statistics().ignored, 2u);
}

TEST_F(PseudoTerminal, ClientCanLeaveAndComeBack) {
    ASSERT_TRUE(writeAll(fd, kMasterConfig));
    ASSERT_FALSE(readFrame(fd).empty());
    ::close(fd);
    fd = -1;
    std::this_thread::sleep_for(250ms);  // the master lifts exclusive mode on a quiet line
    fd = openLikeAClient(sim.slavePath());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(writeAll(fd, kMasterConfig));
    EXPECT_EQ(readFrame(fd), request(Service::MasterConfig, {1, 0, 0, 0, 0}));
}

TEST_F(PseudoTerminal, SilentAndSlowMaster) {
    sim.changeFaults([](FaultKnobs& f) { f.silentMaster = true; });
    ASSERT_TRUE(writeAll(fd, kMasterConfig));
    EXPECT_TRUE(readFrame(fd, 200).empty());

    sim.changeFaults([](FaultKnobs& f) {
        f.silentMaster = false;
        f.answerDelayMs = 150;
    });
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(writeAll(fd, kMasterConfig));
    EXPECT_EQ(readFrame(fd), request(Service::MasterConfig, {1, 0, 0, 0, 0}));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
}

TEST_F(PseudoTerminal, WaitForPortSeesWhatTheClientDrives) {
    std::thread clientThread([this] {
        writeAll(fd, portConfig(ModeCode::IoLinkOperational, 2, 1));
        readFrame(fd);
        for (int i = 0; i < 20; ++i) {
            writeAll(fd, request(Service::ProcessData, {0, 0, 0}));
            readFrame(fd);
        }
    });
    EXPECT_TRUE(sim.waitForPort([](const PortView& v) { return v.phase == PortPhase::Operate; }, 5s));
    clientThread.join();
    EXPECT_FALSE(sim.waitForPort([](const PortView& v) { return v.phase == PortPhase::Inactive; }, 50ms));
}

TEST(PseudoTerminalLife, StopEndsServingAndARestartGetsANewTerminal) {
    Simulator sim;
    EXPECT_TRUE(sim.slavePath().empty());
    sim.startServing();
    EXPECT_TRUE(sim.isServing());
    std::string first = sim.slavePath();
    sim.stopServing();
    EXPECT_FALSE(sim.isServing());
    EXPECT_TRUE(sim.slavePath().empty());
    sim.startServing();
    EXPECT_FALSE(sim.slavePath().empty());
    int fd = openLikeAClient(sim.slavePath());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(writeAll(fd, kMasterConfig));
    EXPECT_FALSE(readFrame(fd).empty());
    ::close(fd);
    (void)first;
}

// The iolink-sim program with a pipe on its standard input and output.
struct Program {
    pid_t pid = 0;
    int out = -1;  // its standard output
    int in = -1;   // its standard input

    bool start(std::vector<std::string> args) {
        int o[2], i[2];
        if (pipe(o) != 0 || pipe(i) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, o[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, o[0]);
        posix_spawn_file_actions_adddup2(&actions, i[0], STDIN_FILENO);
        posix_spawn_file_actions_addclose(&actions, i[1]);
        std::string program = IOLINK_SIM_PROGRAM;
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        bool started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(o[1]);
        ::close(i[0]);
        out = o[0];
        in = i[1];
        return started;
    }
    std::string readLine(int timeoutMs = 5000) const {
        std::string line;
        char c = 0;
        pollfd p{out, POLLIN, 0};
        while (line.size() < 400 && ::poll(&p, 1, timeoutMs) > 0 && ::read(out, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }
    bool command(const std::string& line) const {
        std::string text = line + "\n";
        return ::write(in, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    // SIGTERM and the exit status; -1 when it did not stop.
    int stop() {
        if (in >= 0) ::close(in);
        in = -1;
        kill(pid, SIGTERM);
        int status = -1;
        for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; ++i) std::this_thread::sleep_for(50ms);
        if (!WIFEXITED(status)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            status = -1;
        } else {
            status = WEXITSTATUS(status);
        }
        ::close(out);
        return status;
    }
};

TEST(Program, ServesItsTerminalTakesCommandsAndStopsOnSigterm) {
    Program program;
    ASSERT_TRUE(program.start({"--vendor-id", "0x1234", "--initial-mode", "4", "--preoperate-after", "0",
                               "--operate-after", "0"}));
    std::string line = program.readLine();
    ASSERT_EQ(line.rfind("serving /dev/pts/", 0), 0u) << line;

    int fd = openLikeAClient(line.substr(8));
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(writeAll(fd, request(Service::ReadPortConfig, {0})));
    Bytes record = readFrame(fd);
    ASSERT_EQ(record.size(), kPortConfigRecordLength);
    EXPECT_EQ(record[3], static_cast<uint8_t>(ModeCode::IoLinkOperational));
    EXPECT_EQ(record[13] << 8 | record[14], 0x1234);
    ASSERT_TRUE(writeAll(fd, request(Service::ProcessData, {0, 0, 0})));
    EXPECT_EQ(readFrame(fd)[2], kStatusOperate);

    // Knobs and events from standard input, taken while serving.
    ASSERT_TRUE(program.command("set condition 5\nevent 2 1 0xff22"));
    Bytes pd;
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(writeAll(fd, request(Service::ProcessData, {0, 0, 0})));
        pd = readFrame(fd);
        ASSERT_FALSE(pd.empty());
        if ((pd[3] >> 4) == 5 && (pd[2] & kStatusEventPending)) break;
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(pd[3] >> 4, 5);
    EXPECT_EQ(pd[2], kStatusOperate | kStatusEventPending);
    ASSERT_TRUE(writeAll(fd, request(Service::EventRequest, {0})));
    EXPECT_EQ(readFrame(fd), request(Service::EventRequest, {0, 0, 0, 0, 2, 1, 0xFF, 0x22}));
    ::close(fd);

    int status = program.stop();
    ASSERT_NE(status, -1) << "iolink-sim did not stop on SIGTERM";
    EXPECT_EQ(status, 0);
}

// One ISDU request across the terminal: accepted, process-data cycles until the result is
// ready, then the result frame.
Bytes isduOverTerminal(int fd, const Bytes& isduRequest) {
    if (!writeAll(fd, isduRequest)) return {};
    Bytes accepted = readFrame(fd);
    if (accepted != request(Service::IsduRequest, {0, 0})) return accepted;
    for (int i = 0; i < 50; ++i) {
        if (!writeAll(fd, request(Service::ProcessData, {0, 0, 0}))) return {};
        Bytes pd = readFrame(fd);
        if (pd.size() > 3 && (pd[3] & 0x0F) >= kIsduResultReady) {
            writeAll(fd, request(Service::IsduResult, {0}));
            return readFrame(fd);
        }
    }
    return {};
}

TEST(Program, TakesTheFirmwareIdentityLimitsAndKnobs) {
    Program program;
    ASSERT_TRUE(program.start({"--initial-mode", "4", "--preoperate-after", "0", "--operate-after", "0",
                               "--hardware-id", "HW rev 9", "--vendor-id-object", "0x01020304",
                               "--start-in-bootloader", "--max-blob-size", "4096", "--max-segment-length", "64",
                               "--refuse-activations", "1", "--stay-in-bootloader"}));
    std::string line = program.readLine();
    ASSERT_EQ(line.rfind("serving /dev/pts/", 0), 0u) << line;
    int fd = openLikeAClient(line.substr(8));
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(writeAll(fd, request(Service::ProcessData, {0, 0, 0})));
    ASSERT_EQ(readFrame(fd)[2], kStatusOperate);

    auto readData = [](const Bytes& b) { return resultFrame(kResultReadData, b); };
    EXPECT_EQ(isduOverTerminal(fd, isduRead(0x43BE, 0)), readData({'H', 'W', ' ', 'r', 'e', 'v', ' ', '9'}));
    EXPECT_EQ(isduOverTerminal(fd, isduRead(0x1018, 1)), readData({1, 2, 3, 4}));
    EXPECT_EQ(isduOverTerminal(fd, isduRead(0x43BF, 0)), readData({1}));
    EXPECT_EQ(isduOverTerminal(fd, isduWrite(50, 0, {0xF1, 0x00, 0x01})), resultFrame(kResultWriteDone));
    EXPECT_EQ(isduOverTerminal(fd, isduRead(50, 0)), readData({0x11, 0, 0, 0x10, 0, 64}));
    // A one-byte firmware, activated: the first attempt refused, the second accepted but the
    // device stays in its bootloader.
    EXPECT_EQ(isduOverTerminal(fd, isduWrite(50, 0, {0x30, 0xAB})), resultFrame(kResultWriteDone));
    EXPECT_EQ(isduOverTerminal(fd, isduWrite(50, 0, {0x40, 0x12, 0x34, 0x56, 0x78})),
              errorResult(kResultWriteError, 0x8000));  // not the CRC of 0xAB
    const uint8_t one[] = {0xAB};
    const uint32_t crc = blobCrc(one);
    EXPECT_EQ(isduOverTerminal(fd, isduWrite(50, 0, {0x40, uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)})),
              resultFrame(kResultWriteDone));
    EXPECT_EQ(isduOverTerminal(fd, isduWrite(50, 0, {0xF2})), resultFrame(kResultWriteDone));
    EXPECT_EQ(isduOverTerminal(fd, isduWrite(2, 0, {0x53})), errorResult(kResultWriteError, 0x8036));
    EXPECT_EQ(isduOverTerminal(fd, isduWrite(2, 0, {0x53})), resultFrame(kResultWriteDone));
    EXPECT_EQ(isduOverTerminal(fd, isduRead(0x43BF, 0)), readData({1}));
    ASSERT_TRUE(program.command("set blob-info five\nfirmware"));
    line = program.readLine();
    EXPECT_EQ(line.rfind("mode bootloader entries 0 pending 1 activations 1/2 updates 0", 0), 0u) << line;
    EXPECT_EQ(isduOverTerminal(fd, isduWrite(50, 0, {0xF1, 0x10, 0x00})), resultFrame(kResultWriteDone));
    EXPECT_EQ(isduOverTerminal(fd, isduRead(50, 0)), readData({0x11, 0, 0, 0x10, 0}));
    ::close(fd);
    EXPECT_EQ(program.stop(), 0);
}

}  // namespace
}  // namespace iolsim::test
