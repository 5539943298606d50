// Lists the adapters the capture library can open. On Linux libpcap lists local interfaces
// with pcap_findalldevs; the names it gives are the ones the master's transport opens.
#include "Corvane.h"

#include <pcap/pcap.h>

namespace {
constexpr const char* noDescription = "(No description available)";
}

int Corvane::scanEthernetHardwareDevices()
{
    logger->debug("Scan Ethernet hardware devices");
    ethernetDevices.clear();

    logger->debug("Start WinPcap driver");
    pcap_if_t* interfaces = nullptr;
    char errorText[PCAP_ERRBUF_SIZE] = {};
    if (pcap_findalldevs(&interfaces, errorText) == -1) {
        logger->debug("WinPcap driver not installed or not in admin mode");
        if (interfaces != nullptr) {
            pcap_freealldevs(interfaces);
        }
        return -1;
    }

    for (const pcap_if_t* entry = interfaces; entry != nullptr; entry = entry->next) {
        std::string name = entry->name != nullptr ? entry->name : "";
        std::string description = entry->description != nullptr ? entry->description : noDescription;
        logger->debug("Ethernet device found: {}, {}", name, description);
        ethernetDevices.emplace_back(std::move(name), std::move(description));
    }
    pcap_freealldevs(interfaces);
    return static_cast<int>(ethernetDevices.size());
}

std::vector<EthernetDevicesDescription> Corvane::getEthernetDevicesDescriptionList() const
{
    return ethernetDevices;
}

bool Corvane::probeWinPcapDriver()
{
    logger->debug("Probe WinPcap driver");
    pcap_if_t* interfaces = nullptr;
    char errorText[PCAP_ERRBUF_SIZE] = {};
    if (pcap_findalldevs(&interfaces, errorText) == -1) {
        logger->debug("No WinPcap driver found");
        return false;
    }
    pcap_freealldevs(interfaces);
    logger->debug("WinPcap driver found");
    return true;
}
