// Console form of the progress dialog and the message box for one download. On a terminal
// it keeps one live line (phase, bar, time left) redrawn in place; otherwise it prints plain
// lines: each new progress text, every tenth of the planned time, and error messages. A
// ticker thread redraws the live line while the download sits in a long pause; every output
// goes through one lock.
//
// Time left: before the banner the wake-up limit ("at most") is shown; from the banner on,
// the planned time of the rest of the script, advancing with the clock between progress
// reports.
//
// A write that fails (standard output closed by its reader, a full disk) acts as the progress
// dialog's "Cancel": the download's cancel flag is set, nothing more is written to the
// stream, and OutputError says why for the command to report elsewhere. So does a standard
// output that went away while only the result was to be written there (resultOutputLost).
#pragma once

#include "download/views.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

namespace comsetup::cli {

struct ReporterOptions {
    bool live = false;                   // redraw one line in place (a terminal)
    int width = 80;                      // terminal width for the live line
    std::string prefix;                  // put before every plain line (batch: "[COM3] ")
    std::atomic<bool>* cancel = nullptr; // set again when the download clears it after Ctrl+C
    std::mutex* sharedOutput = nullptr;  // held while writing, when reporters share a stream
    std::function<void(const std::string&)> onText; // told each new progress text, when set
    std::function<void(const DownloadProgress&)> onProgress; // told each report, when set
    std::string streamName = "standard output";              // what out is, for OutputError
    // With the result on standard output and the progress elsewhere (--json): why standard
    // output can take nothing more ("Broken pipe": its reader went away), or "". Asked at each
    // progress report; a loss acts as a failed write of the progress would.
    std::function<std::string()> resultOutputLost;
};

class ConsoleReporter final : public ProgressView, public MessageSink, public DownloadObserver {
public:
    ConsoleReporter(std::ostream& out, ReporterOptions options);
    ~ConsoleReporter() override;

    // ProgressView
    void SetText(const std::string& text) override;
    // While the download runs, a detail (a Cancel still pending) is printed as a line of its
    // own below the progress; the verdict's, once ended, is the command's to print.
    void SetDetail(const std::string& text) override;
    void ShowCancel(bool visible) override;
    void ShowOk(bool visible) override;
    void BringToFront() override {}
    // MessageSink
    void ShowError(const std::string& text) override;
    // DownloadObserver
    void OnProgress(const DownloadProgress& progress) override;

    // Ends the live line (so that what follows starts on a fresh line); nothing more is drawn.
    void Finish();

    // A line of the command's own before the download or after its verdict (the LAN check):
    // plain, with the prefix, ending a line redrawn in place.
    void Note(const std::string& text);
    // A line redrawn in place, on a terminal only ("looking for ... 6 s").
    void NoteInPlace(const std::string& text);

    const std::string& Text() const { return text_; }
    // The last message box text ("Error opening serial port :COM3"), or "".
    const std::string& LastMessage() const { return message_; }
    // "standard output could not be written (Broken pipe)" once a write failed, else "".
    std::string OutputError();

private:
    using Clock = std::chrono::steady_clock;
    void RedrawLocked();
    void PlainLocked(const std::string& line);
    void TickerLoop();
    void Emit(const std::string& text);

    std::ostream& out_;
    ReporterOptions options_;
    std::mutex mutex_;
    std::string text_;
    std::string message_;
    DownloadProgress progress_{};
    Clock::time_point progressAt_{};
    Clock::time_point wakeUpStart_{};
    int lastTenth_ = -1;
    bool lineOpen_ = false;
    bool finished_ = false;
    std::string outputError_;
    std::atomic<bool> outputFailed_{false};
    std::atomic<bool> resultLost_{false};
    std::condition_variable stop_;
    bool stopping_ = false;
    std::thread ticker_;
};

} // namespace comsetup::cli
