// Number-base and decimal conversions of the numeric entry field on any text, and their
// round trips on the numbers those texts give.
#include "fuzz_input.h"
#include "widgets/base_conv.h"
#include "widgets/decimal_text.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace comsetup;
    fuzz::FuzzInput input(data, size);
    const char separator = input.Flag() ? ',' : '.';
    const int decimals = input.Pick(24) - 2;
    const std::string text = input.Rest();

    // Texts in every base: any text either converts or is refused with ConversionError.
    try {
        const std::int32_t n = StrToInt32(text);
        FUZZ_CHECK(StrToInt32(IntToDec(n)) == n);
        FUZZ_CHECK(HexToBin(IntToHex(n)) == IntToBin(static_cast<std::uint32_t>(n)));
        if (n >= 0) {
            FUZZ_CHECK(BinToInt(IntToBin(n)) == n);
            FUZZ_CHECK(StripZeros(BCDToDec(DecToBCD(IntToDec(n)))) == IntToDec(n));
        }
    } catch (const ConversionError&) {
    }
    for (auto convert : {&BinToOct, &BCDToDec}) {
        try {
            (void)convert(text);
        } catch (const ConversionError&) {
        }
    }
    try {
        (void)BinToInt(text);
    } catch (const ConversionError&) {
    }
    (void)OctToBin(text);
    (void)HexToBin(text);
    (void)DecToBCD(text);
    (void)StripZeros(text);
    (void)IntToBin(static_cast<std::int64_t>(text.size()) - 3);

    // Decimal texts: whatever parses formats, and the formatted text parses again.
    std::string adapted = text;
    (void)AdaptSeparator(adapted, separator);
    (void)LeadingNumber(text);
    (void)FormatMaskFor(decimals);
    if (const auto value = ParseReal(adapted, separator)) {
        (void)RoundToField(*value);
        const std::string general = FormatGeneral(*value, separator);
        FUZZ_CHECK(ParseReal(general, separator).has_value() || !std::isfinite(*value));
        const std::string fixed = FormatDecimals(*value, decimals, separator);
        FUZZ_CHECK(ParseReal(fixed, separator).has_value() || !std::isfinite(*value));
    }
    return 0;
}
