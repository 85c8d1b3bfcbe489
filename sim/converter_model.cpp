#include "sim/converter_model.h"

#include "sim/converter_texts.h"
#include "sim/fixed_records.h"
#include "sim/intel_hex.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

namespace comsetup::sim {
namespace {

constexpr std::uint8_t kLF = 0x0A;
constexpr std::uint8_t kCR = 0x0D;
constexpr std::size_t kMaxAnomalies = 100;
constexpr std::size_t kMaxChoiceLength = 16; // a menu choice is one digit
constexpr std::size_t kMaxMonitorLine = 600; // a record is 75 characters

bool IsEnter(std::uint8_t b) {
    return b == kLF || b == kCR;
}
bool IsPrintable(std::uint8_t b) {
    return b >= 0x20 && b < 0x7F;
}
bool IsDigit(std::uint8_t b) {
    return b >= '0' && b <= '9';
}
bool IsHexDigit(std::uint8_t b) {
    return IsDigit(b) || (b >= 'A' && b <= 'F') || (b >= 'a' && b <= 'f');
}

std::string DescribeByte(std::uint8_t b) {
    char buf[16];
    if (IsPrintable(b))
        std::snprintf(buf, sizeof buf, "'%c'", static_cast<char>(b));
    else
        std::snprintf(buf, sizeof buf, "0x%02X", static_cast<unsigned>(b));
    return buf;
}

bool AllDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

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

// ---- questions ----

ConverterModel::Kind ConverterModel::KindOf(Field f) {
    switch (f) {
    case Field::Ip0:
    case Field::Ip1:
    case Field::Ip2:
    case Field::Ip3:
    case Field::Gw0:
    case Field::Gw1:
    case Field::Gw2:
    case Field::Gw3:
    case Field::Rem0:
    case Field::Rem1:
    case Field::Rem2:
    case Field::Rem3:
        return Kind::Octet;
    case Field::HostBits:
    case Field::RemotePort:
        return Kind::Number;
    case Field::UseGateway:
    case Field::ChangePassword:
    case Field::Service:
    case Field::Broadcast:
        return Kind::YesNo;
    case Field::LineCode:
    case Field::FlowCode:
    case Field::ConnectCode:
    case Field::LinkCode:
    case Field::IdleCode:
    case Field::FlushCode:
    case Field::PackCode:
        return Kind::Hex;
    case Field::Baud:
    case Field::LocalPort:
    case Field::NewPassword:
    case Field::Done:
        return Kind::Text;
    }
    return Kind::Text;
}

void ConverterModel::StartSection(Section s) {
    switch (s) {
    case Section::Network:
        Emit("\r\nNetwork settings\r\n");
        Ask(Field::Ip0);
        return;
    case Section::SerialLine:
        Emit("\r\nSerial line settings\r\n");
        Ask(Field::Baud);
        return;
    case Section::Services:
        Emit("\r\nServices\r\n");
        serviceIndex_ = 0;
        Ask(Field::Service);
        return;
    case Section::None:
        ShowMenu();
        return;
    }
}

void ConverterModel::Ask(Field f) {
    field_ = f;
    input_.clear();
    state_ = State::Question;
    Emit(PromptFor(f));
}

namespace {
std::string Byte3(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%03d", v & 0xFF);
    return buf;
}
std::string YN(bool v) {
    return v ? "Y" : "N";
}
} // namespace

std::string ConverterModel::PromptFor(Field f) const {
    const ConverterSettings& s = working_;
    auto octet = [](const char* what, const Address& a, int i) {
        return std::string(what) + " byte " + std::to_string(i + 1) + " (" + Byte3(a[i]) + ") ? ";
    };
    switch (f) {
    case Field::Ip0:
    case Field::Ip1:
    case Field::Ip2:
    case Field::Ip3:
        return octet("IP address", s.ip, static_cast<int>(f) - static_cast<int>(Field::Ip0));
    case Field::UseGateway:
        return "Use a gateway (" + YN(s.useGateway) + ") ? ";
    case Field::Gw0:
    case Field::Gw1:
    case Field::Gw2:
    case Field::Gw3:
        return octet("Gateway", s.gateway, static_cast<int>(f) - static_cast<int>(Field::Gw0));
    case Field::HostBits:
        return "Host bits of the subnet mask, 0 for the class default (" +
               std::to_string(s.hostBits) + ") ? ";
    case Field::ChangePassword:
        return "Change the setup password (N) ? ";
    case Field::NewPassword:
        return "New setup password ? ";
    case Field::Service:
        return ServiceQuestion(opt_.firmware, serviceIndex_) + " (N) ? ";
    case Field::Baud:
        return "Baud rate (" + s.baud + ") ? ";
    case Field::LineCode:
        return "Line format code (" + FormatHex(s.lineCode) + ") ? ";
    case Field::FlowCode:
        return "Flow control code (" + FormatHex(s.flowCode) + ") ? ";
    case Field::LocalPort:
        return "Local port (" + s.localPort + ") ? ";
    case Field::ConnectCode:
        return "Connect mode code (" + FormatHex(s.connectCode) + ") ? ";
    case Field::LinkCode:
        return "Link mode code (" + FormatHex(s.linkCode) + ") ? ";
    case Field::Broadcast:
        return "Answer broadcasts instead of one remote (" + YN(s.broadcast) + ") ? ";
    case Field::Rem0:
    case Field::Rem1:
    case Field::Rem2:
    case Field::Rem3:
        return octet("Remote IP address", s.remote,
                     static_cast<int>(f) - static_cast<int>(Field::Rem0));
    case Field::RemotePort:
        return "Remote port (" + s.remotePort + ") ? ";
    case Field::IdleCode:
        return "Idle disconnect code (" + FormatHex(s.idleCode) + ") ? ";
    case Field::FlushCode:
        return "Buffer flush code (" + FormatHex(s.flushCode) + ") ? ";
    case Field::PackCode:
        return "Packet code (" + FormatHex(s.packCode) + ") ? ";
    case Field::Done:
        break;
    }
    return "? ";
}

void ConverterModel::OnQuestion(std::uint8_t b) {
    const Kind kind = KindOf(field_);
    const std::string where = " at \"" + PromptFor(field_) + "\"";
    if (kind == Kind::YesNo) {
        if (b == 'Y' || b == 'y' || b == 'N' || b == 'n') {
            const std::string answer(1, static_cast<char>(b == 'Y' || b == 'y' ? 'Y' : 'N'));
            Emit(answer + "\r\n");
            StoreAnswer(field_, answer);
            NextQuestion();
        } else if (IsEnter(b)) {
            Emit("\r\n");
            StoreAnswer(field_, "");
            NextQuestion();
        } else {
            Anomaly("byte " + DescribeByte(b) + where);
        }
        return;
    }
    if (IsEnter(b)) {
        Emit("\r\n");
        StoreAnswer(field_, std::exchange(input_, std::string()));
        NextQuestion();
        return;
    }
    bool fits = false;
    std::size_t maxLength = 16;
    switch (kind) {
    case Kind::Octet:
        fits = IsDigit(b);
        maxLength = 3;
        break;
    case Kind::Number:
        fits = IsDigit(b);
        maxLength = 5;
        break;
    case Kind::Hex:
        fits = IsHexDigit(b);
        maxLength = 2;
        break;
    case Kind::Text:
    case Kind::YesNo:
        fits = IsPrintable(b);
        break;
    }
    if (!fits) {
        Anomaly("byte " + DescribeByte(b) + where);
        return;
    }
    if (input_.size() >= maxLength) {
        Anomaly("answer too long" + where + ": byte " + DescribeByte(b) + " dropped");
        return;
    }
    input_.push_back(static_cast<char>(b));
    Emit(std::string(1, static_cast<char>(b)));
}

void ConverterModel::StoreAnswer(Field f, const std::string& answer) {
    ConverterSettings& s = working_;
    const std::string where = " at \"" + PromptFor(f) + "\"";
    if (f == Field::Service) {
        report_.serviceAnswers += answer.empty() ? "-" : answer;
        return;
    }
    if (answer.empty())
        return; // Enter alone keeps the value
    const Kind kind = KindOf(f);
    int value = 0;
    if (kind == Kind::Octet || kind == Kind::Number) {
        value = std::stoi(answer); // digits only, at most 5 of them
        const int limit = kind == Kind::Octet ? 255 : (f == Field::HostBits ? 32 : 65535);
        if (value > limit) {
            Anomaly("value " + answer + " out of range" + where);
            return;
        }
    } else if (kind == Kind::Hex) {
        value = std::stoi(answer, nullptr, 16);
    }
    const bool yes = answer == "Y";
    switch (f) {
    case Field::Ip0:
    case Field::Ip1:
    case Field::Ip2:
    case Field::Ip3:
        s.ip[static_cast<int>(f) - static_cast<int>(Field::Ip0)] = value;
        return;
    case Field::UseGateway:
        s.useGateway = yes;
        return;
    case Field::Gw0:
    case Field::Gw1:
    case Field::Gw2:
    case Field::Gw3:
        s.gateway[static_cast<int>(f) - static_cast<int>(Field::Gw0)] = value;
        return;
    case Field::HostBits:
        s.hostBits = value;
        return;
    case Field::ChangePassword:
        passwordChange_ = yes;
        return;
    case Field::NewPassword:
        s.password = answer;
        return;
    case Field::Baud:
        if (!AllDigits(answer))
            Anomaly("baud rate \"" + answer + "\" is not a number");
        s.baud = answer;
        return;
    case Field::LineCode:
        s.lineCode = value;
        return;
    case Field::FlowCode:
        if (DescribeFlowCode(value) == "unknown")
            Anomaly("unknown flow control code " + answer);
        s.flowCode = value;
        return;
    case Field::LocalPort:
        if (!AllDigits(answer) || std::stol(answer.substr(0, 6)) > 65535)
            Anomaly("local port \"" + answer + "\" is not a port number");
        s.localPort = answer;
        return;
    case Field::ConnectCode:
        s.connectCode = value;
        return;
    case Field::LinkCode:
        s.linkCode = value;
        return;
    case Field::Broadcast:
        s.broadcast = yes;
        return;
    case Field::Rem0:
    case Field::Rem1:
    case Field::Rem2:
    case Field::Rem3:
        s.remote[static_cast<int>(f) - static_cast<int>(Field::Rem0)] = value;
        return;
    case Field::RemotePort:
        s.remotePort = std::to_string(value);
        return;
    case Field::IdleCode:
        s.idleCode = value;
        return;
    case Field::FlushCode:
        s.flushCode = value;
        return;
    case Field::PackCode:
        s.packCode = value;
        return;
    case Field::Service:
    case Field::Done:
        return;
    }
}

ConverterModel::Field ConverterModel::FollowingField(Field f) const {
    const ConverterSettings& s = working_;
    switch (f) {
    case Field::Ip0:
        return Field::Ip1;
    case Field::Ip1:
        return Field::Ip2;
    case Field::Ip2:
        return Field::Ip3;
    case Field::Ip3:
        return Field::UseGateway;
    case Field::UseGateway:
        return s.useGateway ? Field::Gw0 : Field::HostBits;
    case Field::Gw0:
        return Field::Gw1;
    case Field::Gw1:
        return Field::Gw2;
    case Field::Gw2:
        return Field::Gw3;
    case Field::Gw3:
        return Field::HostBits;
    case Field::HostBits:
        return Field::ChangePassword;
    case Field::ChangePassword:
        return passwordChange_ ? Field::NewPassword : Field::Done;
    case Field::NewPassword:
        return Field::Done;
    case Field::Service:
        return serviceIndex_ + 1 < ServiceQuestionCount(opt_.firmware) ? Field::Service
                                                                       : Field::Done;
    case Field::Baud:
        return Field::LineCode;
    case Field::LineCode:
        return Field::FlowCode;
    case Field::FlowCode:
        return Field::LocalPort;
    case Field::LocalPort:
        return Field::ConnectCode;
    case Field::ConnectCode:
        return s.Tunnel() ? Field::LinkCode : Field::IdleCode;
    case Field::LinkCode:
        return opt_.firmware == Firmware::V6_5_0_7 ? Field::Broadcast : Field::Rem0;
    case Field::Broadcast:
        return s.broadcast ? Field::RemotePort : Field::Rem0;
    case Field::Rem0:
        return Field::Rem1;
    case Field::Rem1:
        return Field::Rem2;
    case Field::Rem2:
        return Field::Rem3;
    case Field::Rem3:
        return Field::RemotePort;
    case Field::RemotePort:
        return Field::IdleCode;
    case Field::IdleCode:
        return Field::FlushCode;
    case Field::FlushCode:
        return Field::PackCode;
    case Field::PackCode:
    case Field::Done:
        return Field::Done;
    }
    return Field::Done;
}

void ConverterModel::NextQuestion() {
    const Field next = FollowingField(field_);
    if (next == Field::Service)
        ++serviceIndex_;
    if (next == Field::Done) {
        field_ = Field::Done;
        ShowMenu();
        return;
    }
    Ask(next);
}

// ---- monitor after the restart ----

void ConverterModel::OnMonitorLine(std::uint8_t b, std::int64_t nowUs) {
    if (IsPrintable(b)) {
        if (b == 'z' && input_.empty() && state_ == State::Monitor)
            return; // one more poll that crossed the answer
        if (input_.size() >= kMaxMonitorLine) {
            Anomaly("monitor line too long: byte " + DescribeByte(b) + " dropped");
            return;
        }
        input_.push_back(static_cast<char>(b));
        return;
    }
    if (!IsEnter(b)) {
        Anomaly("byte " + DescribeByte(b) + " in the monitor");
        return;
    }
    if (input_.empty())
        return;
    const std::string line = std::exchange(input_, std::string());
    if (state_ == State::Records)
        TakeRecord(line);
    else
        RunCommand(line, nowUs);
}

void ConverterModel::RunCommand(const std::string& line, std::int64_t nowUs) {
    if (line == "G7") {
        report_.pageSelected = true;
        Emit("Page 7\r\n> ");
    } else if (line == "S7") {
        if (!report_.pageSelected)
            Anomaly("S7 before G7");
        report_.loadStarted = true;
        ReachStage(Stage::Records);
        state_ = State::Records;
        Emit("Loading page 7\r\n");
    } else if (line == "RS") {
        report_.reset = true;
        Emit("Reset\r\n");
        EndSession(SessionEnd::Complete, nowUs);
    } else {
        Anomaly("unknown monitor command \"" + line + "\"");
        Emit("?\r\n> ");
    }
}

void ConverterModel::TakeRecord(const std::string& line) {
    const std::size_t index = report_.records.size();
    report_.records.push_back(line);
    HexRecord record;
    std::string error;
    if (!ParseHexRecord(line, record, error)) {
        recordsSound_ = false;
        Anomaly("record " + std::to_string(index + 1) + ": " + error);
        Emit("Bad record\r\n");
        return;
    }
    if (index == 0) {
        report_.firstRecord = line == kRecordA ? 'A' : line == kRecordB ? 'B' : '?';
        if (report_.firstRecord == '?')
            Anomaly("first record is neither A nor B");
    } else if (index - 1 < std::size(kFollowingRecords)) {
        if (line != kFollowingRecords[index - 1])
            Anomaly("record " + std::to_string(index + 1) + " is not the expected one");
    } else {
        Anomaly("record " + std::to_string(index + 1) + " is one too many");
    }
    if (record.type == 0x01) {
        report_.loadComplete =
            recordsSound_ && report_.records.size() == 1 + std::size(kFollowingRecords);
        if (!report_.loadComplete)
            Anomaly("end record after " + std::to_string(index) + " data records");
        state_ = State::Monitor;
        Emit("Load complete\r\n> ");
        return;
    }
    Emit("OK\r\n");
}

} // namespace comsetup::sim
