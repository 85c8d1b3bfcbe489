// Decimal texts of the numeric entry field (see decimal_text.h).
//
// Conversions go through std::from_chars / std::to_chars, which ignore the C locale, so
// the separator passed in is the only one that counts (but for reading a long double with
// MinGW, below).
#include "widgets/decimal_text.h"

#include <charconv>
#include <cmath>
#if defined(__MINGW32__)
#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#endif
#include <string>
#include <system_error>
#include <utility>

namespace comsetup {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Decimal digits and exponent of v: |v| = 0.d1d2d3... * 10^exponent, `count` significant
// digits, rounded to nearest by the standard library.
struct Digits {
    bool negative = false;
    std::string digits; // no leading zero unless v is 0
    int exponent = 0;
};

Digits Decompose(long double v, int count) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::scientific, count - 1);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    Digits d;
    std::size_t i = 0;
    if (text[i] == '-') {
        d.negative = true;
        ++i;
    }
    for (; i < text.size() && text[i] != 'e'; ++i)
        if (IsDigit(text[i]))
            d.digits.push_back(text[i]);
    int e = 0;
    std::from_chars(text.data() + i + 1 + (text[i + 1] == '+' ? 1 : 0), text.data() + text.size(),
                    e);
    d.exponent = e + 1;
    return d;
}

std::string TrimTrailingZeros(std::string s) {
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    return s;
}

// digits (no sign) as fixed notation with `exponent` digits before the point; trailing
// zeros of the fraction dropped.
std::string Fixed(const std::string& digits, int exponent, char separator) {
    std::string integer, fraction;
    if (exponent <= 0) {
        integer = "0";
        fraction = std::string(static_cast<std::size_t>(-exponent), '0') + digits;
    } else if (static_cast<std::size_t>(exponent) >= digits.size()) {
        integer = digits + std::string(static_cast<std::size_t>(exponent) - digits.size(), '0');
    } else {
        integer = digits.substr(0, static_cast<std::size_t>(exponent));
        fraction = digits.substr(static_cast<std::size_t>(exponent));
    }
    fraction = TrimTrailingZeros(fraction);
    return fraction.empty() ? integer : integer + separator + fraction;
}

// The value of a plain C-locale number text ("-12.5e3"); nullopt when it does not all
// read or is out of range.
std::optional<long double> ReadLongDouble(std::string text) {
    long double value = 0;
#if defined(__MINGW32__)
    // MinGW's libstdc++ reads a long double through from_chars with a double's precision
    // only ("1.5e-1" is not 0.15L there); its strtold is exact, and reads the C locale's
    // decimal point.
    std::replace(text.begin(), text.end(), '.', *std::localeconv()->decimal_point);
    char* end = nullptr;
    errno = 0;
    value = std::strtold(text.c_str(), &end);
    if (errno == ERANGE || end != text.c_str() + text.size())
        return std::nullopt;
#else
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
#endif
    return value;
}

} // namespace

std::optional<long double> ParseReal(std::string_view s, char separator) {
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    std::string normal;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-')
            normal.push_back('-');
        ++i;
    }
    int digits = 0;
    bool seenSeparator = false;
    for (; i < s.size(); ++i) {
        if (IsDigit(s[i])) {
            normal.push_back(s[i]);
            ++digits;
        } else if (s[i] == separator && !seenSeparator) {
            normal.push_back('.');
            seenSeparator = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        normal.push_back('e');
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            normal.push_back(s[i++]);
        int exponentDigits = 0;
        for (; i < s.size() && IsDigit(s[i]); ++i, ++exponentDigits)
            normal.push_back(s[i]);
        if (exponentDigits == 0)
            return std::nullopt;
    }
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    if (i != s.size())
        return std::nullopt;
    const std::optional<long double> value = ReadLongDouble(std::move(normal));
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

std::string FormatDecimals(long double v, int decimals, char separator) {
    if (!std::isfinite(v) || std::fabs(v) >= 1e18L)
        return FormatGeneral(v, separator);
    if (decimals > 17)
        decimals = 17;
    if (decimals < 0)
        decimals = 0;
    if (v == 0)
        return "0";
    // 18 significant digits first, then decimal rounding, half away from zero: 1.0005 to
    // three places gives 1.001 although its binary value lies a little below.
    Digits d = Decompose(v, 18);
    const int keep = d.exponent + decimals; // digits that survive the rounding
    if (keep < 0)
        return "0";
    std::string digits = d.digits;
    const bool roundUp = static_cast<std::size_t>(keep) < digits.size() &&
                         digits[static_cast<std::size_t>(keep)] >= '5';
    if (static_cast<std::size_t>(keep) < digits.size())
        digits.resize(static_cast<std::size_t>(keep));
    if (roundUp) {
        int i = static_cast<int>(digits.size()) - 1;
        for (; i >= 0 && digits[static_cast<std::size_t>(i)] == '9'; --i)
            digits[static_cast<std::size_t>(i)] = '0';
        if (i >= 0) {
            ++digits[static_cast<std::size_t>(i)];
        } else {
            digits.insert(digits.begin(), '1');
            ++d.exponent;
        }
    }
    if (digits.find_first_not_of('0') == std::string::npos)
        return "0";
    const std::string text = Fixed(digits, d.exponent, separator);
    return d.negative ? "-" + text : text;
}

std::string FormatGeneral(long double v, char separator) {
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v < 0 ? "-INF" : "INF";
    if (v == 0)
        return "0";
    const Digits d = Decompose(v, 15);
    const std::string digits = TrimTrailingZeros(d.digits);
    std::string text;
    if (d.exponent > 15 || d.exponent < -3) {
        text = digits.substr(0, 1);
        if (digits.size() > 1)
            text += separator + digits.substr(1);
        text += 'E' + std::to_string(d.exponent - 1);
    } else {
        text = Fixed(digits, d.exponent, separator);
    }
    return d.negative ? "-" + text : text;
}

std::optional<std::int32_t> RoundToField(long double v) {
    // 2^63 is exact in long double; anything at or beyond it does not fit.
    constexpr long double kLimit = 9223372036854775808.0L;
    if (!std::isfinite(v) || v >= kLimit || v < -kLimit)
        return std::nullopt;
    const long double t = std::trunc(v);
    long double r = t;
    if (v >= 0) {
        if (v > t + 0.5L)
            r = t + 1;
    } else if (v <= t - 0.5L) {
        r = t - 1;
    }
    if (r >= kLimit || r < -kLimit)
        return std::nullopt;
    const auto wide = static_cast<std::int64_t>(r);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide)));
}

char AdaptSeparator(std::string& s, char separator) {
    for (char c : {'.', ','}) {
        const std::size_t at = s.find(c);
        if (at == std::string::npos)
            continue;
        if (c == separator)
            return '\0';
        s[at] = separator;
        return c;
    }
    return '\0';
}

std::string LeadingNumber(std::string_view s) {
    std::string out;
    bool seenSeparator = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        const bool isSeparator = c == '.' || c == ',';
        if (i == 0) {
            if (c == '-' || IsDigit(c) || isSeparator) {
                out.push_back(c);
                seenSeparator = isSeparator;
            }
            continue;
        }
        if (IsDigit(c)) {
            out.push_back(c);
        } else if (isSeparator && !seenSeparator) {
            out.push_back(c);
            seenSeparator = true;
        } else {
            break;
        }
    }
    return out;
}

std::string FormatMaskFor(int decimals) {
    if (decimals > 17)
        decimals = 17;
    return "0." + std::string(static_cast<std::size_t>(decimals < 0 ? 0 : decimals), '#');
}

} // namespace comsetup
