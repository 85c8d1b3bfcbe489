// The probe on Linux: a non-blocking TCP connect (or a datagram to the discard port) makes
// the kernel resolve the address; rtnetlink's neighbour table gives its link-layer address.
#include "lan/probe.h"

#include "lan/interfaces.h"
#include "lan/linux/neighbours.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace comsetup::lan {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint16_t kDiscardPort = 9;
constexpr int kSliceMs = 10; // how often the neighbour table is read while waiting

class Socket {
public:
    Socket(int type) : fd_(::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

sockaddr_in SocketAddress(Ipv4 address, std::uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    return to;
}

// The connect's outcome once the socket is writable or in error.
TcpState ConnectOutcome(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return TcpState::NoAnswer;
    }
    if (error == 0) {
        return TcpState::Open;
    }
    return error == ECONNREFUSED ? TcpState::Refused : TcpState::NoAnswer;
}

} // namespace

ProbeResult Probe(Ipv4 address, std::uint16_t port, std::chrono::milliseconds limit) {
    ProbeResult result;
    result.via = OnLinkInterface(ListInterfaces(), address);
    if (!result.via) {
        return result; // only on-link addresses are probed: nothing goes out
    }
    const unsigned index = result.via->index;
    const sockaddr_in to = SocketAddress(address, port == 0 ? kDiscardPort : port);
    Socket tcp(SOCK_STREAM);
    Socket udp(SOCK_DGRAM);
    const auto start = Clock::now();
    const auto deadline = start + limit;
    bool pending = false;
    if (port != 0) {
        if (tcp.get() < 0) {
            result.error = errno;
            return result;
        }
        result.sent = true;
        if (::connect(tcp.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
            result.tcp = TcpState::Open;
        } else if (errno == EINPROGRESS) {
            pending = true;
        } else {
            result.tcp = errno == ECONNREFUSED ? TcpState::Refused : TcpState::NoAnswer;
        }
        if (!pending && result.tcp != TcpState::NoAnswer) {
            result.roundTrip =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
        }
    } else {
        if (udp.get() < 0) {
            result.error = errno;
            return result;
        }
        result.sent = true;
        // Nothing listens on the discard port; the datagram is only there to be resolved.
        (void)::sendto(udp.get(), "", 0, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    for (;;) {
        if (!result.mac) {
            if (const auto n = LookUpNeighbour(address, index); n && n->confirmed) {
                result.mac = n->mac;
            }
        }
        if (!pending && (port != 0 || result.mac)) {
            break;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            if (pending) {
                result.tcp = TcpState::NoAnswer;
            }
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        const int wait = static_cast<int>(std::min<long long>(kSliceMs, left.count() + 1));
        if (pending) {
            pollfd p{tcp.get(), POLLOUT, 0};
            const int ready = ::poll(&p, 1, wait);
            if (ready > 0) {
                pending = false;
                result.tcp = ConnectOutcome(tcp.get());
                if (result.tcp != TcpState::NoAnswer) {
                    result.roundTrip =
                        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
                }
            }
        } else {
            ::poll(nullptr, 0, wait);
        }
    }
    if (!result.mac && (result.tcp == TcpState::Open || result.tcp == TcpState::Refused)) {
        // It answered just now, so an entry the table still calls stale is this device's.
        if (const auto n = LookUpNeighbour(address, index); n && n->known) {
            result.mac = n->mac;
        }
    }
    return result;
}

} // namespace comsetup::lan
