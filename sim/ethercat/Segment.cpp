// Frame processing of the simulated segment. Datagrams are processed in order; within one
// datagram the devices are visited in wiring order, each seeing what the previous one left in
// the frame, so reads, ORs and address increments combine as on a real chain. Devices made
// silent by a fault knob are skipped entirely: the chain closes around them.
#include "Segment.h"

#include "SimulatedDevice.h"

#include <stdexcept>

namespace ecsim {

namespace {

enum Command : uint8_t {
    Nop = 0, Aprd = 1, Apwr = 2, Aprw = 3, Fprd = 4, Fpwr = 5, Fprw = 6, Brd = 7, Bwr = 8, Brw = 9,
    Lrd = 10, Lwr = 11, Lrw = 12, Armw = 13, Frmw = 14
};

uint16_t get16(const std::vector<uint8_t>& frame, size_t at) { return uint16_t(frame[at] | frame[at + 1] << 8); }
void put16(std::vector<uint8_t>& frame, size_t at, uint16_t value)
{
    frame[at] = uint8_t(value);
    frame[at + 1] = uint8_t(value >> 8);
}

}  // namespace

Segment::Segment() : epoch(std::chrono::steady_clock::now()) {}

Segment::Segment(const std::vector<DeviceProfile>& profiles) : Segment()
{
    for (const auto& profile : profiles)
        addDevice(profile);
}

Segment::~Segment() = default;

void Segment::addDevice(const DeviceProfile& profile)
{
    std::lock_guard lock(mutex);
    if (devices.size() >= kMaxDevices)
        throw std::length_error("simulated segment is full");
    devices.push_back(std::make_unique<SimulatedDevice>(profile));
    powerCyclesSeen.push_back(0);
}

size_t Segment::deviceCount() const
{
    std::lock_guard lock(mutex);
    return devices.size();
}

SimulatedDevice& Segment::at(size_t position) const
{
    if (position == 0 || position > devices.size())
        throw std::out_of_range("no simulated device at this position");
    return *devices[position - 1];
}

std::optional<std::vector<uint8_t>> Segment::processFrame(const std::vector<uint8_t>& frame)
{
    std::lock_guard lock(mutex);
    constexpr size_t kHeaders = 16;  // Ethernet header + EtherCAT header
    if (frame.size() < kHeaders || frame.size() > kMaxFrameBytes + 4)
        return std::nullopt;
    if ((frame[12] << 8 | frame[13]) != kEtherTypeEtherCat)
        return std::nullopt;  // destroyed: DL control bit0 discards non-EtherCAT frames
    if ((frame[6] & 0x02) != 0)
        return std::nullopt;  // already passed a slave: our own answer seen again

    auto loss = knobs.drawFrameLoss();
    if (loss == FaultKnobs::Loss::BeforeProcessing)
        return std::nullopt;

    std::vector<uint8_t> out = frame;
    out[6] = uint8_t(out[6] | 0x02);
    uint16_t header = get16(out, 14);
    size_t datagramsLength = header & 0x07FF;
    if ((header >> 12) != 1)
        return loss == FaultKnobs::Loss::AfterProcessing ? std::nullopt : std::optional(out);
    if (kHeaders + datagramsLength > out.size())
        return std::nullopt;  // truncated: a real slave would invalidate the frame check sequence

    // Fault knobs, refreshed when a test changed them.
    uint64_t generation = knobs.generation();
    if (generation != faultGeneration || faultCache.size() != devices.size()) {
        faultCache.resize(devices.size());
        for (size_t i = 0; i < devices.size(); ++i)
            faultCache[i] = knobs.device(i + 1);
        faultGeneration = generation;
    }
    std::vector<size_t> active;
    active.reserve(devices.size());
    for (size_t i = 0; i < devices.size(); ++i) {
        if (faultCache[i].powerCycles != powerCyclesSeen[i]) {
            powerCyclesSeen[i] = faultCache[i].powerCycles;
            devices[i]->powerCycle();
        }
        if (!faultCache[i].silent)
            active.push_back(i);
    }

    auto now = std::chrono::steady_clock::now();
    std::vector<SimulatedDevice::FrameContext> contexts(active.size());
    for (size_t k = 0; k < active.size(); ++k) {
        auto& context = contexts[k];
        context.now = now;
        context.segmentTimeNs = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(now - epoch).count());
        context.position = active[k] + 1;
        context.activeIndex = k;
        context.activeCount = active.size();
        context.faults = &faultCache[active[k]];
        context.knobs = &knobs;
        devices[active[k]]->beginFrame(context);
    }

    size_t offset = kHeaders;
    size_t end = kHeaders + datagramsLength;
    while (true) {
        if (offset + 12 > end)
            return std::nullopt;
        uint8_t command = out[offset];
        uint16_t adp = get16(out, offset + 2);
        uint16_t ado = get16(out, offset + 4);
        uint16_t lengthField = get16(out, offset + 6);
        uint16_t length = lengthField & 0x07FF;
        if ((lengthField & 0x4000) != 0)
            return std::nullopt;  // circulating frame: destroyed
        if (offset + 10 + length + 2 > end)
            return std::nullopt;
        uint8_t* data = out.data() + offset + 10;
        uint16_t wkc = get16(out, offset + 10 + length);
        uint32_t logicalAddress = uint32_t(adp) | uint32_t(ado) << 16;

        for (size_t k = 0; k < active.size(); ++k) {
            SimulatedDevice& device = *devices[active[k]];
            const auto& context = contexts[k];
            uint16_t add = 0;
            switch (command) {
            case Aprd:
            case Apwr:
            case Aprw:
                if (adp == 0)
                    add = device.physical(command != Apwr, command != Aprd, false, ado, data, length, context);
                ++adp;
                break;
            case Fprd:
            case Fpwr:
            case Fprw:
                if (device.answersTo(adp))
                    add = device.physical(command != Fpwr, command != Fprd, false, ado, data, length, context);
                break;
            case Brd:
            case Bwr:
            case Brw:
                add = device.physical(command != Bwr, command != Brd, true, ado, data, length, context);
                ++adp;
                break;
            case Lrd:
            case Lwr:
            case Lrw:
                add = device.logical(command != Lwr, command != Lrd, logicalAddress, data, length, context);
                break;
            case Armw:
                add = device.physical(adp == 0, adp != 0, false, ado, data, length, context);
                ++adp;
                break;
            case Frmw: {
                bool reader = device.answersTo(adp);
                add = device.physical(reader, !reader, false, ado, data, length, context);
                break;
            }
            default: break;  // NOP and unknown commands pass untouched
            }
            wkc = uint16_t(wkc + add);
        }
        put16(out, offset + 2, adp);
        put16(out, offset + 10 + length, wkc);
        offset += 12 + length;
        if ((lengthField & 0x8000) == 0)
            break;
    }

    for (size_t k = 0; k < active.size(); ++k)
        devices[active[k]]->endFrame(contexts[k]);

    if (loss == FaultKnobs::Loss::AfterProcessing)
        return std::nullopt;
    return out;
}

DeviceStatus Segment::status(size_t position) const
{
    std::lock_guard lock(mutex);
    SimulatedDevice& device = at(position);
    DeviceStatus status;
    status.stationAddress = device.stationAddress();
    status.alStatus = device.alStatus();
    status.alStatusCode = device.alStatusCode();
    status.eepromOfferedToPdi = device.eepromOffered();
    status.silent = knobs.device(position).silent;
    return status;
}

std::vector<uint8_t> Segment::memory(size_t position, uint16_t address, uint16_t length) const
{
    std::lock_guard lock(mutex);
    return at(position).memory(address, length);
}

std::vector<uint8_t> Segment::eeprom(size_t position) const
{
    std::lock_guard lock(mutex);
    return at(position).eeprom();
}

std::optional<std::vector<uint8_t>> Segment::objectValue(size_t position, uint16_t index, uint8_t subindex) const
{
    std::lock_guard lock(mutex);
    return at(position).profile().dictionary.bytes(index, subindex);
}

bool Segment::setObjectValue(size_t position, uint16_t index, uint8_t subindex, std::vector<uint8_t> value)
{
    std::lock_guard lock(mutex);
    SimulatedDevice& device = at(position);
    bool done = device.profile().dictionary.setBytes(index, subindex, std::move(value));
    device.refreshInputs();
    return done;
}

std::optional<std::vector<uint8_t>> Segment::file(size_t position, const std::string& name) const
{
    std::lock_guard lock(mutex);
    const auto& files = at(position).profile().files;
    auto found = files.find(name);
    if (found == files.end())
        return std::nullopt;
    return found->second.content;
}

void Segment::putFile(size_t position, const std::string& name, FoeFile file)
{
    std::lock_guard lock(mutex);
    at(position).profile().files[name] = std::move(file);
}

const DeviceProfile& Segment::profile(size_t position) const
{
    std::lock_guard lock(mutex);
    return at(position).profile();
}

void Segment::raiseEmergency(size_t position, uint16_t errorCode, uint8_t errorRegister)
{
    std::lock_guard lock(mutex);
    at(position).queueEmergency(errorCode, errorRegister);
}

}  // namespace ecsim
