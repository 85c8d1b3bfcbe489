// The interfaces from GetAdaptersAddresses: one entry per IPv4 unicast address.
#include "lan/interfaces.h"

// Winsock first: iphlpapi.h needs its types.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <string>

namespace comsetup::lan {

namespace {

std::string Narrow(const wchar_t* text) {
    if (text == nullptr) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(size - 1));
    return narrow;
}

} // namespace

std::vector<Interface> ListInterfaces() {
    std::vector<Interface> list;
    ULONG size = 16 * 1024;
    std::string buffer;
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; tries < 3 && rc == ERROR_BUFFER_OVERFLOW; ++tries) {
        buffer.resize(size);
        rc = ::GetAdaptersAddresses(
            AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
            nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (rc != NO_ERROR) {
        return list;
    }
    for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr;
         a = a->Next) {
        for (auto* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
            if (u->Address.lpSockaddr == nullptr || u->Address.lpSockaddr->sa_family != AF_INET) {
                continue;
            }
            Interface i;
            i.name = Narrow(a->FriendlyName);
            if (i.name.empty()) {
                i.name = a->AdapterName != nullptr ? a->AdapterName : "";
            }
            i.address =
                ntohl(reinterpret_cast<const sockaddr_in*>(u->Address.lpSockaddr)->sin_addr.s_addr);
            i.prefix = u->OnLinkPrefixLength;
            i.up = a->OperStatus == IfOperStatusUp;
            i.loopback = a->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
            i.index = a->IfIndex;
            list.push_back(i);
        }
    }
    return list;
}

} // namespace comsetup::lan
