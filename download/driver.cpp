// The setup download procedure.
#include "download/driver.h"

#include "core/outcomes.h"
#include "core/printable_text.h"

#include "download/verdict_lines.h"

#include "serial/comm.h"
#include "serial/error_causes.h"
#include "serial/port_names.h"

#include <algorithm>
#include <chrono>

namespace comsetup {

namespace {

constexpr std::uint8_t kPollWakeUp = 'x';
constexpr std::uint8_t kPollRestart = 'z';

// A byte the line did not take within the write time limit: the download ends at once.
struct LineHeld {};

} // namespace

const char* OutcomeName(DownloadOutcome outcome) {
    return OutcomeOfExitCode(static_cast<int>(outcome)).data(); // literals: terminated
}

std::string_view VerdictText(DownloadOutcome outcome) {
    std::string_view text = kTextErrorOnSetup;
    switch (outcome) {
    case DownloadOutcome::Complete:
        text = kTextComplete;
        break;
    case DownloadOutcome::ErrorOnSetup:
        break;
    case DownloadOutcome::PortError:
        text = kTextPortFailed;
        break;
    case DownloadOutcome::NoAnswer:
        text = kTextNoAnswer;
        break;
    case DownloadOutcome::Cancelled:
        text = kTextCancelled;
        break;
    case DownloadOutcome::FirmwareUnknown:
        text = kTextFirmwareUnknown;
        break;
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::string PortOpenCause(const std::string& portName, int errorCode) {
    if (portName.find_first_not_of(" \t") == std::string::npos) {
        return "no port named: the port text is empty (type or pick one, such as COM1)";
    }
    std::string cause = OpenErrorCause(errorCode);
    const std::string device = ResolvePortName(portName);
    if (device == portName) {
        return cause;
    }
    cause += " (" + portName + " is " + PrintableDeviceName(device);
    const std::string variable = PortNameVariable(portName);
    if (!variable.empty() && ClassifyOpenError(errorCode) == OpenFailure::NoSuchDevice) {
        cause += "; " + variable + " can name another device";
    }
    return cause + ")";
}

SetupDownload::SetupDownload(DownloadContext context)
    : ctx_(std::move(context)), comm_(&ctx_.comm) {}

SetupDownload::~SetupDownload() = default;

void SetupDownload::Delay(int ms) {
    if (ctx_.trace == nullptr) {
        ctx_.pacer.Delay(ms);
        return;
    }
    const auto start = ctx_.pacer.Now();
    ctx_.pacer.Delay(ms);
    ctx_.trace->OnDelay(ms, start, ctx_.pacer.Now());
}

void SetupDownload::CancellablePause(int ms) {
    // Slices end at the pause's own deadline, so the whole pause lasts as one Delay would.
    const auto start = ctx_.pacer.Now();
    const auto end = start + std::chrono::milliseconds(ms);
    while (!ctx_.cancelSetup.load()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - ctx_.pacer.Now());
        if (left.count() <= 0) {
            break;
        }
        ctx_.pacer.Delay(static_cast<int>(std::min<std::int64_t>(left.count(), kCancelLookMs)));
    }
    if (ctx_.trace != nullptr) {
        ctx_.trace->OnDelay(ms, start, ctx_.pacer.Now());
    }
}

void SetupDownload::SendChar(std::uint8_t byte) {
    if (comm_->Write(&byte, 1) != 1) {
        // Held back for the whole write limit (flow control, a stalled adapter): every
        // following byte would wait as long, and the converter would get a broken script.
        throw LineHeld{};
    }
    if (ctx_.trace != nullptr) {
        ctx_.trace->OnSend(byte, ctx_.pacer.Now());
    }
}

int SetupDownload::ReadInto(std::uint8_t* buffer, int count) {
    const int n = comm_->Read(buffer, count);
    if (ctx_.trace != nullptr && n > 0) {
        ctx_.trace->OnReceive(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n)),
                              ctx_.pacer.Now());
    }
    return n;
}

void SetupDownload::SendString(std::string_view text) {
    for (char c : text) {
        SendChar(static_cast<std::uint8_t>(c));
        Delay(kTypePauseMs);
    }
}

void SetupDownload::EchoReceived() {
    run_.lastEcho = {ctx_.monitor.Count(), 0};
    const int waiting = comm_->InQueCount();
    if (waiting <= 0) {
        return;
    }
    // Never more than the buffer holds; the rest stays queued for the next call.
    const int count = std::min(waiting, kEchoBufferSize);
    const int n = ReadInto(echo_.data(), count);
    run_.lastEcho.bytes = std::max(n, 0);
    std::string line;
    for (int i = 0; i < n; ++i) {
        const std::uint8_t byte = echo_[static_cast<std::size_t>(i)];
        if (byte == kCR) {
            continue;
        }
        if (byte == kLF) {
            ctx_.monitor.AddEchoed(line);
            line.clear();
            continue;
        }
        line.push_back(static_cast<char>(byte));
    }
    // A last part without a line feed is no monitor line and is not carried into the next
    // call; only a kept log takes it.
    if (!line.empty()) {
        ctx_.monitor.AddUnended(line);
    }
}

void SetupDownload::Report(DownloadPhase phase) {
    run_.progress.phase = phase;
    run_.progress.plannedStepEndMs =
        std::max(run_.progress.plannedStepEndMs, run_.progress.plannedDoneMs);
    if (ctx_.observer != nullptr) {
        ctx_.observer->OnProgress(run_.progress);
    }
}

bool SetupDownload::KeepWaiting() const {
    return run_.wait == WaitState::Waiting && !ctx_.cancelSetup.load() &&
           run_.port == PortState::Usable;
}

bool SetupDownload::LimitPassed(std::chrono::nanoseconds start) {
    return ctx_.pacer.Now() - start > std::chrono::milliseconds(kAnswerLimitMs);
}

void SetupDownload::CloseQuietly() {
    try {
        comm_->Close();
    } catch (...) {
        // Closing after a failure must not hide the failure itself.
    }
}

void SetupDownload::Finish(std::string_view text) {
    ctx_.progress.SetText(std::string(text));
    ctx_.progress.ShowCancel(false);
    ctx_.progress.ShowOk(true);
    ctx_.progress.SetDetail(run_.cause.empty() ? run_.written : run_.cause);
}

DownloadOutcome SetupDownload::EndWith(DownloadOutcome outcome, std::string_view text,
                                       std::string_view cause) {
    run_.cause = std::string(cause);
    Finish(text);
    if (!run_.cause.empty()) {
        ctx_.monitor.Add(run_.cause);
    }
    return outcome;
}

DownloadOutcome SetupDownload::FailWith(std::string_view cause) {
    EndWith(DownloadOutcome::ErrorOnSetup, kTextErrorOnSetup, cause);
    ctx_.progress.BringToFront();
    return DownloadOutcome::ErrorOnSetup;
}

void SetupDownload::NoteCancel() {
    if (run_.cancelNoted || !ctx_.cancelSetup.load()) {
        return;
    }
    run_.cancelNoted = true;
    ctx_.progress.SetDetail(std::string(run_.restart == RestartEnd::Answered ? kTextCancelTooLate
                                                                             : kTextCancelPending));
}

void SetupDownload::PreparePort(const std::string& portName) {
    run_.progress.port = portName;
    Report(DownloadPhase::OpeningPort);
    if (IsAutoPort(portName)) {
        OpenSearch();
        ctx_.progress.SetText(std::string(kTextCheckConnection));
        return;
    }
    comm_->SetDeviceName(portName);
    comm_->SetBaudRate(br9600);
    comm_->SetParity(paNone);
    comm_->SetStopbits(sb10);
    try {
        comm_->Close();
        Delay(kReopenPauseMs);
        comm_->Open();
    } catch (const ECommError& error) {
        run_.port = PortState::OpenFailed;
        run_.cause = PortOpenCause(portName, error.ErrorCode);
    } catch (const std::exception& error) {
        run_.port = PortState::OpenFailed;
        run_.cause = error.what();
    } catch (...) {
        run_.port = PortState::OpenFailed;
    }
    if (run_.port == PortState::OpenFailed) {
        // The line that names the port stays as it is; what went wrong goes below it.
        std::string message = std::string(kTextOpenErrorPrefix) + portName;
        if (!run_.cause.empty()) {
            message += "\n" + run_.cause;
        }
        ctx_.messages.ShowError(message);
    }
    ctx_.progress.SetText(std::string(kTextCheckConnection));
}

void SetupDownload::OpenSearch() {
    try {
        ctx_.comm.Close(); // a previous download's port, as above
    } catch (...) {
        // Not used by the search; a failure to close it does not stop the search.
    }
    Delay(kReopenPauseMs);
    search_ = std::make_unique<PortSearch>(ctx_.makePort);
    std::vector<std::string> skipped;
    const auto candidates = ctx_.searchPorts.empty() ? DefaultSearchCandidates() : ctx_.searchPorts;
    const int open = search_->OpenAll(candidates, skipped);
    for (const std::string& line : skipped) {
        ctx_.monitor.Add(line);
    }
    if (open == 0) {
        run_.port = PortState::OpenFailed;
        search_.reset();
        run_.progress.port.clear();
        run_.cause = "no free serial port could be opened (the log names each)";
        ctx_.messages.ShowError(std::string(kTextOpenErrorPrefix) + std::string(kAutoPortName) +
                                "\n" + run_.cause);
        return;
    }
    std::string names;
    run_.searched = search_->OpenNames();
    for (const std::string& name : run_.searched) {
        names += (names.empty() ? "" : ", ") + name;
    }
    ctx_.monitor.Add("Auto: searching " + names);
}

bool SetupDownload::SearchPass() {
    PortSearch::Found found = search_->TakeAnswered(kBannerMinBytes);
    if (found.port) {
        search_.reset();
        found_ = std::move(found.port);
        comm_ = found_.get();
        run_.progress.port = found.name;
        ctx_.monitor.Add("Auto: converter found on " + found.name);
        Report(DownloadPhase::WakeUp);
        return true;
    }
    std::vector<std::string> dropped;
    search_->SendToAll(kPollWakeUp, dropped);
    for (const std::string& line : dropped) {
        ctx_.monitor.Add(line);
    }
    return false;
}

void SetupDownload::WakeUpWait() {
    Report(DownloadPhase::WakeUp);
    banner_.fill(0);
    const auto start = ctx_.pacer.Now();
    while (KeepWaiting()) {
        if (LimitPassed(start)) {
            run_.wait = WaitState::TimedOut; // the pass goes on: a banner in this pass still counts
        }
        const bool answered = search_ ? SearchPass() : comm_->InQueCount() >= kBannerMinBytes;
        if (answered) {
            ReadBanner();
        } else {
            if (!search_) {
                SendChar(kPollWakeUp);
            }
            CancellablePause(kPollIntervalMs);
            ctx_.pacer.ProcessMessages();
        }
    }
    if (search_) {
        search_.reset(); // no answer on any port: free them all
        run_.progress.port.clear();
    }
}

void SetupDownload::ReadBanner() {
    int n = ReadInto(banner_.data(), kBannerReadMax);
    if (n < 0) {
        n = 0; // timed out: no bytes
    }
    run_.bannerBytes = n;
    SendChar(kLF);
    SendChar(kCR);
    run_.variant = RecogniseFirmware(
        std::span<const std::uint8_t>(banner_.data(), static_cast<std::size_t>(n)));

    // The script is built once, here: it gives the planned total from the banner on, and
    // then runs as it is.
    const auto opening = BuildOpening();
    run_.script = BuildScript(*values_, run_.variant);
    const std::string version = ExtractFirmwareVersion(
        std::span<const std::uint8_t>(banner_.data(), static_cast<std::size_t>(n)));
    // Without the key the text after the 16th character is no firmware's name.
    const bool named =
        NamesVersionKey(std::span<const std::uint8_t>(banner_.data(), static_cast<std::size_t>(n)));
    run_.progress.firmware =
        version.empty() || !named ? std::string("unknown") : ReadableVersion(version);
    run_.progress.plannedDoneMs = 0;
    run_.progress.plannedStepEndMs = kBannerPauseMs;
    run_.progress.plannedTotalMs =
        kBannerPauseMs + PlannedDurationMs(opening) + PlannedDurationMs(run_.script);
    Report(DownloadPhase::BannerPause);
    CancellablePause(kBannerPauseMs);
    if (ctx_.cancelSetup.load()) {
        // The user's Cancel came before the first setting: nothing is typed.
        run_.cancelledBeforeOpening = true;
        return;
    }
    run_.progress.plannedDoneMs += kBannerPauseMs;

    ctx_.progress.SetText(std::string(kTextSetupInProgress));
    EchoReceived();
    Report(DownloadPhase::Script);
    RunSteps(opening); // goes out whatever the variant
    run_.wait = WaitState::Answered;
}

void SetupDownload::RestartWait() {
    run_.menuEcho = run_.lastEcho; // the script echoes right after "9", then waits here
    comm_->PurgeIn();
    run_.wait = WaitState::Waiting;
    const auto start = ctx_.pacer.Now();
    while (KeepWaiting()) {
        if (LimitPassed(start)) {
            run_.wait = WaitState::TimedOut;
        }
        if (comm_->InQueCount() != 0) {
            SendString("G7");
            SendChar(kLF);
            Delay(kRestartAnswerPauseMs);
            run_.wait = WaitState::Answered;
        } else {
            SendChar(kPollRestart);
            Delay(kPollIntervalMs);
            ctx_.pacer.ProcessMessages();
        }
    }
    // A Cancel in the pass that also passed the limit still counts as the user's.
    run_.restart = run_.wait == WaitState::Answered ? RestartEnd::Answered
                   : ctx_.cancelSetup.load()        ? RestartEnd::Cancelled
                                                    : RestartEnd::TimedOut;
}

void SetupDownload::RunSteps(const std::vector<ScriptStep>& steps) {
    for (const ScriptStep& step : steps) {
        // Reported before the step, with where it ends: the figures move on during it.
        if (const auto planned = StepDurationMs(step); planned > 0) {
            run_.progress.plannedStepEndMs = run_.progress.plannedDoneMs + planned;
            Report(step.kind == StepKind::RestartWait ? DownloadPhase::RestartWait
                                                      : DownloadPhase::Script);
        }
        switch (step.kind) {
        case StepKind::SendByte:
            run_.settingsSent = true;
            SendChar(step.byte);
            break;
        case StepKind::TypeText:
            run_.settingsSent = true;
            SendString(step.text);
            break;
        case StepKind::Wait:
            Delay(step.ms);
            break;
        case StepKind::Echo:
            EchoReceived();
            break;
        case StepKind::RestartWait:
            RestartWait();
            if (run_.restart == RestartEnd::Cancelled) {
                // The converter is restarting or gone: the rest would reach nobody.
                return;
            }
            break;
        }
        run_.progress.plannedDoneMs += StepDurationMs(step);
        NoteCancel();
    }
}

DownloadOutcome SetupDownload::RunScript() {
    RunSteps(run_.script);
    return Verdict();
}

DownloadOutcome SetupDownload::Verdict() {
    if (run_.restart == RestartEnd::Cancelled) {
        // The menu answers went out, the records did not: nothing is sure.
        EndWith(DownloadOutcome::Cancelled, kTextCancelled, kCauseCancelledTyped);
        ctx_.progress.BringToFront();
        return DownloadOutcome::Cancelled;
    }
    // The second-to-last line holds the converter's last words before the restart. It counts
    // only when the echo after "9" brought it: the main menu names "Exit without" too, and
    // its line would stand there when the converter went silent after showing the menu.
    const int count = ctx_.monitor.Count();
    const std::string line = count >= 2 ? ctx_.monitor.Line(count - 2) : std::string();
    const bool confirmed =
        line.find(kVerdictKey) != std::string::npos && count - 2 >= run_.menuEcho.firstLine;
    const bool answeredRestart = run_.restart == RestartEnd::Answered;
    if (run_.menuEcho.bytes == 0 && !answeredRestart) {
        return FailWith(kCauseStoppedAnswering);
    }
    if (!confirmed) {
        bool confirmedEarlier = false;
        for (int i = std::max(run_.menuEcho.firstLine, 0); i < count - 2; ++i) {
            confirmedEarlier =
                confirmedEarlier || ctx_.monitor.Line(i).find(kVerdictKey) != std::string::npos;
        }
        return FailWith(
            std::string(confirmedEarlier ? kCauseConfirmationNotLast : kCauseNotConfirmed) +
            ConverterSaid());
    }
    if (!answeredRestart) {
        return FailWith(std::string(kCauseNoRestartAnswer) + ConverterSaid());
    }
    run_.written = WrittenSummary(*values_, run_.variant);
    Finish(kTextComplete);
    ctx_.progress.BringToFront();
    return DownloadOutcome::Complete;
}

std::string SetupDownload::ConverterSaid() const {
    // Its answer to "9": the line that says what became of the settings, or else its last
    // line; the echo of "9" itself says nothing.
    const int count = ctx_.monitor.Count();
    std::string said;
    for (int i = std::max(run_.menuEcho.firstLine, 0); i < count; ++i) {
        const std::string line = ctx_.monitor.Line(i);
        const auto first = line.find_first_not_of(' ');
        if (first == std::string::npos || line.substr(first) == "9") {
            continue;
        }
        if (line.find("saved") != std::string::npos || line.find("SAVED") != std::string::npos ||
            line.find(kVerdictKey) != std::string::npos) {
            said = line;
            break;
        }
        said = line;
    }
    if (said.empty()) {
        return {};
    }
    constexpr std::size_t kLongest = 80;
    if (said.size() > kLongest) {
        said = said.substr(0, kLongest) + "...";
    }
    return "; the converter said \"" + EscapeLogText(said) + "\"";
}

std::vector<std::string> SetupDownload::PortsPolled() const {
    return run_.searched.empty() ? std::vector<std::string>{run_.progress.port} : run_.searched;
}

DownloadOutcome SetupDownload::Dispatch() {
    ctx_.progress.BringToFront();
    if (run_.cancelledBeforeOpening) {
        return EndWith(DownloadOutcome::Cancelled, kTextCancelled, kCauseCancelledBeforeSettings);
    }
    if (run_.wait != WaitState::Answered) {
        if (run_.port == PortState::OpenFailed) {
            return EndWith(DownloadOutcome::PortError, kTextPortFailed, std::string(run_.cause));
        }
        if (run_.wait == WaitState::TimedOut) {
            // An answer too short for a banner, or none; another program on the port may
            // have read it first.
            const int waiting = std::max(comm_->InQueCount(), 0);
            const auto others = comm_->OtherUsers();
            return EndWith(DownloadOutcome::NoAnswer, kTextNoAnswer,
                           waiting > 0 ? ShortAnswerCause(waiting, others)
                                       : NoAnswerCause(PortsPolled(), others));
        }
        return EndWith(DownloadOutcome::Cancelled, kTextCancelled, kCauseCancelledWaiting);
    }
    if (run_.variant == FirmwareVariant::Unknown) {
        const auto banner = std::span<const std::uint8_t>(
            banner_.data(), static_cast<std::size_t>(run_.bannerBytes));
        return EndWith(DownloadOutcome::FirmwareUnknown, kTextFirmwareUnknown,
                       FirmwareCause(banner, comm_->OtherUsers()));
    }
    return RunScript();
}

DownloadOutcome SetupDownload::Run(const SetupValues& values) {
    run_ = {};
    ctx_.cancelSetup.store(false);
    values_ = &values;
    search_.reset();
    found_.reset();
    comm_ = &ctx_.comm;

    // The previous verdict does not stay beside "Cancel".
    ctx_.progress.SetText({});
    ctx_.progress.SetDetail({});
    ctx_.progress.BringToFront();
    ctx_.progress.ShowCancel(true);
    ctx_.progress.ShowOk(false);

    DownloadOutcome outcome;
    try {
        PreparePort(values.portName);
        WakeUpWait();
        outcome = Dispatch();
    } catch (const LineHeld&) {
        CloseQuietly();
        outcome = FailWith(kCauseLineHeld);
        Report(DownloadPhase::Finished);
        return outcome;
    } catch (...) {
        // A failure with the port open (a write or read error, a vanished device): do not
        // leave the dialog on Cancel with the port open; the error itself goes on to the
        // caller's general error report, its cause in plain words to the log.
        CloseQuietly();
        search_.reset();
        std::string cause;
        try {
            throw;
        } catch (const ECommError& error) {
            cause = TransferErrorCause(error.ErrorCode);
        } catch (...) {
        }
        if (cause.empty()) {
            Finish(kTextErrorOnSetup);
            ctx_.progress.BringToFront();
        } else {
            FailWith(cause);
        }
        Report(DownloadPhase::Finished);
        throw;
    }
    comm_->Close();
    Report(DownloadPhase::Finished);
    return outcome;
}

DownloadOutcome RunDownload(DownloadContext& context, const SetupValues& values) {
    SetupDownload download(context);
    return download.Run(values);
}

} // namespace comsetup
