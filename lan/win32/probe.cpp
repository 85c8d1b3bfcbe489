// The probe on Windows: a non-blocking Winsock connect makes the system resolve the address;
// the neighbour table (GetIpNetTable2) gives its link-layer address, and SendARP asks for it
// when the table has none yet. ResolveIpNetEntry2 would do the same but is not everywhere.
#include "lan/probe.h"

#include "lan/interfaces.h"

// Winsock first: iphlpapi.h needs its types.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <netioapi.h>

#include <cstring>

namespace comsetup::lan {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint16_t kDiscardPort = 9;
constexpr int kSliceMs = 10;

struct Winsock {
    bool ready = false;
    Winsock() {
        WSADATA data;
        ready = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~Winsock() {
        if (ready) {
            ::WSACleanup();
        }
    }
};

class Socket {
public:
    explicit Socket(int type)
        : s_(::socket(AF_INET, type, type == SOCK_STREAM ? IPPROTO_TCP : IPPROTO_UDP)) {
        u_long nonBlocking = 1;
        if (s_ != INVALID_SOCKET) {
            ::ioctlsocket(s_, FIONBIO, &nonBlocking);
        }
    }
    ~Socket() {
        if (s_ != INVALID_SOCKET) {
            ::closesocket(s_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET get() const { return s_; }

private:
    SOCKET s_;
};

// The neighbour table's confirmed entry for address on interface index.
std::optional<Mac> TableEntry(Ipv4 address, unsigned index) {
    MIB_IPNET_TABLE2* table = nullptr;
    if (::GetIpNetTable2(AF_INET, &table) != NO_ERROR || table == nullptr) {
        return std::nullopt;
    }
    std::optional<Mac> found;
    for (ULONG i = 0; i < table->NumEntries && !found; ++i) {
        const MIB_IPNET_ROW2& row = table->Table[i];
        if (row.InterfaceIndex != index || row.PhysicalAddressLength != 6 ||
            ntohl(row.Address.Ipv4.sin_addr.s_addr) != address) {
            continue;
        }
        if (row.State == NlnsReachable || row.State == NlnsPermanent) {
            Mac mac{};
            std::memcpy(mac.data(), row.PhysicalAddress, 6);
            found = mac;
        }
    }
    ::FreeMibTable(table);
    return found;
}

// SendARP: waits for the answer (the system's own time-out), so only after a TCP answer.
std::optional<Mac> AskArp(Ipv4 address) {
    ULONG mac[2] = {0, 0};
    ULONG length = 6;
    if (::SendARP(htonl(address), 0, mac, &length) != NO_ERROR || length != 6) {
        return std::nullopt;
    }
    Mac m{};
    std::memcpy(m.data(), mac, 6);
    return m;
}

} // namespace

ProbeResult Probe(Ipv4 address, std::uint16_t port, std::chrono::milliseconds limit) {
    ProbeResult result;
    result.via = OnLinkInterface(ListInterfaces(), address);
    if (!result.via) {
        return result; // only on-link addresses are probed: nothing goes out
    }
    Winsock winsock;
    if (!winsock.ready) {
        result.error = ::WSAGetLastError();
        return result;
    }
    const unsigned index = result.via->index;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port == 0 ? kDiscardPort : port);
    to.sin_addr.s_addr = htonl(address);
    Socket tcp(SOCK_STREAM);
    Socket udp(SOCK_DGRAM);
    const auto start = Clock::now();
    const auto deadline = start + limit;
    bool pending = false;
    if (port != 0) {
        if (tcp.get() == INVALID_SOCKET) {
            result.error = ::WSAGetLastError();
            return result;
        }
        result.sent = true;
        if (::connect(tcp.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
            result.tcp = TcpState::Open;
        } else if (::WSAGetLastError() == WSAEWOULDBLOCK) {
            pending = true;
        } else {
            result.tcp =
                ::WSAGetLastError() == WSAECONNREFUSED ? TcpState::Refused : TcpState::NoAnswer;
        }
    } else {
        if (udp.get() == INVALID_SOCKET) {
            result.error = ::WSAGetLastError();
            return result;
        }
        result.sent = true;
        ::sendto(udp.get(), "", 0, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    for (;;) {
        if (!result.mac) {
            result.mac = TableEntry(address, index);
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
        if (pending) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(tcp.get(), &writable);
            FD_SET(tcp.get(), &failed);
            timeval slice{0, kSliceMs * 1000};
            if (::select(0, nullptr, &writable, &failed, &slice) > 0) {
                pending = false;
                int error = 0;
                int length = sizeof error;
                ::getsockopt(tcp.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                             &length);
                result.tcp = FD_ISSET(tcp.get(), &writable) && error == 0 ? TcpState::Open
                             : error == WSAECONNREFUSED                   ? TcpState::Refused
                                                                          : TcpState::NoAnswer;
            }
        } else {
            ::Sleep(kSliceMs);
        }
    }
    if (result.tcp == TcpState::Open || result.tcp == TcpState::Refused) {
        result.roundTrip =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
        if (!result.mac) {
            result.mac = AskArp(address);
        }
    }
    return result;
}

} // namespace comsetup::lan
