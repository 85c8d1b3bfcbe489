// Pause precision as the far end of the line sees it: the bytes a converter stand-in received,
// with its timestamps, are lined up with the bytes the script meant to send, and each stated
// pause between two consecutive bytes is compared with the gap measured between them.
#pragma once

#include "download/script.h"

#include <cstdint>
#include <string>
#include <vector>

namespace comsetup::bench {

struct TimedByte {
    std::int64_t tUs = 0;
    std::uint8_t byte = 0;
};

// One byte the download sends, with the pause (ms) stated between the previous byte and it.
struct PlannedByte {
    std::uint8_t byte = 0;
    int gapMs = 0;
};

// The bytes from the banner answer to "9" LF (before the restart wait), and from "G7" to the
// last LF (after it); the restart wait's "z" polling is not planned.
struct PlannedStream {
    std::vector<PlannedByte> beforeRestart;
    std::vector<PlannedByte> afterRestart;
};

PlannedStream PlanStream(const SetupValues& values, FirmwareVariant variant);

// Measured gap minus stated pause, in ms, for every pair of bytes with a stated pause above
// zero. Fails (returns false, with why) when the received bytes do not match the plan.
bool PauseExcesses(const PlannedStream& plan, const std::vector<TimedByte>& received,
                   std::vector<double>& excessesMs, std::string& why);

} // namespace comsetup::bench
