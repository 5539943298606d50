#include "link/LinkThread.h"

#include <chrono>
#include <system_error>
#include <thread>

#include "link/ErrorCodes.h"
#include "link/LinkState.h"
#include "link/PortStateMachine.h"
#include "link/ResponseDispatcher.h"
#include "link/ThreadPriority.h"

namespace iolink {

namespace {

void buildCycleRequest(LinkState& link)
{
    const std::lock_guard<std::mutex> guard(link.cycleLock);
    buildProcessDataCycleRequest(link);
}

void pause(const LinkState& link)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(link.cyclePeriod / 10));
}

void linkThread()
{
    LinkState& link = linkState();
    raiseCurrentThreadToRealTime();
    while (link.errorCount < linkErrorLimit) {
        if (link.running == 0) {
            return;
        }
        if (link.errorCount == 0 && !dequeueRequest()) {
            buildCycleRequest(link);
        }
        pause(link);
        if (sendFrame(link.txBuffer.data()) != OK) {
            link.errorCount = static_cast<uint8_t>(link.errorCount + 1);
            continue;
        }
        pause(link);
        if (receiveFrame(link.rxBuffer.data(), frameCapacity) != OK) {
            link.errorCount = static_cast<uint8_t>(link.errorCount + 1);
            continue;
        }
        handleResponse(link.rxBuffer.data());
    }
    // A stop that came with the last failure wins: a stopped link is not reported as lost.
    if (link.running.exchange(0) == 0) {
        return;
    }
    link.portCount = 0;
    for (PortLink& port : link.ports) {
        port.isduState = ISDU_IDLE; // nobody can fetch a result any more
    }
    if (const ConnectionLostCallback lost = link.connectionLostCallback.load(); lost != nullptr) {
        lost();
    }
}

} // namespace

uint32_t startLinkThread()
{
    LinkState& link = linkState();
    if (link.thread.joinable()) {
        link.thread.join(); // a thread that gave the link up has ended or is about to
    }
    link.running = 1;
    try {
        link.thread = std::thread(linkThread);
    } catch (const std::system_error&) {
        link.running = 0;
        return ERROR_GENERAL_ERROR;
    }
    return OK;
}

void stopLinkThread()
{
    LinkState& link = linkState();
    link.running = 0;
    if (link.thread.joinable() && link.thread.get_id() != std::this_thread::get_id()) {
        link.thread.join();
    }
}

bool linkThreadRunning() { return linkState().running != 0; }

} // namespace iolink
