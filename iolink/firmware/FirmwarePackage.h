// Unpacking a firmware package (a zip archive) into its temporary folder. Entries are written
// flat, by their stored names; an entry that could land anywhere but directly inside the folder,
// or a package that would unpack to more than MAX_EXTRACTED_BYTES, is refused as a whole.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "link/Result.h"

namespace iolink {

// Far above any device image (a few hundred KiB), far below what would trouble a disk.
inline constexpr uint64_t MAX_EXTRACTED_BYTES = 64ull * 1024 * 1024;

// A name that stays inside a folder when joined to it: not empty, not "." or "..", no '/' or
// '\\', no ':' (a drive, or an alternate stream on Windows).
bool isPlainFileName(std::string_view name);

// 0 when every entry was extracted, 1 otherwise. Reports each entry on standard output and the
// cause of a failure on standard error.
int extractArchive(const std::string& packagePath, const std::string& folder);

// The package must exist and unpack completely into `folder`.
Result unpackFirmwarePackage(const std::filesystem::path& package, const std::filesystem::path& folder);

} // namespace iolink
