// The ring of request frames waiting for the link thread: whole frames back to back in their
// wire form, each frame's own length field telling where it ends. Indices run modulo the ring
// size and a frame may wrap around its end. The ring itself takes no lock; the link state puts
// every access under queueLock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "link/Frame.h"

namespace iolink {

inline constexpr size_t requestQueueCapacity = 2048;

class RequestQueue {
public:
    // Appends the frame; false (and nothing changes) when it is empty or does not fit.
    bool push(const uint8_t* frame);
    // Moves the next frame into `out`; false when there is none. A length field that cannot be
    // right (0, or more than is queued) costs one byte, so the ring finds its way back.
    bool pop(FrameBuffer& out);
    void clear();
    uint16_t fillCount() const { return fill; }

private:
    uint8_t at(size_t offset) const { return ring[(readIndex + offset) % requestQueueCapacity]; }

    std::array<uint8_t, requestQueueCapacity> ring{};
    uint16_t writeIndex = 0;
    uint16_t readIndex = 0;
    uint16_t fill = 0;
};

} // namespace iolink
