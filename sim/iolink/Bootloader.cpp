// System commands, boot mode and firmware activation of the simulated device.
#include "sim/iolink/Bootloader.h"

#include <algorithm>

#include "iolink/firmware/DeviceObjects.h"

namespace iolsim {

Bootloader::Bootloader(FirmwareConfig config)
    : configuration(config), channel(config.blob), bootloader(config.startInBootloader) {}

void Bootloader::install(ParameterStore& store) {
    store.setHandler(iolink::SYSTEM_COMMAND_INDEX,
                     [this](ParameterStore&, const IsduRequest& r) -> std::optional<IsduAnswer> { return systemCommand(r); });
    store.setHandler(iolink::BLOB_CHANNEL_INDEX,
                     [this](ParameterStore&, const IsduRequest& r) -> std::optional<IsduAnswer> { return blobChannel(r); });
    store.setHandler(iolink::BOOTMODE_STATUS_INDEX,
                     [this](ParameterStore&, const IsduRequest& r) -> std::optional<IsduAnswer> { return bootModeStatus(r); });
}

IsduAnswer Bootloader::systemCommand(const IsduRequest& request) {
    std::lock_guard lock(mutex);
    if (request.subindex != 0) return IsduAnswer::fail(isdu_error::kSubindexNotAvailable);
    if (!request.write) {
        // System commands are write-only. The library's recovery request arrives as this read.
        ++counters.systemCommandReads;
        return IsduAnswer::fail(isdu_error::kAccessDenied);
    }
    if (request.data.empty()) return IsduAnswer::fail(isdu_error::kLengthUnderrun);
    if (request.data.size() > 1) return IsduAnswer::fail(isdu_error::kLengthOverrun);
    const uint8_t command = request.data[0];
    counters.systemCommands.push_back(command);

    if (command == iolink::ACTIVATE_FIRMWARE_COMMAND) {
        entryProgress = 0;
        return activate();
    }
    if (command == iolink::DEVICE_RESET_COMMAND) {
        entryProgress = 0;
        return reset();
    }
    const auto code = iolink::bootloaderEntryCode();
    if (command == code[entryProgress]) {
        if (++entryProgress == code.size()) {
            entryProgress = 0;
            if (!knobs.refuseBootloaderEntry) enterBootloader();
        }
        return IsduAnswer::ok();
    }
    // Out of order: the sequence starts again, possibly with this very byte.
    entryProgress = command == code[0] ? 1 : 0;
    if (std::find(code.begin(), code.end(), command) != code.end()) return IsduAnswer::ok();
    return IsduAnswer::fail(isdu_error::kFunctionNotAvailable);
}

void Bootloader::enterBootloader() {
    if (bootloader) return;  // already there (still restarting after an activation included)
    bootloader = true;
    counters.readsUntilApplication = 0;
    ++counters.bootloaderEntries;
    // The device restarted into its bootloader: a transfer under way is gone.
    channel.reset();
}

IsduAnswer Bootloader::activate() {
    ++counters.activationCommands;
    if (knobs.refuseActivations > 0) {
        --knobs.refuseActivations;
        return IsduAnswer::fail(knobs.refusalError);
    }
    if (!bootloader || !pending || counters.readsUntilApplication > 0)
        return IsduAnswer::fail(isdu_error::kFunctionTemporarilyUnavailable);
    ++counters.activations;
    if (knobs.stayInBootloader) return IsduAnswer::ok();
    installed = channel.completed(iolink::FIRMWARE_BLOB_ID) ? *channel.completed(iolink::FIRMWARE_BLOB_ID)
                                                            : std::vector<uint8_t>{};
    pending = false;
    ++counters.firmwareUpdates;
    if (configuration.bootloaderReadsAfterActivation > 0) counters.readsUntilApplication = configuration.bootloaderReadsAfterActivation;
    else bootloader = false;
    IsduAnswer answer = IsduAnswer::ok();
    answer.deviceRestartCycles = configuration.activationRestartCycles;
    return answer;
}

IsduAnswer Bootloader::reset() {
    ++counters.resets;
    channel.reset();
    pending = false;
    bootloader = false;
    counters.readsUntilApplication = 0;
    IsduAnswer answer = IsduAnswer::ok();
    answer.deviceRestartCycles = configuration.resetRestartCycles;
    return answer;
}

IsduAnswer Bootloader::blobChannel(const IsduRequest& request) {
    std::lock_guard lock(mutex);
    const auto& d = request.data;
    if (request.write && request.subindex == 0 && d.size() == 3 && d[0] == blob::kStart &&
        (d[1] << 8 | d[2]) == iolink::FIRMWARE_BLOB_ID && configuration.firmwareBlobNeedsBootloader && !bootloader)
        return IsduAnswer::fail(blob_error::kSequence);
    const uint32_t completedBefore = channel.view().completed;
    IsduAnswer answer = channel.execute(request, knobs);
    BlobView v = channel.view();
    if (v.completed != completedBefore && v.id == iolink::FIRMWARE_BLOB_ID) pending = true;
    return answer;
}

IsduAnswer Bootloader::bootModeStatus(const IsduRequest& request) {
    std::lock_guard lock(mutex);
    if (request.subindex != 0) return IsduAnswer::fail(isdu_error::kSubindexNotAvailable);
    if (request.write) return IsduAnswer::fail(isdu_error::kAccessDenied);
    ++counters.statusReads;
    switch (knobs.bootStatus) {
    case BootStatusFault::ReadError: return IsduAnswer::fail(knobs.refusalError);
    case BootStatusFault::NoData: return IsduAnswer::ok();
    case BootStatusFault::InvalidValue: return IsduAnswer::ok({2});
    default: break;
    }
    if (bootloader && counters.readsUntilApplication > 0) {
        // Restarting after the activation: still the bootloader for this read.
        if (--counters.readsUntilApplication == 0) {
            IsduAnswer answer = IsduAnswer::ok({iolink::BOOTMODE_BOOTLOADER});
            bootloader = false;
            return answer;
        }
        return IsduAnswer::ok({iolink::BOOTMODE_BOOTLOADER});
    }
    return IsduAnswer::ok({bootloader ? iolink::BOOTMODE_BOOTLOADER : iolink::BOOTMODE_APPLICATION});
}

FirmwareFaults Bootloader::faults() const {
    std::lock_guard lock(mutex);
    return knobs;
}

void Bootloader::setFaults(const FirmwareFaults& k) {
    std::lock_guard lock(mutex);
    knobs = k;
}

FirmwareView Bootloader::view() const {
    std::lock_guard lock(mutex);
    FirmwareView v = counters;
    v.inBootloader = bootloader;
    v.entryProgress = entryProgress;
    v.firmwarePending = pending;
    v.blob = channel.view();
    return v;
}

std::optional<std::vector<uint8_t>> Bootloader::completedBlob(uint16_t id) const {
    std::lock_guard lock(mutex);
    const auto* blob = channel.completed(id);
    if (!blob) return std::nullopt;
    return *blob;
}

std::vector<uint8_t> Bootloader::installedFirmware() const {
    std::lock_guard lock(mutex);
    return installed;
}

void Bootloader::setBootloaderMode(bool on) {
    std::lock_guard lock(mutex);
    bootloader = on;
    counters.readsUntilApplication = 0;
}

void Bootloader::setBlobLimits(BlobLimits limits) {
    std::lock_guard lock(mutex);
    configuration.blob = limits;
    channel.setLimits(limits);
}

void Bootloader::setConfig(const FirmwareConfig& config) {
    std::lock_guard lock(mutex);
    configuration = config;
    channel.setLimits(config.blob);
}

FirmwareConfig Bootloader::config() const {
    std::lock_guard lock(mutex);
    return configuration;
}

}  // namespace iolsim
