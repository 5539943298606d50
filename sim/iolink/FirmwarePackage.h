// Builds IO-Link firmware packages at run time, for tests and the demo: a zip
// archive with the description "<package stem>.xml" and the firmware image, and on request the
// broken variants a firmware update must refuse. Nothing of it is committed as a binary.
//
// The description, with the defaults:
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <iolfw:IOLinkFWData>
//     <iolfw:MetaInfo iolfw:vendorId="32337">
//       <iolfw:HardwareIdKeyCollection>
//         <iolfw:HardwareIdKey iolfw:idPattern="SD200-HW-A1"/>
//       </iolfw:HardwareIdKeyCollection>
//     </iolfw:MetaInfo>
//     <iolfw:Blob iolfw:fileName="<package stem>.bin"/>
//   </iolfw:IOLinkFWData>
//
// The defaults match the simulated device's default identity (Device.h: vendor id 0x7E51,
// hardware id "SD200-HW-A1"), so a default package updates a default simulator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace iolsim {

// Names of the description's elements and attributes, as the library looks them up.
namespace fwxml {
inline constexpr const char* kRoot = "iolfw:IOLinkFWData";
inline constexpr const char* kMetaInfo = "iolfw:MetaInfo";
inline constexpr const char* kVendorId = "iolfw:vendorId";
inline constexpr const char* kHardwareIdKeyCollection = "iolfw:HardwareIdKeyCollection";
inline constexpr const char* kHardwareIdKey = "iolfw:HardwareIdKey";
inline constexpr const char* kIdPattern = "iolfw:idPattern";
inline constexpr const char* kBlob = "iolfw:Blob";
inline constexpr const char* kFileName = "iolfw:fileName";
}  // namespace fwxml

// An additional archive entry, stored under exactly this name (no check of any kind: "../x",
// "/tmp/x", "C:x", "a\\x" and "a/x" are all stored as given, for zip-slip tests).
struct PackageEntry {
    std::string name;
    std::vector<uint8_t> data;
    uint64_t zeros = 0;  // when not 0: that many zero bytes instead of data (a zip bomb)
};

struct FirmwarePackageContents {
    std::filesystem::path path;  // the archive to write; its stem names the description

    std::vector<uint8_t> image;  // the firmware image
    std::string imageName;       // its entry name; empty: "<stem>.bin"
    std::string blobFileName;    // the iolfw:fileName attribute; empty: the image name

    int64_t vendorId = 0x7E51;        // written in decimal
    std::string vendorIdText;         // written verbatim instead when not empty ("0x7E51", "abc")
    std::string hardwareId = "SD200-HW-A1";
    std::vector<std::string> moreHardwareIds;  // further iolfw:HardwareIdKey after the first
    std::string rootName = fwxml::kRoot;

    // Elements or attributes (the fwxml names; the root as kRoot or rootName) left out of the
    // description; an element goes with everything inside it. Unknown names throw.
    std::set<std::string> omit;

    std::string descriptionName;  // entry name of the description; empty: "<stem>.xml"
    bool withDescription = true;
    bool withImage = true;
    std::vector<PackageEntry> extraEntries;  // after the description and the image
    bool compress = true;                    // deflate; false: stored
    bool notAZip = false;                    // write a text file instead of an archive
};

struct WrittenPackage {
    std::filesystem::path path;
    std::string description;  // the XML as written (also when it was not stored)
    std::vector<std::pair<std::string, uint64_t>> entries;  // stored names and sizes, in order
};

// The description XML of a package, as writeFirmwarePackage stores it. Throws std::invalid_argument
// for an unknown name in omit.
std::string firmwareDescription(const FirmwarePackageContents& contents);

// Writes the package (replacing any file at contents.path). Throws std::invalid_argument for bad
// contents and std::runtime_error when the archive cannot be written.
WrittenPackage writeFirmwarePackage(const FirmwarePackageContents& contents);

// A deterministic image of `size` bytes: xorshift32 (x ^= x << 13; x ^= x >> 17; x ^= x << 5)
// from `seed` (0 counts as 1), the low byte of the state after each step.
std::vector<uint8_t> firmwareImagePattern(std::size_t size, uint32_t seed = 1);

}  // namespace iolsim
