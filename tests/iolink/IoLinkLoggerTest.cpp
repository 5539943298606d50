// The IO-Link log file, read back from disk. The logger belongs to the process and writes into
// the working directory, so the process moves into a fresh temporary folder first; tests that
// need a process whose logger does not exist yet skip when another test already created it (they
// all run in processes of their own under ctest).
#include <gtest/gtest.h>

#include <spdlog/spdlog.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "logging/IoLinkLogger.h"

namespace fs = std::filesystem;
using iolinklog::ioLinkLogger;
using iolinklog::setFileLoggingLevel;

namespace {

const char* const rangeMessage = "The given log-level is not in between 0 and 6 (both inclusive).";

class WorkingDirectoryInTemp : public testing::Environment {
public:
    void SetUp() override
    {
        previous = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "iolink-log-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        fs::current_path(folder);
    }

    void TearDown() override
    {
        fs::current_path(previous);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

private:
    fs::path previous;
    fs::path folder;
};

[[maybe_unused]] testing::Environment* const workingDirectory =
    testing::AddGlobalTestEnvironment(new WorkingDirectoryInTemp);

bool loggerExists()
{
    return spdlog::get(iolinklog::loggerName) != nullptr;
}

std::string readLogFile()
{
    std::ifstream file(iolinklog::logFileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The line with every digit replaced by 'D', so that a time stamp compares with a template.
std::string digitsMasked(std::string line)
{
    for (char& c : line) {
        if (c >= '0' && c <= '9') {
            c = 'D';
        }
    }
    return line;
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end + 2 - start));
    }
    EXPECT_EQ(start, text.size()) << "text after the last line end: " << text.substr(start);
    return lines;
}

#define REQUIRE_FRESH_PROCESS()                                                                    \
    do {                                                                                           \
        if (loggerExists()) {                                                                      \
            GTEST_SKIP() << "needs a process whose logger does not exist yet";                     \
        }                                                                                          \
    } while (false)

// Sees only what the test itself appended and leaves the level off again.
class IoLinkLogFile : public testing::Test {
protected:
    void SetUp() override
    {
        std::error_code missing;
        const auto size = fs::file_size(iolinklog::logFileName, missing);
        offset = missing ? 0 : static_cast<std::size_t>(size);
    }

    void TearDown() override
    {
        if (loggerExists()) {
            setFileLoggingLevel(6);
        }
    }

    std::string appended()
    {
        ioLinkLogger()->flush();
        return readLogFile().substr(offset);
    }

    std::size_t offset = 0;
};

TEST_F(IoLinkLogFile, IsOffUntilALevelIsSetYetCreatesTheFile)
{
    REQUIRE_FRESH_PROCESS();
    ASSERT_FALSE(fs::exists(iolinklog::logFileName));

    auto logger = ioLinkLogger();
    logger->critical("not written");
    logger->flush();

    EXPECT_TRUE(fs::exists(iolinklog::logFileName));
    EXPECT_EQ(readLogFile(), "");
    EXPECT_EQ(logger->level(), spdlog::level::off);
    EXPECT_EQ(logger->name(), "default_logger");
}

TEST_F(IoLinkLogFile, DebugLineHasDateTimeLevelAndCrLf)
{
    ASSERT_TRUE(setFileLoggingLevel(1).getResult());
    ioLinkLogger()->debug("Send last blob");

    EXPECT_EQ(digitsMasked(appended()), "[DDDD-DD-DD DD:DD:DD.DDD][debug] Send last blob\r\n");
}

TEST_F(IoLinkLogFile, AppendsToTheLinesOfEarlierRuns)
{
    REQUIRE_FRESH_PROCESS();
    std::ofstream(iolinklog::logFileName, std::ios::binary) << "earlier run\r\n";

    ASSERT_TRUE(setFileLoggingLevel(1).getResult());
    ioLinkLogger()->debug("this run");
    ioLinkLogger()->flush();

    const std::string text = readLogFile();
    EXPECT_EQ(text.rfind("earlier run\r\n[", 0), 0u) << text;
    EXPECT_NE(text.find("[debug] this run\r\n"), std::string::npos) << text;
}

TEST_F(IoLinkLogFile, AFailedOpenIsThrownAndRetriedOnTheNextCall)
{
    REQUIRE_FRESH_PROCESS();
    fs::create_directory(iolinklog::logFileName); // a folder in the way of the file

    try {
        setFileLoggingLevel(1);
        ADD_FAILURE() << "the logger was created over a folder";
    } catch (const spdlog::spdlog_ex& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Failed opening file iolink.log for writing", 0), 0u) << e.what();
    }
    EXPECT_FALSE(loggerExists());

    fs::remove(iolinklog::logFileName);
    EXPECT_TRUE(setFileLoggingLevel(1).getResult());
    EXPECT_TRUE(loggerExists());
}

TEST_F(IoLinkLogFile, ConcurrentFirstUseCreatesOneLogger)
{
    REQUIRE_FRESH_PROCESS();
    constexpr int threadCount = 8;
    std::vector<std::shared_ptr<spdlog::logger>> seen(threadCount);
    std::vector<std::string> errors(threadCount);
    std::vector<std::thread> threads;
    for (int i = 0; i < threadCount; ++i) {
        threads.emplace_back([&, i] {
            try {
                seen[i] = ioLinkLogger();
            } catch (const std::exception& e) {
                errors[i] = e.what();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < threadCount; ++i) {
        EXPECT_EQ(errors[i], "");
        EXPECT_EQ(seen[i], spdlog::get(iolinklog::loggerName));
    }
}

// Each level writes the lines at or above it, under spdlog's level names.
class IoLinkLogLevel : public IoLinkLogFile, public testing::WithParamInterface<int32_t> {};

TEST_P(IoLinkLogLevel, WritesOnlyLinesAtOrAboveTheLevel)
{
    const int32_t level = GetParam();
    const Result result = setFileLoggingLevel(level);
    ASSERT_TRUE(result.getResult());
    EXPECT_EQ(result.getMessage(), "success");

    auto logger = ioLinkLogger();
    logger->trace("line 0");
    logger->debug("line 1");
    logger->info("line 2");
    logger->warn("line 3");
    logger->error("line 4");
    logger->critical("line 5");

    const char* const names[] = {"trace", "debug", "info", "warning", "error", "critical"};
    std::vector<std::string> expected;
    for (int32_t written = level; written < 6; ++written) {
        expected.push_back("][" + std::string(names[written]) + "] line " + std::to_string(written) + "\r\n");
    }
    const std::vector<std::string> lines = splitLines(appended());
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(digitsMasked(lines[i].substr(0, 24)), "[DDDD-DD-DD DD:DD:DD.DDD") << lines[i];
        EXPECT_EQ(lines[i].substr(24), expected[i]) << lines[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, IoLinkLogLevel, testing::Range(0, 7));

class IoLinkLogLevelOutOfRange : public IoLinkLogFile, public testing::WithParamInterface<int32_t> {};

TEST_P(IoLinkLogLevelOutOfRange, FailsAndChangesNothing)
{
    const bool fresh = !loggerExists();
    const Result refused = setFileLoggingLevel(GetParam());
    EXPECT_FALSE(refused.getResult());
    EXPECT_EQ(refused.getMessage(), rangeMessage);
    if (fresh) {
        EXPECT_FALSE(loggerExists());
        EXPECT_FALSE(fs::exists(iolinklog::logFileName));
    }

    ASSERT_TRUE(setFileLoggingLevel(2).getResult());
    EXPECT_FALSE(setFileLoggingLevel(GetParam()).getResult());
    EXPECT_EQ(ioLinkLogger()->level(), spdlog::level::info);
}

INSTANTIATE_TEST_SUITE_P(Levels, IoLinkLogLevelOutOfRange, testing::Values(7, 8, -1, INT32_MIN, INT32_MAX));

} // namespace
