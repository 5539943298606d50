// iolink-fw-package: writes an IO-Link firmware package for tests and the
// demo, correct or broken on purpose, and prints what it wrote.
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/iolink/BlobChannel.h"
#include "sim/iolink/FirmwarePackage.h"

namespace {

using namespace iolsim;

const char* kUsage = R"(usage: iolink-fw-package [options] PACKAGE.zip

Writes a firmware package: PACKAGE.xml (the description) and the image, in a zip archive.
The defaults fit the default iolink-sim device (vendor id 32337 = 0x7E51, hardware id
SD200-HW-A1).

Image:
  --image FILE              take the image from FILE
  --image-size N            generate N bytes (default 4096) ...
  --seed N                  ... from this seed (default 1; xorshift32, see FirmwarePackage.h)
  --image-name NAME         entry name of the image (default PACKAGE.bin)
  --file-name NAME          the iolfw:fileName attribute (default: the image name)
Description:
  --vendor-id N             iolfw:vendorId, written in decimal (default 32337)
  --vendor-id-text TEXT     iolfw:vendorId written verbatim (e.g. 0x7E51: not decimal)
  --hardware-id TEXT        iolfw:idPattern of the first iolfw:HardwareIdKey
  --more-hardware-id TEXT   a further iolfw:HardwareIdKey (repeatable)
  --root-name NAME          root element name (default iolfw:IOLinkFWData)
  --omit NAME               leave out an element or attribute (repeatable): iolfw:IOLinkFWData,
                            iolfw:MetaInfo, iolfw:vendorId, iolfw:HardwareIdKeyCollection,
                            iolfw:HardwareIdKey, iolfw:idPattern, iolfw:Blob, iolfw:fileName
Archive:
  --description-name NAME   entry name of the description (default PACKAGE.xml)
  --no-description          no description entry
  --no-image                no image entry
  --extra-entry NAME        a small extra entry stored under exactly NAME (repeatable), e.g.
                            ../evil.txt, /tmp/evil.txt, C:evil.txt, sub\evil.txt, sub/evil.txt
  --bomb SIZE               an extra entry of SIZE zero bytes (e.g. 104857600: a zip bomb)
  --bomb-name NAME          its name (default bomb.bin)
  --store                   store the entries without compression
  --not-a-zip               write a text file instead of an archive
  --quiet                   print nothing
)";

uint64_t number(const std::string& text) {
    std::size_t used = 0;
    unsigned long long value = std::stoull(text, &used, 0);
    if (used != text.size()) throw std::invalid_argument(text);
    return value;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    FirmwarePackageContents contents;
    std::string imageFile;
    uint64_t imageSize = 4096;
    uint32_t seed = 1;
    uint64_t bombSize = 0;
    std::string bombName = "bomb.bin";
    bool quiet = false;
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--help" || a == "-h") {
                std::cout << kUsage;
                return 0;
            }
            if (a.rfind("--", 0) != 0) {
                if (!contents.path.empty()) throw std::invalid_argument("two package paths: " + a);
                contents.path = a;
                continue;
            }
            if (a == "--no-description") contents.withDescription = false;
            else if (a == "--no-image") contents.withImage = false;
            else if (a == "--store") contents.compress = false;
            else if (a == "--not-a-zip") contents.notAZip = true;
            else if (a == "--quiet") quiet = true;
            else {
                if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
                const std::string& v = args[++i];
                if (a == "--image") imageFile = v;
                else if (a == "--image-size") imageSize = number(v);
                else if (a == "--seed") seed = static_cast<uint32_t>(number(v));
                else if (a == "--image-name") contents.imageName = v;
                else if (a == "--file-name") contents.blobFileName = v;
                else if (a == "--vendor-id") contents.vendorId = std::stoll(v, nullptr, 0);
                else if (a == "--vendor-id-text") contents.vendorIdText = v;
                else if (a == "--hardware-id") contents.hardwareId = v;
                else if (a == "--more-hardware-id") contents.moreHardwareIds.push_back(v);
                else if (a == "--root-name") contents.rootName = v;
                else if (a == "--omit") contents.omit.insert(v);
                else if (a == "--description-name") contents.descriptionName = v;
                else if (a == "--extra-entry") {
                    std::string content = "extra entry " + v + "\n";
                    contents.extraEntries.push_back({v, std::vector<uint8_t>(content.begin(), content.end()), 0});
                } else if (a == "--bomb") bombSize = number(v);
                else if (a == "--bomb-name") bombName = v;
                else throw std::invalid_argument(a);
            }
        }
        if (contents.path.empty()) throw std::invalid_argument("no package path");
    } catch (const std::exception& e) {
        std::cerr << "iolink-fw-package: bad argument: " << e.what() << "\n" << kUsage;
        return 2;
    }

    try {
        contents.image = imageFile.empty() ? firmwareImagePattern(static_cast<std::size_t>(imageSize), seed) : readFile(imageFile);
        if (bombSize > 0) contents.extraEntries.push_back({bombName, {}, bombSize});
        WrittenPackage written = writeFirmwarePackage(contents);
        if (quiet) return 0;
        if (contents.notAZip) {
            std::cout << "wrote " << written.path.string() << " (not a zip archive)" << std::endl;
            return 0;
        }
        std::cout << "wrote " << written.path.string() << " with " << written.entries.size() << " entries" << std::endl;
        // Entries in the order written: description, image, extras.
        const std::size_t imageEntry = contents.withImage ? (contents.withDescription ? 1 : 0) : written.entries.size();
        for (std::size_t i = 0; i < written.entries.size(); ++i) {
            std::cout << "  " << written.entries[i].first << "  " << written.entries[i].second << " bytes";
            if (i == imageEntry)
                std::cout << "  (image, blobCrc 0x" << std::hex << blobCrc(contents.image) << std::dec << ")";
            std::cout << std::endl;
        }
        std::cout << "description:\n" << written.description;
        if (!contents.withDescription) std::cout << "(not stored)" << std::endl;
    } catch (const std::exception& e) {
        std::cerr << "iolink-fw-package: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
