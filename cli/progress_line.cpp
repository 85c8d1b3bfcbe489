// Live progress line rendering.
#include "cli/progress_line.h"

#include <algorithm>
#include <cmath>

namespace comsetup::cli {

std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            if (!line.empty() && line.back() != ' ') {
                line += ' ';
            }
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

std::string RenderProgressLine(const ProgressState& state, int width) {
    width = std::max(width, 20);
    std::string tail; // percentage and time left
    std::string bar;
    if (state.fraction >= 0.0) {
        const double fraction = std::clamp(state.fraction, 0.0, 1.0);
        const int percent = static_cast<int>(std::floor(fraction * 100.0));
        tail += "  " +
                std::string(percent < 10    ? "  "
                            : percent < 100 ? " "
                                            : "") +
                std::to_string(percent) + "%";
        const int barWidth = std::clamp(width / 4, 10, 30);
        const int filled = static_cast<int>(std::floor(fraction * barWidth));
        bar = "  [" + std::string(filled, '#') + std::string(barWidth - filled, '-') + "]";
    }
    if (state.secondsLeft) {
        tail += "  " + std::string(state.upperBound ? "at most " : "") +
                FormatDuration(*state.secondsLeft) + " left";
    }

    std::string phase = OneLine(state.phase);
    const int minPhase = 12;
    if (static_cast<int>(phase.size() + bar.size() + tail.size()) > width &&
        static_cast<int>(minPhase + bar.size() + tail.size()) > width) {
        bar.clear();
    }
    const int room = width - static_cast<int>(bar.size() + tail.size());
    if (static_cast<int>(phase.size()) > room) {
        phase = room > 3 ? phase.substr(0, room - 3) + "..." : phase.substr(0, std::max(room, 0));
    }
    std::string line = phase + bar + tail;
    if (static_cast<int>(line.size()) > width) {
        line.resize(width);
    }
    return line;
}

} // namespace comsetup::cli
