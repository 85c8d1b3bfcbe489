// The dry run of comsetup-cli: every byte and pause a download would send, with the time of
// each step counted from the banner, and the total time, without opening a port.
#pragma once

#include "core/setup_values.h"
#include "download/banner.h"

#include <optional>
#include <string>

namespace comsetup::cli {

// "01.8" -> V01_8, "V6.5.0.7" -> V6_5_0_7, anything else -> nothing.
std::optional<FirmwareVariant> ParseFirmware(const std::string& text);

// The listing: the port preparation and wake-up wait as text, then one line per step after
// the banner: time in ms since the banner, the step (bytes in hexadecimal with their text,
// or the pause), and at the end the planned total.
std::string DryRunListing(const SetupValues& values, FirmwareVariant variant);

} // namespace comsetup::cli
