// The PC's IPv4 interfaces as the system lists them (getifaddrs; GetAdaptersAddresses on
// Windows). Reading them sends nothing.
#pragma once

#include "lan/ipv4.h"

#include <vector>

namespace comsetup::lan {

// Every IPv4 address of every interface, loopback included (marked), in the system's order.
// Empty when the system cannot list them.
std::vector<Interface> ListInterfaces();

} // namespace comsetup::lan
