#include "sim/lan_presence.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/if_packet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace comsetup::sim {

namespace {

std::string Dotted(std::uint32_t a) {
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." +
           std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF);
}

// RTM_NEWADDR or RTM_DELADDR of address/prefix on the interface; 0 or the errno.
int ChangeAddress(int type, unsigned index, std::uint32_t address, int prefix) {
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) {
        return errno;
    }
    struct {
        nlmsghdr header;
        ifaddrmsg body;
        char attributes[64];
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
    request.header.nlmsg_type = static_cast<unsigned short>(type);
    request.header.nlmsg_flags =
        NLM_F_REQUEST | NLM_F_ACK | (type == RTM_NEWADDR ? NLM_F_CREATE | NLM_F_REPLACE : 0);
    request.body.ifa_family = AF_INET;
    request.body.ifa_prefixlen = static_cast<unsigned char>(prefix);
    request.body.ifa_index = index;
    const std::uint32_t raw = htonl(address);
    for (const unsigned short kind : {IFA_LOCAL, IFA_ADDRESS}) {
        auto* a = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) +
                                            NLMSG_ALIGN(request.header.nlmsg_len));
        a->rta_type = kind;
        a->rta_len = RTA_LENGTH(4);
        std::memcpy(RTA_DATA(a), &raw, 4);
        request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(a->rta_len);
    }
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    int result = 0;
    if (::sendto(fd, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) < 0) {
        result = errno;
    } else {
        alignas(nlmsghdr) char answer[1024];
        const ssize_t n = ::recv(fd, answer, sizeof answer, 0);
        const auto* h = reinterpret_cast<const nlmsghdr*>(answer);
        if (n < 0) {
            result = errno;
        } else if (NLMSG_OK(h, static_cast<unsigned>(n)) && h->nlmsg_type == NLMSG_ERROR) {
            result = -static_cast<const nlmsgerr*>(NLMSG_DATA(h))->error;
        }
    }
    ::close(fd);
    return result;
}

// The announcement a booting device makes: an ARP request for its own address, so that a PC
// waiting to resolve it learns its link-layer address at once.
void AnnounceAddress(const std::string& interface, unsigned index, std::uint32_t address) {
    const int fd = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP));
    if (fd < 0) {
        return;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, interface.c_str(), IFNAMSIZ - 1);
    if (::ioctl(fd, SIOCGIFHWADDR, &request) == 0) {
        unsigned char packet[28] = {0x00, 0x01, 0x08, 0x00, 6, 4, 0x00, 0x01};
        const std::uint32_t raw = htonl(address);
        std::memcpy(packet + 8, request.ifr_hwaddr.sa_data, 6);
        std::memcpy(packet + 14, &raw, 4);
        std::memcpy(packet + 24, &raw, 4);
        sockaddr_ll to{};
        to.sll_family = AF_PACKET;
        to.sll_protocol = htons(ETH_P_ARP);
        to.sll_ifindex = static_cast<int>(index);
        to.sll_halen = 6;
        std::memset(to.sll_addr, 0xFF, 6);
        (void)::sendto(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    ::close(fd);
}

} // namespace

LanAddress AddressOf(const ConverterSettings& s, LanFail fail) {
    LanAddress lan;
    lan.address = (static_cast<std::uint32_t>(s.ip[0] & 0xFF) << 24) |
                  (static_cast<std::uint32_t>(s.ip[1] & 0xFF) << 16) |
                  (static_cast<std::uint32_t>(s.ip[2] & 0xFF) << 8) |
                  static_cast<std::uint32_t>(s.ip[3] & 0xFF);
    if (s.hostBits > 0 && s.hostBits < 32) {
        lan.prefix = 32 - s.hostBits;
    } else {
        lan.prefix = s.ip[0] < 128 ? 8 : s.ip[0] < 192 ? 16 : 24;
    }
    lan.port = static_cast<std::uint16_t>(std::atoi(s.localPort.c_str()));
    if (fail == LanFail::WrongSubnet && lan.prefix > 0) {
        lan.address ^= std::uint32_t{1} << (32 - lan.prefix); // the neighbouring subnet
    }
    return lan;
}

LanPresence::LanPresence(LanOptions options, void (*log)(void*, const std::string&), void* context)
    : options_(std::move(options)), log_(log), context_(context) {}

LanPresence::~LanPresence() {
    Leave();
}

void LanPresence::Leave() {
    {
        std::lock_guard lock(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    stop_ = false;
}

void LanPresence::Restart(const ConverterSettings& settings) {
    Leave();
    if (options_.fail == LanFail::Silent) {
        Say("stays off the LAN (--lan-fail silent)");
        return;
    }
    thread_ = std::thread(&LanPresence::Run, this, AddressOf(settings, options_.fail));
}

void LanPresence::Run(LanAddress target) {
    {
        std::unique_lock lock(lock_);
        if (wake_.wait_for(lock, options_.bootTime, [this] { return stop_; })) {
            return; // a new download or the end came first
        }
    }
    const unsigned index = ::if_nametoindex(options_.interface.c_str());
    if (index == 0) {
        Say("--lan " + options_.interface + ": no such interface");
        return;
    }
    // Listening first, so the first connection to the new address finds the port open.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    // Bound to its own address before that exists (IP_FREEBIND): several stand-ins share one
    // namespace, each at its own address with the same port.
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    ::setsockopt(listener, IPPROTO_IP, IP_FREEBIND, &yes, sizeof yes);
    sockaddr_in own{};
    own.sin_family = AF_INET;
    own.sin_port = htons(target.port);
    own.sin_addr.s_addr = htonl(target.address);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&own), sizeof own) != 0 ||
        ::listen(listener, 8) != 0) {
        Say(std::string("cannot listen on TCP port ") + std::to_string(target.port) + ": " +
            std::strerror(errno));
    }
    const std::string where = Dotted(target.address) + "/" + std::to_string(target.prefix);
    if (const int error = ChangeAddress(RTM_NEWADDR, index, target.address, target.prefix)) {
        Say("cannot put " + where + " on " + options_.interface + ": " + std::strerror(error));
        if (listener >= 0) {
            ::close(listener);
        }
        return;
    }
    Say("on the LAN: " + where + " on " + options_.interface + ", TCP port " +
        std::to_string(target.port));
    AnnounceAddress(options_.interface, index, target.address);
    for (;;) {
        {
            std::lock_guard lock(lock_);
            if (stop_) {
                break;
            }
        }
        pollfd p{listener, POLLIN, 0};
        if (listener >= 0 && ::poll(&p, 1, 20) > 0) {
            const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection >= 0) {
                ::close(connection); // the port answered; that is all a probe asks
            }
        } else if (listener < 0) {
            ::poll(nullptr, 0, 20);
        }
    }
    if (listener >= 0) {
        ::close(listener);
    }
    ChangeAddress(RTM_DELADDR, index, target.address, target.prefix);
    Say("off the LAN: " + where + " taken away from " + options_.interface);
}

} // namespace comsetup::sim
