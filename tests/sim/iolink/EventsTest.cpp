// Events queued on the master: the pending bit, one event per EVENT_REQUEST in order, and a
// client's retry of a request whose answer it lost.
#include <gtest/gtest.h>

#include "SimClient.h"

namespace iolsim::test {
namespace {

Bytes eventAnswer(const SimEvent& e) {
    return request(Service::EventRequest, {e.port, kEventDelivered, e.qualifier1, e.qualifier2, e.type, e.source,
                                           static_cast<uint8_t>(e.code >> 8), static_cast<uint8_t>(e.code)});
}

const Bytes kEventRequest = request(Service::EventRequest, {0});

TEST(Events, QueuedEventsAreSignalledAndHandedOutInOrder) {
    SimClient client;
    const SimEvent first{0, event::kWarning, event::kSourceMaster, event::kDeviceCommunicationLost, 0, 0};
    const SimEvent second{0, event::kError, event::kSourceDevice, 0x1800, 0xAA, 0x55};
    EXPECT_EQ(client.cycle()[2] & kStatusEventPending, 0);
    client.sim.pushEvent(first);
    client.sim.pushEvent(second);
    EXPECT_EQ(client.cycle()[2] & kStatusEventPending, kStatusEventPending);

    EXPECT_EQ(client.send(kEventRequest), eventAnswer(first));
    EXPECT_EQ(client.cycle()[2] & kStatusEventPending, kStatusEventPending);
    EXPECT_EQ(client.send(kEventRequest), eventAnswer(second));
    EXPECT_EQ(client.cycle()[2] & kStatusEventPending, 0);
    EXPECT_EQ(client.send(kEventRequest), request(Service::EventRequest, {0, kEventNone}));
}

TEST(Events, RetriedRequestGetsTheSameEventAgain) {
    SimClient client;
    const SimEvent first{0, event::kNotification, event::kSourceDevice, 0x8C10, 0, 0};
    const SimEvent second{0, event::kNotification, event::kSourceDevice, 0x8C20, 0, 0};
    client.sim.pushEvent(first);
    client.sim.pushEvent(second);
    EXPECT_EQ(client.send(kEventRequest), eventAnswer(first));
    EXPECT_EQ(client.send(kEventRequest), eventAnswer(first));  // answer lost, asked again
    EXPECT_EQ(client.sim.queuedEvents(), 1u);
    client.cycle();
    EXPECT_EQ(client.send(kEventRequest), eventAnswer(second));
}

TEST(Events, AnEmptyAnswerIsNotRepeatedSoALaterEventIsSeen) {
    SimClient client;
    EXPECT_EQ(client.send(kEventRequest), request(Service::EventRequest, {0, kEventNone}));
    const SimEvent e{0, event::kWarning, event::kSourceDevice, 0x4000, 0, 0};
    client.sim.pushEvent(e);
    EXPECT_EQ(client.send(kEventRequest), eventAnswer(e));
}

TEST(Events, EventsBelongToTheirPort) {
    SimClient client;
    client.sim.changeFaults([](FaultKnobs& f) { f.announceTwoPorts = true; });
    const SimEvent onPort1{1, event::kNotification, event::kSourceMaster, event::kNewSlave, 0, 0};
    client.sim.pushEvent(onPort1);
    Bytes pd = client.cycle(0, 2);
    ASSERT_EQ(pd.size(), 7u);
    EXPECT_EQ(pd[2] & kStatusEventPending, 0);
    EXPECT_EQ(pd[4] & kStatusEventPending, kStatusEventPending);
    EXPECT_EQ(client.send(kEventRequest), request(Service::EventRequest, {0, kEventNone}));
    EXPECT_EQ(client.send(request(Service::EventRequest, {1})), eventAnswer(onPort1));
    client.sim.pushEvent({5, event::kError, 0, 1, 0, 0});  // no such port: dropped
    EXPECT_EQ(client.sim.queuedEvents(5), 0u);
}

}  // namespace
}  // namespace iolsim::test
