// CoE application of a simulated device: SDO server (expedited, normal, segmented, complete
// access, aborts), SDO information (OD list, object and entry descriptions, fragmented answers)
// and the rules of the PDO mapping and assignment objects.
#pragma once

#include "DeviceProfile.h"
#include "MailboxContext.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace ecsim {

class CoeServer {
public:
    // Without complete access, such requests are aborted with 0x06010000; without SDO
    // information, its requests get an SDO information error with that code.
    CoeServer(ObjectDictionary& dictionary, bool completeAccess, bool sdoInformation)
        : od(dictionary), completeAccessSupported(completeAccess), sdoInformationSupported(sdoInformation)
    {
    }

    // Takes the CoE part of a mailbox message (CoE header first) and returns the CoE parts of the
    // answers, in order (several for fragmented SDO information answers; none when nothing is
    // answered).
    std::vector<std::vector<uint8_t>> handle(const std::vector<uint8_t>& request, const MailboxContext& context);

    // Forgets transfers in progress (state change to INIT, power cycle).
    void reset();

    // CoE emergency message (CoE header first).
    static std::vector<uint8_t> emergency(uint16_t errorCode, uint8_t errorRegister);

    // True when the CoE message is an SDO upload / download initiate request (for refusals that
    // act before the message is taken).
    static bool isUploadInitiate(const uint8_t* coe, size_t length);
    static bool isDownloadInitiate(const uint8_t* coe, size_t length);

private:
    std::vector<uint8_t> sdo(const std::vector<uint8_t>& request, const MailboxContext& context);
    std::vector<std::vector<uint8_t>> information(const std::vector<uint8_t>& request, const MailboxContext& context);

    std::vector<uint8_t> uploadInitiate(uint16_t index, uint8_t subindex, bool complete, const MailboxContext& context);
    std::vector<uint8_t> uploadSegment(uint8_t command, const MailboxContext& context);
    std::vector<uint8_t> downloadInitiate(const std::vector<uint8_t>& request, const MailboxContext& context);
    std::vector<uint8_t> downloadSegment(const std::vector<uint8_t>& request, const MailboxContext& context);

    // Returns 0 or an abort code; stores the value when accepted.
    uint32_t write(uint16_t index, uint8_t subindex, bool complete, const std::vector<uint8_t>& value, uint8_t alState);
    uint32_t readValue(uint16_t index, uint8_t subindex, bool complete, uint8_t alState, std::vector<uint8_t>& out) const;
    uint32_t checkProcessDataWrite(const CoeObject& object, uint8_t subindex, const std::vector<uint8_t>& value) const;
    uint32_t faultFor(uint16_t index, uint8_t subindex, const MailboxContext& context) const;

    ObjectDictionary& od;
    bool completeAccessSupported;
    bool sdoInformationSupported;

    struct Upload {
        uint16_t index = 0;
        uint8_t subindex = 0;
        std::vector<uint8_t> data;
        size_t sent = 0;
        uint8_t toggle = 0;
    };
    struct Download {
        uint16_t index = 0;
        uint8_t subindex = 0;
        bool complete = false;
        size_t total = 0;
        std::vector<uint8_t> data;
        uint8_t toggle = 0;
    };
    std::optional<Upload> upload;
    std::optional<Download> download;
};

namespace SdoAbort {
inline constexpr uint32_t ToggleNotAlternated = 0x05030000, InvalidCommand = 0x05040001, UnsupportedAccess = 0x06010000,
                          WriteOnly = 0x06010001, ReadOnly = 0x06010002, SubindexZeroNotZero = 0x06010003,
                          CompleteAccessUnsupported = 0x06010004, ObjectMissing = 0x06020000, NotMappable = 0x06040041,
                          MappingTooLong = 0x06040042, LengthMismatch = 0x06070010, LengthTooHigh = 0x06070012,
                          LengthTooLow = 0x06070013, SubindexMissing = 0x06090011, ValueRange = 0x06090030,
                          ValueTooHigh = 0x06090031, General = 0x08000000, DeviceState = 0x08000022;
}

}  // namespace ecsim
