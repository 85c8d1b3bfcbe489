// The interfaces from getifaddrs(): one entry per IPv4 address.
#include "lan/interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace comsetup::lan {

std::vector<Interface> ListInterfaces() {
    std::vector<Interface> list;
    ifaddrs* all = nullptr;
    if (::getifaddrs(&all) != 0) {
        return list;
    }
    for (const ifaddrs* a = all; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        Interface i;
        i.name = a->ifa_name;
        i.address = ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
        if (a->ifa_netmask != nullptr) {
            const Ipv4 mask =
                ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr);
            i.prefix = MaskPrefix(mask).value_or(0);
        }
        i.up = (a->ifa_flags & IFF_UP) != 0 && (a->ifa_flags & IFF_RUNNING) != 0;
        i.loopback = (a->ifa_flags & IFF_LOOPBACK) != 0;
        i.index = ::if_nametoindex(a->ifa_name);
        list.push_back(i);
    }
    ::freeifaddrs(all);
    return list;
}

} // namespace comsetup::lan
