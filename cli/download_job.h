// One download as comsetup-cli runs it: its own serial port component, owner-thread pump,
// pacer, console reporter and monitor log, on the calling thread. Several jobs may run at
// once on different threads (batch); nothing here is shared between them but the output
// stream, which the reporters share under one lock.
#pragma once

#include "cli/console_reporter.h"
#include "cli/profile.h"

#include "config/lan_check.h"
#include "download/pacer.h"
#include "download/port_search.h"
#include "download/saved_log.h"
#include "download/trace.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace comsetup::cli {

// The LAN check of one download (--lan-check).
struct LanReport {
    bool checked = false;     // the check was on
    config::LanBefore before; // before the port was opened
    config::LanAfter after;   // after "Setup Complete" (tried only when on-link)
    std::string warning;      // off-link or already answering, as said before the write
    std::string text;         // "answers at ..." / "no answer from ..." after the verdict
    std::string facts;        // the PC's interfaces, when the converter was not found
};

struct DownloadResult {
    std::string port;     // as given
    std::string device;   // the device it resolved to (for "auto": the one found)
    std::string found;    // for "auto": the port the converter answered on, or ""
    int exitCode = 0;     // see exit_codes.h
    std::string verdict;  // the progress text at the end ("Setup Complete", ...)
    std::string error;    // the message of a serial error during the script, or of a failure
    std::string message;  // the message the download showed ("Error opening serial port :...")
    std::string cause;    // why the download did not complete, in plain words, or ""
    std::string written;  // what a complete download wrote ("192.168.1.200/24, 9600 8N1, ...")
    std::string firmware; // "01.8", "V6.5.0.7" or "unknown"
    std::optional<int> remotePort; // the peer's port sent in a tunnel mode
    double seconds = 0.0;          // from start to verdict
    int logLines = 0;              // lines of the monitor log as kept (the log file, the journal)
    std::string logError;          // why the log file lacks lines, or empty
    std::string journalError;      // why the journal lacks this download, or empty
    long long journalId = 0;       // its row in the journal, or 0
    // Why the progress could not be shown ("standard output could not be written (Broken
    // pipe)"; the download was cancelled if it still ran), or empty.
    std::string outputError;
    LanReport lan;
    bool writtenShown = false; // the written line was printed already (above the LAN result)
};

// A monitor log that is also kept: each line of the kept log (every byte the converter sent,
// download/saved_log.h) is appended to a file as it comes, so that the file holds every line
// even when the process is ended at once, and handed to onSavedLine (the journal's row).
// The monitor's own lines, which the verdict reads, stay as the download made them.
class FileMonitorLog final : public MonitorLog {
public:
    // Throws ValueError when the file cannot be opened for writing. An empty path keeps the
    // lines in memory only.
    explicit FileMonitorLog(const std::string& path);
    ~FileMonitorLog() override;
    FileMonitorLog(const FileMonitorLog&) = delete;
    FileMonitorLog& operator=(const FileMonitorLog&) = delete;
    void Add(const std::string& line) override;
    void AddEchoed(const std::string& line) override;
    void AddUnended(const std::string& part) override;
    int Count() const override { return lines_.Count(); }
    std::string Line(int index) const override { return lines_.Line(index); }

    // Lines of the kept log so far (what the file holds when it could be written).
    int SavedCount() const { return savedCount_; }

    // Told every line of the kept log from now on.
    void OnSavedLine(std::function<void(const std::string&)> onSavedLine);

    // Ends the kept log and closes the file; then, or as soon as a line could not be written,
    // the reason ("--log: FILE: could not be written completely (No space left on device)"),
    // else empty.
    std::string Finish();

private:
    void Save(const std::string& line);
    void Fail();

    StringListLog lines_;
    SavedLog saved_{[this](const std::string& line) { Save(line); }};
    std::function<void(const std::string&)> onSavedLine_;
    int savedCount_ = 0;

    std::string path_;
    std::FILE* file_ = nullptr;
    std::string error_;
};

// What a job downloads through when it is not its own port component on the real device and
// a real-time pacer: tests run whole jobs in virtual time on in-memory lines. Unset members
// keep the job's own.
struct JobLine {
    TCustomComm* port = nullptr;
    Pacer* pacer = nullptr;
    std::vector<std::string> searchPorts; // for "auto"
    PortFactory makePort;                 // for "auto"
};

struct JobOptions {
    std::ostream* progressOut = nullptr;   // where progress goes (never nullptr when run)
    ReporterOptions reporter;              // live line or plain lines, prefix, shared lock
    std::string logPath;                   // the monitor log file, or empty
    std::string journalPath;               // the journal to record in, or empty
    std::string frontEnd = "comsetup-cli"; // as the journal names who ran the download
    std::string plan;                      // the plan's id when the download is a plan's row
    int planRow = 0;                       // and that row's number
    DownloadTrace* trace = nullptr;        // every byte and pause with its time, when set
    config::LanCheckOptions lan;           // --lan-check, --lan-wait
    JobLine line;
};

// Runs the download to its end and never throws: every failure becomes the result's exit
// code and message. cancel is this download's "Cancel"; a Ctrl+C sets it, and so does a
// progress output that cannot be written.
DownloadResult RunDownloadJob(const SetupProfile& setup, const JobOptions& options,
                              std::atomic<bool>& cancel);

// A download ended at once (SIGTERM or SIGHUP: kExitTerminated; a second Ctrl+C:
// kExitInterrupted) by by ("SIGTERM", "a second Ctrl+C") while it showed stage: its verdict
// ("Terminated", "Interrupted") and its cause ("ended at once by SIGTERM during \"Setup in
// progress...\"; the port was closed").
const char* EndedAtOnceVerdict(int exitCode);
std::string EndedAtOnceCause(const std::string& by, std::string stage);

// The LAN check in a table cell: "-" (off), "off-link", "taken 02:00:5e:10:00:01" (and
// refused), "found 02:00:5e:10:00:01 4.2 s", "not found", "cancelled", "not looked for".
std::string LanCell(const LanReport& lan);

// The JSON of a LAN check: null when it was off.
nlohmann::json LanToJson(const LanReport& lan);
nlohmann::json ResultToJson(const DownloadResult& result);

} // namespace comsetup::cli
