// A simulated EtherCAT segment: a chain of devices that processes whole frames in wiring order,
// as frames travel through real slave controllers. Feed it the bytes a master would put on the
// wire (Ethernet header, EtherCAT header, datagrams); it returns the frame as it would come back,
// or nothing when the frame is lost or destroyed on the way.
//
// Thread-safe: one frame is processed at a time, so a cycle thread and mailbox traffic can share a
// segment. Device positions are 1-based, in wiring order.
#pragma once

#include "DeviceProfile.h"
#include "FaultKnobs.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ecsim {

class SimulatedDevice;

// Frame-level constants.
inline constexpr uint16_t kEtherTypeEtherCat = 0x88A4;
inline constexpr size_t kMaxFrameBytes = 1514;
// A chain is built with at most this many devices (a master handles up to 199; a longer chain
// lets it be tested for refusing one).
inline constexpr size_t kMaxDevices = 512;

// What a test may look at from outside without sending frames.
struct DeviceStatus {
    uint16_t stationAddress = 0;
    uint16_t alStatus = 0;      // 0x0130: state | 0x10 error
    uint16_t alStatusCode = 0;  // 0x0134
    bool eepromOfferedToPdi = false;
    bool silent = false;
};

class Segment {
public:
    Segment();
    explicit Segment(const std::vector<DeviceProfile>& profiles);
    ~Segment();
    Segment(const Segment&) = delete;
    Segment& operator=(const Segment&) = delete;

    // Appends a device at the end of the chain. Throws std::length_error beyond kMaxDevices.
    void addDevice(const DeviceProfile& profile);
    size_t deviceCount() const;

    std::optional<std::vector<uint8_t>> processFrame(const std::vector<uint8_t>& frame);

    FaultKnobs& faults() { return knobs; }

    // Inspection and set-up for tests; position 1..deviceCount(), throws std::out_of_range.
    DeviceStatus status(size_t position) const;
    // Raw controller memory (registers and process RAM), as the device's PDI sees it.
    std::vector<uint8_t> memory(size_t position, uint16_t address, uint16_t length) const;
    std::vector<uint8_t> eeprom(size_t position) const;
    std::optional<std::vector<uint8_t>> objectValue(size_t position, uint16_t index, uint8_t subindex) const;
    bool setObjectValue(size_t position, uint16_t index, uint8_t subindex, std::vector<uint8_t> value);
    std::optional<std::vector<uint8_t>> file(size_t position, const std::string& name) const;
    void putFile(size_t position, const std::string& name, FoeFile file);
    // The profile the device was built from, as it is now (objects and files change with
    // traffic). Read its fixed fields freely; its dictionary and files only while no frame is
    // being processed, or through objectValue() and file().
    const DeviceProfile& profile(size_t position) const;
    // Queues a CoE emergency (code, error register, 5 bytes) in the device's mailbox.
    void raiseEmergency(size_t position, uint16_t errorCode, uint8_t errorRegister);

private:
    SimulatedDevice& at(size_t position) const;

    mutable std::mutex mutex;
    std::vector<std::unique_ptr<SimulatedDevice>> devices;
    FaultKnobs knobs;
    std::chrono::steady_clock::time_point epoch;
    std::vector<DeviceFaults> faultCache;
    uint64_t faultGeneration = ~uint64_t(0);
    std::vector<uint64_t> powerCyclesSeen;
};

}  // namespace ecsim
