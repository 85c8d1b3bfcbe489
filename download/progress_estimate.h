// Progress figures of a running download for the people watching it: the share done, the
// time left from the script's planned durations, and the seconds left of the wake-up wait.
// Both front ends (the progress dialog and the console line) draw from these, so they agree.
#pragma once

#include "core/setup_values.h"
#include "download/banner.h"
#include "download/views.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace comsetup {

struct ProgressFigures {
    double fraction = -1.0;                // 0..1 done; negative while not known (before banner)
    std::optional<long> secondsLeft;       // time left, when known
    bool upperBound = false;               // secondsLeft is a limit (the wake-up wait), not a plan
    std::optional<long> wakeUpSecondsLeft; // during the wake-up wait: its seconds left (>= 0)
    // The line under the countdown: "converter answered: firmware 01.8" from the banner on,
    // "waiting for the converter to restart..." while the restart wait runs past its plan.
    std::string note;
};

inline constexpr std::string_view kNoteRestartWait = "waiting for the converter to restart...";

// progress: the download's last report; sinceReportMs: time since that report (the clock
// moves between reports during long pauses, up to the end of the step reported, so the
// figures never run backwards); sinceWakeUpMs: time since the wake-up wait began.
ProgressFigures EstimateProgress(const DownloadProgress& progress, std::int64_t sinceReportMs,
                                 std::int64_t sinceWakeUpMs);

// "0:07", "1:05", "1:02:03" (negative values count as 0).
std::string FormatDuration(long seconds);

} // namespace comsetup
