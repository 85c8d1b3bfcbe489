// Test harness for the download driver in virtual time: an in-memory serial line, a virtual
// pacer, recording views, and a scripted converter that answers from the pacer's listener
// (the test's owner-thread work). Every byte the driver writes is kept with its virtual time.
#pragma once

#include "download/driver.h"
#include "serial/memory_device.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace comsetup::test {

struct ProgressEvent {
    enum Kind { Text, Detail, Cancel, Ok, Front } kind;
    std::string text;
    bool visible = false;
};

class RecordingProgress final : public ProgressView {
public:
    void SetText(const std::string& text) override {
        label = text;
        events.push_back({ProgressEvent::Text, text, false});
    }
    void SetDetail(const std::string& text) override {
        detail = text;
        events.push_back({ProgressEvent::Detail, text, false});
    }
    void ShowCancel(bool visible) override {
        cancelVisible = visible;
        events.push_back({ProgressEvent::Cancel, {}, visible});
    }
    void ShowOk(bool visible) override {
        okVisible = visible;
        events.push_back({ProgressEvent::Ok, {}, visible});
    }
    void BringToFront() override {
        ++fronts;
        events.push_back({ProgressEvent::Front, {}, false});
    }
    std::vector<std::string> Texts(ProgressEvent::Kind kind = ProgressEvent::Text) const {
        std::vector<std::string> texts;
        for (const auto& e : events) {
            if (e.kind == kind) {
                texts.push_back(e.text);
            }
        }
        return texts;
    }
    // The lines shown below the text, empty ones (clearing it) left out.
    std::vector<std::string> Details() const {
        std::vector<std::string> shown;
        for (const std::string& text : Texts(ProgressEvent::Detail)) {
            if (!text.empty()) {
                shown.push_back(text);
            }
        }
        return shown;
    }

    std::string label = "-------";
    std::string detail;
    bool cancelVisible = false;
    bool okVisible = false;
    int fronts = 0;
    std::vector<ProgressEvent> events;
};

class RecordingMessages final : public MessageSink {
public:
    void ShowError(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

struct TimedByte {
    std::int64_t ms;
    char byte;
};

// A converter stand-in driven by what it has received so far. Rules fire once, in order of
// registration, when their condition first holds at a listener call.
class ScriptedConverter {
public:
    struct Rule {
        std::function<bool(const ScriptedConverter&)> when;
        std::function<void(ScriptedConverter&)> then;
        bool fired = false;
    };

    void On(std::function<bool(const ScriptedConverter&)> when,
            std::function<void(ScriptedConverter&)> then) {
        rules_.push_back({std::move(when), std::move(then), false});
    }

    const std::vector<TimedByte>& Received() const { return received_; }
    std::string ReceivedText() const;
    int Count(char c) const;
    bool EndsWith(const std::string& s) const;
    std::int64_t NowMs() const { return nowMs_; }

    void Say(const std::string& bytes) { line_->PushReceived(bytes); }
    MemoryLine& Line() { return *line_; }

    // Called by the harness: bytes written since the last call, written at lastMs.
    void Feed(const std::string& written, std::int64_t lastMs, std::int64_t nowMs);

    void Attach(std::shared_ptr<MemoryLine> line) { line_ = std::move(line); }

private:
    std::shared_ptr<MemoryLine> line_;
    std::vector<TimedByte> received_;
    std::vector<Rule> rules_;
    std::int64_t nowMs_ = 0;
};

// Banner lines of the two firmwares as a converter might print them.
std::string BannerFor(FirmwareVariant variant);
// What the converter prints when "9" is chosen: the verdict looks at the next-to-last line.
inline const std::string kClosingLines = "9 Exit without save / 9 Save and exit\r\nParameters "
                                         "stored, restarting...\r\n";

class DownloadHarness {
public:
    DownloadHarness();

    // A converter that answers the n-th "x" with the banner, the k-th "z" with its monitor
    // prompt, and prints the closing lines after "9".
    void HealthyConverter(FirmwareVariant variant, int bannerAtX = 4, int restartAtZ = 3);

    DownloadOutcome Run(const SetupValues& values);
    void Flush(); // collect bytes written since the last listener call

    std::string Sent() const { return converter.ReceivedText(); }
    // The bytes the driver wrote after the banner answer (LF CR) began.
    std::string SentAfterBanner() const;
    // Timeline of what was written after the given offset: bytes with the virtual gaps
    // between them in brackets ("7<LF>[200]0<LF>...").
    std::string TimelineFrom(std::size_t offset) const;

    std::shared_ptr<MemoryLine> line = std::make_shared<MemoryLine>();
    MemoryComm comm{line};
    RecordingProgress progress;
    StringListLog monitor;
    RecordingMessages messages;
    VirtualPacer pacer;
    std::atomic<bool> cancel{false};
    ScriptedConverter converter;
    DownloadObserver* observer = nullptr;
    DownloadTrace* trace = nullptr;
    std::vector<std::string> searchPorts; // for "Auto"
    PortFactory makePort;                 // for "Auto"; empty: the context's default
    std::unique_ptr<SetupDownload> download;

private:
    std::int64_t lastMs_ = 0;
};

// The bytes a script sends, with the restart wait's polling and answer in place.
std::string ExpectedAfterBanner(const SetupValues& values, FirmwareVariant variant, int zPolls,
                                bool restartAnswered);

} // namespace comsetup::test
