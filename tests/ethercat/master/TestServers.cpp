#include "TestServers.h"

#include <cstring>

namespace fakebus {

namespace {
std::vector<uint8_t> sdoBody(uint8_t command, uint16_t index, uint8_t sub, uint32_t value) {
  std::vector<uint8_t> b(10, 0);
  wr16(b, 0, 0x3000);
  b[2] = command;
  wr16(b, 3, index);
  b[5] = sub;
  wr16(b, 6, static_cast<uint16_t>(value));
  wr16(b, 8, static_cast<uint16_t>(value >> 16));
  return b;
}
void abort(Device& d, uint16_t index, uint8_t sub, uint32_t code) { d.post(mailboxMessage(3, sdoBody(0x80, index, sub, code))); }
}  // namespace

void CoeServer::handle(Device& d, const std::vector<uint8_t>& m) {
  if ((m[5] & 0x0F) != 3) return;
  uint16_t coe = rd16(m, 6);
  const size_t mbx = d.sm1Length();
  if ((coe >> 12) == 8) {  // SDO information
    uint8_t op = m[8] & 0x7F;
    if (op == 1) {
      size_t at = 0;
      bool first = true;
      size_t perFragment = odFragmentEntries;
      size_t fragments = odList.empty() ? 1 : (odList.size() + perFragment - 1) / perFragment;
      for (size_t f = 0; f < fragments; ++f) {
        std::vector<uint8_t> b{0x00, 0x80, static_cast<uint8_t>(0x02 | (f + 1 < fragments ? 0x80 : 0)), 0, 0, 0};
        wr16(b, 4, static_cast<uint16_t>(fragments - 1 - f));
        if (first) { b.push_back(1); b.push_back(0); first = false; }
        for (size_t i = 0; i < perFragment && at < odList.size(); ++i, ++at) {
          b.push_back(static_cast<uint8_t>(odList[at]));
          b.push_back(static_cast<uint8_t>(odList[at] >> 8));
        }
        d.post(mailboxMessage(3, b));
      }
    } else if (op == 3) {
      std::vector<uint8_t> b{0x00, 0x80, 0x04, 0, 0, 0, m[12], m[13], 0x07, 0x00, 0x02, 0x07};
      append(b, objectName.begin(), objectName.end());
      d.post(mailboxMessage(3, b));
    } else if (op == 5) {
      std::vector<uint8_t> b{0x00, 0x80, 0x06, 0, 0, 0, m[12], m[13], m[14], m[15], 0x07, 0x00, 32, 0, 0x07, 0x00};
      std::string name = "Entry " + std::to_string(m[14]);
      append(b, name.begin(), name.end());
      d.post(mailboxMessage(3, b));
    }
    return;
  }
  if ((coe >> 12) != 2) return;
  uint8_t command = m[8];
  uint16_t index = rd16(m, 9);
  uint8_t sub = m[11];
  uint8_t ccs = command >> 5;
  if (auto a = abortOn.find(index); a != abortOn.end() && (ccs == 1 || ccs == 2)) return abort(d, index, sub, a->second);
  if (ccs == 2) {  // upload initiate
    auto it = objects.find({index, sub});
    if (it == objects.end()) return abort(d, index, sub, 0x06020000);
    const auto& v = it->second;
    if (v.size() <= 4 && !(command & 0x10)) {
      auto b = sdoBody(static_cast<uint8_t>(0x43 | (4 - v.size()) << 2), index, sub, 0);
      std::copy(v.begin(), v.end(), b.begin() + 6);
      return d.post(mailboxMessage(3, b));
    }
    auto b = sdoBody(command & 0x10 ? 0x51 : 0x41, index, sub, static_cast<uint32_t>(v.size()));
    size_t first = std::min(v.size(), mbx - 16);
    append(b, v.begin(), v.begin() + static_cast<long>(first));
    uploadData = v;
    uploadAt = first;
    expectToggle = 0;
    segmentsSent = 0;
    return d.post(mailboxMessage(3, b));
  }
  if (ccs == 3) {  // upload segment
    size_t n = std::min(uploadData.size() - uploadAt, mbx - 9);
    bool last = uploadAt + n == uploadData.size();
    uint8_t toggle = command & 0x10;
    if (repeatFirstSegmentToggle && segmentsSent == 1) toggle ^= 0x10;
    uint8_t c = toggle | (last ? 1 : 0);
    std::vector<uint8_t> b{0x00, 0x30, 0};
    if (n < 7) c = static_cast<uint8_t>(c | (7 - n) << 1);
    b[2] = c;
    append(b, uploadData.begin() + static_cast<long>(uploadAt), uploadData.begin() + static_cast<long>(uploadAt + n));
    if (n < 7) b.resize(10, 0);
    uploadAt += n;
    ++segmentsSent;
    return d.post(mailboxMessage(3, b));
  }
  if (ccs == 1) {  // download initiate
    if (command & 0x02) {
      size_t n = (command & 0x01) ? 4 - ((command >> 2) & 3) : 4;
      objects[{index, sub}] = std::vector<uint8_t>(m.begin() + 12, m.begin() + 12 + static_cast<long>(n));
    } else {
      downloadKey = {index, sub};
      downloadTotal = rd32(m, 12);
      size_t inFrame = rd16(m, 0) - 10u;
      downloadData.assign(m.begin() + 16, m.begin() + 16 + static_cast<long>(std::min(inFrame, downloadTotal)));
      if (downloadData.size() == downloadTotal) objects[downloadKey] = downloadData;
    }
    return d.post(mailboxMessage(3, sdoBody(0x60, index, sub, 0)));
  }
  if (ccs == 0) {  // download segment
    size_t n = rd16(m, 0) - 3u;
    if (rd16(m, 0) == 10) n -= (command >> 1) & 7;
    append(downloadData, m.begin() + 9, m.begin() + 9 + static_cast<long>(n));
    if (command & 1) objects[downloadKey] = downloadData;
    std::vector<uint8_t> b{0x00, 0x30, static_cast<uint8_t>(0x20 | (command & 0x10)), 0, 0, 0, 0, 0, 0, 0};
    return d.post(mailboxMessage(3, b));
  }
}

void FoeServer::handle(Device& d, const std::vector<uint8_t>& m) {
  if ((m[5] & 0x0F) != 4) return;
  const size_t maxData = d.sm1Length() - 12u;
  uint8_t op = m[6];
  uint32_t value = rd32(m, 8);
  size_t length = rd16(m, 0);
  auto send = [&](uint8_t opcode, uint32_t v, const uint8_t* data, size_t n) {
    std::vector<uint8_t> b{opcode, 0, static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                           static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    append(b, data, data + n);
    d.post(mailboxMessage(4, b));
  };
  auto sendData = [&]() {
    size_t from = (readPacket - 1) * maxData;
    size_t n = from < reading.size() ? std::min(maxData, reading.size() - from) : 0;
    send(3, wrongPacketNumber ? readPacket + 1 : readPacket, reading.data() + from, n);
  };
  if (errorCode && (op == 1 || op == 2)) return send(5, errorCode, nullptr, 0);
  if (op == 1) {
    std::string name(m.begin() + 12, m.begin() + 6 + static_cast<long>(length));
    auto it = files.find(name);
    if (it == files.end()) return send(5, 0x8001, nullptr, 0);
    reading = it->second;
    readPacket = 1;
    return sendData();
  }
  if (op == 4) {  // ACK of a read packet
    size_t sentSoFar = readPacket * maxData;
    if (sentSoFar > reading.size()) return;  // last ACK
    ++readPacket;
    return sendData();
  }
  if (op == 2) {
    writingName.assign(m.begin() + 12, m.begin() + 6 + static_cast<long>(length));
    writing.clear();
    writePacket = 0;
    dataPacketSizes.clear();
    return send(4, 0, nullptr, 0);
  }
  if (op == 3) {
    size_t n = length - 6;
    if (static_cast<int>(value) == busyAfterPacket) {
      busyAfterPacket = -1;
      return send(6, 0, nullptr, 0);
    }
    if (value != writePacket + 1) return send(5, 0x8005, nullptr, 0);
    writePacket = value;
    dataPacketSizes.push_back(static_cast<uint32_t>(n));
    append(writing, m.begin() + 12, m.begin() + 12 + static_cast<long>(n));
    if (n < maxData) files[writingName] = writing;
    return send(4, value, nullptr, 0);
  }
}

}  // namespace fakebus
