#include "TemporaryFolder.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

TemporaryFolder::TemporaryFolder(const std::string& prefix)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed for " + pattern);
    }
    folder = buffer.data();
}

TemporaryFolder::~TemporaryFolder()
{
    if (std::getenv("FSN_KEEP_TEMP") == nullptr) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
}

std::string readWholeFile(const std::filesystem::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream content;
    content << stream.rdbuf();
    return content.str();
}
