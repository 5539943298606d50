#include "link/Events.h"

#include <iostream>

namespace iolink {

namespace {

constexpr uint8_t eventPendingBit = 0x20; // status byte 0
constexpr uint32_t deviceSource = 0;

} // namespace

std::string eventCodeText(uint16_t code)
{
    switch (code) {
    case 0xFF21: return "New Slave";
    case 0xFF22: return "Device communication lost";
    case 0xFF23: return "Data Storage Indentification mismatch";
    case 0xFF24: return "Data Storage Buffer Overflow";
    case 0xFF25: return "Data Storage Access Denied";
    case 0xFF31: return "Incorrect Event";
    case 0xFF98: return "Reserved Error Code";
    default: return "Unknown Event Error Code " + std::to_string(code);
    }
}

std::string eventTypeText(uint32_t type)
{
    switch (type) {
    case 1: return "Notification";
    case 2: return "Warning";
    case 3: return "Error";
    default: return "Unknown Event Type";
    }
}

std::string eventSourceText(uint32_t source)
{
    switch (source) {
    case 0: return "Device";
    case 1: return "Master";
    default: return "Unknown Origine";
    }
}

std::string eventLine(bool deviceEvent, const EventRecord& event)
{
    return std::string(deviceEvent ? "DEVICE-EVENT: " : "PORT-EVENT: ") + eventTypeText(event.type) + "-" +
           eventCodeText(event.eventCode) + ", Source: " + eventSourceText(event.source);
}

void onConnectionLost() { std::cout << "Callback >Connection Lost<\n" << std::flush; }

void onDeviceEvent(uint8_t, EventRecord event) { std::cout << eventLine(true, event) << '\n' << std::flush; }

void onPortEvent(uint8_t, EventRecord event) { std::cout << eventLine(false, event) << '\n' << std::flush; }

void triggerEventRequest(uint8_t port)
{
    LinkState& link = linkState();
    PortLink& p = link.ports[port];
    if (p.eventOutstanding != 0 || (p.status[0] & eventPendingBit) == 0) {
        return;
    }
    buildEventRequest(link.cycleStaging, port);
    if (enqueueRequest(link.cycleStaging.data())) {
        p.eventOutstanding = 1;
    }
}

void handleEventResponse(const uint8_t* frame)
{
    LinkState& link = linkState();
    const uint8_t port = frame[2];
    if (port >= maxPorts) {
        return;
    }
    PortLink& p = link.ports[port];
    if (frame[3] == 0 && frameLength(frame) >= 11) {
        const EventRecord event{frame[4], frame[5], frame[6], frame[7],
                                static_cast<uint16_t>((frame[8] << 8) | frame[9])};
        p.record.appendEvent(event);
        const EventCallback report =
            event.source == deviceSource ? link.deviceEventCallback.load() : link.portEventCallback.load();
        if (report != nullptr) {
            report(port, event);
        }
    }
    p.eventOutstanding = 0;
}

} // namespace iolink
