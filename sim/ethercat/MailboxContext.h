// What a mailbox application (CoE, FoE) may know about its device while it answers a request.
#pragma once

#include "FaultKnobs.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ecsim {

namespace AlState {
inline constexpr uint8_t Init = 0x01, PreOp = 0x02, Boot = 0x03, SafeOp = 0x04, Op = 0x08, Error = 0x10;
}

struct MailboxContext {
    uint8_t alState = AlState::PreOp;
    size_t requestCapacity = 0;  // bytes after the mailbox header that fit in SM0
    size_t replyCapacity = 0;    // bytes after the mailbox header that fit in SM1
    const DeviceFaults* faults = nullptr;
    FaultKnobs* knobs = nullptr;
    size_t position = 0;
};

inline uint16_t readU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t readU32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
inline void appendU16(std::vector<uint8_t>& out, uint16_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); }
inline void appendU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace ecsim
