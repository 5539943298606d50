// A folder of the test's own under the system temporary folder, removed when it goes.
#pragma once

#include <filesystem>
#include <string>

class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& prefix = "fsn-test");
    ~TemporaryFolder();

    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return folder; }

private:
    std::filesystem::path folder;
};

// Whole content of a file, empty when it cannot be read.
std::string readWholeFile(const std::filesystem::path& file);
