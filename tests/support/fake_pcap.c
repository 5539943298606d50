/* Stands in front of libpcap's device listing, for tests that need a capture library that
 * fails or lists adapters this machine does not have. FSN_FAKE_PCAP picks the behaviour at
 * each call: "fail" (returns -1 with an error text), "empty" (no devices), "list" (three
 * made-up adapters: with, without and with an empty description); anything else, or unset,
 * passes through to the real library. Loaded by LD_PRELOAD or linked before libpcap. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <pcap/pcap.h>
#include <stdlib.h>
#include <string.h>

static const char fakeErrorText[] = "simulated capture library failure";

static pcap_if_t fakeDevices[3] = {
    {&fakeDevices[1], "fake0", "Fake adapter zero", NULL, 0},
    {&fakeDevices[2], "fake1", NULL, NULL, 0},
    {NULL, "fake2", "", NULL, 0},
};
static pcap_if_t* const fakeList = &fakeDevices[0];

static const char* fakeMode(void)
{
    const char* mode = getenv("FSN_FAKE_PCAP");
    return mode != NULL ? mode : "";
}

int pcap_findalldevs(pcap_if_t** devices, char* errorText)
{
    const char* mode = fakeMode();
    if (strcmp(mode, "fail") == 0) {
        strcpy(errorText, fakeErrorText);
        return -1;
    }
    if (strcmp(mode, "empty") == 0) {
        *devices = NULL;
        return 0;
    }
    if (strcmp(mode, "list") == 0) {
        *devices = fakeList;
        return 0;
    }
    int (*real)(pcap_if_t**, char*) = NULL;
    *(void**)&real = dlsym(RTLD_NEXT, "pcap_findalldevs"); /* POSIX's way round the object/function pointer gap */
    if (real == NULL) {
        strcpy(errorText, "real pcap_findalldevs not found");
        return -1;
    }
    return real(devices, errorText);
}

void pcap_freealldevs(pcap_if_t* devices)
{
    if (devices == NULL || devices == fakeList) {
        return;
    }
    void (*real)(pcap_if_t*) = NULL;
    *(void**)&real = dlsym(RTLD_NEXT, "pcap_freealldevs");
    if (real != NULL) {
        real(devices);
    }
}
