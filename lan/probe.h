// A probe of one address on one of the PC's own subnets: the system is made to resolve it
// (a TCP connect to the converter's local port, and a datagram to the discard port), the
// neighbour table is read for its link-layer address, and the TCP connect tells whether the
// port is open, refused or silent. Values only: the callers word them.
//
// Safety: Probe lists the interfaces itself and sends nothing unless the address is on-link
// on one of them; the result then says so (sent = false). It never probes through a gateway.
#pragma once

#include "lan/ipv4.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace comsetup::lan {

enum class TcpState {
    NotTried, // nothing was sent (off-link, or no socket)
    Open,     // the connect was accepted
    Refused,  // the device answered with a reset: it is there, the port is closed
    NoAnswer, // no answer within the time
};

struct ProbeResult {
    bool sent = false;            // false: the address was not on-link, nothing went out
    std::optional<Interface> via; // the interface that holds the address on-link
    std::optional<Mac> mac;       // the neighbour table's answer, when the device answered
    TcpState tcp = TcpState::NotTried;
    std::optional<std::chrono::microseconds> roundTrip; // of the TCP connect, when answered
    int error = 0; // the system's code when a socket could not even be made

    // Something at the address answered: a confirmed link-layer address or a TCP answer.
    bool Answered() const {
        return mac.has_value() || tcp == TcpState::Open || tcp == TcpState::Refused;
    }
};

// Probes address: at most `limit` from the first packet to the result. port 0: the neighbour
// table only (a datagram to the discard port makes the system resolve the address).
ProbeResult Probe(Ipv4 address, std::uint16_t port, std::chrono::milliseconds limit);

} // namespace comsetup::lan
