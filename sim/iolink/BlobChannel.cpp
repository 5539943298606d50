// The device's end of the BLOB transfer: a small state machine over the channel's commands.
#include "sim/iolink/BlobChannel.h"

namespace iolsim {

uint32_t blobCrc(std::span<const uint8_t> data) {
    constexpr uint32_t kReflectedPolynomial = 0xEB31D82E;  // 0x741B8CD7 bit-reversed
    uint32_t crc = 0xFFFFFFFE;
    for (uint8_t byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? (crc >> 1) ^ kReflectedPolynomial : crc >> 1;
    }
    return crc ^ 0xFFFFFFFF;
}

namespace {

bool isRefusable(uint8_t command) {
    return command == blob::kStart || command == blob::kLastSegment || command == blob::kCrc ||
           command == blob::kFinish || command == blob::kAbort;
}

}  // namespace

IsduAnswer BlobChannel::error(uint16_t code) {
    ++counters.errors;
    return IsduAnswer::fail(code);
}

IsduAnswer BlobChannel::execute(const IsduRequest& request, FirmwareFaults& faults) {
    if (request.subindex != 0) return error(isdu_error::kSubindexNotAvailable);
    return request.write ? write(request.data, faults) : read(faults);
}

void BlobChannel::reset() {
    state = BlobState::Idle;
    data.clear();
    fullSegments = 0;
}

IsduAnswer BlobChannel::read(FirmwareFaults& faults) {
    if (state == BlobState::Idle) return error(blob_error::kSequence);
    if (faults.blobInfo == BlobInfoFault::ReadError) return error(faults.refusalError);
    const uint32_t max = limits.maxBlobSize;
    std::vector<uint8_t> info{blob::kInfoTag,
                              static_cast<uint8_t>(max >> 24),
                              static_cast<uint8_t>(max >> 16),
                              static_cast<uint8_t>(max >> 8),
                              static_cast<uint8_t>(max),
                              limits.maxSegmentLength};
    switch (faults.blobInfo) {
    case BlobInfoFault::FiveBytes: info.pop_back(); break;
    case BlobInfoFault::SevenBytes: info.push_back(0x00); break;
    case BlobInfoFault::WrongTag: info[0] = 0x12; break;
    case BlobInfoFault::SegmentLength0: info[5] = 0; break;
    case BlobInfoFault::SegmentLength1: info[5] = 1; break;
    default: break;
    }
    if (state == BlobState::Started) state = BlobState::Receiving;
    return IsduAnswer::ok(std::move(info));
}

IsduAnswer BlobChannel::write(const std::vector<uint8_t>& bytes, FirmwareFaults& faults) {
    if (bytes.empty()) return error(blob_error::kTooShort);
    const uint8_t command = bytes[0];
    if (faults.refuseBlobCommand != 0 && command == faults.refuseBlobCommand && isRefusable(command))
        return error(faults.refusalError);

    switch (command) {
    case blob::kStart:
        if (bytes.size() < 3) return error(blob_error::kTooShort);
        if (bytes.size() > 3) return error(blob_error::kTooLong);
        // A new Start replaces whatever transfer was under way.
        reset();
        state = BlobState::Started;
        id = static_cast<uint16_t>(bytes[1] << 8 | bytes[2]);
        ++counters.started;
        return IsduAnswer::ok();
    case blob::kAbort:
        if (bytes.size() > 1) return error(blob_error::kTooLong);
        if (state != BlobState::Idle) ++counters.aborted;
        reset();
        return IsduAnswer::ok();
    case blob::kFinish:
        if (bytes.size() > 1) return error(blob_error::kTooLong);
        if (state != BlobState::CrcChecked) return error(blob_error::kSequence);
        done[id] = data;
        ++counters.completed;
        reset();
        return IsduAnswer::ok();
    case blob::kCrc: {
        if (bytes.size() < 5) return error(blob_error::kTooShort);
        if (bytes.size() > 5) return error(blob_error::kTooLong);
        if (state != BlobState::LastReceived) return error(blob_error::kSequence);
        uint32_t sent = static_cast<uint32_t>(bytes[1]) << 24 | static_cast<uint32_t>(bytes[2]) << 16 |
                        static_cast<uint32_t>(bytes[3]) << 8 | bytes[4];
        if (faults.blobCrcMismatch || sent != blobCrc(data)) return error(blob_error::kCrcMismatch);
        state = BlobState::CrcChecked;
        return IsduAnswer::ok();
    }
    case blob::kLastSegment: return segment(bytes, true, faults);
    default:
        if ((command & 0xF0) == blob::kSegment) return segment(bytes, false, faults);
        return error(blob_error::kUnknownCommand);
    }
}

IsduAnswer BlobChannel::segment(const std::vector<uint8_t>& bytes, bool last, FirmwareFaults& faults) {
    if (state != BlobState::Receiving) return error(blob_error::kSequence);
    if (!last && static_cast<uint32_t>(bytes[0] & 0x0F) != (fullSegments & 0x0Fu)) return error(blob_error::kCounter);
    if (!last && fullSegments == faults.refuseBlobSegment) return error(faults.refusalError);
    const std::size_t payload = bytes.size() - 1;
    const std::size_t segmentSize = limits.maxSegmentLength > 0 ? limits.maxSegmentLength - 1u : 0u;
    // A last segment may be empty (an empty BLOB); a full one must carry data.
    if (!last && payload == 0) return error(blob_error::kTooShort);
    if (payload > segmentSize) return error(blob_error::kTooLong);
    if (data.size() + payload > limits.maxBlobSize) return error(blob_error::kTooLong);
    data.insert(data.end(), bytes.begin() + 1, bytes.end());
    if (last) state = BlobState::LastReceived;
    else ++fullSegments;
    return IsduAnswer::ok();
}

BlobView BlobChannel::view() const {
    BlobView v = counters;
    v.state = state;
    v.id = id;
    v.receivedBytes = static_cast<uint32_t>(data.size());
    v.fullSegments = fullSegments;
    v.lastSegmentReceived = state == BlobState::LastReceived || state == BlobState::CrcChecked;
    return v;
}

const std::vector<uint8_t>* BlobChannel::completed(uint16_t blobId) const {
    auto it = done.find(blobId);
    return it == done.end() ? nullptr : &it->second;
}

}  // namespace iolsim
