// Decimal texts of the numeric entry field: parsing and formatting with an explicit
// decimal separator (the caller reads the locale's once per operation and passes it to
// every step, so parsing and formatting always agree), the field's integer rounding, the
// separator adaptation that lets the user type '.' or ',' whatever the locale, and the
// cut to the leading number used by keyboard stepping.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace comsetup {

// Reads optional blanks, an optional sign, digits with at most one separator (at least one
// digit in all), an optional exponent ('E' or 'e', optional sign, digits), optional blanks.
// Anything else, or a value too large for long double, gives nullopt.
std::optional<long double> ParseReal(std::string_view s, char separator);

// v rounded half away from zero to `decimals` places (at most 17 are honoured), at least
// one digit before the separator, no grouping, trailing fraction zeros and a bare
// separator dropped, '-' only for a value that is still non-zero after rounding.
// Magnitudes of 1e18 and above fall back to FormatGeneral.
std::string FormatDecimals(long double v, int decimals, char separator);

// Shortest text of v with up to 15 significant digits: fixed notation, or "1.5E20" /
// "1E-5" style when the decimal exponent is above 15 or below -4.
std::string FormatGeneral(long double v, char separator);

// The field's integer rounding: ties go toward minus infinity (2.5 -> 2, -2.5 -> -3).
// nullopt when v is not finite or outside the 64-bit range; otherwise the low 32 bits.
std::optional<std::int32_t> RoundToField(long double v);

// Replaces, in s, the first '.' by separator (when s holds a '.'), else the first ',' by
// separator (when s holds a ','), unless that character already is the separator.
// Returns the character replaced, or '\0' when nothing changed.
char AdaptSeparator(std::string& s, char separator);

// The leading number of s: the first character stays if it is '-', a digit, '.' or ','
// (otherwise it is dropped); after it, digits and the first separator of the text stay,
// and the scan stops at a second separator or any other character. "12AB" gives "12".
std::string LeadingNumber(std::string_view s);

// "0." followed by min(decimals, 17) '#': the pattern name of FormatDecimals.
std::string FormatMaskFor(int decimals);

} // namespace comsetup
