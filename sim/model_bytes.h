// Small byte and text helpers shared by the parts of the converter model.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

namespace comsetup::sim::detail {

inline constexpr std::uint8_t kLF = 0x0A;
inline constexpr std::uint8_t kCR = 0x0D;

inline bool IsEnter(std::uint8_t b) {
    return b == kLF || b == kCR;
}
inline bool IsPrintable(std::uint8_t b) {
    return b >= 0x20 && b < 0x7F;
}
inline bool IsDigit(std::uint8_t b) {
    return b >= '0' && b <= '9';
}
inline bool IsHexDigit(std::uint8_t b) {
    return IsDigit(b) || (b >= 'A' && b <= 'F') || (b >= 'a' && b <= 'f');
}

// 'c' for a printable byte, 0xNN for any other.
inline std::string DescribeByte(std::uint8_t b) {
    char buf[16];
    if (IsPrintable(b))
        std::snprintf(buf, sizeof buf, "'%c'", static_cast<char>(b));
    else
        std::snprintf(buf, sizeof buf, "0x%02X", static_cast<unsigned>(b));
    return buf;
}

inline bool AllDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace comsetup::sim::detail
