// A simulated IO-Link master with one port and a simulated device behind it.
//
// It answers requests frame by frame, either through handleRequest() (unit tests, no terminal)
// or on the master side of a pseudo-terminal pair it opens itself, served on its own thread,
// whose slave side a client opens like a serial port (slavePath()).
//
// The master is polled: it only ever answers. A port's life advances with PROCESS_DATA
// requests, so every count of "cycles" below counts those requests. The line has no sequence
// numbers, so a client that did not get a valid answer repeats its request; a repeated
// ISDU_REQUEST, EVENT_REQUEST, WRITE_PORT_CONFIG, SET_PD_LENGTHS or power request right after
// the one it repeats is answered again without being executed twice, and ISDU_RESULT keeps
// answering the last result until the next ISDU request.
//
// Every public member may be called from any thread while the master serves.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/iolink/Bootloader.h"
#include "sim/iolink/Device.h"
#include "sim/iolink/FaultKnobs.h"
#include "sim/iolink/ParameterStore.h"
#include "sim/iolink/Protocol.h"

namespace iolsim {

constexpr uint32_t kNeverCycles = std::numeric_limits<uint32_t>::max();

struct SimulatorConfig {
    DeviceIdentity device;
    MasterIdentity master;
    // The device's BLOB channel, system commands and boot mode (sim/iolink/Bootloader.h).
    FirmwareConfig firmware;

    // Port 0 as the master has it after power-up.
    ModeCode initialMode = ModeCode::Inactive;
    uint32_t initialCycleTimeUs = 0;  // 0: the device's minimum cycle time

    // IO-Link start of a port: cycles with no communication before preoperate is signalled,
    // then cycles in preoperate before operate. 0 for the second skips preoperate. The
    // preoperational mode (validation) has its own second count; by default the port stays
    // in preoperate there.
    uint32_t preoperateAfterCycles = 2;
    uint32_t operateAfterCycles = 3;
    uint32_t preoperationalOperateAfterCycles = kNeverCycles;

    // Cycles between an accepted ISDU request and its result being ready (0: at once).
    uint32_t isduLatencyCycles = 1;

    // The master reports the device's loss and return as port events ("Device communication
    // lost" warning, "New Slave" notification).
    bool reportDeviceLoss = true;
};

// Event as the master hands it out with EVENT_REQUEST.
namespace event {
constexpr uint8_t kNotification = 1;
constexpr uint8_t kWarning = 2;
constexpr uint8_t kError = 3;
constexpr uint8_t kSourceDevice = 0;
constexpr uint8_t kSourceMaster = 1;
constexpr uint16_t kNewSlave = 0xFF21;
constexpr uint16_t kDeviceCommunicationLost = 0xFF22;
}  // namespace event

struct SimEvent {
    uint8_t port = 0;
    uint8_t type = event::kNotification;
    uint8_t source = event::kSourceDevice;
    uint16_t code = 0;
    uint8_t qualifier1 = 0;  // first two qualifier bytes, passed through as they are
    uint8_t qualifier2 = 0;
    bool operator==(const SimEvent&) const = default;
};

enum class PortPhase : uint8_t {
    Inactive,    // mode code 0, or the port does not exist for the client
    Digital,     // digital input or output
    Startup,     // IO-Link mode, device not yet talking
    Preoperate,
    Operate,
    NoDevice,    // IO-Link mode, device lost or port unpowered
};

struct PortView {
    ModeCode mode = ModeCode::Inactive;
    PortPhase phase = PortPhase::Inactive;
    bool powered = true;
    uint8_t statusByte0 = 0;  // as the next PROCESS_DATA answer will carry them
    uint8_t statusByte1 = 0;
    uint32_t cyclesInPhase = 0;
    std::vector<uint8_t> configRecord;  // 41 bytes, as READ_PORT_CONFIG answers it
    std::vector<uint8_t> outputData;    // output process data last received for the port
    uint8_t controlByte0 = 0;           // control bytes of the last PROCESS_DATA request
    uint8_t controlByte1 = 0;
    uint8_t controlBitsSeen0 = 0;       // every bit ever received in either (OR), e.g. the
    uint8_t controlBitsSeen1 = 0;       // one-shot bits a client sends once
    bool isduPending = false;           // accepted, result not ready yet
    bool isduResultReady = false;       // ready, not yet fetched
    std::size_t queuedEvents = 0;
};

struct Statistics {
    uint64_t requests = 0;         // frames received with a valid checksum and length
    uint64_t ignored = 0;          // bad checksum, bad length, line noise: not answered
    uint64_t answered = 0;
    uint64_t corrupted = 0;        // answers sent with a wrong checksum
    uint64_t refused = 0;          // answered with a non-zero status by the refusal knob
    uint64_t repeated = 0;         // repeated requests answered without executing them again
    uint64_t processDataCycles = 0;
    std::map<uint8_t, uint64_t> byService;  // valid requests by service code
};

class Simulator {
public:
    explicit Simulator(SimulatorConfig config = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens a pseudo-terminal pair (raw, 115200 8N1) and serves its master side until
    // stopServing() or destruction. Throws std::system_error when the pair cannot be made.
    void startServing();
    void stopServing();
    bool isServing() const;
    // The terminal a client opens; empty while not serving.
    std::string slavePath() const;

    // One request frame in, the answer out; empty when the master does not answer.
    std::vector<uint8_t> handleRequest(const std::vector<uint8_t>& frame);

    FaultKnobs faults() const;
    void setFaults(const FaultKnobs& knobs);
    void changeFaults(const std::function<void(FaultKnobs&)>& change);

    void setStartupCycles(uint32_t preoperateAfter, uint32_t operateAfter,
                          uint32_t preoperationalOperateAfter = kNeverCycles);
    void setIsduLatency(uint32_t cycles);

    // The device's parameters; lives as long as the simulator.
    ParameterStore& parameters();
    const DeviceIdentity& device() const;

    // The device's firmware-update objects: BLOB channel, system commands, boot mode; lives as
    // long as the simulator. Its knobs are FaultKnobs::firmware (set them through setFaults()).
    Bootloader& bootloader();
    FirmwareView firmware() const;
    // The last BLOB the device completed under this id (Finish after a matching CRC), byte for
    // byte; nullopt if none was.
    std::optional<std::vector<uint8_t>> completedBlob(uint16_t id) const;
    // The image the device last adopted as its firmware (empty: still the factory firmware).
    std::vector<uint8_t> installedFirmware() const;

    void pushEvent(const SimEvent& e);
    std::size_t queuedEvents(uint8_t port = 0) const;
    void clearEvents();

    // Input process data of the device (operate) and the digital input level (digital input
    // mode); output data and level as the client last sent them.
    void setProcessDataInput(std::vector<uint8_t> bytes);
    std::vector<uint8_t> processDataOutput() const;
    void setDigitalInput(bool level);
    bool digitalOutput() const;

    PortView port(uint8_t number = 0) const;
    Statistics statistics() const;
    void resetStatistics();

    // Waits until the predicate holds for port 0, checked after every request; true if it did.
    // The predicate runs under the simulator's lock: it must not call the simulator.
    bool waitForPort(const std::function<bool(const PortView&)>& predicate,
                     std::chrono::milliseconds timeout) const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl;
};

}  // namespace iolsim
