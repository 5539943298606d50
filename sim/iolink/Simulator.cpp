// The simulated master's protocol engine: one answer per request, port life driven by the
// PROCESS_DATA cycles, ISDU requests executed against the device's parameter store, events
// handed out one per EVENT_REQUEST. The pseudo-terminal side lives in PseudoTerminal.cpp.
#include "sim/iolink/Simulator.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <random>

#include "sim/iolink/SimulatorImpl.h"

namespace iolsim {

namespace {

constexpr uint8_t kMaxPorts = 2;

bool isIoLink(ModeCode mode) {
    return mode == ModeCode::IoLinkPreoperational || mode == ModeCode::IoLinkOperational;
}

bool communicating(PortPhase phase) { return phase == PortPhase::Preoperate || phase == PortPhase::Operate; }

// Services whose repetition right after an accepted request is a client's retry, with the
// position of their status byte.
std::optional<std::size_t> retryStatusPosition(uint8_t serviceCode) {
    switch (static_cast<Service>(serviceCode)) {
    case Service::SetPdLengths:
    case Service::PowerOff:
    case Service::PowerOn: return 2;
    case Service::WritePortConfig:
    case Service::IsduRequest:
    case Service::EventRequest: return 3;
    default: return std::nullopt;
    }
}

std::vector<uint8_t> errorAnswer(uint8_t serviceCode, ErrorReason reason) {
    const uint8_t payload[] = {static_cast<uint8_t>(reason)};
    return makeFrame(static_cast<uint8_t>(serviceCode | kErrorResponseBit), payload);
}

}  // namespace

Simulator::Impl::Impl(SimulatorConfig c) : config(std::move(c)), bootloader(config.firmware) {
    addDefaultParameters(store, config.device);
    bootloader.install(store);
    // Index 0 is the Direct Parameter page, which depends on how the master runs the port.
    store.setHandler(param::kDirectParameterPage1,
                     [this](ParameterStore&, const IsduRequest& r) -> std::optional<IsduAnswer> {
                         if (r.write) return IsduAnswer::fail(isdu_error::kAccessDenied);
                         // The identity never changes; the cycle time is kept apart so that a
                         // test calling the store directly needs no simulator lock.
                         auto page = directParameterPage1(config.device, page1CycleTimeUs.load());
                         if (r.subindex == 0) return IsduAnswer::ok(page);
                         if (r.subindex > page.size()) return IsduAnswer::fail(isdu_error::kSubindexNotAvailable);
                         return IsduAnswer::ok({page[r.subindex - 1u]});
                     });
    deviceInput.assign(config.device.processDataInLength, 0);
    for (uint8_t p = 0; p < kMaxPorts; ++p) {
        Port& port = ports[p];
        port.number = p;
        port.hasDevice = p == 0;
        ModeCode mode = p == 0 ? config.initialMode : ModeCode::Inactive;
        port.record.fill(0);
        port.record[0] = code(Service::ReadPortConfig);
        port.record[1] = kPortConfigRecordLength;
        port.record[2] = p;
        port.record[3] = static_cast<uint8_t>(mode);
        uint32_t cycleUs = config.initialCycleTimeUs ? config.initialCycleTimeUs : config.device.minCycleTimeUs;
        uint32_t cycleUnits = std::min<uint32_t>(cycleUs / 100, 0xFFFF);
        port.record[5] = static_cast<uint8_t>(cycleUnits >> 8);
        port.record[6] = static_cast<uint8_t>(cycleUnits);
        uint8_t in = 0, out = 0;
        if (p == 0 && isIoLink(mode)) {
            in = config.device.processDataInLength;
            out = config.device.processDataOutLength;
        } else if (mode == ModeCode::DigitalInput) {
            in = 1;
        } else if (mode == ModeCode::DigitalOutput) {
            out = 1;
        }
        port.record[7] = in;
        port.record[10] = out;
        if (p == 0) {
            port.record[13] = static_cast<uint8_t>(config.device.vendorId >> 8);
            port.record[14] = static_cast<uint8_t>(config.device.vendorId);
            port.record[15] = static_cast<uint8_t>(config.device.deviceId >> 24);
            port.record[16] = static_cast<uint8_t>(config.device.deviceId >> 16);
            port.record[17] = static_cast<uint8_t>(config.device.deviceId >> 8);
            port.record[18] = static_cast<uint8_t>(config.device.deviceId);
            auto page = directParameterPage1(config.device, cycleUs);
            std::copy(page.begin(), page.end(), port.record.begin() + 19);
        }
        port.record[39] = config.device.revision;
        enterMode(port, mode);
    }
    page1CycleTimeUs = masterCycleTimeUs(ports[0]);
}

uint8_t Simulator::Impl::portCount() const { return faults.announceTwoPorts ? 2 : 1; }

uint32_t Simulator::Impl::masterCycleTimeUs(const Port& port) const {
    uint32_t configured = (static_cast<uint32_t>(port.record[5]) << 8 | port.record[6]) * 100u;
    return std::max(configured, config.device.minCycleTimeUs);
}

uint32_t Simulator::Impl::operateAfter(const Port& port) const {
    return port.mode == ModeCode::IoLinkPreoperational ? config.preoperationalOperateAfterCycles
                                                       : config.operateAfterCycles;
}

void Simulator::Impl::enterPhase(Port& port, PortPhase phase) {
    if (port.phase == phase) return;
    bool wasTalking = communicating(port.phase);
    port.phase = phase;
    port.cyclesInPhase = 0;
    if (!communicating(phase)) {
        // The device cannot answer any more: an unfinished ISDU is gone with it.
        port.isduPending = false;
    }
    if (phase == PortPhase::NoDevice && wasTalking && port.hasDevice && faults.deviceLost &&
        config.reportDeviceLoss) {
        port.events.push_back({port.number, event::kWarning, event::kSourceMaster, event::kDeviceCommunicationLost, 0, 0});
        port.lossReported = true;
    }
    if (communicating(phase) && port.lossReported) {
        port.events.push_back({port.number, event::kNotification, event::kSourceMaster, event::kNewSlave, 0, 0});
        port.lossReported = false;
    }
}

void Simulator::Impl::enterMode(Port& port, ModeCode mode) {
    port.mode = mode;
    port.isduPending = false;
    port.output.clear();
    switch (mode) {
    case ModeCode::Inactive: enterPhase(port, PortPhase::Inactive); break;
    case ModeCode::DigitalInput:
    case ModeCode::DigitalOutput: enterPhase(port, PortPhase::Digital); break;
    default:
        // A (re)configured IO-Link port starts its device from the beginning.
        enterPhase(port, PortPhase::Startup);
        port.cyclesInPhase = 0;
        break;
    }
    settle(port);
}

// Applies every phase change that is due without waiting for another cycle.
void Simulator::Impl::settle(Port& port) {
    if (!isIoLink(port.mode)) return;
    bool deviceThere =
        port.hasDevice && powered && port.restartCyclesLeft == 0 && !(port.number == 0 && faults.deviceLost);
    if (!deviceThere) {
        enterPhase(port, PortPhase::NoDevice);
        return;
    }
    if (port.phase == PortPhase::NoDevice) enterPhase(port, PortPhase::Startup);
    if (port.phase == PortPhase::Startup && port.cyclesInPhase >= config.preoperateAfterCycles)
        enterPhase(port, PortPhase::Preoperate);
    if (port.phase == PortPhase::Preoperate && port.cyclesInPhase >= operateAfter(port))
        enterPhase(port, PortPhase::Operate);
    if (port.isduPending && communicating(port.phase) && port.isduCyclesLeft == 0) completeIsdu(port);
}

void Simulator::Impl::cycle(Port& port) {
    if (port.cyclesInPhase != kNeverCycles) ++port.cyclesInPhase;
    if (port.restartCyclesLeft > 0) --port.restartCyclesLeft;
    if (port.isduPending && communicating(port.phase) && port.isduCyclesLeft > 0) --port.isduCyclesLeft;
    settle(port);
}

void Simulator::Impl::completeIsdu(Port& port) {
    port.isduPending = false;
    IsduAnswer answer = store.execute(port.isdu);
    std::vector<uint8_t> result;
    if (answer.error != isdu_error::kNone) {
        result = {port.isdu.write ? kResultWriteError : kResultReadError, static_cast<uint8_t>(answer.error >> 8),
                  static_cast<uint8_t>(answer.error)};
    } else if (port.isdu.write) {
        result = {kResultWriteDone};
    } else {
        result.reserve(answer.data.size() + 1);
        result.push_back(kResultReadData);
        result.insert(result.end(), answer.data.begin(), answer.data.end());
    }
    port.result = std::move(result);
    port.resultReady = true;
    if (answer.deviceRestartCycles > 0) {
        port.restartCyclesLeft = answer.deviceRestartCycles;
        settle(port);
    }
}

uint8_t Simulator::Impl::statusByte0(const Port& port) const {
    uint8_t s = 0;
    if (port.phase == PortPhase::Preoperate) s |= kStatusPreoperate;
    if (port.phase == PortPhase::Operate) s |= kStatusOperate;
    if (port.phase != PortPhase::Operate && port.phase != PortPhase::Digital) s |= kStatusProcessDataInvalid;
    if (!port.events.empty()) s |= kStatusEventPending;
    return s;
}

uint8_t Simulator::Impl::statusByte1(const Port& port) const {
    uint8_t condition = kConditionNone;
    if (port.phase == PortPhase::NoDevice) condition = kConditionNoDevice;
    else if (port.number == 0) condition = static_cast<uint8_t>(faults.portCondition & 0x0F);
    uint8_t progress = port.isduPending ? kIsduBusy : port.resultReady ? kIsduResultReady : kIsduIdle;
    return static_cast<uint8_t>(condition << 4 | progress);
}

Simulator::Impl::Totals Simulator::Impl::totals() const {
    if (requestedTotals) return *requestedTotals;
    Totals t;
    for (uint8_t p = 0; p < portCount(); ++p) {
        const auto& r = ports[p].record;
        t.input = static_cast<uint16_t>(t.input + r[7] + (r[9] & 0x0F));
        t.output = static_cast<uint16_t>(t.output + r[10] + (r[12] & 0x0F));
    }
    return t;
}

std::vector<uint8_t> Simulator::Impl::execute(const std::vector<uint8_t>& frame) {
    const uint8_t serviceCode = frame[0];
    const std::size_t length = frame.size();
    auto expectLength = [&](std::size_t wanted) { return length == wanted; };

    // The refusal knob, for services whose answer carries a status byte.
    auto refused = [&](Service s) -> bool {
        if (!(faults.refusedServices & serviceBit(s)) || faults.refusalStatus == kAccepted) return false;
        ++stats.refused;
        if (faults.refusalCount != kAlways && --faults.refusalCount == 0) faults.refusedServices = 0;
        return true;
    };

    switch (static_cast<Service>(serviceCode)) {
    case Service::MasterInfo: {
        if (!expectLength(4)) return errorAnswer(serviceCode, ErrorReason::BadLength);
        return masterInfo(frame[2]);
    }
    case Service::SetPdLengths: {
        if (!expectLength(7)) return errorAnswer(serviceCode, ErrorReason::BadLength);
        uint8_t status = kAccepted;
        if (refused(Service::SetPdLengths)) {
            status = faults.refusalStatus;
        } else {
            Totals t{static_cast<uint16_t>(frame[4] << 8 | frame[5]), static_cast<uint16_t>(frame[2] << 8 | frame[3])};
            // Both process-data frames must stay short frames.
            std::size_t fixed = 3 + 2u * portCount();
            if (fixed + t.input > kShortFrameMax || fixed + t.output > kShortFrameMax) status = kRefusedInvalidArgument;
            else requestedTotals = t;
        }
        const uint8_t payload[] = {status};
        return makeFrame(Service::SetPdLengths, payload);
    }
    case Service::MasterConfig: {
        if (!expectLength(3)) return errorAnswer(serviceCode, ErrorReason::BadLength);
        Totals t = totals();
        const uint8_t payload[] = {portCount(), static_cast<uint8_t>(t.output >> 8), static_cast<uint8_t>(t.output),
                                   static_cast<uint8_t>(t.input >> 8), static_cast<uint8_t>(t.input)};
        return makeFrame(Service::MasterConfig, payload);
    }
    case Service::ProcessData: return processData(frame);
    case Service::WritePortConfig: {
        if (!expectLength(kPortConfigRecordLength)) return errorAnswer(serviceCode, ErrorReason::BadLength);
        uint8_t port = frame[2];
        uint8_t status = kAccepted;
        if (refused(Service::WritePortConfig)) status = faults.refusalStatus;
        else if (port >= portCount()) status = kRefusedInvalidPort;
        else if (frame[3] > static_cast<uint8_t>(ModeCode::IoLinkOperational) || frame[7] > kMaxProcessDataLength ||
                 frame[10] > kMaxProcessDataLength)
            status = kRefusedInvalidArgument;
        else {
            Port& p = ports[port];
            std::copy(frame.begin(), frame.end(), p.record.begin());
            p.record[0] = code(Service::ReadPortConfig);
            if (port == 0) page1CycleTimeUs = masterCycleTimeUs(p);
            enterMode(p, static_cast<ModeCode>(frame[3]));
        }
        const uint8_t payload[] = {port, status};
        return makeFrame(Service::WritePortConfig, payload);
    }
    case Service::ReadPortConfig: {
        if (!expectLength(4)) return errorAnswer(serviceCode, ErrorReason::BadLength);
        if (frame[2] >= portCount()) return errorAnswer(serviceCode, ErrorReason::InvalidPort);
        const auto& r = ports[frame[2]].record;
        return makeFrame(Service::ReadPortConfig, std::span<const uint8_t>(r.data() + 2, kPortConfigRecordLength - 3));
    }
    case Service::IsduRequest: {
        if (length < 8) return errorAnswer(serviceCode, ErrorReason::BadLength);
        uint8_t port = frame[2];
        uint8_t direction = frame[3];
        uint8_t status = kAccepted;
        if (refused(Service::IsduRequest)) status = faults.refusalStatus;
        else if (port >= portCount()) status = kRefusedInvalidPort;
        else if (direction > 1 || (direction == 1 && length != 8)) status = kRefusedInvalidArgument;
        else if (!isIoLink(ports[port].mode)) status = kRefusedNotIoLink;
        else {
            Port& p = ports[port];
            p.isdu.write = direction == 0;
            p.isdu.index = static_cast<uint16_t>(frame[4] << 8 | frame[5]);
            p.isdu.subindex = frame[6];
            p.isdu.data.assign(frame.begin() + 7, frame.end() - 1);
            // A new request replaces whatever the client did not collect.
            p.isduPending = true;
            p.resultReady = false;
            p.result.clear();
            p.isduCyclesLeft = config.isduLatencyCycles + faults.lateResultCycles;
            if (p.isduCyclesLeft < config.isduLatencyCycles) p.isduCyclesLeft = kNeverCycles;  // overflow
            settle(p);
        }
        const uint8_t payload[] = {port, status};
        return makeFrame(Service::IsduRequest, payload);
    }
    case Service::IsduResult: {
        if (!expectLength(4)) return errorAnswer(serviceCode, ErrorReason::BadLength);
        uint8_t port = frame[2];
        std::vector<uint8_t> payload{port};
        if (port < portCount() && !ports[port].result.empty()) {
            Port& p = ports[port];
            payload.insert(payload.end(), p.result.begin(), p.result.end());
            p.resultReady = false;  // fetched; asked again it answers the same
        } else {
            payload.push_back(kResultNotAvailable);
        }
        return makeFrame(Service::IsduResult, payload);
    }
    case Service::EventRequest: {
        if (!expectLength(4)) return errorAnswer(serviceCode, ErrorReason::BadLength);
        uint8_t port = frame[2];
        if (refused(Service::EventRequest)) {
            const uint8_t payload[] = {port, faults.refusalStatus};
            return makeFrame(Service::EventRequest, payload);
        }
        if (port >= portCount() || ports[port].events.empty()) {
            const uint8_t payload[] = {port, kEventNone};
            return makeFrame(Service::EventRequest, payload);
        }
        SimEvent e = ports[port].events.front();
        ports[port].events.pop_front();
        const uint8_t payload[] = {port, kEventDelivered, e.qualifier1, e.qualifier2, e.type, e.source,
                                   static_cast<uint8_t>(e.code >> 8), static_cast<uint8_t>(e.code)};
        return makeFrame(Service::EventRequest, payload);
    }
    case Service::PowerOff:
    case Service::PowerOn: {
        if (!expectLength(4)) return errorAnswer(serviceCode, ErrorReason::BadLength);
        Service s = static_cast<Service>(serviceCode);
        uint8_t status = kAccepted;
        if (refused(s)) status = faults.refusalStatus;
        else if (frame[2] != 0) status = kRefusedInvalidPort;
        else {
            powered = s == Service::PowerOn;
            for (auto& p : ports) settle(p);
        }
        const uint8_t payload[] = {status};
        return makeFrame(s, payload);
    }
    }
    // Codes at or above the error bit cannot be told from an error answer; those stay silent.
    if (serviceCode >= kErrorResponseBit) return {};
    return errorAnswer(serviceCode, ErrorReason::UnknownService);
}

std::vector<uint8_t> Simulator::Impl::masterInfo(uint8_t item) const {
    const MasterIdentity& m = config.master;
    std::vector<uint8_t> payload{item};
    auto text = [&](const std::string& s, std::size_t max) {
        std::size_t n = std::min(s.size(), max);
        payload.insert(payload.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
        payload.push_back(0);
    };
    constexpr std::size_t kLongText = 64, kShortText = 16;
    switch (item) {
    case 0: text(m.vendorName, kLongText); break;
    case 1: text(m.productName, kLongText); break;
    case 2: text(m.hardwareRevision, kLongText); break;
    case 3: text(m.serialNumber, kShortText); break;
    case 4: text(m.firmwareVersion, kLongText); break;
    case 5: text(m.orderCode, kLongText); break;
    case 6: text(m.description, kLongText); break;
    case 7: payload.insert(payload.end(), {static_cast<uint8_t>(m.vendorId >> 8), static_cast<uint8_t>(m.vendorId)}); break;
    case 8:
        payload.insert(payload.end(), {static_cast<uint8_t>(m.masterId >> 16), static_cast<uint8_t>(m.masterId >> 8),
                                       static_cast<uint8_t>(m.masterId)});
        break;
    case 9: payload.push_back(m.masterType); break;
    case 10:
        for (uint8_t p = 0; p < portCount(); ++p)
            payload.push_back(p < m.portRevisions.size() ? m.portRevisions[p] : config.device.revision);
        break;
    default: break;  // unknown item: echoed without a value
    }
    return makeFrame(Service::MasterInfo, payload);
}

std::vector<uint8_t> Simulator::Impl::processData(const std::vector<uint8_t>& frame) {
    const std::size_t header = headerLength(frame);
    const std::size_t controlBytes = 2u * portCount();
    if (frame.size() < header + controlBytes + 1) return errorAnswer(frame[0], ErrorReason::BadLength);
    ++stats.processDataCycles;
    const uint8_t* control = frame.data() + header;
    std::span<const uint8_t> output(frame.data() + header + controlBytes, frame.size() - header - controlBytes - 1);

    Totals t = totals();
    std::vector<uint8_t> payload(controlBytes + t.input, 0);
    for (uint8_t p = 0; p < portCount(); ++p) {
        Port& port = ports[p];
        port.control0 = control[2 * p];
        port.control1 = control[2 * p + 1];
        port.controlSeen0 = static_cast<uint8_t>(port.controlSeen0 | port.control0);
        port.controlSeen1 = static_cast<uint8_t>(port.controlSeen1 | port.control1);
        cycle(port);
        // The client's output data reach the device only while it exchanges process data.
        std::size_t outOffset = port.record[11], outLength = port.record[10];
        if ((port.phase == PortPhase::Operate || port.phase == PortPhase::Digital) && outLength > 0 &&
            outOffset < output.size()) {
            std::size_t n = std::min(outLength, output.size() - outOffset);
            port.output.assign(output.begin() + static_cast<std::ptrdiff_t>(outOffset),
                               output.begin() + static_cast<std::ptrdiff_t>(outOffset + n));
        }
        payload[2 * p] = statusByte0(port);
        payload[2 * p + 1] = statusByte1(port);

        std::size_t inOffset = port.record[8], inLength = port.record[7];
        std::vector<uint8_t> input;
        if (port.phase == PortPhase::Operate) input = deviceInput;
        else if (port.phase == PortPhase::Digital && port.mode == ModeCode::DigitalInput) input = {digitalInput ? uint8_t{1} : uint8_t{0}};
        input.resize(inLength, 0);
        for (std::size_t i = 0; i < inLength && inOffset + i < t.input; ++i) payload[controlBytes + inOffset + i] = input[i];
    }
    return makeFrame(Service::ProcessData, payload);
}

std::vector<uint8_t> Simulator::Impl::handle(const std::vector<uint8_t>& received) {
    if (!isValidFrame(received)) {
        ++stats.ignored;
        lastRequest.clear();
        return {};
    }
    ++stats.requests;
    ++stats.byService[received[0]];
    const bool dropped = received[0] < 32 && (faults.unansweredServices & (1u << received[0])) != 0;
    if (faults.silentMaster || dropped) {
        lastRequest.clear();
        return {};
    }
    // Requests are taken in either header form; the services work on the short one.
    std::vector<uint8_t> frame = received;
    bool tooLong = false;
    if (headerLength(received) == 4) {
        tooLong = received.size() - 2 > kShortFrameMax;
        if (!tooLong) frame = makeFrame(received[0], std::span<const uint8_t>(received.data() + 4, received.size() - 5));
    }

    std::vector<uint8_t> answer;
    if (tooLong) {
        answer = errorAnswer(received[0], ErrorReason::BadLength);
        lastRequest.clear();
    } else if (frame == lastRequest && lastAnswerRepeatable) {
        ++stats.repeated;
        answer = lastAnswer;
    } else {
        answer = execute(frame);
        auto statusAt = retryStatusPosition(frame[0]);
        lastRequest = frame;
        lastAnswer = answer;
        lastAnswerRepeatable = statusAt && answer.size() > *statusAt && answer[0] == frame[0] &&
                               answer[*statusAt] == kAccepted;
    }
    if (answer.empty()) return answer;

    bool corrupt = false;
    if (faults.corruption == ChecksumCorruption::EveryFrame) {
        corrupt = true;
    } else if (faults.corruption == ChecksumCorruption::AtRate) {
        if (faults.corruptionSeed != generatorSeed) {
            generatorSeed = faults.corruptionSeed;
            generator.seed(generatorSeed);
        }
        corrupt = std::uniform_real_distribution<double>(0.0, 1.0)(generator) < faults.corruptionRate;
    }
    if (corrupt) {
        answer.back() = static_cast<uint8_t>(answer.back() ^ 0xFF);
        ++stats.corrupted;
    }
    ++stats.answered;
    return answer;
}

PortView Simulator::Impl::view(uint8_t number) const {
    PortView v;
    if (number >= kMaxPorts) return v;
    const Port& p = ports[number];
    v.mode = p.mode;
    v.phase = p.phase;
    v.powered = powered;
    v.statusByte0 = statusByte0(p);
    v.statusByte1 = statusByte1(p);
    v.cyclesInPhase = p.cyclesInPhase;
    v.configRecord.assign(p.record.begin(), p.record.end());
    v.configRecord.back() = xorChecksum(std::span<const uint8_t>(p.record.data(), kPortConfigRecordLength - 1));
    v.outputData = p.output;
    v.controlByte0 = p.control0;
    v.controlByte1 = p.control1;
    v.controlBitsSeen0 = p.controlSeen0;
    v.controlBitsSeen1 = p.controlSeen1;
    v.isduPending = p.isduPending;
    v.isduResultReady = p.resultReady;
    v.queuedEvents = p.events.size();
    return v;
}

// ---- Simulator ----

Simulator::Simulator(SimulatorConfig config) : impl(std::make_unique<Impl>(std::move(config))) {}

Simulator::~Simulator() { stopServing(); }

std::vector<uint8_t> Simulator::handleRequest(const std::vector<uint8_t>& frame) {
    std::vector<uint8_t> answer;
    {
        std::lock_guard lock(impl->mutex);
        answer = impl->handle(frame);
    }
    impl->changed.notify_all();
    return answer;
}

FaultKnobs Simulator::faults() const {
    std::lock_guard lock(impl->mutex);
    FaultKnobs f = impl->faults;
    f.firmware = impl->bootloader.faults();  // counting knobs count down there
    return f;
}

void Simulator::setFaults(const FaultKnobs& knobs) {
    changeFaults([&](FaultKnobs& f) { f = knobs; });
}

void Simulator::changeFaults(const std::function<void(FaultKnobs&)>& change) {
    {
        std::lock_guard lock(impl->mutex);
        impl->faults.firmware = impl->bootloader.faults();
        change(impl->faults);
        impl->bootloader.setFaults(impl->faults.firmware);
        // Device loss and return take effect at once, not only at the next cycle.
        for (auto& p : impl->ports) impl->settle(p);
    }
    impl->changed.notify_all();
}

void Simulator::setStartupCycles(uint32_t preoperateAfter, uint32_t operateAfter, uint32_t preoperationalOperateAfter) {
    std::lock_guard lock(impl->mutex);
    impl->config.preoperateAfterCycles = preoperateAfter;
    impl->config.operateAfterCycles = operateAfter;
    impl->config.preoperationalOperateAfterCycles = preoperationalOperateAfter;
}

void Simulator::setIsduLatency(uint32_t cycles) {
    std::lock_guard lock(impl->mutex);
    impl->config.isduLatencyCycles = cycles;
}

ParameterStore& Simulator::parameters() { return impl->store; }

const DeviceIdentity& Simulator::device() const { return impl->config.device; }

Bootloader& Simulator::bootloader() { return impl->bootloader; }

FirmwareView Simulator::firmware() const { return impl->bootloader.view(); }

std::optional<std::vector<uint8_t>> Simulator::completedBlob(uint16_t id) const {
    return impl->bootloader.completedBlob(id);
}

std::vector<uint8_t> Simulator::installedFirmware() const { return impl->bootloader.installedFirmware(); }

void Simulator::pushEvent(const SimEvent& e) {
    {
        std::lock_guard lock(impl->mutex);
        if (e.port >= kMaxPorts) return;
        impl->ports[e.port].events.push_back(e);
    }
    impl->changed.notify_all();
}

std::size_t Simulator::queuedEvents(uint8_t port) const {
    std::lock_guard lock(impl->mutex);
    return port < kMaxPorts ? impl->ports[port].events.size() : 0;
}

void Simulator::clearEvents() {
    std::lock_guard lock(impl->mutex);
    for (auto& p : impl->ports) p.events.clear();
}

void Simulator::setProcessDataInput(std::vector<uint8_t> bytes) {
    std::lock_guard lock(impl->mutex);
    impl->deviceInput = std::move(bytes);
}

std::vector<uint8_t> Simulator::processDataOutput() const {
    std::lock_guard lock(impl->mutex);
    return impl->ports[0].output;
}

void Simulator::setDigitalInput(bool level) {
    std::lock_guard lock(impl->mutex);
    impl->digitalInput = level;
}

bool Simulator::digitalOutput() const {
    std::lock_guard lock(impl->mutex);
    const Port& p = impl->ports[0];
    return p.mode == ModeCode::DigitalOutput && !p.output.empty() && (p.output[0] & 0x01);
}

PortView Simulator::port(uint8_t number) const {
    std::lock_guard lock(impl->mutex);
    return impl->view(number);
}

Statistics Simulator::statistics() const {
    std::lock_guard lock(impl->mutex);
    return impl->stats;
}

void Simulator::resetStatistics() {
    std::lock_guard lock(impl->mutex);
    impl->stats = {};
}

bool Simulator::waitForPort(const std::function<bool(const PortView&)>& predicate,
                            std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl->mutex);
    return impl->changed.wait_for(lock, timeout, [&] { return predicate(impl->view(0)); });
}

}  // namespace iolsim
