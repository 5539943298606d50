// Every entry is checked before the first byte is written, so a refused package leaves nothing
// behind. The size limit is checked twice: against the sizes the archive declares, and against
// the bytes actually inflated, since a crafted archive can declare anything.
#include "firmware/FirmwarePackage.h"

#include <zip.h>

#include <array>
#include <fstream>
#include <iostream>
#include <memory>
#include <system_error>

namespace iolink {

namespace {

constexpr size_t extractChunkBytes = 64 * 1024;

struct ZipCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipCloser>;

struct ZipFileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipEntry = std::unique_ptr<zip_file_t, ZipFileCloser>;

void reportExtractFailure()
{
    std::cerr << "mz_zip_reader_extract_to_file() failed, status was: 0" << std::endl;
}

// Checks names and declared sizes of all entries; false (with the cause on stderr) to refuse.
bool checkEntries(zip_t* archive, zip_int64_t count)
{
    uint64_t declaredBytes = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) != 0 ||
            (stat.valid & ZIP_STAT_NAME) == 0) {
            reportExtractFailure();
            return false;
        }
        if (!isPlainFileName(stat.name)) {
            std::cerr << "Refusing archive entry that would leave the target folder: " << stat.name << std::endl;
            return false;
        }
        if ((stat.valid & ZIP_STAT_SIZE) != 0) {
            declaredBytes += stat.size;
        }
        if (declaredBytes > MAX_EXTRACTED_BYTES) {
            std::cerr << "Archive exceeds the extraction limit of " << MAX_EXTRACTED_BYTES << " bytes" << std::endl;
            return false;
        }
    }
    return true;
}

// Inflates one entry into `target`, counting against the bytes the package may still write.
bool extractEntry(zip_t* archive, zip_uint64_t index, const std::string& target, uint64_t& bytesLeft)
{
    const ZipEntry entry(zip_fopen_index(archive, index, 0));
    if (!entry) {
        return false;
    }
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    std::array<char, extractChunkBytes> chunk;
    for (;;) {
        const zip_int64_t got = zip_fread(entry.get(), chunk.data(), chunk.size());
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break;
        }
        if (static_cast<uint64_t>(got) > bytesLeft) {
            std::cerr << "Archive exceeds the extraction limit of " << MAX_EXTRACTED_BYTES << " bytes" << std::endl;
            return false;
        }
        bytesLeft -= static_cast<uint64_t>(got);
        out.write(chunk.data(), static_cast<std::streamsize>(got));
        if (!out) {
            return false;
        }
    }
    out.close();
    return static_cast<bool>(out);
}

} // namespace

bool isPlainFileName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    return name.find_first_of("/\\:") == std::string_view::npos;
}

int extractArchive(const std::string& packagePath, const std::string& folder)
{
    int openError = 0;
    const ZipArchive archive(zip_open(packagePath.c_str(), ZIP_RDONLY, &openError));
    if (!archive) {
        std::cerr << "mz_zip_reader_init_file() failed!" << std::endl;
        return 1;
    }
    std::string prefix = folder;
    if (prefix.empty() || prefix.back() != std::filesystem::path::preferred_separator) {
        prefix += std::filesystem::path::preferred_separator;
    }
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0 || !checkEntries(archive.get(), count)) {
        return 1;
    }
    uint64_t bytesLeft = MAX_EXTRACTED_BYTES;
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const char* name = zip_get_name(archive.get(), index, 0);
        if (name == nullptr) {
            reportExtractFailure();
            return 1;
        }
        const std::string target = prefix + name;
        std::cout << "Filename: " << name << " to " << target << std::endl;
        if (!extractEntry(archive.get(), index, target, bytesLeft)) {
            reportExtractFailure();
            // A cut-off entry is of no use to anyone and may be large.
            std::error_code ignored;
            std::filesystem::remove(target, ignored);
            return 1;
        }
    }
    return 0;
}

Result unpackFirmwarePackage(const std::filesystem::path& package, const std::filesystem::path& folder)
{
    std::error_code error;
    if (!std::filesystem::exists(package, error)) {
        return Result(false, "Firmware file not found: " + package.string());
    }
    if (extractArchive(package.string(), folder.string()) != 0) {
        return Result(false, "Error unzipping firmware-file: " + package.string());
    }
    return Result(true, "");
}

} // namespace iolink
