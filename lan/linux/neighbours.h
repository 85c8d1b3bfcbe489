// The kernel's neighbour table (ARP for IPv4) through rtnetlink: a dump with RTM_GETNEIGH,
// read only; it sends nothing to any network.
#pragma once

#include "lan/ipv4.h"

#include <optional>

namespace comsetup::lan {

struct Neighbour {
    Mac mac{};
    bool confirmed = false; // REACHABLE, PERMANENT or NOARP: an answer came recently
    bool known = false;     // also STALE, DELAY, PROBE: an answer came some time ago
};

// The table's entry for address on interface index, if it holds a link-layer address.
std::optional<Neighbour> LookUpNeighbour(Ipv4 address, unsigned interfaceIndex);

} // namespace comsetup::lan
