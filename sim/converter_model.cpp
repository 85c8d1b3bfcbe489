// The converter model: names, session bookkeeping, time, the boot sequence and the setup
// menu's choices. The questions of each menu section are in converter_questions.cpp, the
// monitor after the restart in converter_monitor.cpp.
#include "sim/converter_model.h"

#include "sim/converter_texts.h"
#include "sim/fixed_records.h"
#include "sim/model_bytes.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace comsetup::sim {
namespace {

constexpr std::size_t kMaxAnomalies = 100;
constexpr std::size_t kMaxChoiceLength = 16; // a menu choice is one digit

} // namespace

using namespace detail;

std::optional<Firmware> ParseFirmware(std::string_view text) {
    if (text == "01.8")
        return Firmware::V01_8;
    if (text == "V6.5.0.7")
        return Firmware::V6_5_0_7;
    return std::nullopt;
}

std::string FirmwareName(Firmware f) {
    return f == Firmware::V01_8 ? "01.8" : "V6.5.0.7";
}

namespace {
struct FailName {
    FailMode mode;
    const char* name;
};
constexpr FailName kFailNames[] = {
    {FailMode::Healthy, "healthy"},
    {FailMode::NoAnswer, "none"},
    {FailMode::ShortAnswer, "short"},
    {FailMode::UnknownFirmware, "unknown-firmware"},
    {FailMode::Garbage, "garbage"},
    {FailMode::NoRestart, "no-restart"},
    {FailMode::NoExitWithout, "no-exit-without"},
    {FailMode::Flood, "flood"},
    {FailMode::Vanish, "vanish"},
};
} // namespace

std::optional<FailMode> ParseFailMode(std::string_view text) {
    for (const auto& n : kFailNames)
        if (text == n.name)
            return n.mode;
    return std::nullopt;
}

std::string FailModeName(FailMode m) {
    for (const auto& n : kFailNames)
        if (n.mode == m)
            return n.name;
    return "?";
}

std::string SessionEndName(SessionEnd e) {
    switch (e) {
    case SessionEnd::Running:
        return "running";
    case SessionEnd::Complete:
        return "complete";
    case SessionEnd::Abandoned:
        return "abandoned";
    case SessionEnd::Vanished:
        return "vanished";
    case SessionEnd::Interrupted:
        return "interrupted";
    }
    return "?";
}

std::string StageName(Stage s) {
    switch (s) {
    case Stage::SwitchedOff:
        return "switched off";
    case Stage::BootWindow:
        return "boot window";
    case Stage::BootPrompt:
        return "banner sent";
    case Stage::Menu:
        return "setup menu";
    case Stage::Restart:
        return "restart";
    case Stage::Monitor:
        return "monitor";
    case Stage::Records:
        return "records";
    }
    return "?";
}

ConverterModel::ConverterModel(ModelOptions options) : opt_(options) {}

// ---- session bookkeeping ----

void ConverterModel::StartSession(std::int64_t nowUs) {
    report_ = SessionReport{};
    report_.number = ++sessions_;
    report_.firmware = opt_.firmware;
    report_.fail = opt_.fail;
    report_.startUs = nowUs;
    report_.settings = stored_;
    working_ = stored_;
    field_ = Field::Done;
    input_.clear();
    passwordChange_ = false;
    recordsSound_ = true;
}

void ConverterModel::EndSession(SessionEnd end, std::int64_t nowUs) {
    report_.end = end;
    report_.endUs = nowUs;
    if (!report_.saved)
        report_.settings = working_;
    if (report_.firstRecord == 'A' && report_.settings.flowCode != kFlowCodeForRecordA)
        Anomaly("record A loaded with flow code " + FormatHex(report_.settings.flowCode));
    if (report_.firstRecord == 'B' && report_.settings.flowCode == kFlowCodeForRecordA)
        Anomaly("record B loaded with flow code " + FormatHex(report_.settings.flowCode));
    finished_.push_back(std::move(report_));
    report_ = SessionReport{};
    state_ = State::Idle;
    flooding_ = false;
    input_.clear();
    if (end == SessionEnd::Vanished)
        vanished_ = true;
}

void ConverterModel::ReachStage(Stage s) {
    if (static_cast<int>(s) > static_cast<int>(report_.stage))
        report_.stage = s;
}

void ConverterModel::Anomaly(const std::string& what) {
    if (report_.anomalies.size() < kMaxAnomalies)
        report_.anomalies.push_back(what);
}

void ConverterModel::Emit(std::string_view text) {
    if (vanished_)
        return;
    out_.append(text);
    produced_ += text.size();
}

std::string ConverterModel::TakeOutput() {
    return std::exchange(out_, std::string());
}

std::vector<SessionReport> ConverterModel::TakeFinishedSessions() {
    return std::exchange(finished_, {});
}

std::optional<SessionReport> ConverterModel::Interrupt(std::int64_t nowUs) {
    if (state_ == State::Idle)
        return std::nullopt;
    EndSession(SessionEnd::Interrupted, nowUs);
    SessionReport r = std::move(finished_.back());
    finished_.pop_back();
    return r;
}

// ---- time ----

std::optional<std::int64_t> ConverterModel::NextEventUs() const {
    if (vanished_ || state_ == State::Idle)
        return std::nullopt;
    std::int64_t next = lastByteUs_ + opt_.idleTimeUs;
    if (state_ == State::Off)
        next = std::min(next, offUntilUs_);
    if (state_ == State::Restarting)
        next = std::min(next, restartUntilUs_);
    if (flooding_)
        next = std::min(next, nextFloodUs_);
    return next;
}

void ConverterModel::Advance(std::int64_t nowUs) {
    if (vanished_ || state_ == State::Idle)
        return;
    if (state_ == State::Off && nowUs >= offUntilUs_) {
        state_ = State::BootWindow;
        ReachStage(Stage::BootWindow);
    }
    if (state_ == State::Restarting && nowUs >= restartUntilUs_)
        state_ = State::MonitorWait;
    if (flooding_ && nowUs >= nextFloodUs_) {
        Emit(FloodChunk(floodLine_));
        // One chunk per call: after a long stall the stream goes on, it does not catch up.
        nextFloodUs_ = std::max(nextFloodUs_ + opt_.floodPeriodUs, nowUs);
    }
    if (nowUs - lastByteUs_ >= opt_.idleTimeUs)
        EndSession(SessionEnd::Abandoned, nowUs);
}

// ---- input ----

void ConverterModel::Receive(std::string_view bytes, std::int64_t nowUs) {
    for (char c : bytes) {
        Advance(nowUs); // time-driven changes first: the byte meets the state of its moment
        if (vanished_)
            return;
        const auto b = static_cast<std::uint8_t>(c);
        if (state_ == State::Idle)
            StartSession(nowUs);
        report_.received.push_back({nowUs, b});
        lastByteUs_ = nowUs;
        OnByte(b, nowUs);
    }
}

void ConverterModel::OnByte(std::uint8_t b, std::int64_t nowUs) {
    switch (state_) {
    case State::Idle: // StartSession has run; this is the first byte of the session
        if (opt_.fail == FailMode::NoAnswer) {
            state_ = State::Dead;
        } else if (opt_.offTimeUs > 0) {
            offUntilUs_ = nowUs + opt_.offTimeUs;
            state_ = State::Off;
            if (b == 'x')
                ++report_.xPolls;
        } else {
            state_ = State::BootWindow;
            ReachStage(Stage::BootWindow);
            OnBootWindow(b);
        }
        return;
    case State::Off:
        if (b == 'x')
            ++report_.xPolls;
        return; // lost: the converter is switched off
    case State::BootWindow:
        OnBootWindow(b);
        return;
    case State::BootPrompt:
        if (IsEnter(b)) {
            ReachStage(Stage::Menu);
            Emit(SettingsSummary(working_));
            ShowMenu();
            if (opt_.fail == FailMode::Flood) {
                flooding_ = true;
                nextFloodUs_ = nowUs;
            }
        } else if (b != 'x') {
            Anomaly("byte " + DescribeByte(b) + " at the boot prompt");
        }
        return;
    case State::MainMenu:
        OnMainMenu(b, nowUs);
        return;
    case State::Question:
        OnQuestion(b);
        if (state_ == State::Question && opt_.fail == FailMode::Vanish &&
            field_ == Field::ChangePassword)
            EndSession(SessionEnd::Vanished, nowUs); // gone right after the host bits
        return;
    case State::Restarting:
    case State::Dead:
        if (b == 'z' && report_.stage == Stage::Restart)
            ++report_.zPolls;
        return;
    case State::MonitorWait:
        if (b == 'z') {
            ++report_.zPolls;
            ReachStage(Stage::Monitor);
            state_ = State::Monitor;
            Emit("\r\nService monitor ready\r\n> ");
        } else {
            Anomaly("byte " + DescribeByte(b) + " before the restarted converter answered");
        }
        return;
    case State::Monitor:
    case State::Records:
        OnMonitorLine(b, nowUs);
        return;
    }
}

void ConverterModel::OnBootWindow(std::uint8_t b) {
    if (b != 'x') {
        Anomaly("byte " + DescribeByte(b) + " before the banner");
        return;
    }
    ++report_.xPolls;
    switch (opt_.fail) {
    case FailMode::ShortAnswer:
        Emit(ShortAnswerText());
        state_ = State::Dead;
        return;
    case FailMode::Garbage:
        Emit(GarbageText());
        state_ = State::Dead;
        return;
    default:
        Emit(BannerText(FirmwareVersionText(opt_.firmware, opt_.fail)));
        state_ = State::BootPrompt;
        ReachStage(Stage::BootPrompt);
    }
}

void ConverterModel::ShowMenu() {
    state_ = State::MainMenu;
    input_.clear();
    Emit(MainMenuText(opt_.fail != FailMode::NoExitWithout));
}

void ConverterModel::OnMainMenu(std::uint8_t b, std::int64_t nowUs) {
    if (IsPrintable(b)) {
        if (input_.size() >= kMaxChoiceLength) {
            Anomaly("menu choice too long: byte " + DescribeByte(b) + " dropped");
            return;
        }
        input_.push_back(static_cast<char>(b));
        Emit(std::string(1, static_cast<char>(b)));
        return;
    }
    if (!IsEnter(b)) {
        Anomaly("byte " + DescribeByte(b) + " in the setup menu");
        return;
    }
    if (input_.empty())
        return; // an empty choice changes nothing
    const std::string choice = std::exchange(input_, std::string());
    Emit("\r\n");
    if (choice == "0") {
        StartSection(Section::Network);
    } else if (choice == "1") {
        StartSection(Section::SerialLine);
    } else if (choice == "6") {
        StartSection(Section::Services);
    } else if (choice == "7") {
        working_ = ConverterSettings{};
        report_.defaultsLoaded = true;
        Emit("Factory defaults loaded.\r\n");
        ShowMenu();
    } else if (choice == "8" || choice == "9") {
        const bool save = choice == "9";
        if (save) {
            stored_ = working_;
            report_.saved = true;
            report_.settings = stored_;
            Emit(SaveAndRestartText(opt_.fail != FailMode::NoExitWithout));
        } else {
            Emit(LeaveWithoutSavingText());
            working_ = stored_;
        }
        ReachStage(Stage::Restart);
        if (opt_.fail == FailMode::NoRestart) {
            state_ = State::Dead;
        } else {
            state_ = State::Restarting;
            restartUntilUs_ = nowUs + opt_.restartTimeUs;
        }
    } else {
        Anomaly("unknown menu choice \"" + choice + "\"");
        Emit("Unknown choice " + choice + "\r\nYour choice ? ");
    }
}

} // namespace comsetup::sim
