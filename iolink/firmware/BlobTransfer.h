// Moves a whole file into the device as a binary large object over the BLOB channel: start,
// read the channel's limits, segments one after the other, CRC, finish; an abort on any failure.
// Progress goes to the library log at debug level.
#pragma once

#include <cstdint>
#include <filesystem>

#include "link/Result.h"

class IoLinkLib;

namespace iolink {

// Blocks until the transfer finished or failed. The message names the failing step with the
// inner cause appended; "success" otherwise.
Result transferBlob(IoLinkLib& lib, uint16_t blobId, const std::filesystem::path& file);

// Queues the abort command; the link's refusal (another request still under way) is the only
// possible failure, and callers ignore it.
Result abortBlobTransfer();
// Aborts and hands back a failed Result with the message unchanged.
Result failBlobTransfer(const std::string& message);

} // namespace iolink
