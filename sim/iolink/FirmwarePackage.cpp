// Firmware packages written with libzip.
#include "sim/iolink/FirmwarePackage.h"

#include <zip.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace iolsim {

namespace {

std::string stemOf(const FirmwarePackageContents& contents) { return contents.path.stem().string(); }
std::string imageNameOf(const FirmwarePackageContents& contents) {
    return contents.imageName.empty() ? stemOf(contents) + ".bin" : contents.imageName;
}
std::string descriptionNameOf(const FirmwarePackageContents& contents) {
    return contents.descriptionName.empty() ? stemOf(contents) + ".xml" : contents.descriptionName;
}

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// A zip source of `size` zero bytes that never holds them in memory.
struct Zeros {
    uint64_t size = 0;
    uint64_t offset = 0;
    zip_error_t error{};
};

zip_int64_t zerosCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* z = static_cast<Zeros*>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN: z->offset = 0; return 0;
    case ZIP_SOURCE_READ: {
        zip_uint64_t n = std::min<zip_uint64_t>(length, z->size - z->offset);
        std::memset(data, 0, n);
        z->offset += n;
        return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE: return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = z->size;
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR: return zip_error_to_data(&z->error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&z->error);
        delete z;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        zip_error_set(&z->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

[[noreturn]] void fail(const std::string& what, zip_t* archive) {
    std::string message = what;
    if (archive) message += ": " + std::string(zip_strerror(archive));
    if (archive) zip_discard(archive);
    throw std::runtime_error(message);
}

}  // namespace

std::string firmwareDescription(const FirmwarePackageContents& contents) {
    using namespace fwxml;
    static const std::set<std::string> known = {kRoot,  kMetaInfo, kVendorId, kHardwareIdKeyCollection,
                                                kHardwareIdKey, kIdPattern, kBlob, kFileName};
    for (const auto& name : contents.omit)
        if (!known.count(name) && name != contents.rootName) throw std::invalid_argument("unknown element or attribute: " + name);
    auto kept = [&](const char* name) { return !contents.omit.count(name); };

    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    if (!kept(kRoot) || contents.omit.count(contents.rootName)) return x;
    x += "<" + contents.rootName + ">\n";
    if (kept(kMetaInfo)) {
        x += std::string("  <") + kMetaInfo;
        if (kept(kVendorId)) {
            std::string value = contents.vendorIdText.empty() ? std::to_string(contents.vendorId) : contents.vendorIdText;
            x += std::string(" ") + kVendorId + "=\"" + escape(value) + "\"";
        }
        x += ">\n";
        if (kept(kHardwareIdKeyCollection)) {
            x += std::string("    <") + kHardwareIdKeyCollection + ">\n";
            if (kept(kHardwareIdKey)) {
                x += std::string("      <") + kHardwareIdKey;
                if (kept(kIdPattern)) x += std::string(" ") + kIdPattern + "=\"" + escape(contents.hardwareId) + "\"";
                x += "/>\n";
                for (const auto& more : contents.moreHardwareIds)
                    x += std::string("      <") + kHardwareIdKey + " " + kIdPattern + "=\"" + escape(more) + "\"/>\n";
            }
            x += std::string("    </") + kHardwareIdKeyCollection + ">\n";
        }
        x += std::string("  </") + kMetaInfo + ">\n";
    }
    if (kept(kBlob)) {
        x += std::string("  <") + kBlob;
        if (kept(kFileName)) {
            std::string name = contents.blobFileName.empty() ? imageNameOf(contents) : contents.blobFileName;
            x += std::string(" ") + kFileName + "=\"" + escape(name) + "\"";
        }
        x += "/>\n";
    }
    x += "</" + contents.rootName + ">\n";
    return x;
}

WrittenPackage writeFirmwarePackage(const FirmwarePackageContents& contents) {
    if (contents.path.empty()) throw std::invalid_argument("no package path");
    WrittenPackage written;
    written.path = contents.path;
    written.description = firmwareDescription(contents);

    if (contents.notAZip) {
        const std::string junk = "This is not a zip archive; it only carries a .zip name.\n";
        std::ofstream out(contents.path, std::ios::binary | std::ios::trunc);
        out << junk;
        if (!out.flush()) throw std::runtime_error("cannot write " + contents.path.string());
        return written;
    }

    int error = 0;
    zip_t* archive = zip_open(contents.path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        std::string message = "cannot create " + contents.path.string() + ": " + zip_error_strerror(&e);
        zip_error_fini(&e);
        throw std::runtime_error(message);
    }

    // The buffers must stay put until zip_close(), which reads them.
    auto add = [&](const std::string& name, const void* data, uint64_t size, uint64_t zeros) {
        zip_source_t* source = nullptr;
        if (zeros > 0) {
            auto* z = new Zeros{zeros, 0, {}};
            zip_error_init(&z->error);
            source = zip_source_function(archive, zerosCallback, z);
            if (!source) {
                zip_error_fini(&z->error);
                delete z;
            }
        } else {
            source = zip_source_buffer(archive, data, size, 0);
        }
        if (!source) fail("cannot make a source for " + name, archive);
        zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            fail("cannot add " + name, archive);
        }
        if (zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), contents.compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0) != 0)
            fail("cannot set the compression of " + name, archive);
        written.entries.emplace_back(name, zeros > 0 ? zeros : size);
    };

    if (contents.withDescription)
        add(descriptionNameOf(contents), written.description.data(), written.description.size(), 0);
    if (contents.withImage) add(imageNameOf(contents), contents.image.data(), contents.image.size(), 0);
    for (const auto& e : contents.extraEntries) add(e.name, e.data.data(), e.data.size(), e.zeros);

    if (written.entries.empty()) {
        // libzip removes an archive without entries; write the empty archive itself: the end of
        // central directory record alone.
        zip_discard(archive);
        const char empty[22] = {'P', 'K', 5, 6};
        std::ofstream out(contents.path, std::ios::binary | std::ios::trunc);
        out.write(empty, sizeof empty);
        if (!out.flush()) throw std::runtime_error("cannot write " + contents.path.string());
        return written;
    }
    if (zip_close(archive) != 0) fail("cannot write " + contents.path.string(), archive);
    return written;
}

std::vector<uint8_t> firmwareImagePattern(std::size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed ? seed : 1;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return bytes;
}

}  // namespace iolsim
