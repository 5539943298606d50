// Nicprime as a user runs it: a process of its own, its exit status and its standard error.
#include <gtest/gtest.h>

#include <spawn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TemporaryFolder.h"

extern char** environ;

namespace {

struct Outcome {
    int exitStatus = -1;
    std::string standardOutput;
    std::string standardError;
};

// Runs Nicprime with the fake capture library preloaded in the given mode.
Outcome runPrimer(const std::string& fakeMode)
{
    TemporaryFolder folder("fsn-nicprime");
    const std::string out = (folder.path() / "out").string();
    const std::string err = (folder.path() / "err").string();

    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        environment.emplace_back(*entry);
    }
    std::string preload = std::string("LD_PRELOAD=") + FAKE_PCAP_LIBRARY;
    if (const char* existing = getenv("LD_PRELOAD")) {
        preload += std::string(":") + existing;
    }
    environment.push_back(preload);
    environment.push_back("FSN_FAKE_PCAP=" + fakeMode);
    // A sanitizer build of Nicprime complains when its runtime is not first in line.
    environment.push_back("ASAN_OPTIONS=verify_asan_link_order=0");
    std::vector<char*> envp;
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    char program[] = NICPRIME_PROGRAM;
    char* argv[] = {program, nullptr};
    pid_t child = 0;
    Outcome outcome;
    if (posix_spawn(&child, program, &actions, nullptr, argv, envp.data()) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    outcome.standardOutput = readWholeFile(out);
    outcome.standardError = readWholeFile(err);
    return outcome;
}

struct PrimerCase {
    const char* fakeMode;
    int exitStatus;
    const char* standardError;
};

class Nicprime : public ::testing::TestWithParam<PrimerCase> {};

TEST_P(Nicprime, ExitsWithTheCaptureLibrarysVerdict)
{
    const PrimerCase& c = GetParam();
    const Outcome outcome = runPrimer(c.fakeMode);
    EXPECT_EQ(outcome.exitStatus, c.exitStatus);
    EXPECT_EQ(outcome.standardError, c.standardError);
    EXPECT_EQ(outcome.standardOutput, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, Nicprime, ::testing::Values(
    PrimerCase{"empty", 0, ""},
    PrimerCase{"list", 0, ""},
    PrimerCase{"real", 0, ""},
    // -1 from main is exit status 255
    PrimerCase{"fail", 255, "Error in pcap_findalldevs_ex: simulated capture library failure\n"}),
    [](const auto& testInfo) { return std::string(testInfo.param.fakeMode); });

}  // namespace
