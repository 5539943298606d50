// Nicprime: asks the capture library once for its devices so that its driver gets loaded
// before the bus library looks for adapters. Reads no arguments; prints only on failure.
#include <cstdio>

#include <pcap/pcap.h>

int main()
{
    pcap_if_t* devices = nullptr;
    char errorText[PCAP_ERRBUF_SIZE] = {};
    if (pcap_findalldevs(&devices, errorText) == -1) {
        std::fprintf(stderr, "Error in pcap_findalldevs_ex: %s\n", errorText);
        return -1;
    }
    pcap_freealldevs(devices);
    return 0;
}
