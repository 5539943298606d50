// Fault triggers of the simulated IO-Link master, shared by the simulator and the tests that
// provoke them. Plain data: read them with Simulator::faults(), change a copy and put it back
// with Simulator::setFaults() (or Simulator::changeFaults()), from any thread, at any time; the
// master reads them once per request.
#pragma once

#include <cstdint>
#include <limits>

#include "sim/iolink/Protocol.h"

namespace iolsim {

enum class ChecksumCorruption : uint8_t {
    Off,
    EveryFrame,  // every answer goes out with a wrong checksum
    AtRate,      // each answer with probability corruptionRate, from a generator seeded with
                 // corruptionSeed (the same seed gives the same sequence of corrupted answers)
};

constexpr uint32_t kAlways = std::numeric_limits<uint32_t>::max();

// Bit of a service in FaultKnobs::refusedServices.
constexpr uint32_t serviceBit(Service s) { return 1u << code(s); }

struct FaultKnobs {
    // The master answers nothing at all (the request is still counted in the statistics).
    bool silentMaster = false;

    // Answers whose checksum byte is inverted. The request itself was executed normally, so a
    // client that repeats it gets the repeated request's answer (see Simulator).
    ChecksumCorruption corruption = ChecksumCorruption::Off;
    double corruptionRate = 0.0;  // 0..1, for AtRate
    uint32_t corruptionSeed = 1;  // the generator restarts whenever this value changes

    // Requests of these services (serviceBit) are answered with refusalStatus in their status
    // byte and not executed. Only services whose answer has a status byte can be refused:
    // SET_PD_LENGTHS, WRITE_PORT_CONFIG, ISDU_REQUEST, EVENT_REQUEST, POWER_OFF, POWER_ON.
    // refusalCount limits how many requests are refused before the knob clears itself.
    uint32_t refusedServices = 0;
    uint8_t refusalStatus = 1;
    uint32_t refusalCount = kAlways;

    // Requests of these services (serviceBit) get no answer at all, as from a master that drops
    // them, while every other service is answered normally.
    uint32_t unansweredServices = 0;

    // An accepted ISDU request signals "result ready" only this many process-data cycles later
    // than the device's normal latency.
    uint32_t lateResultCycles = 0;

    // The device on port 0 is gone: condition nibble 1, no operate or preoperate, pending ISDU
    // requests dropped. When it returns the port starts up again from the beginning.
    bool deviceLost = false;
    // Condition nibble shown while the device is there (0 = none, 2..9 = conditions that a
    // master reports for a port, e.g. a short circuit); deviceLost takes precedence.
    uint8_t portCondition = kConditionNone;

    // MASTER_CONFIG announces two ports; port 1 exists, stays inactive and has no device.
    bool announceTwoPorts = false;

    // Pseudo-terminal only: the answer goes out this much later (a slow master).
    uint32_t answerDelayMs = 0;
};

}  // namespace iolsim
