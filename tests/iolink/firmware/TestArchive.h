// Zip archives made at run time for the tests, including ones no honest tool would write:
// entry names that climb out of a folder, and entries whose declared size lies.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct ArchiveEntry {
    std::string name;  // stored as given, separators and all
    std::string content;
};

// Writes a deflated archive; throws std::runtime_error when libzip refuses.
void writeArchive(const std::filesystem::path& file, const std::vector<ArchiveEntry>& entries);

// Rewrites the uncompressed size of every entry, in the local headers and the central directory,
// to `declaredBytes`: the archive then claims less than it inflates to.
void understateEntrySizes(const std::filesystem::path& file, uint32_t declaredBytes);

// Regular files directly inside `folder`, sorted by name.
std::vector<std::string> filesIn(const std::filesystem::path& folder);
