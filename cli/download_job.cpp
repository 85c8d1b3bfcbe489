// One download of comsetup-cli, from the port to the exit code.
#include "cli/download_job.h"

#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/journal_record.h"

#include "core/printable_text.h"
#include "download/driver.h"
#include "download/output_file.h"
#include "download/pacer.h"
#include "download/port_search.h"
#include "download/progress_estimate.h"
#include "lan/interfaces.h"
#include "serial/comm.h"
#include "serial/owner_pump.h"
#include "serial/port_names.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

namespace comsetup::cli {

namespace {

int ExitCodeOf(DownloadOutcome outcome) {
    return static_cast<int>(outcome); // its value is its exit status
}

} // namespace

FileMonitorLog::FileMonitorLog(const std::string& path) : path_(path) {
    if (path.empty()) {
        return;
    }
    const AppendFile opened = OpenForAppending(path, true);
    if (opened.file == nullptr) {
        throw ValueError("--log: " + PrintableDeviceName(path) + ": " + opened.error +
                         "; nothing was sent");
    }
    file_ = opened.file;
}

FileMonitorLog::~FileMonitorLog() {
    Finish();
}

void FileMonitorLog::Fail() {
    // The download goes on; the loss is reported at its end.
    error_ = "--log: " + PrintableDeviceName(path_) + ": could not be written completely (" +
             (errno != 0 ? std::strerror(errno) : "write error") + ")";
}

void FileMonitorLog::Add(const std::string& line) {
    lines_.Add(line);
    saved_.Own(line);
}

void FileMonitorLog::AddEchoed(const std::string& line) {
    lines_.Add(line);
    saved_.Echoed(line);
}

void FileMonitorLog::AddUnended(const std::string& part) {
    saved_.Unended(part);
}

void FileMonitorLog::OnSavedLine(std::function<void(const std::string&)> onSavedLine) {
    onSavedLine_ = std::move(onSavedLine);
}

void FileMonitorLog::Save(const std::string& line) {
    ++savedCount_;
    if (onSavedLine_) {
        onSavedLine_(line);
    }
    if (file_ != nullptr && error_.empty()) {
        errno = 0;
        // The converter's bytes as visible escapes: a terminal showing the file later must
        // not act on them.
        const std::string text = EscapeLogText(line) + "\n";
        if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() ||
            std::fflush(file_) != 0) {
            Fail();
        }
    }
}

std::string FileMonitorLog::Finish() {
    saved_.Flush();
    if (file_ != nullptr) {
        errno = 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!closed && error_.empty()) {
            Fail();
        }
    }
    return error_;
}

namespace {

// The download itself, on the job's line or on a port and pacer of its own: its outcome,
// cause and what was written go into result. Throws what is no serial error.
void RunOnLine(const SetupValues& values, const SetupProfile& setup, const JobOptions& options,
               std::atomic<bool>& cancel, ConsoleReporter& reporter, FileMonitorLog& log,
               DownloadResult& result) {
    QueuedOwnerPump pump;
    std::optional<TComm> ownPort;
    std::optional<RealPacer> ownPacer;
    TCustomComm* comm = options.line.port;
    if (comm == nullptr) {
        comm = &ownPort.emplace(&pump);
        comm->SetFlowControl(fcNone); // as the main window's port component is set up
    }
    Pacer* pacer = options.line.pacer;
    if (pacer == nullptr) {
        pacer = &ownPacer.emplace(&pump);
    }
    DownloadContext context{*comm,  reporter, log,       reporter,
                            *pacer, cancel,   &reporter, options.trace};
    context.searchPorts = options.line.searchPorts;
    if (options.line.makePort) {
        context.makePort = options.line.makePort;
    }
    SetupDownload download(context);
    try {
        const DownloadOutcome outcome = download.Run(values);
        result.exitCode = ExitCodeOf(outcome);
        result.error = download.Cause(); // for a port error, the wizard's words too
    } catch (const ECommError& error) {
        // A serial error: the driver has closed the port and shown "ERROR ON SETUP"; the
        // error's own text and its cause in plain words tell why. Before the first setting
        // went out (the device vanished during the wake-up wait) the converter holds
        // nothing new: a port error, not a setup that failed.
        result.exitCode = download.SettingsSent() ? kExitErrorOnSetup : kExitPortError;
        result.error = error.what();
        if (!download.Cause().empty()) {
            result.error += "- " + download.Cause();
        }
    }
    result.cause = download.Cause();
    result.written = download.Written();
    result.firmware = FirmwareName(download.Variant());
    if (IsAutoPort(setup.port) && !download.PortName().empty()) {
        result.found = download.PortName();
        result.device = ResolvePortName(result.found);
    }
}

// Before the port opens: is the converter's address on this PC's networks, and does
// something answer there already? Returns false when the download must not go on (strict).
bool CheckLanBefore(const SetupProfile& setup, const JobOptions& options, ConsoleReporter& reporter,
                    DownloadResult& result) {
    LanReport& lan = result.lan;
    lan.checked = true;
    const lan::Ipv4 address = config::LanAddressOf(setup.ip);
    RealPacer pacer(nullptr, RealPacerOptions{.realTimePriority = false});
    lan.before = config::CheckBeforeWrite(address, static_cast<std::uint16_t>(setup.localPort),
                                          options.lan, pacer);
    if (!lan.before.OnLink()) {
        lan.warning = config::OffLinkText(address, lan.before.interfaces);
    } else if (lan.before.Answered()) {
        lan.warning = config::AlreadyAnswersText(address, lan.before);
    }
    if (lan.warning.empty()) {
        return true;
    }
    if (options.lan.strict) {
        result.exitCode = kExitBadArguments;
        result.error = "--lan-check=strict: " + lan.warning + "; nothing was sent";
        return false;
    }
    reporter.Note("warning: " + lan.warning);
    return true;
}

// After "Setup Complete": waits for the converter at its new address and says what it found.
void CheckLanAfter(const SetupProfile& setup, const JobOptions& options, std::atomic<bool>& cancel,
                   ConsoleReporter& reporter, DownloadResult& result) {
    LanReport& lan = result.lan;
    if (!lan.before.OnLink()) {
        return; // nothing can be looked for where this PC cannot reach
    }
    if (!result.written.empty()) {
        reporter.Note("  " + result.written); // the result goes under the written line
        result.writtenShown = true;
    }
    const lan::Ipv4 address = config::LanAddressOf(setup.ip);
    const auto port = static_cast<std::uint16_t>(setup.localPort);
    RealPacer pacer(nullptr, RealPacerOptions{.realTimePriority = false});
    reporter.Note(config::LookingText(address, *lan.before.via, 0));
    cancel.store(false); // a Ctrl+C from now on ends the wait only
    int shown = 0;
    lan.after =
        config::WaitForConverter(address, port, options.lan, pacer, cancel, [&](int elapsedMs) {
            if (elapsedMs / 1000 != shown) {
                shown = elapsedMs / 1000;
                reporter.NoteInPlace(config::LookingText(address, *lan.before.via, elapsedMs));
            }
        });
    lan.text = config::AfterText(address, port, lan.after, options.lan);
    reporter.Note(lan.text);
    if (!lan.after.Found()) {
        lan.facts = config::InterfaceFacts(lan::ListInterfaces());
        reporter.Note("  " + lan.facts);
        if (options.lan.strict && result.exitCode == kExitComplete) {
            result.exitCode = kExitNotOnLan;
        }
    }
}

// What the reporter, the log and the journal say once the download has ended.
void RecordTheEnd(DownloadResult& result, ConsoleReporter& reporter, FileMonitorLog& log,
                  JournalRecord& journal) {
    result.verdict = reporter.Text();
    result.message = reporter.LastMessage();
    result.outputError = reporter.OutputError();
    result.logError = log.Finish();
    result.logLines = log.SavedCount();
    if (!result.logError.empty() && result.exitCode == kExitComplete) {
        result.exitCode = kExitLogIncomplete; // the setup is in; the record of it is not
    }
    journal.End(result);
    result.journalError = journal.Error();
    result.journalId = journal.Id();
}

} // namespace

DownloadResult RunDownloadJob(const SetupProfile& setup, const JobOptions& options,
                              std::atomic<bool>& cancel) {
    DownloadResult result;
    result.port = setup.port;
    result.device = ResolvePortName(setup.port);
    result.firmware = FirmwareName(FirmwareVariant::Unknown);
    const auto started = std::chrono::steady_clock::now();

    std::unique_ptr<FileMonitorLog> log;
    try {
        log = std::make_unique<FileMonitorLog>(options.logPath);
    } catch (const ValueError& error) {
        result.exitCode = kExitBadArguments;
        result.error = error.what();
        return result;
    }

    const SetupValues values = ToSetupValues(setup);
    if (values.tunnel) {
        result.remotePort = values.remotePort;
    }
    CancelRegistration registration(cancel);
    ReporterOptions reporterOptions = options.reporter;
    reporterOptions.cancel = &cancel;
    // What the download brings goes into its row as it comes, for an end at once. Told on
    // this thread only; the row exists from just before the port is opened.
    JournalRecord* row = nullptr;
    reporterOptions.onText = [&row, told = options.reporter.onText](const std::string& text) {
        if (told) {
            told(text);
        }
        if (row != nullptr) {
            row->NoteStage(text);
        }
    };
    reporterOptions.onProgress = [&row](const DownloadProgress& progress) {
        if (row != nullptr && !progress.firmware.empty()) {
            row->NoteFirmware(progress.firmware);
        }
    };
    ConsoleReporter reporter(*options.progressOut, reporterOptions);
    if (options.lan.on && !CheckLanBefore(setup, options, reporter, result)) {
        reporter.Finish();
        return result; // refused before the port was opened: nothing sent, nothing recorded
    }
    JournalRecord journal(options.journalPath, options.frontEnd, setup, result.device,
                          {options.plan, options.planRow});
    row = &journal;
    journal.NoteStage(reporter.Text());
    log->OnSavedLine([&journal](const std::string& line) { journal.NoteLine(line); });
    // The log outlives the row: whatever ends this scope, it tells the row nothing after.
    const std::unique_ptr<FileMonitorLog, void (*)(FileMonitorLog*)> unhook(
        log.get(), [](FileMonitorLog* l) { l->OnSavedLine(nullptr); });
    try {
        RunOnLine(values, setup, options, cancel, reporter, *log, result);
    } catch (const std::exception& error) {
        result.exitCode = kExitInternalError;
        result.error = error.what();
    }
    reporter.Finish();
    if (options.lan.on && result.exitCode == kExitComplete) {
        CheckLanAfter(setup, options, cancel, reporter, result);
    }
    RecordTheEnd(result, reporter, *log, journal);
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

const char* EndedAtOnceVerdict(int exitCode) {
    return exitCode == kExitInterrupted ? "Interrupted" : "Terminated";
}

std::string EndedAtOnceCause(const std::string& by, std::string stage) {
    while (!stage.empty() && (stage.back() == ' ' || stage.back() == '\n')) {
        stage.pop_back();
    }
    std::replace(stage.begin(), stage.end(), '\n', ' ');
    return "ended at once by " + by + (stage.empty() ? "" : " during \"" + stage + "\"") +
           "; the port was closed";
}

std::string LanCell(const LanReport& lan) {
    if (!lan.checked) {
        return "-";
    }
    if (!lan.before.OnLink()) {
        return "off-link";
    }
    const auto mac = [](const lan::ProbeResult& p) {
        return p.mac ? " " + lan::FormatMac(*p.mac) : std::string();
    };
    if (lan.after.tried) {
        if (lan.after.Found()) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, " %.1f s", lan.after.waitedMs / 1000.0);
            return "found" + mac(lan.after.probe) + seconds;
        }
        return lan.after.cancelled ? "cancelled" : "not found";
    }
    if (lan.before.Answered()) {
        return "taken" + mac(lan.before.probe);
    }
    return "not looked for";
}

nlohmann::json LanToJson(const LanReport& lan) {
    if (!lan.checked) {
        return nullptr;
    }
    const auto mac = [](const std::optional<lan::Mac>& m) {
        return m ? nlohmann::json(lan::FormatMac(*m)) : nlohmann::json(nullptr);
    };
    nlohmann::json object;
    object["on_link"] = lan.before.OnLink();
    object["interface"] =
        lan.before.via ? nlohmann::json(lan.before.via->name) : nlohmann::json(nullptr);
    if (lan.after.tried) {
        object["answered"] = lan.after.Found();
        object["mac"] = mac(lan.after.probe.mac);
        object["tcp"] = config::TcpStateName(lan.after.probe.tcp);
        object["waited_ms"] = lan.after.waitedMs;
        object["cancelled"] = lan.after.cancelled;
    } else {
        object["answered"] = nullptr;
        object["mac"] = nullptr;
        object["tcp"] = nullptr;
        object["waited_ms"] = nullptr;
        object["cancelled"] = false;
    }
    object["before"] = {{"answered", lan.before.OnLink() && lan.before.Answered()},
                        {"mac", mac(lan.before.probe.mac)}};
    object["warning"] = lan.warning.empty() ? nlohmann::json(nullptr) : nlohmann::json(lan.warning);
    object["text"] = lan.text.empty() ? nlohmann::json(nullptr) : nlohmann::json(lan.text);
    return object;
}

nlohmann::json ResultToJson(const DownloadResult& result) {
    nlohmann::json object;
    object["port"] = result.port;
    object["device"] = result.device;
    object["found_port"] =
        result.found.empty() ? nlohmann::json(nullptr) : nlohmann::json(result.found);
    object["outcome"] = ExitCodeName(result.exitCode);
    object["exit_code"] = result.exitCode;
    object["verdict"] = result.verdict;
    object["firmware"] = result.firmware;
    object["seconds"] = static_cast<double>(static_cast<long long>(result.seconds * 1000)) / 1000;
    object["log_lines"] = result.logLines;
    object["error"] = result.error.empty() ? nlohmann::json(nullptr) : nlohmann::json(result.error);
    object["log_error"] =
        result.logError.empty() ? nlohmann::json(nullptr) : nlohmann::json(result.logError);
    object["output_error"] =
        result.outputError.empty() ? nlohmann::json(nullptr) : nlohmann::json(result.outputError);
    object["message"] =
        result.message.empty() ? nlohmann::json(nullptr) : nlohmann::json(result.message);
    object["cause"] = result.cause.empty() ? nlohmann::json(nullptr) : nlohmann::json(result.cause);
    object["written"] =
        result.written.empty() ? nlohmann::json(nullptr) : nlohmann::json(result.written);
    object["remote_port"] =
        result.remotePort ? nlohmann::json(*result.remotePort) : nlohmann::json(nullptr);
    object["journal_id"] =
        result.journalId == 0 ? nlohmann::json(nullptr) : nlohmann::json(result.journalId);
    object["journal_error"] =
        result.journalError.empty() ? nlohmann::json(nullptr) : nlohmann::json(result.journalError);
    object["lan"] = LanToJson(result.lan);
    return object;
}

} // namespace comsetup::cli
