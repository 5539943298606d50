#include "link/LinkState.h"

namespace iolink {

void SharedEventRecord::store(const EventRecord& r)
{
    qualifier1 = r.qualifier1;
    qualifier2 = r.qualifier2;
    type = r.type;
    source = r.source;
    eventCode = r.eventCode;
}

EventRecord SharedEventRecord::load() const
{
    return EventRecord{qualifier1.load(), qualifier2.load(), type.load(), source.load(), eventCode.load()};
}

PortRecord SharedPortRecord::snapshot() const
{
    PortRecord r;
    r.deviceId = deviceId;
    r.cycleTimeUs = cycleTimeUs;
    r.vendorId = vendorId;
    r.portState = portState;
    r.statusFlag = statusFlag;
    r.revision = revision;
    r.inputLength = inputLength;
    r.outputLength = outputLength;
    r.eventCount = eventCount;
    for (size_t i = 0; i < eventHistorySize; ++i) {
        r.events[i] = events[i].load();
    }
    return r;
}

void SharedPortRecord::appendEvent(const EventRecord& r)
{
    const uint8_t count = eventCount;
    if (count < eventHistorySize) {
        events[count].store(r);
        eventCount = static_cast<uint8_t>(count + 1);
        return;
    }
    for (size_t i = 1; i < eventHistorySize; ++i) {
        events[i - 1].store(events[i].load());
    }
    events[eventHistorySize - 1].store(r);
}

LinkState::~LinkState()
{
    // A process that ends while connected: the thread must not outlive the record it uses.
    running = 0;
    if (thread.joinable()) {
        thread.join();
    }
}

LinkState& linkState()
{
    static LinkState state;
    return state;
}

} // namespace iolink
