// Inside of Simulator, shared by the protocol engine and the pseudo-terminal server. Everything
// here is guarded by `mutex` except the serving thread's own descriptors.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sim/iolink/Simulator.h"

namespace iolsim {

struct Port {
    uint8_t number = 0;
    bool hasDevice = false;
    std::array<uint8_t, kPortConfigRecordLength> record{};  // as READ_PORT_CONFIG answers it
    ModeCode mode = ModeCode::Inactive;
    PortPhase phase = PortPhase::Inactive;
    uint32_t cyclesInPhase = 0;
    std::vector<uint8_t> output;
    uint8_t control0 = 0, control1 = 0, controlSeen0 = 0, controlSeen1 = 0;

    IsduRequest isdu;
    bool isduPending = false;
    uint32_t isduCyclesLeft = 0;
    bool resultReady = false;
    std::vector<uint8_t> result;  // result status and bytes of the last finished request

    std::deque<SimEvent> events;
    bool lossReported = false;
    uint32_t restartCyclesLeft = 0;  // device away while it restarts
};

struct Simulator::Impl {
    explicit Impl(SimulatorConfig c);

    struct Totals {
        uint16_t input = 0;
        uint16_t output = 0;
    };

    std::vector<uint8_t> handle(const std::vector<uint8_t>& frame);
    std::vector<uint8_t> execute(const std::vector<uint8_t>& frame);
    std::vector<uint8_t> masterInfo(uint8_t item) const;
    std::vector<uint8_t> processData(const std::vector<uint8_t>& frame);
    uint8_t portCount() const;
    Totals totals() const;
    uint32_t masterCycleTimeUs(const Port& port) const;
    uint32_t operateAfter(const Port& port) const;
    void enterMode(Port& port, ModeCode mode);
    void enterPhase(Port& port, PortPhase phase);
    void settle(Port& port);
    void cycle(Port& port);
    void completeIsdu(Port& port);
    uint8_t statusByte0(const Port& port) const;
    uint8_t statusByte1(const Port& port) const;
    PortView view(uint8_t number) const;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;  // notified after every request and knob change
    SimulatorConfig config;
    FaultKnobs faults;
    ParameterStore store;
    Bootloader bootloader;  // its handlers live in store; it has its own lock
    Statistics stats;
    std::array<Port, 2> ports;
    bool powered = true;
    bool digitalInput = false;
    std::vector<uint8_t> deviceInput;
    std::optional<Totals> requestedTotals;  // from SET_PD_LENGTHS; else the ports' layout
    std::atomic<uint32_t> page1CycleTimeUs{0};  // port 0's cycle time as the device sees it

    std::vector<uint8_t> lastRequest;
    std::vector<uint8_t> lastAnswer;
    bool lastAnswerRepeatable = false;

    std::mt19937 generator{1};
    uint32_t generatorSeed = 1;

    // Pseudo-terminal server (PseudoTerminal.cpp).
    void serve();
    void writeAnswer(const std::vector<uint8_t>& answer);
    bool pause(int milliseconds);  // false when stopping
    int masterFd = -1;
    int slaveFd = -1;       // held open so the master side never sees a hang-up between clients
    int wakeFds[2] = {-1, -1};
    std::string slaveName;  // guarded by mutex
    std::thread server;
    std::atomic<bool> serving{false};
};

}  // namespace iolsim
