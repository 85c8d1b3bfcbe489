// Console progress for one download.
#include "cli/console_reporter.h"

#include "cli/interrupt.h"
#include "cli/progress_line.h"

#include "download/progress_estimate.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace comsetup::cli {

namespace {

// "\r" + line + tail, appended in place: the operator+ chain trips a false -Wrestrict in
// g++ 12 at -O3.
std::string Framed(const std::string& line, const char* tail) {
    std::string out;
    out.reserve(line.size() + 8);
    out += '\r';
    out += line;
    out += tail;
    return out;
}

} // namespace

ConsoleReporter::ConsoleReporter(std::ostream& out, ReporterOptions options)
    : out_(out), options_(std::move(options)) {
    if (options_.live) {
        ticker_ = std::thread([this] { TickerLoop(); });
    }
}

ConsoleReporter::~ConsoleReporter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    if (ticker_.joinable()) {
        ticker_.join();
    }
    Finish();
}

void ConsoleReporter::SetText(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (text == text_) {
        return;
    }
    text_ = text;
    if (options_.onText) {
        options_.onText(text);
    }
    if (options_.live && !finished_) {
        RedrawLocked();
    } else {
        PlainLocked(OneLine(text));
    }
}

void ConsoleReporter::SetDetail(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (!finished_ && !text.empty()) {
        PlainLocked("  " + OneLine(text));
    }
}

void ConsoleReporter::ShowCancel(bool visible) {
    // A download clears its cancel flag as it starts: an interrupt or a failed write that came
    // before that still counts.
    if (visible && options_.cancel != nullptr &&
        (InterruptRequested() || outputFailed_.load() || resultLost_.load())) {
        options_.cancel->store(true);
    }
}

void ConsoleReporter::ShowOk(bool visible) {
    if (!visible) {
        return;
    }
    // The download has ended: the live line becomes the verdict, without bar or time.
    std::lock_guard lock(mutex_);
    if (options_.live && !finished_) {
        Emit(Framed(OneLine(text_), "\x1b[K\n"));
        lineOpen_ = false;
    }
    finished_ = true;
}

void ConsoleReporter::ShowError(const std::string& text) {
    std::lock_guard lock(mutex_);
    message_ = text;
    // A message's second line is its cause ("no such device"), which the command's closing
    // line (or the batch's table) says: the console shows the line that names the port.
    PlainLocked("Error: " + OneLine(text.substr(0, text.find('\n'))));
}

void ConsoleReporter::OnProgress(const DownloadProgress& progress) {
    if (options_.onProgress) {
        options_.onProgress(progress);
    }
    std::lock_guard lock(mutex_);
    if (options_.resultOutputLost && !resultLost_.load()) {
        if (const std::string why = options_.resultOutputLost(); !why.empty()) {
            outputError_ = "standard output could not be written (" + why + ")";
            resultLost_.store(true);
            if (options_.cancel != nullptr) {
                options_.cancel->store(true);
            }
        }
    }
    const auto now = Clock::now();
    if (progress.phase == DownloadPhase::WakeUp && progress_.phase != DownloadPhase::WakeUp) {
        wakeUpStart_ = now;
    }
    // Said once, as the banner is read: nobody should switch the converter off again now.
    const bool answered = !progress.firmware.empty() && progress_.firmware.empty();
    progress_ = progress;
    if (answered && !finished_) {
        PlainLocked("  " + EstimateProgress(progress, 0, 0).note);
    }
    progressAt_ = now;
    const bool afterBanner = progress.phase == DownloadPhase::BannerPause ||
                             progress.phase == DownloadPhase::Script ||
                             progress.phase == DownloadPhase::RestartWait;
    if (options_.live) {
        if (!finished_) {
            RedrawLocked();
        }
        return;
    }
    if (afterBanner && progress_.plannedTotalMs > 0) {
        const int tenth = static_cast<int>(progress_.plannedDoneMs * 10 / progress_.plannedTotalMs);
        if (tenth > lastTenth_ && tenth > 0 && tenth < 10) {
            lastTenth_ = tenth;
            const long left = static_cast<long>(
                (progress_.plannedTotalMs - progress_.plannedDoneMs + 999) / 1000);
            PlainLocked("  " + std::to_string(tenth * 10) + "% done, " + FormatDuration(left) +
                        " left");
        }
    }
}

void ConsoleReporter::Finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    if (lineOpen_) {
        Emit("\n");
        lineOpen_ = false;
    }
}

void ConsoleReporter::Note(const std::string& text) {
    std::lock_guard lock(mutex_);
    Emit((lineOpen_ ? "\r\x1b[K" : "") + options_.prefix + OneLine(text) + "\n");
    lineOpen_ = false;
}

void ConsoleReporter::NoteInPlace(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (options_.live && finished_) {
        Emit(Framed(options_.prefix + OneLine(text), "\x1b[K"));
        lineOpen_ = true;
    }
}

void ConsoleReporter::PlainLocked(const std::string& line) {
    Emit((lineOpen_ ? "\r\x1b[K" : "") + options_.prefix + line + "\n");
    if (lineOpen_) {
        lineOpen_ = false;
        RedrawLocked();
    }
}

void ConsoleReporter::RedrawLocked() {
    if (finished_) {
        return;
    }
    const auto now = Clock::now();
    const auto msSince = [now](Clock::time_point then) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(now - then).count();
    };
    const ProgressFigures figures =
        EstimateProgress(progress_, msSince(progressAt_), msSince(wakeUpStart_));
    ProgressState state;
    // While the figures wait for a late restart, the line says so.
    state.phase = figures.note == kNoteRestartWait ? figures.note : text_;
    if (progress_.phase != DownloadPhase::Finished) {
        state.fraction = figures.fraction;
        state.secondsLeft = figures.secondsLeft;
        state.upperBound = figures.upperBound;
    }
    Emit(Framed(RenderProgressLine(state, options_.width), "\x1b[K"));
    lineOpen_ = true;
}

std::string ConsoleReporter::OutputError() {
    std::lock_guard lock(mutex_);
    return outputError_;
}

void ConsoleReporter::Emit(const std::string& text) {
    if (outputFailed_.load()) {
        return;
    }
    std::unique_lock<std::mutex> shared;
    if (options_.sharedOutput != nullptr) {
        shared = std::unique_lock(*options_.sharedOutput);
    }
    errno = 0;
    if (out_) {
        out_ << text << std::flush;
    }
    if (!out_) {
        // The stream had failed already when another download of the batch wrote to it.
        const int err = errno;
        outputError_ = options_.streamName + " could not be written (" +
                       (err != 0 ? std::strerror(err) : "write error") + ")";
        outputFailed_.store(true);
        if (options_.cancel != nullptr) {
            options_.cancel->store(true);
        }
    }
}

void ConsoleReporter::TickerLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        stop_.wait_for(lock, std::chrono::milliseconds(250));
        if (!stopping_ && lineOpen_ && !finished_) {
            RedrawLocked();
        }
    }
}

} // namespace comsetup::cli
