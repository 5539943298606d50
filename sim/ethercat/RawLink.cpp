// libpcap transport of the simulator program. Frames the handle sent itself are not seen again
// (PCAP_D_IN); the filter keeps kernel chatter such as IPv6 neighbour discovery out.
#include "RawLink.h"

#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <pcap/pcap.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ecsim {

struct RawLink::Handle {
    pcap_t* pcap = nullptr;
    int fd = -1;
    ~Handle()
    {
        if (pcap)
            pcap_close(pcap);
    }
};

std::unique_ptr<RawLink> RawLink::open(const std::string& interfaceName, std::string& error)
{
    char errorText[PCAP_ERRBUF_SIZE] = {};
    std::unique_ptr<RawLink> link(new RawLink());
    link->handle = std::make_unique<Handle>();
    pcap_t* pcap = pcap_create(interfaceName.c_str(), errorText);
    if (!pcap) {
        error = errorText;
        return nullptr;
    }
    link->handle->pcap = pcap;
    pcap_set_immediate_mode(pcap, 1);
    pcap_set_snaplen(pcap, 2048);
    pcap_set_promisc(pcap, 1);
    pcap_set_timeout(pcap, 1);
    int activated = pcap_activate(pcap);
    if (activated < 0) {
        error = std::string("pcap_activate: ") + pcap_statustostr(activated) + " " + pcap_geterr(pcap);
        return nullptr;
    }
    if (pcap_setdirection(pcap, PCAP_D_IN) != 0) {
        error = std::string("pcap_setdirection: ") + pcap_geterr(pcap);
        return nullptr;
    }
    bpf_program program{};
    if (pcap_compile(pcap, &program, "ether proto 0x88a4", 1, PCAP_NETMASK_UNKNOWN) != 0 ||
        pcap_setfilter(pcap, &program) != 0) {
        error = std::string("filter: ") + pcap_geterr(pcap);
        pcap_freecode(&program);
        return nullptr;
    }
    pcap_freecode(&program);
    if (pcap_setnonblock(pcap, 1, errorText) != 0) {
        error = errorText;
        return nullptr;
    }
    link->handle->fd = pcap_get_selectable_fd(pcap);
    if (link->handle->fd < 0) {
        error = "no selectable descriptor";
        return nullptr;
    }
    return link;
}

RawLink::~RawLink() = default;

bool RawLink::send(const std::vector<uint8_t>& frame)
{
    return pcap_sendpacket(handle->pcap, frame.data(), int(frame.size())) == 0;
}

int RawLink::receive(std::vector<uint8_t>& frame, int timeoutMs)
{
    pcap_pkthdr* header = nullptr;
    const u_char* bytes = nullptr;
    int got = pcap_next_ex(handle->pcap, &header, &bytes);
    if (got == 0) {
        pollfd waiting{handle->fd, POLLIN, 0};
        int ready = poll(&waiting, 1, timeoutMs);
        if (ready < 0)
            return errno == EINTR ? 0 : -1;
        if (ready == 0)
            return 0;
        got = pcap_next_ex(handle->pcap, &header, &bytes);
    }
    if (got == 1) {
        frame.assign(bytes, bytes + header->caplen);
        return 1;
    }
    return got == 0 ? 0 : -1;
}

bool isVethInterface(const std::string& interfaceName)
{
    if (interfaceName.empty() || interfaceName.size() >= IFNAMSIZ)
        return false;
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return false;
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    ifreq request{};
    std::strncpy(request.ifr_name, interfaceName.c_str(), IFNAMSIZ - 1);
    request.ifr_data = reinterpret_cast<char*>(&info);
    bool veth = ioctl(fd, SIOCETHTOOL, &request) == 0 && std::strcmp(info.driver, "veth") == 0;
    close(fd);
    return veth;
}

}  // namespace ecsim
