// IPv4 addresses, subnets and the PC's interfaces as plain values, and the one rule the LAN
// check stands on: an address is probed only when it lies in the subnet of one of the PC's
// own interfaces (on-link), never through a gateway.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace comsetup::lan {

// An IPv4 address in host byte order (192.168.1.200 is 0xC0A801C8).
using Ipv4 = std::uint32_t;

std::optional<Ipv4> ParseIpv4(std::string_view text); // dotted quad, each byte 0..255
Ipv4 Ipv4FromBytes(int b1, int b2, int b3, int b4);
std::string FormatIpv4(Ipv4 address);

// The mask of a prefix length (24 -> 255.255.255.0); 0..32.
Ipv4 PrefixMask(int prefix);
// The prefix length of a contiguous mask, or nothing for a mask with holes.
std::optional<int> MaskPrefix(Ipv4 mask);
bool SameSubnet(Ipv4 a, Ipv4 b, int prefix);

// One IPv4 address of one of the PC's interfaces.
struct Interface {
    std::string name; // "eth0", or the adapter's friendly name on Windows
    Ipv4 address = 0;
    int prefix = 0;
    bool up = false; // administratively up and with a carrier
    bool loopback = false;
    unsigned index = 0; // the system's interface index
    bool operator==(const Interface&) const = default;
};

// The interface whose subnet holds address: up ones first, then the longest prefix. None
// for an address that only a gateway could reach, for the interface's own address, the
// subnet's network and broadcast addresses, and for loopback interfaces.
std::optional<Interface> OnLinkInterface(const std::vector<Interface>& interfaces, Ipv4 address);

// A link-layer address.
using Mac = std::array<std::uint8_t, 6>;
std::string FormatMac(const Mac& mac); // "02:00:5e:10:00:01"

} // namespace comsetup::lan
