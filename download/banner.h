// Recognition of the converter's firmware from the banner it prints when it starts into its
// serial setup mode. Control bytes are dropped (line ends included), ASCII letters are
// upper-cased, and the version is the first word after "SOFTWARE VERSION"; a word counts
// only when a blank follows it within the banner's text.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace comsetup {

enum class FirmwareVariant : int {
    Unknown = 0,  // no banner read, or a version that is neither of the two below
    V01_8 = 1,    // firmware "01.8"
    V6_5_0_7 = 2, // firmware "V6.5.0.7"
};

// The firmware version text cut out of the banner bytes (empty when none can be cut).
std::string ExtractFirmwareVersion(std::span<const std::uint8_t> banner);

// True when the banner holds "SOFTWARE VERSION" (in any case, control bytes left out).
bool NamesVersionKey(std::span<const std::uint8_t> banner);

// The variant named by the banner bytes.
FirmwareVariant RecogniseFirmware(std::span<const std::uint8_t> banner);

// "01.8", "V6.5.0.7", or "unknown".
const char* FirmwareName(FirmwareVariant variant);

} // namespace comsetup
