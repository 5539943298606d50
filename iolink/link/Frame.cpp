#include "link/Frame.h"

namespace iolink {

uint16_t frameLength(const uint8_t* frame)
{
    if (!hasExtendedLength(frame[1])) {
        return frame[1];
    }
    return static_cast<uint16_t>((frame[2] << 8) | frame[3]);
}

uint8_t xorChecksum(const uint8_t* bytes, size_t count)
{
    uint8_t sum = 0;
    for (size_t i = 0; i < count; ++i) {
        sum = static_cast<uint8_t>(sum ^ bytes[i]);
    }
    return sum;
}

bool checksumValid(const uint8_t* frame, size_t available)
{
    if (available < shortHeaderLength) {
        return false;
    }
    if (hasExtendedLength(frame[1]) && available < extendedHeaderLength) {
        return false;
    }
    const size_t length = frameLength(frame);
    if (length < headerLength(frame[1]) + 1 || length > available) {
        return false;
    }
    return xorChecksum(frame, length) == 0;
}

uint8_t finishFrame(FrameBuffer& frame, uint8_t totalLength)
{
    frame[1] = totalLength;
    frame[totalLength - 1] = xorChecksum(frame.data(), totalLength - 1u);
    return totalLength;
}

} // namespace iolink
