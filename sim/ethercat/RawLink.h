// Raw EtherCAT frames on a network interface through libpcap: inbound only, EtherType 0x88A4,
// immediate delivery. The only place of the simulator program that touches an OS handle.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ecsim {

class RawLink {
public:
    static std::unique_ptr<RawLink> open(const std::string& interfaceName, std::string& error);
    ~RawLink();
    RawLink(const RawLink&) = delete;
    RawLink& operator=(const RawLink&) = delete;

    bool send(const std::vector<uint8_t>& frame);
    // 1 frame received, 0 none within timeoutMs, -1 error.
    int receive(std::vector<uint8_t>& frame, int timeoutMs);

private:
    RawLink() = default;
    struct Handle;
    std::unique_ptr<Handle> handle;
};

// True when the interface is one end of a veth pair (driver "veth").
bool isVethInterface(const std::string& interfaceName);

}  // namespace ecsim
