// iolink-sim: a simulated IO-Link master with one device, served on a pseudo-terminal.
//
// The first line on standard output is "serving <slave path>"; the program then runs until
// SIGTERM or SIGINT. Fault knobs can be given as flags and changed while it runs through
// commands on standard input (see --help), so a demo can pull the device or corrupt frames.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/iolink/Simulator.h"

namespace {

using namespace iolsim;

const char* kUsage = R"(usage: iolink-sim [options]

Device identity:
  --vendor-id N            16-bit vendor id
  --device-id N            24-bit device id
  --revision N             IO-Link revision id (0x10 or 0x11)
  --min-cycle-us N         device minimum cycle time in microseconds
  --pd-in N  --pd-out N    process-data lengths in bytes (0..32)
  --vendor-name S  --product-name S  --serial S  --firmware S  --hardware S
  --vendor-id-object N     32-bit vendor id at 0x1018/1 (default: the --vendor-id value)
  --hardware-id S          hardware id text at 0x43BE (default SD200-HW-A1)
Firmware update (BLOB channel 50, system commands 2, boot mode 0x43BF):
  --max-blob-size N        maximum BLOB size the information answers (default 1048576)
  --max-segment-length N   maximum segment length incl. control byte (default 200)
  --start-in-bootloader    the device starts in its bootloader
  --firmware-blob-anywhere take a firmware BLOB (id 1) in the application too
  --bootloader-reads N     status reads still answering "bootloader" after an activation
  --activation-restart N   cycles the device is gone after an activation (restart)
  --reset-restart N        cycles the device is gone after a device reset (0x80)
Port behaviour:
  --initial-mode N         mode code after power-up: 0 inactive, 1 DO, 2 DI, 3 preop, 4 operate
  --preoperate-after N     cycles before preoperate is signalled in an IO-Link start
  --operate-after N        cycles in preoperate before operate (operational mode)
  --preop-operate-after N  the same for the preoperational mode; "never" keeps preoperate
  --isdu-latency N         cycles until an ISDU result is ready
  --no-loss-events         do not report device loss and return as port events
Fault knobs (also as stdin commands "set <knob> <value>"):
  --silent                 answer nothing
  --corrupt-every          every answer with a wrong checksum
  --corrupt-rate R         each answer corrupted with probability R (0..1)
  --seed N                 seed of the corruption generator
  --refuse LIST            refuse services by code, comma separated (e.g. 0x0a,0x0c)
  --refuse-status N        status byte of a refusal (default 1)
  --refuse-count N         refuse only the next N requests
  --late-results N         ISDU results ready N cycles late
  --device-lost            the device is gone (condition nibble 1)
  --condition N            port condition nibble while the device is there (0, 2..9)
  --two-ports              announce two ports
  --answer-delay-ms N      answer that much later
  --firmware-error N       ISDU error code of the firmware refusals below (default 0x8036)
  --refuse-segment N       refuse full BLOB segment N (0-based) of every transfer; "none"
  --refuse-blob-command N  refuse that BLOB command: 0xf1, 0x30, 0x40, 0xf2 or 0xf0; 0 none
  --crc-mismatch           the BLOB CRC never matches
  --blob-info MODE         ok, five, seven, tag (first byte 0x12), seg0, seg1, error
  --refuse-activations N   refuse the next N activation commands
  --stay-in-bootloader     accept the activation but stay in the bootloader
  --refuse-bootloader-entry  accept the entry code but never enter the bootloader
  --boot-status MODE       ok, error, empty (no byte), invalid (answers 2)
Commands on standard input while running:
  set <knob> <value>       knob names as the flags without "--" (silent 1, device-lost 0, ...)
  event <type> <source> <code> [port]   queue an event (type 1..3, source 0 device, 1 master)
  di <0|1>                 digital input level
  stats                    print the counters
  firmware                 print the firmware-update state
  bootloader <0|1>         put the device into its bootloader or the application
  save-blob <id> <path>    write the last BLOB completed under id to a file
  save-firmware <path>     write the firmware image the device last adopted to a file
)";

uint32_t number(const std::string& text) {
    if (text == "never") return kNeverCycles;
    std::size_t used = 0;
    unsigned long value = std::stoul(text, &used, 0);
    if (used != text.size()) throw std::invalid_argument(text);
    return static_cast<uint32_t>(value);
}

BlobInfoFault blobInfoFault(const std::string& mode) {
    if (mode == "ok" || mode == "0") return BlobInfoFault::None;
    if (mode == "five") return BlobInfoFault::FiveBytes;
    if (mode == "seven") return BlobInfoFault::SevenBytes;
    if (mode == "tag") return BlobInfoFault::WrongTag;
    if (mode == "seg0") return BlobInfoFault::SegmentLength0;
    if (mode == "seg1") return BlobInfoFault::SegmentLength1;
    if (mode == "error") return BlobInfoFault::ReadError;
    throw std::invalid_argument(mode);
}

BootStatusFault bootStatusFault(const std::string& mode) {
    if (mode == "ok" || mode == "0") return BootStatusFault::None;
    if (mode == "error") return BootStatusFault::ReadError;
    if (mode == "empty") return BootStatusFault::NoData;
    if (mode == "invalid") return BootStatusFault::InvalidValue;
    throw std::invalid_argument(mode);
}

// Knobs share their names between flags and stdin commands; value-less flags take "1".
bool applyKnob(const std::string& name, const std::string& value, FaultKnobs& f) {
    FirmwareFaults& fw = f.firmware;
    if (name == "firmware-error") fw.refusalError = static_cast<uint16_t>(number(value));
    else if (name == "refuse-segment") fw.refuseBlobSegment = value == "none" ? kNoSegment : number(value);
    else if (name == "refuse-blob-command") fw.refuseBlobCommand = static_cast<uint8_t>(number(value));
    else if (name == "crc-mismatch") fw.blobCrcMismatch = number(value) != 0;
    else if (name == "blob-info") fw.blobInfo = blobInfoFault(value);
    else if (name == "refuse-activations") fw.refuseActivations = number(value);
    else if (name == "stay-in-bootloader") fw.stayInBootloader = number(value) != 0;
    else if (name == "refuse-bootloader-entry") fw.refuseBootloaderEntry = number(value) != 0;
    else if (name == "boot-status") fw.bootStatus = bootStatusFault(value);
    else if (name == "silent") f.silentMaster = number(value) != 0;
    else if (name == "corrupt-every") f.corruption = number(value) ? ChecksumCorruption::EveryFrame : ChecksumCorruption::Off;
    else if (name == "corrupt-rate") {
        f.corruptionRate = std::stod(value);
        f.corruption = f.corruptionRate > 0 ? ChecksumCorruption::AtRate : ChecksumCorruption::Off;
    } else if (name == "seed") f.corruptionSeed = number(value);
    else if (name == "refuse") {
        f.refusedServices = 0;
        std::stringstream list(value);
        for (std::string item; std::getline(list, item, ',');)
            if (!item.empty()) f.refusedServices |= 1u << (number(item) & 0x1F);
    } else if (name == "refuse-status") f.refusalStatus = static_cast<uint8_t>(number(value));
    else if (name == "refuse-count") f.refusalCount = number(value);
    else if (name == "late-results") f.lateResultCycles = number(value);
    else if (name == "device-lost") f.deviceLost = number(value) != 0;
    else if (name == "condition") f.portCondition = static_cast<uint8_t>(number(value));
    else if (name == "two-ports") f.announceTwoPorts = number(value) != 0;
    else if (name == "answer-delay-ms") f.answerDelayMs = number(value);
    else return false;
    return true;
}

bool isFlagKnob(const std::string& name) {
    return name == "silent" || name == "corrupt-every" || name == "device-lost" || name == "two-ports" ||
           name == "crc-mismatch" || name == "stay-in-bootloader" || name == "refuse-bootloader-entry";
}

void printStats(const Simulator& sim) {
    Statistics s = sim.statistics();
    std::cout << "requests " << s.requests << " answered " << s.answered << " ignored " << s.ignored
              << " corrupted " << s.corrupted << " refused " << s.refused << " repeated " << s.repeated
              << " cycles " << s.processDataCycles << std::endl;
}

void printFirmware(const Simulator& sim) {
    FirmwareView v = sim.firmware();
    std::vector<uint8_t> installed = sim.installedFirmware();
    std::cout << "mode " << (v.inBootloader ? "bootloader" : "application") << " entries " << v.bootloaderEntries
              << " pending " << (v.firmwarePending ? 1 : 0) << " activations " << v.activations << "/"
              << v.activationCommands << " updates " << v.firmwareUpdates << " installed " << installed.size()
              << " bytes crc 0x" << std::hex << blobCrc(installed) << std::dec << " blob-started " << v.blob.started
              << " blob-completed " << v.blob.completed << " blob-aborted " << v.blob.aborted << " blob-errors "
              << v.blob.errors << " status-reads " << v.statusReads << " recovery-reads " << v.systemCommandReads
              << " resets " << v.resets << std::endl;
}

bool saveBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void runCommand(Simulator& sim, const std::string& line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    try {
        if (command == "set") {
            std::string name, value;
            in >> name >> value;
            bool known = true;
            sim.changeFaults([&](FaultKnobs& f) { known = applyKnob(name, value, f); });
            if (!known) std::cerr << "unknown knob " << name << std::endl;
        } else if (command == "event") {
            std::string type, source, eventCode, port = "0";
            in >> type >> source >> eventCode >> port;
            sim.pushEvent({static_cast<uint8_t>(number(port)), static_cast<uint8_t>(number(type)),
                           static_cast<uint8_t>(number(source)), static_cast<uint16_t>(number(eventCode)), 0, 0});
        } else if (command == "di") {
            std::string level;
            in >> level;
            sim.setDigitalInput(number(level) != 0);
        } else if (command == "stats") {
            printStats(sim);
        } else if (command == "firmware") {
            printFirmware(sim);
        } else if (command == "bootloader") {
            std::string on;
            in >> on;
            sim.bootloader().setBootloaderMode(number(on) != 0);
        } else if (command == "save-blob" || command == "save-firmware") {
            std::string id, path;
            if (command == "save-blob") in >> id;
            in >> path;
            if (path.empty()) throw std::invalid_argument(line);
            std::optional<std::vector<uint8_t>> bytes =
                command == "save-firmware" ? std::optional(sim.installedFirmware())
                                           : sim.completedBlob(static_cast<uint16_t>(number(id)));
            if (!bytes) std::cerr << "no BLOB " << id << std::endl;
            else if (!saveBytes(path, *bytes)) std::cerr << "cannot write " << path << std::endl;
            else std::cout << "saved " << bytes->size() << " bytes to " << path << std::endl;
        } else if (!command.empty()) {
            std::cerr << "unknown command " << command << std::endl;
        }
    } catch (const std::exception&) {
        std::cerr << "bad command: " << line << std::endl;
    }
}

}  // namespace

int main(int argc, char** argv) {
    SimulatorConfig config;
    FaultKnobs knobs;
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--help" || a == "-h") {
                std::cout << kUsage;
                return 0;
            }
            if (a.rfind("--", 0) != 0) throw std::invalid_argument(a);
            std::string name = a.substr(2);
            if (isFlagKnob(name)) {
                applyKnob(name, "1", knobs);
                continue;
            }
            if (name == "no-loss-events") {
                config.reportDeviceLoss = false;
                continue;
            }
            if (name == "start-in-bootloader") {
                config.firmware.startInBootloader = true;
                continue;
            }
            if (name == "firmware-blob-anywhere") {
                config.firmware.firmwareBlobNeedsBootloader = false;
                continue;
            }
            if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
            const std::string& v = args[++i];
            DeviceIdentity& d = config.device;
            if (applyKnob(name, v, knobs)) continue;
            if (name == "vendor-id") d.vendorId = static_cast<uint16_t>(number(v));
            else if (name == "device-id") d.deviceId = number(v) & 0xFFFFFF;
            else if (name == "revision") d.revision = static_cast<uint8_t>(number(v));
            else if (name == "min-cycle-us") d.minCycleTimeUs = number(v);
            else if (name == "pd-in") d.processDataInLength = static_cast<uint8_t>(std::min<uint32_t>(number(v), 32));
            else if (name == "pd-out") d.processDataOutLength = static_cast<uint8_t>(std::min<uint32_t>(number(v), 32));
            else if (name == "vendor-name") d.vendorName = v;
            else if (name == "product-name") d.productName = v;
            else if (name == "serial") d.serialNumber = v;
            else if (name == "firmware") d.firmwareRevision = v;
            else if (name == "hardware") d.hardwareRevision = v;
            else if (name == "vendor-id-object") d.vendorIdObject = number(v);
            else if (name == "hardware-id") d.hardwareId = v;
            else if (name == "max-blob-size") config.firmware.blob.maxBlobSize = number(v);
            else if (name == "max-segment-length") config.firmware.blob.maxSegmentLength = static_cast<uint8_t>(std::min<uint32_t>(number(v), 255));
            else if (name == "bootloader-reads") config.firmware.bootloaderReadsAfterActivation = number(v);
            else if (name == "activation-restart") config.firmware.activationRestartCycles = number(v);
            else if (name == "reset-restart") config.firmware.resetRestartCycles = number(v);
            else if (name == "initial-mode") config.initialMode = static_cast<ModeCode>(std::min<uint32_t>(number(v), 4));
            else if (name == "preoperate-after") config.preoperateAfterCycles = number(v);
            else if (name == "operate-after") config.operateAfterCycles = number(v);
            else if (name == "preop-operate-after") config.preoperationalOperateAfterCycles = number(v);
            else if (name == "isdu-latency") config.isduLatencyCycles = number(v);
            else throw std::invalid_argument(a);
        }
    } catch (const std::exception& e) {
        std::cerr << "iolink-sim: bad argument: " << e.what() << "\n" << kUsage;
        return 2;
    }

    // Signals are taken by sigwait below; every thread inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Simulator sim(config);
    sim.setFaults(knobs);
    try {
        sim.startServing();
    } catch (const std::exception& e) {
        std::cerr << "iolink-sim: " << e.what() << std::endl;
        return 1;
    }
    std::cout << "serving " << sim.slavePath() << std::endl;

    std::atomic<bool> running{true};
    // Read with read(), not std::cin: poll() cannot see lines already sitting in a stream buffer.
    std::thread commands([&] {
        std::string buffered;
        char chunk[256];
        while (running) {
            pollfd p{STDIN_FILENO, POLLIN, 0};
            if (::poll(&p, 1, 200) <= 0) continue;
            ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (n <= 0) return;  // no more commands; keep serving
            buffered.append(chunk, static_cast<std::size_t>(n));
            for (std::size_t end; (end = buffered.find('\n')) != std::string::npos;) {
                runCommand(sim, buffered.substr(0, end));
                buffered.erase(0, end + 1);
            }
        }
    });

    int signal = 0;
    sigwait(&stopSignals, &signal);
    running = false;
    sim.stopServing();
    commands.join();
    return 0;
}
