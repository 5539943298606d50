#include "firmware/FirmwareFolder.h"

#include <stdlib.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

namespace iolink {

std::filesystem::path makeFirmwareTempFolder()
{
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    const std::string pattern = (base / "iolink-firmware-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        throw std::filesystem::filesystem_error("create_directories", base,
                                                std::error_code(errno, std::generic_category()));
    }
    return std::filesystem::path(name.data());
}

} // namespace iolink
