// Concurrent downloads and their results table.
#include "cli/batch.h"

#include "cli/exit_codes.h"
#include "cli/progress_line.h"
#include "cli/text_table.h"

#include "download/banner.h"
#include "serial/port_names.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

namespace comsetup::cli {

std::vector<DownloadResult> RunBatch(const std::vector<SetupProfile>& setups,
                                     const BatchOptions& options) {
    std::vector<DownloadResult> results(setups.size());
    std::vector<std::unique_ptr<std::atomic<bool>>> cancels;
    std::mutex outputLock;
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < setups.size(); ++i) {
        cancels.push_back(std::make_unique<std::atomic<bool>>(false));
    }
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < setups.size(); ++i) {
        threads.emplace_back([&, i, start] {
            std::this_thread::sleep_until(start + options.stagger * static_cast<long>(i));
            JobOptions job;
            job.progressOut = options.progressOut;
            if (options.board != nullptr) {
                job.reporter.onText = [&options, i](const std::string& text) {
                    options.board->Progress(i, text);
                };
            }
            job.reporter.prefix = "[" + setups[i].port + "] ";
            job.reporter.sharedOutput = &outputLock;
            job.journalPath = options.journalPath;
            job.frontEnd = "comsetup-cli batch";
            job.reporter.streamName = options.progressName;
            job.reporter.resultOutputLost = options.resultOutputLost;
            job.lan = options.lan;
            if (!options.logDir.empty()) {
                // Numbered: two port names may share a file name once sanitised.
                char number[16];
                std::snprintf(number, sizeof number, "%02zu-", i + 1);
                job.logPath = options.logDir + "/" + number + LogFileName(setups[i].port);
            }
            if (options.traceFor) {
                job.trace = options.traceFor(i);
            }
            if (options.lineFor) {
                job.line = options.lineFor(i);
            }
            results[i] = RunDownloadJob(setups[i], job, *cancels[i]);
            if (options.board != nullptr) {
                options.board->Finish(i, results[i]);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    return results;
}

ResultBoard::ResultBoard(const std::vector<SetupProfile>& setups)
    : results_(setups.size()), finished_(setups.size(), false), progress_(setups.size()) {
    for (std::size_t i = 0; i < setups.size(); ++i) {
        results_[i].port = setups[i].port;
        results_[i].device = ResolvePortName(setups[i].port);
        results_[i].firmware = FirmwareName(FirmwareVariant::Unknown);
    }
}

void ResultBoard::Finish(std::size_t i, const DownloadResult& result) {
    std::lock_guard lock(lock_);
    results_[i] = result;
    finished_[i] = true;
}

void ResultBoard::Progress(std::size_t i, const std::string& text) {
    std::lock_guard lock(lock_);
    progress_[i] = text;
}

std::vector<DownloadResult> ResultBoard::Snapshot(const std::string& signal) const {
    std::lock_guard lock(lock_);
    std::vector<DownloadResult> results = results_;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (!finished_[i]) {
            results[i].exitCode = kExitTerminated;
            results[i].verdict = EndedAtOnceVerdict(kExitTerminated);
            results[i].error = EndedAtOnceCause(signal, progress_[i]);
            results[i].seconds = seconds;
        }
    }
    return results;
}

std::string LogFileName(const std::string& port) {
    std::string name;
    for (char c : port) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
        name += plain ? c : '_';
    }
    name.erase(0, name.find_first_not_of('_'));
    return (name.empty() ? "port" : name) + ".log";
}

std::string ResultsTable(const std::vector<DownloadResult>& results) {
    std::vector<std::vector<std::string>> rows{
        {"port", "device", "result", "exit", "time", "firmware", "verdict"}};
    const bool lanChecked =
        std::any_of(results.begin(), results.end(), [](const auto& r) { return r.lan.checked; });
    if (lanChecked) {
        rows[0].insert(rows[0].begin() + 6, "LAN");
    }
    for (const auto& r : results) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f s", r.seconds);
        std::string verdict = OneLine(r.verdict);
        // The message's cause (its second line) is the error's: said once.
        const std::string message = r.message.substr(0, r.message.find('\n'));
        for (const std::string& more : {message, r.error, r.logError, r.outputError, r.written}) {
            if (!more.empty()) {
                verdict += (verdict.empty() ? "" : " - ") + OneLine(more);
            }
        }
        rows.push_back({r.port, r.device, ExitCodeName(r.exitCode), std::to_string(r.exitCode),
                        seconds, r.firmware, verdict});
        if (lanChecked) {
            rows.back().insert(rows.back().begin() + 6, LanCell(r.lan));
        }
    }
    std::string table = AlignedColumns(rows);
    std::size_t complete = 0;
    for (const auto& r : results) {
        complete += r.exitCode == kExitComplete ? 1 : 0;
    }
    table += std::to_string(complete) + " of " + std::to_string(results.size()) +
             " downloads complete\n";
    return table;
}

int BatchExitCode(const std::vector<DownloadResult>& results) {
    for (const auto& r : results) {
        if (r.exitCode != kExitComplete) {
            return r.exitCode;
        }
    }
    return kExitComplete;
}

} // namespace comsetup::cli
