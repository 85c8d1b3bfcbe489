// Progress figures shared by the progress dialog and the console line.
#include "download/progress_estimate.h"

#include "download/driver.h"
#include "download/script.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace comsetup {

namespace {

long CeilSeconds(std::int64_t ms) {
    return static_cast<long>((std::max<std::int64_t>(ms, 0) + 999) / 1000);
}

} // namespace

std::string FormatDuration(long seconds) {
    seconds = std::max(0L, seconds);
    const long hours = seconds / 3600;
    const long minutes = (seconds / 60) % 60;
    const long secs = seconds % 60;
    // snprintf, not a "0" + std::to_string chain: that trips a false -Wrestrict in g++ 12 -O3.
    char text[64];
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", hours, minutes, secs);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", minutes, secs);
    }
    return text;
}

ProgressFigures EstimateProgress(const DownloadProgress& progress, std::int64_t sinceReportMs,
                                 std::int64_t sinceWakeUpMs) {
    ProgressFigures figures;
    if (!progress.firmware.empty()) {
        figures.note = "converter answered: firmware " + progress.firmware;
    }
    if (progress.phase == DownloadPhase::WakeUp) {
        const long left = CeilSeconds(kAnswerLimitMs - sinceWakeUpMs);
        figures.secondsLeft = left;
        figures.upperBound = true;
        figures.wakeUpSecondsLeft = left;
        return figures;
    }
    if (progress.plannedTotalMs <= 0) {
        return figures; // before the banner: nothing planned yet
    }
    const bool finished = progress.phase == DownloadPhase::Finished;
    // Between reports the clock moves on (a long pause is one report), but never past the end
    // of the step reported, where the next report takes over; once finished, the figure
    // stays where the download ended.
    const std::int64_t moved = finished ? 0 : std::max<std::int64_t>(sinceReportMs, 0);
    const std::int64_t stepEnd =
        std::clamp<std::int64_t>(progress.plannedStepEndMs, 0, progress.plannedTotalMs);
    const std::int64_t done = std::clamp<std::int64_t>(progress.plannedDoneMs + moved, 0, stepEnd);
    if (progress.phase == DownloadPhase::RestartWait && progress.plannedDoneMs + moved > stepEnd) {
        figures.note = std::string(kNoteRestartWait); // the figures wait with it
    }
    figures.fraction = static_cast<double>(done) / static_cast<double>(progress.plannedTotalMs);
    if (!finished) {
        figures.secondsLeft = CeilSeconds(progress.plannedTotalMs - done);
    }
    return figures;
}

} // namespace comsetup
