// What the converter stores: the values its setup menu asks for, with their factory
// defaults, and plain-language readings of the coded ones (line format, flow control,
// connect mode). The converter model fills these from the keystrokes it receives.
#pragma once

#include <array>
#include <string>

namespace comsetup::sim {

using Address = std::array<int, 4>;

struct ConverterSettings {
    Address ip{0, 0, 0, 0};
    bool useGateway = false;
    Address gateway{0, 0, 0, 0};
    int hostBits = 0; // 0: the default for the address class
    std::string baud = "9600";
    int lineCode = 0x4C;
    int flowCode = 0x00;
    std::string localPort = "10001";
    int connectCode = 0xC0; // low nibble non-zero: connect to the remote at start (tunnel)
    int linkCode = 0x00;
    bool broadcast = false; // answer broadcasts instead of connecting to one remote
    Address remote{0, 0, 0, 0};
    std::string remotePort = "0";
    int idleCode = 0x00;
    int flushCode = 0x00;
    int packCode = 0x00;
    std::string password;

    bool Tunnel() const { return (connectCode & 0x0F) != 0; }
    bool operator==(const ConverterSettings&) const = default;
};

// "192.168.1.200"
std::string FormatAddress(const Address& a);
// "4C"
std::string FormatHex(int value);
// "8 data bits, no parity, 1 stop bit"; unknown fields are named as such.
std::string DescribeLineCode(int code);
// "none", "XON/XOFF", "CTS/RTS", "XON/XOFF pass characters to host", or "unknown".
std::string DescribeFlowCode(int code);
// The mask that a number of host bits stands for ("255.255.255.0" for 8).
std::string MaskForHostBits(int hostBits);

} // namespace comsetup::sim
