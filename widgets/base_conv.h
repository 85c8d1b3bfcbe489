// Number-base conversions of the numeric entry field, as plain functions without state.
//
// Texts are ASCII digit strings. Binary, octal and hexadecimal texts are written most
// significant digit first without leading zeros; a BCD text is each decimal digit as its
// 4-bit group, most significant first, with the leading zeros of the whole string removed
// (12 is "10010"). Only non-negative integers are handled here; the decimal base, with sign
// and fraction, lives in decimal_text.h.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace comsetup {

// A text that cannot be read as a number. what() is the message shown to the user, e.g.
// "'x' is not a valid integer value".
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The five bases a field can show its number in (values as stored in forms): decimal,
// binary, hexadecimal, octal, BCD. The numeric field's Base property is of this type.
enum TBase : std::uint8_t { Decimale = 0, Binario = 1, Esadecimale = 2, Ottale = 3, BCD = 4 };

// Binary text of n; n below 2 (including negatives) gives its decimal text.
std::string IntToBin(std::int64_t n);

// Sum of digit * 2^position from the right, in 32-bit arithmetic. Each character is read
// as a decimal digit on its own, so digits above 1 count at their value ("12" is 4) and
// any other character throws ConversionError naming that character. "" gives 0.
std::int32_t BinToInt(std::string_view s);

// Groups of three from the right, each written as b0 + 2*b1 + 4*b2 in decimal. Leading
// zeros of the result stay. Throws ConversionError on a non-digit.
std::string BinToOct(std::string_view s);

// Octal / hexadecimal / decimal digits to binary / binary / BCD groups; other characters
// are skipped; the result goes through StripZeros.
std::string OctToBin(std::string_view s);
std::string HexToBin(std::string_view s);
std::string DecToBCD(std::string_view s);

// Groups of four from the right; a group worth 10 or more gives "E". Leading zeros of the
// result stay ("00000001" gives "01"); "" gives "". Throws ConversionError on a non-digit.
std::string BCDToDec(std::string_view s);

// s without its leading '0' characters; "0" if nothing is left.
std::string StripZeros(std::string_view s);

// Decimal text to a 32-bit integer: an optional sign and at least one digit, nothing else.
// Throws ConversionError ("'<s>' is not a valid integer value") otherwise or on overflow.
std::int32_t StrToInt32(std::string_view s);

// Decimal text of n.
std::string IntToDec(std::int64_t n);

// Upper-case hexadecimal text of n without leading zeros; a negative n is written as its
// 32-bit two's complement.
std::string IntToHex(std::int32_t n);

// Message of a failed integer conversion of s.
std::string InvalidIntegerMessage(std::string_view s);

} // namespace comsetup
