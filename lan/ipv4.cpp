#include "lan/ipv4.h"

#include <charconv>
#include <cstdio>

namespace comsetup::lan {

std::optional<Ipv4> ParseIpv4(std::string_view text) {
    Ipv4 address = 0;
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (p == end || *p != '.') {
                return std::nullopt;
            }
            ++p;
        }
        unsigned value = 0;
        const auto [next, ec] = std::from_chars(p, end, value);
        if (ec != std::errc() || next == p || next - p > 3 || value > 255) {
            return std::nullopt;
        }
        address = (address << 8) | value;
        p = next;
    }
    return p == end ? std::optional<Ipv4>(address) : std::nullopt;
}

Ipv4 Ipv4FromBytes(int b1, int b2, int b3, int b4) {
    return (static_cast<Ipv4>(b1 & 0xFF) << 24) | (static_cast<Ipv4>(b2 & 0xFF) << 16) |
           (static_cast<Ipv4>(b3 & 0xFF) << 8) | static_cast<Ipv4>(b4 & 0xFF);
}

std::string FormatIpv4(Ipv4 a) {
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." +
           std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF);
}

Ipv4 PrefixMask(int prefix) {
    if (prefix <= 0) {
        return 0;
    }
    if (prefix >= 32) {
        return 0xFFFFFFFFu;
    }
    return ~((Ipv4{1} << (32 - prefix)) - 1);
}

std::optional<int> MaskPrefix(Ipv4 mask) {
    int prefix = 0;
    while (prefix < 32 && (mask & (Ipv4{1} << (31 - prefix))) != 0) {
        ++prefix;
    }
    return PrefixMask(prefix) == mask ? std::optional<int>(prefix) : std::nullopt;
}

bool SameSubnet(Ipv4 a, Ipv4 b, int prefix) {
    const Ipv4 mask = PrefixMask(prefix);
    return (a & mask) == (b & mask);
}

std::optional<Interface> OnLinkInterface(const std::vector<Interface>& interfaces, Ipv4 address) {
    std::optional<Interface> best;
    for (const Interface& i : interfaces) {
        if (i.loopback || i.prefix <= 0 || i.prefix > 30 || i.address == address ||
            !SameSubnet(i.address, address, i.prefix)) {
            continue;
        }
        const Ipv4 host = address & ~PrefixMask(i.prefix);
        if (host == 0 || host == ~PrefixMask(i.prefix)) {
            continue; // the subnet itself or its broadcast: not one device
        }
        if (!best || (i.up && !best->up) || (i.up == best->up && i.prefix > best->prefix)) {
            best = i;
        }
    }
    return best;
}

std::string FormatMac(const Mac& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

} // namespace comsetup::lan
