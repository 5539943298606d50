// ethercat-sim: answers EtherCAT frames on a network interface as a chain of simulated devices.
// It refuses interfaces that are not one end of a veth pair unless --allow-any-interface is
// given, so that it never answers on a real network by mistake.
#include "RawLink.h"
#include "Segment.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::atomic<bool> stopRequested{false};

void onSignal(int) { stopRequested = true; }

void usage()
{
    std::fprintf(stderr,
                 "usage: ethercat-sim --interface IF --device KIND[:COUNT]... [--sii FILE[:COUNT]]...\n"
                 "                    [--loss-rate RATE] [--seed SEED] [--mailbox-delay-us US]\n"
                 "                    [--eeprom-busy-us US] [--allow-any-interface]\n"
                 "  KIND: own, foreign-coe, io. Devices are chained in the order given.\n");
}

bool splitCount(const std::string& argument, std::string& name, unsigned& count)
{
    auto colon = argument.rfind(':');
    name = argument;
    count = 1;
    if (colon == std::string::npos)
        return true;
    char* end = nullptr;
    unsigned long parsed = std::strtoul(argument.c_str() + colon + 1, &end, 10);
    if (end == argument.c_str() + colon + 1 || *end != '\0' || parsed == 0 || parsed > ecsim::kMaxDevices)
        return false;
    name = argument.substr(0, colon);
    count = unsigned(parsed);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string interfaceName;
    std::vector<ecsim::DeviceProfile> profiles;
    double lossRate = 0.0;
    uint64_t seed = 1;
    long mailboxDelayUs = 0;
    long eepromBusyUs = -1;
    bool allowAnyInterface = false;
    uint32_t serial = 1;

    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "ethercat-sim: %s needs a value\n", option.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (option == "--interface") {
            interfaceName = value();
        } else if (option == "--device" || option == "--sii") {
            std::string name;
            unsigned count = 0;
            std::string argument = value();
            if (!splitCount(argument, name, count)) {
                std::fprintf(stderr, "ethercat-sim: bad count in %s\n", argument.c_str());
                return 2;
            }
            std::optional<ecsim::DeviceProfile> loaded;
            if (option == "--sii") {
                loaded = ecsim::profileFromSiiFile(name);
                if (!loaded) {
                    std::fprintf(stderr, "ethercat-sim: cannot load SII image %s\n", name.c_str());
                    return 2;
                }
            }
            for (unsigned n = 0; n < count; ++n) {
                auto profile = loaded ? loaded : ecsim::profileByKind(name, serial);
                if (!profile) {
                    std::fprintf(stderr, "ethercat-sim: unknown device kind %s\n", name.c_str());
                    return 2;
                }
                ++serial;
                profiles.push_back(std::move(*profile));
            }
        } else if (option == "--loss-rate") {
            lossRate = std::strtod(value().c_str(), nullptr);
        } else if (option == "--seed") {
            seed = std::strtoull(value().c_str(), nullptr, 10);
        } else if (option == "--mailbox-delay-us") {
            mailboxDelayUs = std::strtol(value().c_str(), nullptr, 10);
        } else if (option == "--eeprom-busy-us") {
            eepromBusyUs = std::strtol(value().c_str(), nullptr, 10);
        } else if (option == "--allow-any-interface") {
            allowAnyInterface = true;
        } else if (option == "--help" || option == "-h") {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "ethercat-sim: unknown option %s\n", option.c_str());
            usage();
            return 2;
        }
    }
    if (interfaceName.empty() || profiles.empty()) {
        usage();
        return 2;
    }
    if (profiles.size() > ecsim::kMaxDevices) {
        std::fprintf(stderr, "ethercat-sim: at most %zu devices\n", ecsim::kMaxDevices);
        return 2;
    }
    if (!allowAnyInterface && !ecsim::isVethInterface(interfaceName)) {
        std::fprintf(stderr, "ethercat-sim: %s is not a veth interface; refusing (use --allow-any-interface to override)\n",
                     interfaceName.c_str());
        return 3;
    }

    ecsim::Segment segment(profiles);
    segment.faults().setFrameLoss(lossRate, seed);
    for (size_t position = 1; position <= profiles.size(); ++position) {
        if (mailboxDelayUs > 0)
            segment.faults().setMailboxDelay(position, std::chrono::microseconds(mailboxDelayUs));
        if (eepromBusyUs >= 0)
            segment.faults().setEepromBusyTime(position, std::chrono::microseconds(eepromBusyUs));
    }

    std::string error;
    auto link = ecsim::RawLink::open(interfaceName, error);
    if (!link) {
        std::fprintf(stderr, "ethercat-sim: cannot open %s: %s\n", interfaceName.c_str(), error.c_str());
        return 1;
    }

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    std::printf("ready on %s with %zu devices\n", interfaceName.c_str(), profiles.size());
    std::fflush(stdout);

    std::vector<uint8_t> frame;
    while (!stopRequested) {
        int got = link->receive(frame, 100);
        if (got < 0) {
            std::fprintf(stderr, "ethercat-sim: receive failed on %s\n", interfaceName.c_str());
            return 1;
        }
        if (got == 0)
            continue;
        // Frames that already passed a slave (our own answers) are not ours to process.
        if (frame.size() < 14 || (frame[6] & 0x02) != 0)
            continue;
        auto answer = segment.processFrame(frame);
        if (answer && !link->send(*answer))
            std::fprintf(stderr, "ethercat-sim: send failed on %s\n", interfaceName.c_str());
    }
    return 0;
}
