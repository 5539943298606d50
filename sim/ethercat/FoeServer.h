// FoE application of a simulated device: files kept in memory, read and written in packets of
// the mailbox size minus 12 bytes, with error codes, BUSY and BOOTSTRAP-only files.
#pragma once

#include "DeviceProfile.h"
#include "MailboxContext.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ecsim {

namespace FoeError {
inline constexpr uint32_t NotDefined = 0x8000, NotFound = 0x8001, AccessDenied = 0x8002, DiskFull = 0x8003,
                          Illegal = 0x8004, PacketNumber = 0x8005, Exists = 0x8006, NoUser = 0x8007,
                          BootstrapOnly = 0x8008, NotBootstrap = 0x8009, NoRights = 0x800A, ProgramError = 0x800B;
}

// Largest file the device stores.
inline constexpr size_t kMaxFoeFileBytes = 1u << 20;

class FoeServer {
public:
    FoeServer(std::map<std::string, FoeFile>& files, bool onlyInBootstrap) : store(files), bootstrapOnly(onlyInBootstrap) {}

    // Takes the FoE part of a mailbox message and returns the FoE answer (empty for none).
    std::vector<uint8_t> handle(const std::vector<uint8_t>& request, const MailboxContext& context);
    void reset();

    // True when the FoE message is a read or write request.
    static bool isRequest(const uint8_t* foe, size_t length);

private:
    std::vector<uint8_t> nextData(const MailboxContext& context);

    std::map<std::string, FoeFile>& store;
    bool bootstrapOnly;

    struct Reading {
        std::vector<uint8_t> content;
        uint32_t packet = 0;  // last packet sent
        size_t sent = 0;
        bool finished = false;  // the short (final) packet has been sent
    };
    struct Writing {
        std::string name;
        uint32_t expected = 1;
    };
    std::optional<Reading> reading;
    std::optional<Writing> writing;
};

}  // namespace ecsim
