// The batch command: several downloads at once in one process, each on its own thread with
// its own port component, owner-thread pump and pacer, so that a rack of converters takes the
// time of one. Progress lines carry the port name; a results table follows at the end.
#pragma once

#include "cli/download_job.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace comsetup::cli {

// The results of a command's downloads as they come in, for the report printed when SIGTERM
// or SIGHUP ends the process while some still run. Thread-safe.
class ResultBoard {
public:
    explicit ResultBoard(const std::vector<SetupProfile>& setups);
    void Finish(std::size_t i, const DownloadResult& result);
    // What download i shows now ("Setup in progress...").
    void Progress(std::size_t i, const std::string& text);
    // Every result: those still running end as terminated by signal, with the time so far
    // and the stage they were at.
    std::vector<DownloadResult> Snapshot(const std::string& signal) const;

private:
    mutable std::mutex lock_;
    std::vector<DownloadResult> results_;
    std::vector<bool> finished_;
    std::vector<std::string> progress_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

struct BatchOptions {
    std::ostream* progressOut = nullptr;
    std::string progressName = "standard output"; // what progressOut is, for the results
    std::string logDir;      // one monitor log per download, "01-COM3.log"...; empty: none
    std::string journalPath; // the journal every download is recorded in, or empty
    // Download i starts i * stagger after the first. Downloads of one batch run the same
    // script, so without it their pauses would end at the same instants and every thread
    // would wake at once, queueing for the cores; a small offset keeps the wake-ups apart
    // all through the script (each pause counts from its own download's last step).
    std::chrono::microseconds stagger{1000};
    // The trace of download i (used on that download's thread only), or nullptr.
    std::function<DownloadTrace*(std::size_t i)> traceFor;
    // The line download i runs through (used on that download's thread only); unset: each
    // download's own port component and real-time pacer.
    std::function<JobLine(std::size_t i)> lineFor;
    ResultBoard* board = nullptr;                  // told of each result as it comes, when set
    config::LanCheckOptions lan;                   // the LAN check of every download
    std::function<std::string()> resultOutputLost; // see ReporterOptions
};

// Runs every download to its end; results in the order of setups.
std::vector<DownloadResult> RunBatch(const std::vector<SetupProfile>& setups,
                                     const BatchOptions& options);

// The log file name of a port: "COM3" -> "COM3.log", "/dev/ttyUSB0" -> "dev_ttyUSB0.log".
std::string LogFileName(const std::string& port);

// One row per download: port, device, result, exit code, time, firmware, verdict or error.
std::string ResultsTable(const std::vector<DownloadResult>& results);

// 0 when every download completed, else the exit code of the first one (in the file's order)
// that did not.
int BatchExitCode(const std::vector<DownloadResult>& results);

} // namespace comsetup::cli
