#include "TestArchive.h"

#include <zip.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

uint32_t readU32(const std::string& bytes, size_t at)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

void writeU32(std::string& bytes, size_t at, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>(value >> (8 * i));
    }
}

} // namespace

void writeArchive(const std::filesystem::path& file, const std::vector<ArchiveEntry>& entries)
{
    int error = 0;
    zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) {
        throw std::runtime_error("zip_open failed: " + std::to_string(error));
    }
    for (const ArchiveEntry& entry : entries) {
        // libzip keeps the buffer until zip_close, so it must not be a temporary.
        zip_source_t* source = zip_source_buffer(archive, entry.content.data(), entry.content.size(), 0);
        if (source == nullptr || zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
            const std::string why = zip_strerror(archive);
            zip_source_free(source);
            zip_discard(archive);
            throw std::runtime_error("cannot add " + entry.name + ": " + why);
        }
    }
    if (zip_close(archive) != 0) {
        const std::string why = zip_strerror(archive);
        zip_discard(archive);
        throw std::runtime_error("zip_close failed: " + why);
    }
}

void understateEntrySizes(const std::filesystem::path& file, uint32_t declaredBytes)
{
    std::string bytes;
    {
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    for (size_t at = 0; at + 46 <= bytes.size(); ++at) {
        const uint32_t signature = readU32(bytes, at);
        if (signature == 0x04034b50) {
            writeU32(bytes, at + 22, declaredBytes); // local header
        } else if (signature == 0x02014b50) {
            writeU32(bytes, at + 24, declaredBytes); // central directory
        }
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> filesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}
