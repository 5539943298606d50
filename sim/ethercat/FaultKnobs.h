// Fault triggers of the simulated EtherCAT segment, shared by the simulator and the tests that
// provoke them. Every knob may be turned from any thread while frames are being processed; the
// segment reads them once per frame (per datagram for the per-device ones).
//
// Device positions are 1-based, in wiring order, as a master numbers them.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>

namespace ecsim {

// The kinds of transfer whose next n attempts can be refused, so that a master's retry counts
// can be checked exactly.
enum class TransferKind {
    SdoUpload,    // CoE SDO upload initiate requests (normal and complete access)
    SdoDownload,  // CoE SDO download initiate requests (expedited, normal, complete access)
    Foe,          // FoE read and write requests (RRQ, WRQ)
    Eeprom,       // SII EEPROM commands written to 0x0502
};

// How a refused transfer looks on the wire.
enum class RefusalStyle {
    // The mailbox write carrying the request is not taken: SM0 stays empty and the datagram's
    // working counter is not raised (as when a device's mailbox is blocked). For Eeprom: the
    // datagram writing the command to 0x0502 is not counted and the command is not executed.
    NoWorkingCounter,
    // The request is taken and answered with an error: SDO abort (code of the refusal), FoE ERR
    // (code of the refusal), EEPROM missing acknowledge (0x0502 bit 0x2000).
    ErrorAnswer,
};

struct Refusal {
    unsigned count = 0;  // attempts still to be refused
    RefusalStyle style = RefusalStyle::ErrorAnswer;
    uint32_t code = 0;   // SDO abort code or FoE error code; 0 picks a general one
};

// Per-device knobs. Plain data: take a copy with FaultKnobs::device(), change it, put it back
// with FaultKnobs::setDevice(), or use the helpers of FaultKnobs.
struct DeviceFaults {
    // The device stops answering: it is as if it had been unplugged and the link closed around
    // it, so the frame passes without being processed or counted, and later devices move up one
    // position. When it comes back with loseAddressOnReturn, it has been power-cycled: station
    // address 0, INIT, registers and mailboxes reset (the object dictionary and files survive).
    bool silent = false;
    bool loseAddressOnReturn = false;
    // Counts the returns that were power cycles; kept by setSilent(), read by the segment.
    uint64_t powerCycles = 0;

    // Requests for these AL states are refused with error indication and the given code
    // (state value 1, 2, 3, 4 or 8 -> AL status code).
    std::map<uint8_t, uint16_t> refusedStates;

    // SDO uploads and downloads of these objects are answered with an abort code. Key: sdoKey();
    // the subindex kAnySubindex matches every subindex of the index.
    std::map<uint32_t, uint32_t> sdoAborts;

    // Refuse the next n transfers of a kind.
    std::map<TransferKind, Refusal> refusals;

    // FoE requests for these file names are answered with ERR and the code (e.g. 0x8001).
    std::map<std::string, uint32_t> foeErrors;
    // Answer the next n FoE DATA packets of a write with BUSY instead of ACK (the packet is not
    // stored; the client sends it again).
    unsigned foeBusyCount = 0;

    // Mailbox answers become readable only this long after the request was taken.
    std::chrono::microseconds mailboxDelay{0};

    // How long the EEPROM interface stays busy after each command.
    std::chrono::microseconds eepromBusyTime{20};

    // The PDI keeps 0x0501 bit0 (PDI accessing EEPROM) set this long after the master withdrew
    // the offer with 0x0500 = 0 (a slow application releasing the EEPROM).
    std::chrono::microseconds pdiReleaseDelay{0};

    // Key used in sdoAborts.
    static constexpr uint32_t sdoKey(uint16_t index, uint8_t subindex) { return uint32_t(index) << 8 | subindex; }
    static constexpr uint8_t kAnySubindex = 0xFF;
};

class FaultKnobs {
public:
    // Whole frames are lost with this probability (0..1), drawn from a generator seeded with
    // seed. A lost frame vanishes either on its way in (nothing processed) or on its way back
    // (processed, answer lost), half of the losses each, as chosen by the same generator.
    void setFrameLoss(double rate, uint64_t seed);
    double frameLossRate() const;

    DeviceFaults device(size_t position) const;
    void setDevice(size_t position, const DeviceFaults& faults);
    void clearDevice(size_t position);
    void clearAll();

    // Helpers for the common knobs. setSilent(p, true, lose) silences; setSilent(p, false) brings
    // the device back, power-cycled when `lose` was given either time.
    void setSilent(size_t position, bool silent, bool loseAddressOnReturn = false);
    void refuseState(size_t position, uint8_t state, uint16_t alStatusCode);
    void allowState(size_t position, uint8_t state);
    void abortSdo(size_t position, uint16_t index, uint8_t subindex, uint32_t abortCode);
    void refuseNext(size_t position, TransferKind kind, unsigned count,
                    RefusalStyle style = RefusalStyle::ErrorAnswer, uint32_t code = 0);
    void failFoe(size_t position, const std::string& fileName, uint32_t errorCode);
    void setFoeBusy(size_t position, unsigned count);
    void setMailboxDelay(size_t position, std::chrono::microseconds delay);
    void setEepromBusyTime(size_t position, std::chrono::microseconds busy);

    // Used by the segment: true when this frame is to be lost, and on which side.
    enum class Loss { None, BeforeProcessing, AfterProcessing };
    Loss drawFrameLoss();
    // Used by the segment: takes one refusal of the kind if any is left.
    std::optional<Refusal> takeRefusal(size_t position, TransferKind kind);
    // Used by the segment: takes one FoE BUSY if any is left.
    bool takeFoeBusy(size_t position);

    // Bumped at every change, so that the segment can notice a change cheaply.
    uint64_t generation() const;

private:
    mutable std::mutex mutex;
    double lossRate = 0.0;
    std::mt19937_64 generator{1};
    std::map<size_t, DeviceFaults> devices;
    uint64_t changes = 0;
};

}  // namespace ecsim
