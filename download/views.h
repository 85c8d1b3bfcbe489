// What the download talks to besides the serial port: the progress dialog, the monitor log,
// the modal message box and (optionally) an observer of its phase and planned time. The GUI
// implements them with its windows, the command-line tool with console output, tests with
// recorders. All calls come from the thread that runs the download.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace comsetup {

// The progress dialog: its one line of text, Cancel while running, OK once ended.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void SetText(const std::string& text) = 0;
    // The line below the text ("" clears it): a Cancel still pending while the download runs;
    // once OK is shown, why the download ended as it did. Views without it ignore it.
    virtual void SetDetail(const std::string& /*text*/) {}
    virtual void ShowCancel(bool visible) = 0;
    virtual void ShowOk(bool visible) = 0;
    // Show the dialog (not modal) and bring it to the front.
    virtual void BringToFront() = 0;
};

// The monitor log: lines of what the converter sent. Line() out of range gives "".
class MonitorLog {
public:
    virtual ~MonitorLog() = default;
    virtual void Add(const std::string& line) = 0;
    virtual int Count() const = 0;
    virtual std::string Line(int index) const = 0;
    // A line an echo of the converter's output brought (Add for the others: the download's
    // own lines). The monitor takes it as any line; a log that is kept joins it with the
    // part below (download/saved_log.h).
    virtual void AddEchoed(const std::string& line) { Add(line); }
    // The end of an echo that no line feed closed: no line of the monitor (the verdict reads
    // lines without it), but bytes the converter sent.
    virtual void AddUnended(const std::string& /*part*/) {}
};

// A modal message box with an OK button; returns once the user has dismissed it.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void ShowError(const std::string& text) = 0;
};

enum class DownloadPhase {
    OpeningPort, // closing, 300 ms, opening
    WakeUp,      // polling "x" until the banner (at most about 15 s)
    BannerPause, // the 7 s after the banner
    Script,      // the opening and the menu script
    RestartWait, // polling "z" until the converter has restarted
    Finished,    // outcome decided, port closed
};

// Planned time counts from the banner on: the 7 s pause, the opening and the script, with
// the restart wait at its planned length. Before the banner the figures are 0; from the
// banner on the total is the whole and stays as it is. Reports come before each step that
// takes time; plannedStepEndMs is where plannedDoneMs stands once that step has ended, so a
// clock moving the figures between reports stops there and never runs ahead of the next one.
struct DownloadProgress {
    DownloadPhase phase = DownloadPhase::OpeningPort;
    std::string port; // the port in use: as given, or the one a search ("Auto") found
    std::int64_t plannedDoneMs = 0;
    std::int64_t plannedTotalMs = 0;
    std::int64_t plannedStepEndMs = 0;
    std::string firmware; // from the banner on: the version it named, readable ("01.8")
};

class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    virtual void OnProgress(const DownloadProgress& progress) = 0;
};

// A monitor log kept in memory (command-line tool, tests).
class StringListLog final : public MonitorLog {
public:
    void Add(const std::string& line) override { lines_.push_back(line); }
    int Count() const override { return static_cast<int>(lines_.size()); }
    std::string Line(int index) const override {
        if (index < 0 || index >= Count()) {
            return {};
        }
        return lines_[static_cast<std::size_t>(index)];
    }
    const std::vector<std::string>& Lines() const { return lines_; }
    void Clear() { lines_.clear(); }

private:
    std::vector<std::string> lines_;
};

} // namespace comsetup
