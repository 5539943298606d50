// What the link thread does with each received frame, by its response code. Accepting a frame
// resets the count of failed exchanges; rejecting it counts one more, so the same request goes
// out again in the next cycle.
#pragma once

#include <cstdint>

namespace iolink {

// Returns true when the frame was accepted.
bool handleResponse(const uint8_t* frame);

} // namespace iolink
