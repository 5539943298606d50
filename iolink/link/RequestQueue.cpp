#include "link/RequestQueue.h"

namespace iolink {

bool RequestQueue::push(const uint8_t* frame)
{
    const size_t length = frameLength(frame);
    if (length == 0 || length > frameCapacity || fill + length > requestQueueCapacity) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        ring[(writeIndex + i) % requestQueueCapacity] = frame[i];
    }
    writeIndex = static_cast<uint16_t>((writeIndex + length) % requestQueueCapacity);
    fill = static_cast<uint16_t>(fill + length);
    return true;
}

bool RequestQueue::pop(FrameBuffer& out)
{
    if (fill == 0) {
        return false;
    }
    size_t length = at(1);
    if (hasExtendedLength(at(1))) {
        length = static_cast<size_t>((at(2) << 8) | at(3));
    }
    if (length == 0 || length > fill || length > out.size()) {
        readIndex = static_cast<uint16_t>((readIndex + 1) % requestQueueCapacity);
        fill = static_cast<uint16_t>(fill - 1);
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        out[i] = at(i);
    }
    readIndex = static_cast<uint16_t>((readIndex + length) % requestQueueCapacity);
    fill = static_cast<uint16_t>(fill - length);
    return true;
}

void RequestQueue::clear()
{
    writeIndex = 0;
    readIndex = 0;
    fill = 0;
}

} // namespace iolink
