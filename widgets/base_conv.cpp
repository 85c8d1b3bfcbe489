// Number-base conversions (see base_conv.h).
#include "widgets/base_conv.h"

#include <algorithm>
#include <limits>

namespace comsetup {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// One character read as a decimal integer on its own.
int DigitValue(char c) {
    if (!IsDigit(c))
        throw ConversionError(InvalidIntegerMessage(std::string_view(&c, 1)));
    return c - '0';
}

std::string Group(unsigned value, int width) {
    std::string bits(static_cast<std::size_t>(width), '0');
    for (int i = width - 1; i >= 0; --i, value >>= 1)
        bits[static_cast<std::size_t>(i)] = static_cast<char>('0' + (value & 1));
    return bits;
}

std::string PadLeftToMultiple(std::string_view s, std::size_t multiple) {
    const std::size_t rest = s.size() % multiple;
    std::string padded(rest == 0 ? 0 : multiple - rest, '0');
    padded.append(s);
    return padded;
}

} // namespace

std::string InvalidIntegerMessage(std::string_view s) {
    // Appended, not a "'" + std::string chain: that trips a false -Wrestrict in g++ 12 -O3.
    std::string message = "'";
    message += s;
    message += "' is not a valid integer value";
    return message;
}

std::string IntToBin(std::int64_t n) {
    if (n <= 1)
        return IntToDec(n);
    std::string bits;
    for (; n > 0; n /= 2)
        bits.push_back(static_cast<char>('0' + n % 2));
    std::reverse(bits.begin(), bits.end());
    return bits;
}

std::int32_t BinToInt(std::string_view s) {
    std::uint32_t sum = 0;
    std::size_t position = 0;
    for (auto it = s.rbegin(); it != s.rend(); ++it, ++position) {
        const std::uint32_t weight = position < 32 ? (std::uint32_t{1} << position) : 0;
        sum += static_cast<std::uint32_t>(DigitValue(*it)) * weight;
    }
    return static_cast<std::int32_t>(sum);
}

std::string BinToOct(std::string_view s) {
    const std::string padded = PadLeftToMultiple(s, 3);
    std::string octal;
    for (std::size_t i = 0; i < padded.size(); i += 3) {
        const int value =
            DigitValue(padded[i + 2]) + 2 * DigitValue(padded[i + 1]) + 4 * DigitValue(padded[i]);
        octal += std::to_string(value);
    }
    return octal;
}

std::string OctToBin(std::string_view s) {
    std::string bits;
    for (char c : s)
        if (c >= '0' && c <= '7')
            bits += Group(static_cast<unsigned>(c - '0'), 3);
    return StripZeros(bits);
}

std::string HexToBin(std::string_view s) {
    std::string bits;
    for (char c : s) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (IsDigit(c))
            bits += Group(static_cast<unsigned>(c - '0'), 4);
        else if (c >= 'A' && c <= 'F')
            bits += Group(static_cast<unsigned>(c - 'A' + 10), 4);
    }
    return StripZeros(bits);
}

std::string DecToBCD(std::string_view s) {
    std::string bits;
    for (char c : s)
        if (IsDigit(c))
            bits += Group(static_cast<unsigned>(c - '0'), 4);
    return StripZeros(bits);
}

std::string BCDToDec(std::string_view s) {
    const std::string padded = PadLeftToMultiple(s, 4);
    std::string digits;
    for (std::size_t i = 0; i < padded.size(); i += 4) {
        const int value = DigitValue(padded[i + 3]) + 2 * DigitValue(padded[i + 2]) +
                          4 * DigitValue(padded[i + 1]) + 8 * DigitValue(padded[i]);
        if (value >= 10)
            digits += 'E';
        else
            digits += static_cast<char>('0' + value);
    }
    return digits;
}

std::string StripZeros(std::string_view s) {
    const std::size_t first = s.find_first_not_of('0');
    return first == std::string_view::npos ? std::string("0") : std::string(s.substr(first));
}

std::int32_t StrToInt32(std::string_view s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    if (i == s.size())
        throw ConversionError(InvalidIntegerMessage(s));
    std::int64_t magnitude = 0;
    const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<std::int32_t>::min()}
                                        : std::numeric_limits<std::int32_t>::max();
    for (; i < s.size(); ++i) {
        if (!IsDigit(s[i]))
            throw ConversionError(InvalidIntegerMessage(s));
        magnitude = magnitude * 10 + (s[i] - '0');
        if (magnitude > limit)
            throw ConversionError(InvalidIntegerMessage(s));
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::string IntToDec(std::int64_t n) {
    return std::to_string(n);
}

std::string IntToHex(std::int32_t n) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    auto value = static_cast<std::uint32_t>(n);
    std::string hex;
    do {
        hex.push_back(kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    std::reverse(hex.begin(), hex.end());
    return hex;
}

} // namespace comsetup
