// IoLinkLib connected to the simulated master and device over a real pseudo-terminal, with the
// port in IO-Link operate. The link is process-wide: one fixture per process (ctest runs each
// test in a process of its own). The process's working directory (where the log file goes) and
// TMPDIR (where updates unpack) are folders of the test's own while it runs.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "TemporaryFolder.h"
#include "link/IoLinkLib.h"
#include "sim/iolink/Simulator.h"

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

class SimulatedDevice : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Waits until no parameter request is under way on the link (an abort that was only queued
    // has gone through), so that the next operation is not refused.
    void awaitLinkIdle();
    // The device's answers go through these knobs.
    void setFirmwareFaults(const std::function<void(iolsim::FirmwareFaults&)>& change);

    std::filesystem::path writeFile(const std::string& name, const std::vector<uint8_t>& bytes);
    // The one folder a firmware update made under TMPDIR.
    std::filesystem::path updateFolder();
    std::string logText();

    TemporaryFolder work{"fsn-fw-work"};
    TemporaryFolder tmp{"fsn-fw-tmpdir"};
    TemporaryFolder files{"fsn-fw-files"};
    iolsim::Simulator sim;
    IoLinkLib lib;

private:
    std::filesystem::path savedWorkingDirectory;
    std::optional<std::string> savedTmpdir;
};
