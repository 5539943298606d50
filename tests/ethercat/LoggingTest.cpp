// The bus library's log as it lands in the real files and on the console.
// ctest runs each test in a process of its own, so each one meets a logger that its own
// construction created; tests that need exactly that say so and skip when run otherwise.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include "Corvane.h"
#include "TemporaryFolder.h"
#include "logging/LogFolder.h"
#include "logging/Logger.h"

namespace fs = std::filesystem;

namespace {

bool loggerExists()
{
    return spdlog::get("cpplogger") != nullptr;
}

class BusLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!loggerExists()) {
            setenv("appdata", appData.path().c_str(), 1);
        }
        corvane = std::make_unique<Corvane>();
    }

    std::shared_ptr<spdlog::logger> logger() const { return tlog::Logger::getInstance().getLogger(); }

    fs::path logFile() const
    {
        auto file = std::dynamic_pointer_cast<spdlog::sinks::rotating_file_sink_mt>(logger()->sinks().at(1));
        return fs::path(file->filename());
    }

    std::string flushedLog() const
    {
        logger()->flush();
        return readWholeFile(logFile());
    }

    TemporaryFolder appData{"fsn-corvane-log"};
    std::unique_ptr<Corvane> corvane;
};

TEST_F(BusLog, LivesInTheApplicationDataFolder)
{
    if (getenv("appdata") != appData.path().string()) {
        GTEST_SKIP() << "needs a process of its own";
    }
    EXPECT_EQ(logFile(), appData.path() / "Tavelin/log/Corvane.log");
    EXPECT_TRUE(fs::exists(logFile()));
}

TEST_F(BusLog, RecordLayoutIsTimeLevelLetterAndMessageWithCrLf)
{
    corvane->setLoggingLevel(Debug);
    const uint8_t subindex = 5;
    const int workingCounter = -1;
    logger()->debug("Read OD raw from device {}, index {}, subindex {}", 1, 24640, subindex);
    logger()->warn("wkc {}", workingCounter);

    const std::string log = flushedLog();
    EXPECT_TRUE(std::regex_search(log,
        std::regex(R"((^|\n)\[\d\d:\d\d:\d\d\.\d{6}\] \[D\] Read OD raw from device 1, index 24640, subindex 5\r\n)")))
        << log;
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(\] \[W\] wkc -1\r\n)"))) << log;
}

TEST_F(BusLog, DefaultLevelIsInfo)
{
    if (getenv("appdata") != appData.path().string()) {
        GTEST_SKIP() << "needs a process of its own";
    }
    logger()->debug("debug-hidden-by-default");
    logger()->info("info-shown-by-default");
    logger()->warn("warning-shown-by-default");
    const std::string log = flushedLog();
    EXPECT_EQ(log.find("debug-hidden-by-default"), std::string::npos);
    EXPECT_NE(log.find("info-shown-by-default"), std::string::npos);
    EXPECT_NE(log.find("warning-shown-by-default"), std::string::npos);
}

struct LevelCase {
    int level;
    const char* written;  // letters of the records that must reach the file, from T D I W E
};

class BusLogLevels : public BusLog, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(BusLogLevels, LevelDecidesWhatReachesTheFile)
{
    const LevelCase& c = GetParam();
    corvane->setLoggingLevel(static_cast<LogLevel>(c.level));
    const std::string tag = "level-" + std::to_string(c.level) + "-";
    logger()->trace("{}T", tag);
    logger()->debug("{}D", tag);
    logger()->info("{}I", tag);
    logger()->warn("{}W", tag);
    logger()->error("{}E", tag);
    const std::string log = flushedLog();
    for (char letter : std::string("TDIWE")) {
        const bool expected = std::string(c.written).find(letter) != std::string::npos;
        EXPECT_EQ(log.find(tag + letter) != std::string::npos, expected) << "record " << letter;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BusLogLevels, ::testing::Values(
    LevelCase{Off, ""}, LevelCase{Trace, "TDIWE"}, LevelCase{Debug, "DIWE"},
    LevelCase{Info, "IWE"}, LevelCase{Warn, "WE"}, LevelCase{Error, "E"}),
    [](const auto& testInfo) { return "level" + std::to_string(testInfo.param.level); });

TEST_F(BusLog, LevelsOutsideTheEnumerationChangeNothing)
{
    corvane->setLoggingLevel(Warn);
    for (int notALevel : {6, -1, 7, 1000}) {
        corvane->setLoggingLevel(static_cast<LogLevel>(notALevel));
        EXPECT_EQ(logger()->level(), spdlog::level::warn) << notALevel;
    }
}

TEST_F(BusLog, TraceReachesTheFileButNeverTheConsole)
{
    corvane->setLoggingLevel(Trace);
    ::testing::internal::CaptureStdout();
    logger()->trace("trace-record-marker");
    logger()->debug("debug-record-marker");
    logger()->flush();
    const std::string console = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(console.find("trace-record-marker"), std::string::npos) << console;
    EXPECT_NE(console.find("debug-record-marker"), std::string::npos) << console;

    const std::string log = flushedLog();
    EXPECT_NE(log.find("trace-record-marker"), std::string::npos);
    EXPECT_NE(log.find("debug-record-marker"), std::string::npos);
}

TEST_F(BusLog, ErrorRecordsAreFlushedAtOnce)
{
    corvane->setLoggingLevel(Debug);
    logger()->error("error-flushed-marker");
    // Read without flushing: only flush-on-error can have put it there.
    EXPECT_NE(readWholeFile(logFile()).find("error-flushed-marker"), std::string::npos);
}

TEST_F(BusLog, FileRotatesAtItsSizeKeepingThreeOlderFiles)
{
    corvane->setLoggingLevel(Info);
    const std::string filler(200, 'x');
    for (int i = 0; i < 6500; ++i) {  // about five files' worth
        logger()->info("{} {}", i, filler);
    }
    logger()->flush();
    const fs::path folder = logFile().parent_path();
    for (const char* name : {"Corvane.log", "Corvane.1.log", "Corvane.2.log", "Corvane.3.log"}) {
        ASSERT_TRUE(fs::exists(folder / name)) << name;
        EXPECT_LE(fs::file_size(folder / name), 256000u) << name;
    }
    EXPECT_FALSE(fs::exists(folder / "Corvane.4.log"));
    EXPECT_NE(readWholeFile(logFile()).find("6499 " + filler), std::string::npos);
}

TEST_F(BusLog, SecondObjectSharesFileAndLevel)
{
    corvane->setLoggingLevel(Info);
    logger()->info("written-before-second-object");
    auto second = std::make_unique<Corvane>();
    EXPECT_NE(flushedLog().find("written-before-second-object"), std::string::npos);

    // A level set through one object governs what the other writes.
    corvane->setLoggingLevel(Debug);
    second->probeWinPcapDriver();
    EXPECT_NE(flushedLog().find("] [D] Probe WinPcap driver\r\n"), std::string::npos);

    second->setLoggingLevel(Off);
    const std::string before = flushedLog();
    corvane->probeWinPcapDriver();
    logger()->error("error-while-off");
    EXPECT_EQ(flushedLog(), before);
}

TEST(BusLogSetUp, FailureLeavesNoLoggerAndTheNextAttemptSucceeds)
{
    if (loggerExists()) {
        GTEST_SKIP() << "needs a process of its own";
    }
    TemporaryFolder folder("fsn-corvane-badlog");
    const fs::path blocker = folder.path() / "not-a-folder";
    std::ofstream(blocker) << "a file where the log folder should go";

    setenv("appdata", blocker.c_str(), 1);
    try {
        Corvane corvane;
        FAIL() << "construction should fail";
    } catch (const fs::filesystem_error& error) {
        EXPECT_EQ(error.code(), std::errc::not_a_directory);
        EXPECT_NE(std::string(error.what()).find("create_directories"), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find(blocker.string()), std::string::npos) << error.what();
    }
    EXPECT_FALSE(loggerExists());

    setenv("appdata", folder.path().c_str(), 1);
    Corvane corvane;
    EXPECT_TRUE(fs::exists(folder.path() / "Tavelin/log/Corvane.log"));
}

struct FolderCase {
    const char* appData;
    const char* xdgDataHome;
    const char* home;
    const char* folder;
};

class LogFolderChoice : public ::testing::TestWithParam<FolderCase> {
protected:
    static void put(const char* name, const char* value)
    {
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
};

TEST_P(LogFolderChoice, FollowsTheEnvironment)
{
    const FolderCase& c = GetParam();
    const std::string saved[] = {getenv("appdata") ? getenv("appdata") : "",
                                 getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "",
                                 getenv("HOME") ? getenv("HOME") : ""};
    put("appdata", c.appData);
    put("XDG_DATA_HOME", c.xdgDataHome);
    put("HOME", c.home);
    EXPECT_EQ(tlog::logFolderText(), c.folder);
    put("appdata", saved[0].empty() ? nullptr : saved[0].c_str());
    put("XDG_DATA_HOME", saved[1].empty() ? nullptr : saved[1].c_str());
    put("HOME", saved[2].empty() ? nullptr : saved[2].c_str());
}

INSTANTIATE_TEST_SUITE_P(Cases, LogFolderChoice, ::testing::Values(
    FolderCase{"/data/app", "/data/xdg", "/home/u", "/data/app/Tavelin/log/"},
    FolderCase{nullptr, "/data/xdg", "/home/u", "/data/xdg/Tavelin/log/"},
    FolderCase{"", "/data/xdg", "/home/u", "/data/xdg/Tavelin/log/"},
    FolderCase{nullptr, nullptr, "/home/u", "/home/u/.local/share/Tavelin/log/"},
    FolderCase{nullptr, nullptr, nullptr, "."}),
    [](const auto& testInfo) { return "case" + std::to_string(testInfo.index); });

}  // namespace
