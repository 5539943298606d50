// Fault knobs: a mutex-guarded table, read by the segment while it processes frames.
#include "FaultKnobs.h"

namespace ecsim {

void FaultKnobs::setFrameLoss(double rate, uint64_t seed)
{
    std::lock_guard lock(mutex);
    lossRate = rate < 0.0 ? 0.0 : (rate > 1.0 ? 1.0 : rate);
    generator.seed(seed);
    ++changes;
}

double FaultKnobs::frameLossRate() const
{
    std::lock_guard lock(mutex);
    return lossRate;
}

DeviceFaults FaultKnobs::device(size_t position) const
{
    std::lock_guard lock(mutex);
    auto found = devices.find(position);
    return found == devices.end() ? DeviceFaults{} : found->second;
}

void FaultKnobs::setDevice(size_t position, const DeviceFaults& faults)
{
    std::lock_guard lock(mutex);
    devices[position] = faults;
    ++changes;
}

void FaultKnobs::clearDevice(size_t position)
{
    std::lock_guard lock(mutex);
    devices.erase(position);
    ++changes;
}

void FaultKnobs::clearAll()
{
    std::lock_guard lock(mutex);
    devices.clear();
    lossRate = 0.0;
    ++changes;
}

void FaultKnobs::setSilent(size_t position, bool silent, bool loseAddressOnReturn)
{
    std::lock_guard lock(mutex);
    auto& faults = devices[position];
    if (faults.silent && !silent) {
        if (faults.loseAddressOnReturn || loseAddressOnReturn)
            ++faults.powerCycles;
        faults.loseAddressOnReturn = false;
    } else if (silent) {
        faults.loseAddressOnReturn = loseAddressOnReturn;
    }
    faults.silent = silent;
    ++changes;
}

void FaultKnobs::refuseState(size_t position, uint8_t state, uint16_t alStatusCode)
{
    std::lock_guard lock(mutex);
    devices[position].refusedStates[state] = alStatusCode;
    ++changes;
}

void FaultKnobs::allowState(size_t position, uint8_t state)
{
    std::lock_guard lock(mutex);
    devices[position].refusedStates.erase(state);
    ++changes;
}

void FaultKnobs::abortSdo(size_t position, uint16_t index, uint8_t subindex, uint32_t abortCode)
{
    std::lock_guard lock(mutex);
    devices[position].sdoAborts[DeviceFaults::sdoKey(index, subindex)] = abortCode;
    ++changes;
}

void FaultKnobs::refuseNext(size_t position, TransferKind kind, unsigned count, RefusalStyle style, uint32_t code)
{
    std::lock_guard lock(mutex);
    devices[position].refusals[kind] = Refusal{count, style, code};
    ++changes;
}

void FaultKnobs::failFoe(size_t position, const std::string& fileName, uint32_t errorCode)
{
    std::lock_guard lock(mutex);
    devices[position].foeErrors[fileName] = errorCode;
    ++changes;
}

void FaultKnobs::setFoeBusy(size_t position, unsigned count)
{
    std::lock_guard lock(mutex);
    devices[position].foeBusyCount = count;
    ++changes;
}

void FaultKnobs::setMailboxDelay(size_t position, std::chrono::microseconds delay)
{
    std::lock_guard lock(mutex);
    devices[position].mailboxDelay = delay;
    ++changes;
}

void FaultKnobs::setEepromBusyTime(size_t position, std::chrono::microseconds busy)
{
    std::lock_guard lock(mutex);
    devices[position].eepromBusyTime = busy;
    ++changes;
}

FaultKnobs::Loss FaultKnobs::drawFrameLoss()
{
    std::lock_guard lock(mutex);
    if (lossRate <= 0.0)
        return Loss::None;
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    if (uniform(generator) >= lossRate)
        return Loss::None;
    return (generator() & 1u) != 0 ? Loss::AfterProcessing : Loss::BeforeProcessing;
}

std::optional<Refusal> FaultKnobs::takeRefusal(size_t position, TransferKind kind)
{
    std::lock_guard lock(mutex);
    auto device = devices.find(position);
    if (device == devices.end())
        return std::nullopt;
    auto refusal = device->second.refusals.find(kind);
    if (refusal == device->second.refusals.end() || refusal->second.count == 0)
        return std::nullopt;
    --refusal->second.count;
    Refusal taken = refusal->second;
    ++changes;
    return taken;
}

bool FaultKnobs::takeFoeBusy(size_t position)
{
    std::lock_guard lock(mutex);
    auto device = devices.find(position);
    if (device == devices.end() || device->second.foeBusyCount == 0)
        return false;
    --device->second.foeBusyCount;
    ++changes;
    return true;
}

uint64_t FaultKnobs::generation() const
{
    std::lock_guard lock(mutex);
    return changes;
}

}  // namespace ecsim
