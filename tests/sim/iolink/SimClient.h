// Test client of the simulated master that speaks frames through handleRequest(): request
// builders with their checksum, and the few exchanges most tests need (configure a port, run
// cycles, carry an ISDU request through to its result).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "sim/iolink/Simulator.h"

namespace iolsim::test {

using Bytes = std::vector<uint8_t>;

// Code, length, payload and checksum.
// Built byte by byte on purpose: the expected answers must not come from the codec under test.
inline Bytes request(uint8_t serviceCode, const Bytes& payload) {
    Bytes frame;
    frame.reserve(payload.size() + 3);
    frame.push_back(serviceCode);
    frame.push_back(static_cast<uint8_t>(payload.size() + 3));
    uint8_t checksum = static_cast<uint8_t>(frame[0] ^ frame[1]);
    for (uint8_t b : payload) {
        frame.push_back(b);
        checksum = static_cast<uint8_t>(checksum ^ b);
    }
    frame.push_back(checksum);
    return frame;
}
inline Bytes request(uint8_t serviceCode, std::initializer_list<uint8_t> payload) {
    return request(serviceCode, Bytes(payload));
}
inline Bytes request(Service s, std::initializer_list<uint8_t> payload) { return request(code(s), Bytes(payload)); }
inline Bytes request(Service s, const Bytes& payload) { return request(code(s), payload); }

// A WRITE_PORT_CONFIG record for port 0 with the given mode and lengths, cycle time 2 ms.
inline Bytes portConfig(ModeCode mode, uint8_t inLength, uint8_t outLength, uint8_t port = 0) {
    Bytes r(kPortConfigRecordLength, 0);
    r[0] = code(Service::WritePortConfig);
    r[1] = kPortConfigRecordLength;
    r[2] = port;
    r[3] = static_cast<uint8_t>(mode);
    r[6] = 20;
    r[7] = inLength;
    r[10] = outLength;
    r[39] = 0x11;
    r[40] = xorChecksum(std::span<const uint8_t>(r.data(), r.size() - 1));
    return r;
}

inline Bytes isduRead(uint16_t index, uint8_t subindex) {
    return request(Service::IsduRequest, {0, 1, static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index), subindex});
}
inline Bytes isduWrite(uint16_t index, uint8_t subindex, const Bytes& data) {
    Bytes payload{0, 0, static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index), subindex};
    payload.insert(payload.end(), data.begin(), data.end());
    return request(Service::IsduRequest, payload);
}

class SimClient {
public:
    explicit SimClient(SimulatorConfig config = {}) : sim(std::move(config)) {}

    Bytes send(const Bytes& frame) { return sim.handleRequest(frame); }

    // One PROCESS_DATA exchange with zero control and output bytes; returns the answer.
    Bytes cycle(uint8_t outputBytes = 0, uint8_t ports = 1) {
        Bytes payload(2u * ports + outputBytes, 0);
        return send(request(Service::ProcessData, payload));
    }
    void cycles(unsigned n) {
        for (unsigned i = 0; i < n; ++i) cycle();
    }

    // Operate with the device's own lengths, as a client does before parameter access.
    void bringToOperate() {
        const auto& d = sim.device();
        ASSERT_EQ(send(portConfig(ModeCode::IoLinkOperational, d.processDataInLength, d.processDataOutLength)),
                  request(Service::WritePortConfig, {0, 0}));
        for (int i = 0; i < 100 && sim.port().phase != PortPhase::Operate; ++i) cycle();
        ASSERT_EQ(sim.port().phase, PortPhase::Operate);
    }

    // Request accepted, cycles until the result nibble says ready, then the ISDU_RESULT answer.
    Bytes isdu(const Bytes& isduRequest, unsigned maxCycles = 50) {
        Bytes accepted = send(isduRequest);
        if (accepted != request(Service::IsduRequest, {0, 0})) return accepted;
        for (unsigned i = 0; i < maxCycles; ++i) {
            Bytes pd = cycle();
            if (pd.size() > 3 && (pd[3] & 0x0F) >= kIsduResultReady) return send(request(Service::IsduResult, {0}));
        }
        return {};
    }

    Simulator sim;
};

// The answer expected for an ISDU_RESULT of port 0.
inline Bytes resultFrame(uint8_t status, const Bytes& bytes = {}) {
    Bytes payload{0, status};
    payload.insert(payload.end(), bytes.begin(), bytes.end());
    return request(Service::IsduResult, payload);
}
inline Bytes errorResult(uint8_t status, uint16_t error) {
    return resultFrame(status, {static_cast<uint8_t>(error >> 8), static_cast<uint8_t>(error)});
}

}  // namespace iolsim::test
