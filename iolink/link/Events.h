// Port and device events: fetched one per EVENT_REQUEST while the master flags one pending,
// kept in the port's history and reported as one line on standard output. The loss of the link
// is reported the same way.
#pragma once

#include <cstdint>
#include <string>

#include "link/LinkState.h"

namespace iolink {

std::string eventCodeText(uint16_t code);
std::string eventTypeText(uint32_t type);
std::string eventSourceText(uint32_t source);
// The line a callback prints, without its line feed.
std::string eventLine(bool deviceEvent, const EventRecord& event);

void onConnectionLost();
void onDeviceEvent(uint8_t port, EventRecord event);
void onPortEvent(uint8_t port, EventRecord event);

// Bookkeeping step (under cycleLock): queue an EVENT_REQUEST when the port flags an event and
// none is outstanding.
void triggerEventRequest(uint8_t port);
// An EVENT_REQUEST answer with a valid checksum: store, report, clear the outstanding mark.
void handleEventResponse(const uint8_t* frame);

} // namespace iolink
