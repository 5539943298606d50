// One simulated EtherCAT slave: the controller's (ESC's) registers and process RAM, its sync
// managers and FMMUs, the SII EEPROM interface, the AL state machine, distributed-clock
// registers, and the device application behind the PDI (mailbox with CoE and FoE, process data).
//
// The segment drives it per frame: beginFrame, then one call per datagram that addresses it,
// then endFrame, where the application does what a real device's firmware does between frames
// (takes mailbox requests, posts answers, updates inputs).
#pragma once

#include "CoeServer.h"
#include "DeviceProfile.h"
#include "FaultKnobs.h"
#include "FoeServer.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace ecsim {

class SimulatedDevice {
public:
    using Clock = std::chrono::steady_clock;

    struct FrameContext {
        Clock::time_point now;
        uint64_t segmentTimeNs = 0;  // time since the segment was built
        size_t position = 0;         // wiring position, 1-based (key of the fault knobs)
        size_t activeIndex = 0;      // 0-based among the devices that answer
        size_t activeCount = 0;
        const DeviceFaults* faults = nullptr;
        FaultKnobs* knobs = nullptr;
    };

    explicit SimulatedDevice(const DeviceProfile& profile);

    void beginFrame(const FrameContext& context);
    // Physical access (APxx, FPxx, BXX, ARMW, FRMW). read ORs into the data when orRead.
    // Returns the working-counter increment: read 1, write 1, read+write 3 (each only if some
    // byte was accessed).
    uint16_t physical(bool read, bool write, bool orRead, uint16_t address, uint8_t* data, uint16_t length,
                      const FrameContext& context);
    // Logical access through the FMMUs (LRD, LWR, LRW).
    uint16_t logical(bool read, bool write, uint32_t address, uint8_t* data, uint16_t length, const FrameContext& context);
    void endFrame(const FrameContext& context);

    // Matches configured addressing (station address, or alias when enabled in 0x0103).
    bool answersTo(uint16_t configuredAddress) const;

    // A power cycle: registers, state and mailboxes as after switching on.
    void powerCycle();

    uint16_t stationAddress() const { return register16(0x0010); }
    uint16_t alStatus() const { return register16(0x0130); }
    uint16_t alStatusCode() const { return register16(0x0134); }
    bool eepromOffered() const { return eepromOfferedToPdi; }
    std::vector<uint8_t> memory(uint16_t address, uint16_t length) const;
    const std::vector<uint8_t>& eeprom() const { return sii; }
    DeviceProfile& profile() { return prof; }
    const DeviceProfile& profile() const { return prof; }
    void queueEmergency(uint16_t errorCode, uint8_t errorRegister);
    // Recomputes the inputs from the objects (after a test changed an input object).
    void refreshInputs();

private:
    struct MappedEntry {
        uint16_t index = 0;
        uint8_t subindex = 0;
        uint8_t bits = 0;
    };
    struct Outgoing {
        std::vector<uint8_t> message;  // mailbox header + data
        Clock::time_point readyAt;
    };

    uint16_t register16(uint16_t address) const { return uint16_t(mem[address] | mem[address + 1u] << 8); }
    void setRegister16(uint16_t address, uint16_t value);
    void setRegister32(uint16_t address, uint32_t value);
    void setRegister64(uint16_t address, uint64_t value);

    bool readByte(uint32_t address, uint8_t& value);
    bool writeByte(uint32_t address, uint8_t value, uint8_t mask = 0xFF);
    int syncManagerAt(uint32_t address) const;
    bool smEnabled(int sm) const { return (mem[0x0806 + 8 * sm] & 0x01) != 0; }
    bool smDeactivatedByPdi(int sm) const { return (mem[0x0807 + 8 * sm] & 0x01) != 0; }
    uint16_t smStart(int sm) const { return register16(uint16_t(0x0800 + 8 * sm)); }
    uint16_t smLength(int sm) const { return register16(uint16_t(0x0802 + 8 * sm)); }
    uint8_t smControl(int sm) const { return mem[0x0804 + 8 * sm]; }
    bool smIsMailbox(int sm) const { return (smControl(sm) & 0x03) == 0x02; }
    bool smEcatWrites(int sm) const { return (smControl(sm) & 0x0C) == 0x04; }

    // After the bytes of a datagram were accessed: register side effects. Returns false when
    // the write is to be treated as not taken (refusal knobs).
    bool afterWrite(uint16_t address, uint16_t length, const FrameContext& context);
    void afterRead(const FrameContext& context);

    void alControlWritten(uint16_t value, const FrameContext& context);
    void enterState(uint8_t state);
    void setError(uint16_t code);
    bool mailboxConfigurationValid(bool bootstrap) const;
    uint16_t processDataConfigurationError() const;
    void applySmDeactivation();

    void eepromOwnershipWritten(const FrameContext& context);
    bool eepromCommandWritten(uint16_t value, const FrameContext& context);
    void refreshEepromStatus(const FrameContext& context);

    void syncManagerWritten(int sm);
    void refreshSmStatus();
    void latchReceiveTimes(const FrameContext& context);
    uint64_t localTimeNs(const FrameContext& context) const;

    bool mailboxAvailable() const;
    void takeMailboxRequest(const FrameContext& context);
    void queueMessage(uint8_t type, std::vector<uint8_t> data, Clock::time_point readyAt);
    void postNextMessage(const FrameContext& context);
    void writeToSm1(const std::vector<uint8_t>& message);

    std::vector<MappedEntry> currentMapping(int sm) const;
    void decodeOutputs(int sm);
    void encodeInputs(int sm);
    int roleOf(int sm) const;

    DeviceProfile prof;
    std::vector<uint8_t> sii;
    std::vector<uint8_t> mem;  // registers 0x0000-0x0FFF and process RAM
    CoeServer coe;
    FoeServer foe;

    uint8_t state = 0x01;
    bool errorIndicated = false;

    // Mailbox.
    bool sm0Full = false;
    bool sm1Full = false;
    bool requestPending = false;
    std::vector<uint8_t> request;
    std::deque<Outgoing> outbox;
    std::vector<uint8_t> lastRead;
    uint8_t lastRequestCounter = 0;
    uint8_t replyCounter = 0;
    bool sm1Read = false;
    uint8_t repeatToggle = 0;
    std::array<uint8_t, 16> smActivate{};

    // Process data.
    bool outputsSeen = false;
    std::array<bool, 16> outputsWritten{};
    Clock::time_point lastOutputWrite{};

    // EEPROM.
    bool eepromOfferedToPdi = false;
    bool pdiAccessing = false;
    std::optional<Clock::time_point> pdiReleaseAt;
    Clock::time_point eepromBusyUntil{};
    uint16_t eepromErrors = 0;
    uint16_t eepromCommand = 0;

    // Distributed clocks.
    uint64_t clockOffsetNs = 0;

    std::vector<uint8_t> writableMask;
};

}  // namespace ecsim
