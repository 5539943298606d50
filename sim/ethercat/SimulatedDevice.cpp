// Controller and application model of one simulated slave. Register writes are filtered through
// a mask of what the EtherCAT side may write; their side effects (AL control, EEPROM commands,
// sync manager activation, DC latches) run after the datagram's bytes, as an ESC evaluates a
// register write once the datagram has passed.
#include "SimulatedDevice.h"

#include "Sii.h"

#include <algorithm>
#include <cstring>

namespace ecsim {

namespace {

constexpr uint32_t kRegisterSpace = 0x1000;
constexpr uint64_t kHopDelayNs = 200;
constexpr uint8_t kMailboxTypeError = 0, kMailboxTypeCoe = 3, kMailboxTypeFoe = 4;

bool overlaps(uint32_t start, uint32_t length, uint32_t regStart, uint32_t regLength)
{
    return start < regStart + regLength && regStart < start + length;
}

bool isState(uint8_t value)
{
    return value == AlState::Init || value == AlState::PreOp || value == AlState::Boot || value == AlState::SafeOp ||
           value == AlState::Op;
}

}  // namespace

SimulatedDevice::SimulatedDevice(const DeviceProfile& profile)
    : prof(profile), sii(profile.sii), coe(prof.dictionary, profile.coeCompleteAccess, profile.coeSdoInfo), foe(prof.files, profile.foeOnlyInBootstrap)
{
    mem.assign(kRegisterSpace + size_t(std::max<uint8_t>(prof.ramKiB, 1)) * 1024, 0);
    writableMask.assign(kRegisterSpace, 0);
    auto allow = [&](uint32_t from, uint32_t count, uint8_t mask = 0xFF) {
        for (uint32_t i = 0; i < count; ++i)
            writableMask[from + i] = mask;
    };
    allow(0x0010, 2);
    allow(0x0100, 4);
    allow(0x0108, 2);
    allow(0x0120, 2);
    allow(0x0200, 2);
    allow(0x0300, 0x14);
    allow(0x0400, 2);
    allow(0x0410, 2);
    allow(0x0420, 2);
    allow(0x0442, 2);
    allow(0x0500, 1, 0x03);
    allow(0x0502, 2, 0xFF);
    allow(0x0504, 4);
    allow(0x0508, 8);
    allow(0x0600, 0x100);
    for (int sm = 0; sm < 16; ++sm) {
        allow(uint32_t(0x0800 + 8 * sm), 5);
        allow(uint32_t(0x0806 + 8 * sm), 1, 0x03);
    }
    if (prof.distributedClocks) {
        allow(0x0900, 1);
        allow(0x0910, 8);
        allow(0x0920, 12);
        allow(0x0930, 6);
        allow(0x0980, 4);
        allow(0x0990, 0x18);
    }
    clockOffsetNs = uint64_t(prof.serialNumber) * 1000003u % 1000000000u;
    powerCycle();
}

void SimulatedDevice::setRegister16(uint16_t address, uint16_t value)
{
    mem[address] = uint8_t(value);
    mem[address + 1u] = uint8_t(value >> 8);
}

void SimulatedDevice::setRegister32(uint16_t address, uint32_t value)
{
    for (unsigned i = 0; i < 4; ++i)
        mem[address + i] = uint8_t(value >> (8 * i));
}

void SimulatedDevice::setRegister64(uint16_t address, uint64_t value)
{
    for (unsigned i = 0; i < 8; ++i)
        mem[address + i] = uint8_t(value >> (8 * i));
}

void SimulatedDevice::powerCycle()
{
    std::fill(mem.begin(), mem.end(), 0);
    mem[0x0000] = prof.escType;
    mem[0x0001] = prof.escRevision;
    setRegister16(0x0002, prof.escBuild);
    mem[0x0004] = prof.fmmuCount;
    mem[0x0005] = prof.syncManagerCount;
    mem[0x0006] = prof.ramKiB;
    mem[0x0007] = prof.portDescriptor;
    setRegister16(0x0008, uint16_t(prof.distributedClocks ? 0x000C : 0x0000));
    setRegister16(0x0012, siiWord(sii, SiiWord::Alias));
    mem[0x0100] = 0x01;
    setRegister16(0x0120, AlState::Init);
    uint16_t pdiControl = siiWord(sii, SiiWord::PdiControl);
    mem[0x0140] = uint8_t(pdiControl);
    mem[0x0141] = uint8_t(pdiControl >> 8);
    setRegister16(0x0400, 2498);
    setRegister16(0x0410, 1000);
    setRegister16(0x0420, 1000);
    mem[0x0440] = 0x01;

    state = AlState::Init;
    errorIndicated = false;
    setRegister16(0x0130, AlState::Init);
    sm0Full = sm1Full = requestPending = sm1Read = false;
    request.clear();
    outbox.clear();
    lastRead.clear();
    lastRequestCounter = 0;
    replyCounter = 0;
    repeatToggle = 0;
    smActivate.fill(0);
    outputsSeen = false;
    outputsWritten.fill(false);
    coe.reset();
    foe.reset();
    eepromOfferedToPdi = false;
    pdiAccessing = false;
    pdiReleaseAt.reset();
    eepromBusyUntil = {};
    eepromErrors = siiHeaderChecksumValid(sii) ? 0 : 0x0800;
    eepromCommand = 0;
    applySmDeactivation();
}

bool SimulatedDevice::answersTo(uint16_t configuredAddress) const
{
    if (configuredAddress == stationAddress())
        return true;
    return (mem[0x0103] & 0x01) != 0 && configuredAddress == register16(0x0012);
}

std::vector<uint8_t> SimulatedDevice::memory(uint16_t address, uint16_t length) const
{
    std::vector<uint8_t> out(length, 0);
    for (uint32_t i = 0; i < length; ++i)
        if (uint32_t(address) + i < mem.size())
            out[i] = mem[address + i];
    return out;
}

uint64_t SimulatedDevice::localTimeNs(const FrameContext& context) const
{
    return context.segmentTimeNs + clockOffsetNs + context.activeIndex * kHopDelayNs;
}

int SimulatedDevice::roleOf(int sm) const
{
    if (sm < 0 || size_t(sm) >= prof.syncManagers.size())
        return SyncManagerType::Unused;
    return prof.syncManagers[size_t(sm)].type;
}

// ---------------------------------------------------------------------------------------------
// Frame hooks

void SimulatedDevice::beginFrame(const FrameContext& context)
{
    // DL status: port 0 link and communication; port 1 open towards the next device unless last.
    bool last = context.activeIndex + 1 >= context.activeCount;
    uint16_t dlStatus = last ? 0x5610 : 0x5A30;
    if (siiHeaderChecksumValid(sii))
        dlStatus |= 0x0001;
    setRegister16(0x0110, dlStatus);

    uint64_t systemTime = !prof.distributedClocks ? 0 : localTimeNs(context) + (uint64_t(register16(0x0920)) | uint64_t(register16(0x0922)) << 16 |
                                                  uint64_t(register16(0x0924)) << 32 | uint64_t(register16(0x0926)) << 48);
    setRegister64(0x0910, systemTime);

    if (pdiReleaseAt && context.now >= *pdiReleaseAt) {
        pdiAccessing = false;
        pdiReleaseAt.reset();
    }
    refreshEepromStatus(context);
    // Answers that became due since the last frame are in SM1 before this frame reads it.
    postNextMessage(context);

    // Sync manager watchdog on the output SM: restarted by each complete write, checked in OP.
    if (state == AlState::Op && !errorIndicated) {
        for (int sm = 0; sm < int(prof.syncManagers.size()); ++sm) {
            if (roleOf(sm) != SyncManagerType::Outputs || !smEnabled(sm) || (smControl(sm) & 0x40) == 0)
                continue;
            uint64_t periodNs = (uint64_t(register16(0x0400)) + 2) * 40 * register16(0x0420);
            if (periodNs == 0)
                continue;
            if (context.now - lastOutputWrite > std::chrono::nanoseconds(periodNs)) {
                mem[0x0440] = uint8_t(mem[0x0440] & ~0x01);
                setRegister16(0x0442, uint16_t(register16(0x0442) + 1));
                enterState(AlState::SafeOp);
                setError(0x001B);
            }
        }
    }
    refreshSmStatus();
}

void SimulatedDevice::refreshSmStatus()
{
    for (int sm = 0; sm < 16; ++sm) {
        // Status byte: bit3 mailbox full.
        bool full = smIsMailbox(sm) && ((sm == 0 && smEcatWrites(sm) && sm0Full) || (sm == 1 && !smEcatWrites(sm) && sm1Full));
        mem[0x0805 + 8 * sm] = full ? 0x08 : 0x00;
    }
}

void SimulatedDevice::endFrame(const FrameContext& context)
{
    if (requestPending) {
        requestPending = false;
        takeMailboxRequest(context);
    }
    for (int sm = 0; sm < int(outputsWritten.size()); ++sm) {
        if (outputsWritten[size_t(sm)]) {
            outputsWritten[size_t(sm)] = false;
            decodeOutputs(sm);
        }
    }
    if (state == AlState::SafeOp || state == AlState::Op)
        refreshInputs();
    postNextMessage(context);
}

// ---------------------------------------------------------------------------------------------
// Byte access through the sync managers

int SimulatedDevice::syncManagerAt(uint32_t address) const
{
    for (int sm = 0; sm < std::min<int>(prof.syncManagerCount, 16); ++sm) {
        uint16_t length = smLength(sm);
        if (length == 0 || !smEnabled(sm))
            continue;
        uint32_t start = smStart(sm);
        if (address >= start && address < start + length)
            return sm;
    }
    return -1;
}

bool SimulatedDevice::readByte(uint32_t address, uint8_t& value)
{
    if (address >= mem.size())
        return false;
    int sm = syncManagerAt(address);
    if (sm >= 0) {
        if (smDeactivatedByPdi(sm))
            return false;
        uint32_t lastByte = uint32_t(smStart(sm)) + smLength(sm) - 1;
        if (smIsMailbox(sm)) {
            if (smEcatWrites(sm) || sm != 1 || !sm1Full)
                return false;  // reads of an empty mailbox leave the datagram as it was
            value = mem[address];
            if (address == lastByte)
                sm1Read = true;
            return true;
        }
        value = mem[address];
        return true;
    }
    value = mem[address];
    return true;
}

bool SimulatedDevice::writeByte(uint32_t address, uint8_t value, uint8_t mask)
{
    if (address >= mem.size())
        return false;
    int sm = syncManagerAt(address);
    if (address < kRegisterSpace && sm < 0) {
        uint8_t writable = uint8_t(writableMask[address] & mask);
        if (writable == 0)
            return true;  // a register access counts even where the bits are read-only
        mem[address] = uint8_t((mem[address] & ~writable) | (value & writable));
        return true;
    }
    if (sm >= 0) {
        if (smDeactivatedByPdi(sm))
            return false;
        uint32_t lastByte = uint32_t(smStart(sm)) + smLength(sm) - 1;
        if (smIsMailbox(sm)) {
            if (!smEcatWrites(sm) || sm != 0 || sm0Full)
                return false;
            mem[address] = value;
            if (address == lastByte) {
                sm0Full = true;
                requestPending = true;
            }
            return true;
        }
        if (!smEcatWrites(sm))
            return false;
        mem[address] = uint8_t((mem[address] & ~mask) | (value & mask));
        if (address == lastByte)
            outputsWritten[size_t(sm)] = true;
        return true;
    }
    mem[address] = uint8_t((mem[address] & ~mask) | (value & mask));
    return true;
}

uint16_t SimulatedDevice::physical(bool read, bool write, bool orRead, uint16_t address, uint8_t* data, uint16_t length,
                                   const FrameContext& context)
{
    std::vector<uint8_t> incoming;
    if (write)
        incoming.assign(data, data + length);
    bool readHit = false;
    bool writeHit = false;
    bool sm0WasFull = sm0Full;
    if (read) {
        if (overlaps(address, length, 0x0500, 0x10))
            refreshEepromStatus(context);
        if (overlaps(address, length, 0x0800, 0x80))
            refreshSmStatus();
        for (uint32_t i = 0; i < length; ++i) {
            uint8_t value = 0;
            if (readByte(uint32_t(address) + i, value)) {
                data[i] = orRead ? uint8_t(data[i] | value) : value;
                readHit = true;
            }
        }
        afterRead(context);
    }
    if (write) {
        for (uint32_t i = 0; i < length; ++i)
            if (writeByte(uint32_t(address) + i, incoming[i]))
                writeHit = true;
        if (writeHit && !afterWrite(address, length, context))
            writeHit = false;
        if (!sm0WasFull && sm0Full && !writeHit)
            sm0Full = requestPending = false;
    }
    if (read && write)
        return uint16_t((readHit ? 1 : 0) + (writeHit ? 2 : 0));
    return (readHit || writeHit) ? 1 : 0;
}

uint16_t SimulatedDevice::logical(bool read, bool write, uint32_t address, uint8_t* data, uint16_t length,
                                  const FrameContext& context)
{
    std::vector<uint8_t> incoming(data, data + length);
    bool readHit = false;
    bool writeHit = false;
    const uint64_t datagramStartBit = uint64_t(address) * 8;
    const uint64_t datagramEndBit = datagramStartBit + uint64_t(length) * 8;  // exclusive
    for (int k = 0; k < std::min<int>(prof.fmmuCount, 16); ++k) {
        const uint8_t* f = &mem[0x0600 + 16 * k];
        if ((f[12] & 0x01) == 0)
            continue;
        uint32_t logStart = uint32_t(f[0]) | uint32_t(f[1]) << 8 | uint32_t(f[2]) << 16 | uint32_t(f[3]) << 24;
        uint16_t logLength = uint16_t(f[4] | f[5] << 8);
        uint8_t startBit = f[6] & 7, stopBit = f[7] & 7;
        uint16_t physStart = uint16_t(f[8] | f[9] << 8);
        uint8_t physBit = f[10] & 7;
        uint8_t type = f[11];
        if (logLength == 0)
            continue;
        bool doRead = read && (type & 0x01) != 0;
        bool doWrite = write && (type & 0x02) != 0;
        if (!doRead && !doWrite)
            continue;
        uint64_t windowStart = uint64_t(logStart) * 8 + startBit;
        uint64_t windowEnd = (uint64_t(logStart) + logLength - 1) * 8 + stopBit + 1;  // exclusive
        uint64_t from = std::max(windowStart, datagramStartBit);
        uint64_t to = std::min(windowEnd, datagramEndBit);
        if (from >= to)
            continue;
        bool byteAligned = startBit == 0 && stopBit == 7 && physBit == 0;
        uint64_t physBase = uint64_t(physStart) * 8 + physBit;
        if (byteAligned) {
            for (uint64_t bit = from; bit < to; bit += 8) {
                size_t offset = size_t((bit - datagramStartBit) / 8);
                uint32_t phys = uint32_t((physBase + (bit - windowStart)) / 8);
                if (doWrite && writeByte(phys, incoming[offset]))
                    writeHit = true;
                uint8_t value = 0;
                if (doRead && readByte(phys, value)) {
                    data[offset] = value;
                    readHit = true;
                }
            }
        } else {
            for (uint64_t bit = from; bit < to; ++bit) {
                size_t offset = size_t((bit - datagramStartBit) / 8);
                uint8_t datagramMask = uint8_t(1u << ((bit - datagramStartBit) % 8));
                uint64_t physBitIndex = physBase + (bit - windowStart);
                uint32_t phys = uint32_t(physBitIndex / 8);
                uint8_t physMask = uint8_t(1u << (physBitIndex % 8));
                if (doWrite) {
                    uint8_t value = (incoming[offset] & datagramMask) != 0 ? physMask : 0;
                    if (writeByte(phys, value, physMask))
                        writeHit = true;
                }
                uint8_t value = 0;
                if (doRead && readByte(phys, value)) {
                    data[offset] = uint8_t((data[offset] & ~datagramMask) | ((value & physMask) != 0 ? datagramMask : 0));
                    readHit = true;
                }
            }
        }
    }
    afterRead(context);
    if (read && write)
        return uint16_t((readHit ? 1 : 0) + (writeHit ? 2 : 0));
    return (readHit || writeHit) ? 1 : 0;
}

void SimulatedDevice::afterRead(const FrameContext&)
{
    if (sm1Read) {
        sm1Read = false;
        sm1Full = false;
        lastRead = memory(smStart(1), smLength(1));
    }
}

bool SimulatedDevice::afterWrite(uint16_t address, uint16_t length, const FrameContext& context)
{
    if (overlaps(address, length, 0x0300, 0x14))
        for (uint32_t a = std::max<uint32_t>(address, 0x0300); a < std::min<uint32_t>(address + length, 0x0314u); ++a)
            mem[a] = 0;  // error counters: any write clears
    if (overlaps(address, length, 0x0442, 2))
        setRegister16(0x0442, 0);
    if (overlaps(address, length, 0x0120, 2))
        alControlWritten(register16(0x0120), context);
    if (overlaps(address, length, 0x0500, 1))
        eepromOwnershipWritten(context);
    bool taken = true;
    if (overlaps(address, length, 0x0503, 1))
        taken = eepromCommandWritten(register16(0x0502), context);
    refreshEepromStatus(context);
    for (int sm = 0; sm < 16; ++sm)
        if (overlaps(address, length, uint32_t(0x0800 + 8 * sm), 8))
            syncManagerWritten(sm);
    if (prof.distributedClocks && overlaps(address, length, 0x0900, 1))
        latchReceiveTimes(context);
    if (prof.distributedClocks && overlaps(address, length, 0x0910, 8)) {
        // A written system time is what the DC control loop compares with; keep the difference.
        uint64_t written = 0;
        for (unsigned i = 0; i < 8; ++i)
            written |= uint64_t(mem[0x0910 + i]) << (8 * i);
        uint64_t own = localTimeNs(context);
        uint32_t difference = written >= own ? uint32_t(std::min<uint64_t>(written - own, 0x7FFFFFFF))
                                             : uint32_t(0x80000000u | std::min<uint64_t>(own - written, 0x7FFFFFFF));
        setRegister32(0x092C, difference);
    }

    // A mailbox request that a refusal knob turns away before it is taken.
    if (sm0Full && requestPending && context.faults && context.knobs && smLength(0) >= 8) {
        std::vector<uint8_t> message = memory(smStart(0), smLength(0));
        uint8_t type = message[5] & 0x0F;
        const uint8_t* body = message.data() + 6;
        size_t bodyLength = std::min<size_t>(readU16(message.data()), message.size() - 6);
        std::optional<TransferKind> kind;
        if (type == kMailboxTypeCoe && CoeServer::isUploadInitiate(body, bodyLength))
            kind = TransferKind::SdoUpload;
        else if (type == kMailboxTypeCoe && CoeServer::isDownloadInitiate(body, bodyLength))
            kind = TransferKind::SdoDownload;
        else if (type == kMailboxTypeFoe && FoeServer::isRequest(body, bodyLength))
            kind = TransferKind::Foe;
        if (kind) {
            auto pending = context.faults->refusals.find(*kind);
            if (pending != context.faults->refusals.end() && pending->second.count > 0 &&
                pending->second.style == RefusalStyle::NoWorkingCounter && context.knobs->takeRefusal(context.position, *kind)) {
                sm0Full = requestPending = false;
                taken = false;
            }
        }
    }
    return taken;
}

// ---------------------------------------------------------------------------------------------
// AL state machine

void SimulatedDevice::setError(uint16_t code)
{
    errorIndicated = true;
    setRegister16(0x0130, uint16_t(state | AlState::Error));
    setRegister16(0x0134, code);
}

void SimulatedDevice::enterState(uint8_t newState)
{
    uint8_t previous = state;
    state = newState;
    setRegister16(0x0130, uint16_t(state | (errorIndicated ? AlState::Error : 0)));
    if (newState == AlState::Init) {
        coe.reset();
        foe.reset();
        outbox.clear();
        sm0Full = sm1Full = requestPending = false;
        lastRead.clear();
        lastRequestCounter = 0;
    }
    if ((newState == AlState::SafeOp && previous == AlState::PreOp) || newState == AlState::Init)
        outputsSeen = false;
    applySmDeactivation();
}

void SimulatedDevice::applySmDeactivation()
{
    for (int sm = 0; sm < 16; ++sm) {
        int role = roleOf(sm);
        bool active = false;
        if (role == SyncManagerType::MailboxOut || role == SyncManagerType::MailboxIn)
            active = state != AlState::Init;
        else if (role == SyncManagerType::Outputs || role == SyncManagerType::Inputs)
            active = state == AlState::SafeOp || state == AlState::Op;
        uint8_t& pdi = mem[0x0807 + 8 * sm];
        pdi = uint8_t(active ? (pdi & ~0x01) : (pdi | 0x01));
    }
}

bool SimulatedDevice::mailboxConfigurationValid(bool bootstrap) const
{
    if (!prof.hasMailbox())
        return true;
    uint16_t outStart = bootstrap ? prof.bootMailboxOutStart : prof.mailboxOutStart;
    uint16_t outSize = bootstrap ? prof.bootMailboxOutSize : prof.mailboxOutSize;
    uint16_t inStart = bootstrap ? prof.bootMailboxInStart : prof.mailboxInStart;
    uint16_t inSize = bootstrap ? prof.bootMailboxInSize : prof.mailboxInSize;
    bool sm0 = smEnabled(0) && smStart(0) == outStart && smLength(0) == outSize && (smControl(0) & 0x0F) == 0x06;
    bool sm1 = smEnabled(1) && smStart(1) == inStart && smLength(1) == inSize && (smControl(1) & 0x0F) == 0x02;
    return sm0 && sm1;
}

uint16_t SimulatedDevice::processDataConfigurationError() const
{
    for (int sm = 0; sm < int(prof.syncManagers.size()); ++sm) {
        int role = roleOf(sm);
        if (role != SyncManagerType::Outputs && role != SyncManagerType::Inputs)
            continue;
        unsigned bits = 0;
        for (const auto& entry : currentMapping(sm))
            bits += entry.bits;
        uint16_t expected = uint16_t((bits + 7) / 8);
        bool outputs = role == SyncManagerType::Outputs;
        bool ok;
        if (expected == 0)
            ok = !smEnabled(sm) || smLength(sm) == 0;
        else
            ok = smEnabled(sm) && smLength(sm) == expected && smEcatWrites(sm) == outputs && !smIsMailbox(sm);
        if (!ok)
            return outputs ? 0x001D : 0x001E;
    }
    return 0;
}

void SimulatedDevice::alControlWritten(uint16_t value, const FrameContext& context)
{
    uint8_t requested = uint8_t(value & 0x0F);
    bool acknowledge = (value & 0x10) != 0;
    if (errorIndicated) {
        // With the error indicated, only an acknowledge or a request for INIT is taken.
        if (!acknowledge && requested != AlState::Init)
            return;
        errorIndicated = false;
        setRegister16(0x0130, state);
        setRegister16(0x0134, 0);
    }
    if (!isState(requested)) {
        if (state == AlState::Op)
            enterState(AlState::SafeOp);
        setError(0x0012);
        return;
    }
    if (requested == state)
        return;
    if (context.faults) {
        auto refused = context.faults->refusedStates.find(requested);
        if (refused != context.faults->refusedStates.end()) {
            setError(refused->second);
            return;
        }
    }
    switch (requested) {
    case AlState::Init:
        enterState(AlState::Init);
        return;
    case AlState::PreOp:
        if (state == AlState::Init) {
            if (!mailboxConfigurationValid(false))
                return setError(0x0016);
            enterState(AlState::PreOp);
            return;
        }
        if (state == AlState::SafeOp || state == AlState::Op) {
            enterState(AlState::PreOp);
            return;
        }
        break;
    case AlState::Boot:
        if (state == AlState::Init) {
            if (!prof.supportsBootstrap)
                return setError(0x0013);
            if (!mailboxConfigurationValid(true))
                return setError(0x0015);
            enterState(AlState::Boot);
            return;
        }
        break;
    case AlState::SafeOp:
        if (state == AlState::PreOp) {
            if (uint16_t code = processDataConfigurationError())
                return setError(code);
            enterState(AlState::SafeOp);
            refreshInputs();
            return;
        }
        if (state == AlState::Op) {
            enterState(AlState::SafeOp);
            return;
        }
        break;
    case AlState::Op:
        if (state == AlState::SafeOp) {
            bool hasOutputs = false;
            for (int sm = 0; sm < int(prof.syncManagers.size()); ++sm)
                if (roleOf(sm) == SyncManagerType::Outputs && !currentMapping(sm).empty())
                    hasOutputs = true;
            if (prof.requireOutputsForOp && hasOutputs && !outputsSeen)
                return setError(0x001B);
            lastOutputWrite = context.now;
            mem[0x0440] = uint8_t(mem[0x0440] | 0x01);
            enterState(AlState::Op);
            return;
        }
        break;
    default: break;
    }
    setError(0x0011);
}

// ---------------------------------------------------------------------------------------------
// SII EEPROM interface

void SimulatedDevice::eepromOwnershipWritten(const FrameContext& context)
{
    uint8_t value = mem[0x0500];
    bool offer = (value & 0x01) != 0;
    bool force = (value & 0x02) != 0;
    eepromOfferedToPdi = offer;
    if (offer) {
        pdiAccessing = true;
        pdiReleaseAt.reset();
    } else if (force) {
        pdiAccessing = false;
        pdiReleaseAt.reset();
    } else if (pdiAccessing) {
        auto delay = context.faults ? context.faults->pdiReleaseDelay : std::chrono::microseconds(0);
        if (delay.count() <= 0)
            pdiAccessing = false;
        else
            pdiReleaseAt = context.now + delay;
    }
    mem[0x0500] = uint8_t(offer ? 1 : 0);
    mem[0x0501] = pdiAccessing ? 1 : 0;
}

void SimulatedDevice::refreshEepromStatus(const FrameContext& context)
{
    bool busy = context.now < eepromBusyUntil;
    uint16_t status = uint16_t((prof.eeprom8ByteReads ? 0x0040 : 0x0000) | eepromErrors);
    if (busy)
        status = uint16_t(status | 0x8000 | eepromCommand);
    setRegister16(0x0502, status);
    mem[0x0501] = pdiAccessing ? 1 : 0;
}

bool SimulatedDevice::eepromCommandWritten(uint16_t value, const FrameContext& context)
{
    // Commands are ignored while the PDI holds the EEPROM or a command is still running.
    if (pdiAccessing || context.now < eepromBusyUntil)
        return true;
    uint16_t command = uint16_t(value & 0x0700);
    if (command == 0) {
        eepromErrors = uint16_t(eepromErrors & 0x0800);
        return true;
    }
    auto busyTime = context.faults ? context.faults->eepromBusyTime : std::chrono::microseconds(20);
    if (context.faults && context.knobs) {
        auto pending = context.faults->refusals.find(TransferKind::Eeprom);
        if (pending != context.faults->refusals.end() && pending->second.count > 0) {
            auto refusal = context.knobs->takeRefusal(context.position, TransferKind::Eeprom);
            if (refusal && refusal->style == RefusalStyle::NoWorkingCounter)
                return false;
            if (refusal) {
                eepromErrors = uint16_t(eepromErrors | 0x2000);
                eepromCommand = command;
                eepromBusyUntil = context.now + busyTime;
                return true;
            }
        }
    }
    eepromErrors = uint16_t(eepromErrors & 0x0800);
    eepromCommand = command;
    eepromBusyUntil = context.now + busyTime;
    uint32_t word = uint32_t(mem[0x0504]) | uint32_t(mem[0x0505]) << 8 | uint32_t(mem[0x0506]) << 16 |
                    uint32_t(mem[0x0507]) << 24;
    switch (command) {
    case 0x0100: {
        unsigned words = prof.eeprom8ByteReads ? 4 : 2;
        for (unsigned i = 0; i < words; ++i)
            setRegister16(uint16_t(0x0508 + 2 * i), siiWord(sii, word + i));
        break;
    }
    case 0x0200:
        if ((value & 0x0001) == 0) {
            eepromErrors = uint16_t(eepromErrors | 0x4000);
            break;
        }
        if (size_t(word) * 2 + 1 >= sii.size()) {
            eepromErrors = uint16_t(eepromErrors | 0x2000);
            break;
        }
        sii[size_t(word) * 2] = mem[0x0508];
        sii[size_t(word) * 2 + 1] = mem[0x0509];
        break;
    case 0x0400:
        setRegister16(0x0012, siiWord(sii, SiiWord::Alias));
        eepromErrors = siiHeaderChecksumValid(sii) ? 0 : 0x0800;
        break;
    default:
        eepromErrors = uint16_t(eepromErrors | 0x2000);
        break;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Sync managers and DC

void SimulatedDevice::syncManagerWritten(int sm)
{
    uint8_t activate = mem[0x0806 + 8 * sm];
    uint8_t before = smActivate[size_t(sm)];
    smActivate[size_t(sm)] = activate;
    if ((activate & 0x01) == 0 && (before & 0x01) != 0) {
        if (sm == 0)
            sm0Full = requestPending = false;
        if (sm == 1)
            sm1Full = false;
    }
    if (sm == 1 && ((activate ^ before) & 0x02) != 0) {
        // Repeat request: put the last message read out back, unless the buffer is still full.
        if (!sm1Full && !lastRead.empty() && smEnabled(1) && !smDeactivatedByPdi(1))
            writeToSm1(lastRead);
        mem[0x080F] = uint8_t((mem[0x080F] & ~0x02) | (activate & 0x02));
    }
}

void SimulatedDevice::latchReceiveTimes(const FrameContext& context)
{
    uint64_t port0 = localTimeNs(context);
    bool last = context.activeIndex + 1 >= context.activeCount;
    uint64_t port1 = last ? 0 : port0 + 2 * kHopDelayNs * (context.activeCount - 1 - context.activeIndex);
    setRegister32(0x0900, uint32_t(port0));
    setRegister32(0x0904, uint32_t(port1));
    setRegister32(0x0908, 0);
    setRegister32(0x090C, 0);
    setRegister64(0x0918, port0);
}

// ---------------------------------------------------------------------------------------------
// Mailbox

bool SimulatedDevice::mailboxAvailable() const
{
    return prof.hasMailbox() && state != AlState::Init && smEnabled(0) && smEnabled(1) && !smDeactivatedByPdi(1);
}

void SimulatedDevice::queueMessage(uint8_t type, std::vector<uint8_t> data, Clock::time_point readyAt)
{
    replyCounter = uint8_t(replyCounter % 7 + 1);
    std::vector<uint8_t> message;
    appendU16(message, uint16_t(data.size()));
    appendU16(message, 0);
    message.push_back(0);
    message.push_back(uint8_t(type | replyCounter << 4));
    message.insert(message.end(), data.begin(), data.end());
    outbox.push_back(Outgoing{std::move(message), readyAt});
}

void SimulatedDevice::queueEmergency(uint16_t errorCode, uint8_t errorRegister)
{
    if (prof.hasCoe())
        queueMessage(kMailboxTypeCoe, CoeServer::emergency(errorCode, errorRegister), Clock::now());
}

void SimulatedDevice::writeToSm1(const std::vector<uint8_t>& message)
{
    uint16_t start = smStart(1);
    uint16_t length = smLength(1);
    for (uint32_t i = 0; i < length && uint32_t(start) + i < mem.size(); ++i)
        mem[start + i] = i < message.size() ? message[i] : 0;
    sm1Full = true;
}

void SimulatedDevice::postNextMessage(const FrameContext& context)
{
    if (sm1Full || outbox.empty() || !mailboxAvailable())
        return;
    if (context.now < outbox.front().readyAt)
        return;
    std::vector<uint8_t> message = std::move(outbox.front().message);
    outbox.pop_front();
    if (message.size() > smLength(1))
        message.resize(smLength(1));
    writeToSm1(message);
}

void SimulatedDevice::takeMailboxRequest(const FrameContext& context)
{
    std::vector<uint8_t> message = memory(smStart(0), smLength(0));
    sm0Full = false;  // the application has read it
    if (!mailboxAvailable() || message.size() < 6)
        return;
    auto readyAt = context.now + (context.faults ? context.faults->mailboxDelay : std::chrono::microseconds(0));
    auto mailboxError = [&](uint16_t detail) {
        std::vector<uint8_t> data;
        appendU16(data, 0x0001);
        appendU16(data, detail);
        queueMessage(kMailboxTypeError, data, readyAt);
    };
    size_t length = readU16(message.data());
    uint8_t type = message[5] & 0x0F;
    uint8_t counter = uint8_t(message[5] >> 4 & 0x07);
    if (length > message.size() - 6)
        return mailboxError(8);
    if (counter != 0 && counter == lastRequestCounter)
        return;  // a retried write of a message already taken
    lastRequestCounter = counter;
    if (length < 2)
        return mailboxError(6);
    std::vector<uint8_t> body(message.begin() + 6, message.begin() + 6 + long(length));

    MailboxContext mailbox;
    mailbox.alState = state;
    mailbox.requestCapacity = smLength(0) - 6u;
    mailbox.replyCapacity = smLength(1) >= 6 ? smLength(1) - 6u : 0;
    mailbox.faults = context.faults;
    mailbox.knobs = context.knobs;
    mailbox.position = context.position;

    if (type == kMailboxTypeCoe && prof.hasCoe() && state != AlState::Boot) {
        for (auto& answer : coe.handle(body, mailbox))
            queueMessage(kMailboxTypeCoe, std::move(answer), readyAt);
        return;
    }
    if (type == kMailboxTypeFoe && prof.hasFoe()) {
        auto answer = foe.handle(body, mailbox);
        if (!answer.empty())
            queueMessage(kMailboxTypeFoe, std::move(answer), readyAt);
        return;
    }
    mailboxError(2);
}

// ---------------------------------------------------------------------------------------------
// Process data

std::vector<SimulatedDevice::MappedEntry> SimulatedDevice::currentMapping(int sm) const
{
    std::vector<MappedEntry> mapping;
    int role = roleOf(sm);
    const CoeObject* assignment = prof.hasCoe() ? prof.dictionary.find(uint16_t(0x1C10 + sm)) : nullptr;
    if (assignment) {
        uint8_t count = uint8_t(prof.dictionary.number(assignment->index, 0).value_or(0));
        for (uint8_t i = 1; i <= count; ++i) {
            uint16_t pdo = uint16_t(prof.dictionary.number(assignment->index, i).value_or(0));
            uint8_t entries = uint8_t(prof.dictionary.number(pdo, 0).value_or(0));
            for (uint8_t e = 1; e <= entries; ++e) {
                uint32_t word = uint32_t(prof.dictionary.number(pdo, e).value_or(0));
                mapping.push_back({uint16_t(word >> 16), uint8_t(word >> 8), uint8_t(word)});
            }
        }
        return mapping;
    }
    const auto& pdos = role == SyncManagerType::Outputs ? prof.rxPdos : prof.txPdos;
    if (role != SyncManagerType::Outputs && role != SyncManagerType::Inputs)
        return mapping;
    for (const auto& pdo : pdos)
        if (pdo.syncManager == sm)
            for (const auto& entry : pdo.entries)
                mapping.push_back({entry.index, entry.subindex, entry.bitLength});
    return mapping;
}

void SimulatedDevice::decodeOutputs(int sm)
{
    if (roleOf(sm) != SyncManagerType::Outputs)
        return;
    outputsSeen = true;
    lastOutputWrite = Clock::now();
    std::vector<uint8_t> buffer = memory(smStart(sm), smLength(sm));
    size_t bit = 0;
    for (const auto& entry : currentMapping(sm)) {
        if (entry.index != 0) {
            std::vector<uint8_t> value((entry.bits + 7u) / 8u, 0);
            for (unsigned b = 0; b < entry.bits && (bit + b) / 8 < buffer.size(); ++b)
                if ((buffer[(bit + b) / 8] >> ((bit + b) % 8) & 1) != 0)
                    value[b / 8] = uint8_t(value[b / 8] | 1u << (b % 8));
            prof.dictionary.setBytes(entry.index, entry.subindex, std::move(value));
        }
        bit += entry.bits;
    }
}

void SimulatedDevice::refreshInputs()
{
    std::vector<MappedEntry> outputs;
    for (int sm = 0; sm < int(prof.syncManagers.size()); ++sm)
        if (roleOf(sm) == SyncManagerType::Outputs)
            for (const auto& entry : currentMapping(sm))
                if (entry.index != 0)
                    outputs.push_back(entry);
    for (int sm = 0; sm < int(prof.syncManagers.size()); ++sm) {
        if (roleOf(sm) != SyncManagerType::Inputs)
            continue;
        if (prof.loopbackProcessData) {
            size_t k = 0;
            for (const auto& entry : currentMapping(sm)) {
                if (entry.index == 0)
                    continue;
                if (k < outputs.size()) {
                    auto value = prof.dictionary.bytes(outputs[k].index, outputs[k].subindex).value_or(std::vector<uint8_t>{});
                    value.resize((entry.bits + 7u) / 8u, 0);
                    prof.dictionary.setBytes(entry.index, entry.subindex, std::move(value));
                }
                ++k;
            }
        }
        encodeInputs(sm);
    }
}

void SimulatedDevice::encodeInputs(int sm)
{
    uint16_t start = smStart(sm);
    uint16_t length = smLength(sm);
    if (length == 0 || uint32_t(start) + length > mem.size())
        return;
    std::vector<uint8_t> buffer(length, 0);
    size_t bit = 0;
    for (const auto& entry : currentMapping(sm)) {
        auto value = entry.index != 0 ? prof.dictionary.bytes(entry.index, entry.subindex) : std::nullopt;
        for (unsigned b = 0; b < entry.bits && (bit + b) / 8 < buffer.size(); ++b)
            if (value && b / 8 < value->size() && ((*value)[b / 8] >> (b % 8) & 1) != 0)
                buffer[(bit + b) / 8] = uint8_t(buffer[(bit + b) / 8] | 1u << ((bit + b) % 8));
        bit += entry.bits;
    }
    std::copy(buffer.begin(), buffer.end(), mem.begin() + start);
}

}  // namespace ecsim
