#include "sim/converter_settings.h"

#include <cstdint>
#include <cstdio>

namespace comsetup::sim {

std::string FormatAddress(const Address& a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

std::string FormatHex(int value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(value) & 0xFFu);
    return buf;
}

std::string DescribeLineCode(int code) {
    std::string text;
    switch (code & 0x0C) {
    case 0x0C:
        text = "8 data bits";
        break;
    case 0x04:
        text = "7 data bits";
        break;
    default:
        text = "unknown data bits";
    }
    switch (code & 0x30) {
    case 0x00:
        text += ", no parity";
        break;
    case 0x10:
        text += ", odd parity";
        break;
    case 0x30:
        text += ", even parity";
        break;
    default:
        text += ", unknown parity";
    }
    switch (code & 0xC0) {
    case 0x40:
        text += ", 1 stop bit";
        break;
    case 0xC0:
        text += ", 2 stop bits";
        break;
    default:
        text += ", unknown stop bits";
    }
    if ((code & 0x03) != 0)
        text += ", unknown low bits";
    return text;
}

std::string DescribeFlowCode(int code) {
    switch (code) {
    case 0x00:
        return "none";
    case 0x01:
        return "XON/XOFF";
    case 0x02:
        return "CTS/RTS";
    case 0x05:
        return "XON/XOFF pass characters to host";
    default:
        return "unknown";
    }
}

std::string MaskForHostBits(int hostBits) {
    if (hostBits < 0 || hostBits > 32)
        return "invalid";
    const std::uint32_t mask =
        hostBits == 32 ? 0u : (0xFFFFFFFFu << static_cast<unsigned>(hostBits));
    return FormatAddress({static_cast<int>(mask >> 24), static_cast<int>((mask >> 16) & 0xFF),
                          static_cast<int>((mask >> 8) & 0xFF), static_cast<int>(mask & 0xFF)});
}

} // namespace comsetup::sim
