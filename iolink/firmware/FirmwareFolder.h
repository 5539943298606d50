// The fresh folder a firmware package is unpacked into.
#pragma once

#include <filesystem>

namespace iolink {

// Creates a new folder with a unique name under the system temporary folder, atomically, so no
// other process can take the name between choosing and creating it. The folder is left behind
// after the update. Throws std::filesystem::filesystem_error when the temporary folder cannot be
// determined or the new one cannot be made.
std::filesystem::path makeFirmwareTempFolder();

} // namespace iolink
