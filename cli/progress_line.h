// Rendering of the live progress line shown on a terminal: the phase text, a bar and the
// time left, fitted into the terminal's width. Pure text functions.
#pragma once

#include "download/progress_estimate.h"

#include <optional>
#include <string>

namespace comsetup::cli {

struct ProgressState {
    std::string phase;               // the progress text; line feeds are shown as blanks
    double fraction = -1.0;          // 0..1 done, negative when not known
    std::optional<long> secondsLeft; // time left, when known
    bool upperBound = false;         // the time left is a limit ("at most"), not an estimate
};

using comsetup::FormatDuration; // "0:07", "1:05", "1:02:03"

// The phase text on one line: line feeds and carriage returns become single blanks.
std::string OneLine(const std::string& text);

// One line of at most width characters (width below 20 counts as 20):
// "Setup in progress...  [########------------]  40%  0:31 left". The phase is shortened
// with "..." when the line would be too long; the bar is dropped before the phase is.
std::string RenderProgressLine(const ProgressState& state, int width);

} // namespace comsetup::cli
