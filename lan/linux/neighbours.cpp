#include "lan/linux/neighbours.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace comsetup::lan {

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// What one RTM_NEWNEIGH message says about address, if it is its entry.
std::optional<Neighbour> FromMessage(const nlmsghdr* h, Ipv4 address, unsigned index) {
    const auto* nd = static_cast<const ndmsg*>(NLMSG_DATA(h));
    if (nd->ndm_family != AF_INET || static_cast<unsigned>(nd->ndm_ifindex) != index) {
        return std::nullopt;
    }
    int length = static_cast<int>(h->nlmsg_len) - static_cast<int>(NLMSG_LENGTH(sizeof *nd));
    bool match = false;
    std::optional<Mac> mac;
    for (const rtattr* a = reinterpret_cast<const rtattr*>(reinterpret_cast<const char*>(nd) +
                                                           NLMSG_ALIGN(sizeof *nd));
         RTA_OK(a, length); a = RTA_NEXT(a, length)) {
        if (a->rta_type == NDA_DST && RTA_PAYLOAD(a) == 4) {
            std::uint32_t raw = 0;
            std::memcpy(&raw, RTA_DATA(a), 4);
            match = ntohl(raw) == address;
        } else if (a->rta_type == NDA_LLADDR && RTA_PAYLOAD(a) == 6) {
            Mac m{};
            std::memcpy(m.data(), RTA_DATA(a), 6);
            mac = m;
        }
    }
    if (!match || !mac) {
        return std::nullopt;
    }
    Neighbour n;
    n.mac = *mac;
    n.confirmed = (nd->ndm_state & (NUD_REACHABLE | NUD_PERMANENT | NUD_NOARP)) != 0;
    n.known = n.confirmed || (nd->ndm_state & (NUD_STALE | NUD_DELAY | NUD_PROBE)) != 0;
    return n.known ? std::optional<Neighbour>(n) : std::nullopt;
}

} // namespace

std::optional<Neighbour> LookUpNeighbour(Ipv4 address, unsigned interfaceIndex) {
    Fd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (fd.get() < 0) {
        return std::nullopt;
    }
    struct {
        nlmsghdr header;
        ndmsg body;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.body.ndm_family = AF_INET;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd.get(), &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) < 0) {
        return std::nullopt;
    }
    std::optional<Neighbour> found;
    alignas(nlmsghdr) char buffer[16384];
    for (;;) {
        const ssize_t n = ::recv(fd.get(), buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return found;
        }
        auto left = static_cast<unsigned>(n);
        for (const auto* h = reinterpret_cast<const nlmsghdr*>(buffer); NLMSG_OK(h, left);
             h = NLMSG_NEXT(h, left)) {
            if (h->nlmsg_type == NLMSG_DONE || h->nlmsg_type == NLMSG_ERROR) {
                return found;
            }
            if (h->nlmsg_type == RTM_NEWNEIGH && !found) {
                found = FromMessage(h, address, interfaceIndex);
            }
        }
    }
}

} // namespace comsetup::lan
