// Minimal CoE (SDO, SDO information) and FoE servers for the fake segment, written from the
// protocol so the master's side of each exchange can be checked byte by byte.
#pragma once

#include <map>
#include <string>

#include "FakeBus.h"

namespace fakebus {

struct CoeServer {
  std::map<std::pair<uint16_t, uint8_t>, std::vector<uint8_t>> objects;
  std::map<uint16_t, uint32_t> abortOn;  // index -> abort code
  std::vector<uint16_t> odList;          // indexes for the OD list
  size_t odFragmentEntries = 10;         // indexes per OD list fragment
  std::string objectName = "Object";
  // Upload state
  std::vector<uint8_t> uploadData;
  size_t uploadAt = 0;
  uint8_t expectToggle = 0;
  bool repeatFirstSegmentToggle = false;  // answer the second segment with a stale toggle
  int segmentsSent = 0;
  // Download state
  std::pair<uint16_t, uint8_t> downloadKey{};
  std::vector<uint8_t> downloadData;
  size_t downloadTotal = 0;

  void handle(Device& d, const std::vector<uint8_t>& m);
};

struct FoeServer {
  std::map<std::string, std::vector<uint8_t>> files;
  uint32_t errorCode = 0;  // answer every request with this error when set
  int busyAfterPacket = -1;  // answer BUSY once instead of this packet's ACK
  bool wrongPacketNumber = false;
  // Read state
  std::vector<uint8_t> reading;
  uint32_t readPacket = 0;
  // Write state
  std::string writingName;
  std::vector<uint8_t> writing;
  uint32_t writePacket = 0;
  std::vector<uint32_t> dataPacketSizes;

  void handle(Device& d, const std::vector<uint8_t>& m);
};

}  // namespace fakebus
