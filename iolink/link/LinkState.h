// The one master link of the process. Whatever the number of IoLinkLib objects, they all act on
// this record; it lives as long as the library is loaded.
//
// Who touches what: operations under apiLock; the link thread under cycleLock for the per-port
// bookkeeping and without a lock for the rest of the dispatch; the ring only under queueLock.
// apiLock and cycleLock are never held together, so every item both sides touch is an atomic
// word. The link owns its transmit, receive and result buffers: nothing the thread writes into
// belongs to an object a caller may delete.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "link/Frame.h"
#include "link/RequestQueue.h"
#include "link/SerialPort.h"
#include "link/Services.h"

namespace iolink {

inline constexpr uint8_t linkErrorLimit = 8;          // consecutive failed exchanges
inline constexpr uint16_t cyclicCyclePeriod = 15;     // the link sleeps period / 10 ms twice a cycle
inline constexpr uint32_t inactiveTimeoutCycles = 1001;
inline constexpr uint32_t startupTimeoutCycles = 3334;
inline constexpr uint32_t isduTimeoutCycles = 2667;
inline constexpr size_t eventHistorySize = 32;
inline constexpr uint8_t isduReadCapacity = 232;       // bytes a caller's read buffer must hold
inline constexpr size_t identificationLength = 17;

enum ComState : uint32_t { COM_CLOSED = 0, COM_OPEN = 2 };

enum PortState : uint32_t {
    PORT_STATE_NO_COMMUNICATION = 0,
    PORT_STATE_INACTIVE = 1,
    PORT_STATE_MASTER_CONDITION = 2,
    PORT_STATE_PREOPERATE = 3,
    PORT_STATE_OPERATE = 4,
    PORT_STATE_DIGITAL_INPUT = 5,
    PORT_STATE_DIGITAL_OUTPUT = 6,
    PORT_STATE_CHANGING = 255,
};

enum IsduState : uint32_t { ISDU_IDLE = 0, ISDU_REQUESTED = 1, ISDU_RESULT_REQUESTED = 2 };

// Where the data of a parameter read go.
enum ResultTarget : uint32_t { RESULT_NONE = 0, RESULT_CALLER = 1, RESULT_IDENTIFICATION = 2 };

struct EventRecord {
    uint32_t qualifier1 = 0;
    uint32_t qualifier2 = 0;
    uint32_t type = 0;
    uint32_t source = 0;
    uint16_t eventCode = 0;
};

struct PortRecord {
    uint32_t deviceId = 0;
    uint32_t cycleTimeUs = 0;
    uint16_t vendorId = 0;
    uint32_t portState = 0;
    uint32_t statusFlag = 0;
    uint8_t revision = 0;
    uint8_t inputLength = 0;
    uint8_t outputLength = 0;
    uint8_t eventCount = 0;
    std::array<EventRecord, eventHistorySize> events{};
};

struct SharedEventRecord {
    std::atomic<uint32_t> qualifier1{0};
    std::atomic<uint32_t> qualifier2{0};
    std::atomic<uint32_t> type{0};
    std::atomic<uint32_t> source{0};
    std::atomic<uint16_t> eventCode{0};

    void store(const EventRecord& r);
    EventRecord load() const;
};

// The port record as both sides share it; a snapshot is taken field by field and may mix two
// link cycles.
struct SharedPortRecord {
    std::atomic<uint32_t> deviceId{0};
    std::atomic<uint32_t> cycleTimeUs{0};
    std::atomic<uint16_t> vendorId{0};
    std::atomic<uint32_t> portState{0};
    std::atomic<uint32_t> statusFlag{0};
    std::atomic<uint8_t> revision{0};
    std::atomic<uint8_t> inputLength{0};
    std::atomic<uint8_t> outputLength{0};
    std::atomic<uint8_t> eventCount{0};
    std::array<SharedEventRecord, eventHistorySize> events;

    PortRecord snapshot() const;
    // Keeps the newest eventHistorySize records, oldest first.
    void appendEvent(const EventRecord& r);
};

struct PortLink {
    // Link thread only (and the start-up before the thread exists).
    std::array<uint8_t, 2> status{};
    std::array<uint8_t, 2> control{}; // under cycleLock
    uint32_t lastConditionNibble = 0;

    std::atomic<uint32_t> sequenceStep{0};
    std::atomic<uint32_t> modeCountdown{0};
    std::atomic<uint32_t> isduState{ISDU_IDLE};
    std::atomic<uint32_t> isduCountdown{0};
    std::atomic<uint16_t> ioLinkErrorCode{0};
    std::atomic<uint8_t> receivedLength{0};
    std::atomic<uint32_t> resultTarget{RESULT_NONE};
    std::atomic<uint8_t> resultCapacity{0};
    std::atomic<uint32_t> eventOutstanding{0};
    SharedPortRecord record;

    // Operations only, under apiLock (and the start-up).
    PortConfiguration configuration;
    PortConfigMemory configMemory;
};

using ConnectionLostCallback = void (*)();
using EventCallback = void (*)(uint8_t port, EventRecord event);

struct LinkState {
    LinkState() = default;
    ~LinkState();
    LinkState(const LinkState&) = delete;
    LinkState& operator=(const LinkState&) = delete;

    std::mutex apiLock;
    std::mutex cycleLock;
    std::mutex queueLock;

    SerialPort serial;
    std::atomic<uint32_t> comState{COM_CLOSED};
    FrameBuffer txBuffer{};
    FrameBuffer rxBuffer{};

    std::atomic<uint32_t> running{0};
    std::thread thread;
    std::atomic<uint8_t> errorCount{0};
    std::atomic<uint16_t> cyclePeriod{0};
    RequestQueue queue;
    std::atomic<bool> moduleInitialised{false};
    std::atomic<bool> connecting{false};

    std::atomic<ConnectionLostCallback> connectionLostCallback{nullptr};
    std::atomic<EventCallback> deviceEventCallback{nullptr};
    std::atomic<EventCallback> portEventCallback{nullptr};

    std::atomic<uint8_t> portCount{0};
    std::atomic<uint16_t> totalOutputLength{0};
    std::atomic<uint16_t> totalInputLength{0};
    ProcessDataLayout layout; // under apiLock
    MasterInfo masterInfo;    // start-up only

    std::array<PortLink, maxPorts> ports;

    // Written by the link thread before it ends a read (IsduState back to idle); read by the
    // operation under apiLock afterwards.
    std::array<uint8_t, identificationLength> identificationBuffer{};
    FrameBuffer resultData{};

    // The link thread composes its follow-up requests here; operations use their own.
    FrameBuffer cycleStaging{};
};

LinkState& linkState();

// Transport (serial port of the link).
uint32_t openSerialPort(const std::string& portName);
void closeSerialPort();
uint32_t sendFrame(const uint8_t* frame);
uint32_t receiveFrame(uint8_t* buffer, size_t capacity);
bool readSerialBytes(uint8_t* destination, size_t count);

// The request ring, under queueLock.
bool enqueueRequest(const uint8_t* frame);
bool dequeueRequest();
void clearRequestQueue();

} // namespace iolink
