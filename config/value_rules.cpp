// The value rule every front end applies to a whole setup.
#include "config/value_rules.h"

#include "download/setup_rules.h"

#include <cstdint>
#include <utility>

namespace comsetup::config {

namespace {

std::uint32_t Word(const Ipv4& address) {
    std::uint32_t value = 0;
    for (const int byte : address) {
        value = (value << 8) | static_cast<std::uint32_t>(byte & 0xff);
    }
    return value;
}

Ipv4 FromWord(std::uint32_t word) {
    return {static_cast<int>(word >> 24), static_cast<int>((word >> 16) & 0xff),
            static_cast<int>((word >> 8) & 0xff), static_cast<int>(word & 0xff)};
}

// The converter's subnet, as the rules look at it.
struct Subnet {
    std::uint32_t network = 0;
    std::uint32_t mask = 0;
    std::string text;

    bool Holds(const Ipv4& address) const { return (Word(address) & mask) == network; }
    // The network and broadcast addresses name the subnet itself only when it has at least
    // two host bits; a /31 or /32 has no such addresses.
    std::string Reserved(const Ipv4& address) const {
        if (~mask < 3u) {
            return {};
        }
        if (Word(address) == network) {
            return "the network address of its subnet (" + text + ")";
        }
        if (Word(address) == (network | ~mask)) {
            return "the broadcast address of its subnet (" + text + ")";
        }
        return {};
    }
};

// Both ports by the wizard's rule for its port field: the converter can neither listen on
// nor send to 0, and 65535 is the last port there is.
std::string PortRefusal(const SetupProfile& s, const Subnet&) {
    for (const auto& [key, port] :
         {std::pair{"local_port", s.localPort}, std::pair{"remote_port", s.remotePort}}) {
        if (port < kLocalPortMin || port > kLocalPortMax) {
            return std::string(key) + ": " + std::to_string(port) +
                   " is not a TCP port number from " + std::to_string(kLocalPortMin) + " to " +
                   std::to_string(kLocalPortMax);
        }
    }
    return {};
}

std::string ConverterAddressRefusal(const SetupProfile& s, const Subnet& subnet) {
    const std::string ip = FormatIpv4(s.ip);
    if (Word(s.ip) == 0) {
        return "ip: 0.0.0.0 is no address a converter can have";
    }
    if (Word(s.ip) == 0xffffffffu) {
        return "ip: 255.255.255.255 is the broadcast address of every network, not a "
               "converter's address";
    }
    if (const std::string reserved = subnet.Reserved(s.ip); !reserved.empty()) {
        return "ip: " + ip + " is " + reserved + ", not a converter's address";
    }
    return {};
}

std::string GatewayRefusal(const SetupProfile& s, const Subnet& subnet) {
    if (!s.gateway) {
        return {};
    }
    const std::string gateway = FormatIpv4(*s.gateway);
    if (!subnet.Holds(*s.gateway)) {
        return "gateway: " + gateway + " is outside the converter's subnet (" + subnet.text +
               "): a gateway must be reachable without one";
    }
    if (*s.gateway == s.ip) {
        return "gateway: " + gateway + " is the converter's own address";
    }
    if (const std::string reserved = subnet.Reserved(*s.gateway); !reserved.empty()) {
        return "gateway: " + gateway + " is " + reserved + ", not a gateway's address";
    }
    return {};
}

std::string PeerRefusal(const SetupProfile& s, const Subnet& subnet) {
    if (s.mode == Mode::RemoteCom || s.master) {
        return {}; // no peer is sent, or the broadcast address stands for it
    }
    const std::string peer = FormatIpv4(s.peer);
    if (s.peer == s.ip) {
        return "peer: " + peer +
               " is the converter's own address: the tunnel would lead back "
               "to itself";
    }
    if (s.mode == Mode::PointToMultipoint && !subnet.Holds(s.peer)) {
        return "peer: the master " + peer + " is outside the converter's subnet (" + subnet.text +
               "): a point-to-multipoint master reaches its slaves only on its own subnet";
    }
    return {};
}

} // namespace

std::string SubnetText(const Ipv4& address, const Ipv4& mask) {
    return FormatIpv4(FromWord(Word(address) & Word(mask))) + "/" + FormatIpv4(mask);
}

ValueRuling CheckSetupValues(const SetupProfile& s) {
    ValueRuling ruling;
    if (s.master && s.mode != Mode::PointToMultipoint) {
        ruling.refusal = "master: the master side exists only in the point-to-multipoint mode, "
                         "not in " +
                         ModeName(s.mode);
        return ruling;
    }
    if (const auto message = CheckSubnetMask(s.mask)) {
        ruling.refusal = "mask: " + FormatIpv4(s.mask) + " is refused. " + *message;
        return ruling;
    }
    const Subnet subnet{Word(s.ip) & Word(s.mask), Word(s.mask), SubnetText(s.ip, s.mask)};
    for (const auto rule : {PortRefusal, ConverterAddressRefusal, GatewayRefusal, PeerRefusal}) {
        if (std::string refusal = rule(s, subnet); !refusal.empty()) {
            ruling.refusal = std::move(refusal);
            return ruling;
        }
    }
    if (std::string warning = BaudRateWarning(s.baud); !warning.empty()) {
        ruling.warnings.push_back(std::move(warning));
    }
    if (s.mode == Mode::PointToPoint && !s.gateway && !subnet.Holds(s.peer)) {
        ruling.warnings.push_back("peer " + FormatIpv4(s.peer) +
                                  " is outside the converter's "
                                  "subnet (" +
                                  subnet.text +
                                  ") and no gateway is set: the tunnel reaches it only if "
                                  "the network routes it");
    }
    return ruling;
}

} // namespace comsetup::config
