#include "sim/intel_hex.h"

namespace comsetup::sim {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool ParseHexRecord(std::string_view line, HexRecord& out, std::string& error) {
    if (line.empty() || line[0] != ':') {
        error = "record does not start with ':'";
        return false;
    }
    const std::string_view hex = line.substr(1);
    if (hex.size() % 2 != 0 || hex.size() < 10) {
        error = "record has an odd or too short length";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = HexDigit(hex[i]);
        const int lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0) {
            error = "record holds a character that is not hexadecimal";
            return false;
        }
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    const int count = bytes[0];
    if (bytes.size() != static_cast<std::size_t>(count) + 5) {
        error = "record length does not match its byte count " + std::to_string(count);
        return false;
    }
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    if ((sum & 0xFFu) != 0) {
        error = "record checksum is wrong";
        return false;
    }
    out.count = count;
    out.address = bytes[1] * 256 + bytes[2];
    out.type = bytes[3];
    out.data.assign(bytes.begin() + 4, bytes.end() - 1);
    return true;
}

} // namespace comsetup::sim
