// Pause precision and CPU cost of a whole download, measured at the far end of the line.
//
// Runs full downloads against comsetup-sim on a pseudo-terminal, exactly as the command-line
// tool does (owner pump, event thread, real pacer). The stand-in timestamps every byte it
// receives (monotonic clock); the download's trace gives, for every pair of consecutive bytes,
// the pauses stated between them. Reported per stated pause length: count, median / p99 / max
// excess of the gap seen by the stand-in over the stated pause, and the number of short
// gaps; then the process CPU time over the download and the total time against the sum of
// the stated pauses.
//
//   download_pacing_bench [--firmware 01.8|V6.5.0.7|both] [--runs N] [--load N]
//                         [--spin-us N] [--guard-us N] [--pump on|off] [--worst N] [--sim PATH]
//                         [--sim-watch spin|sleep] [--rt on|off] [--sim-rt on|off]
//                         [--reference on|off]
//
// With --reference on, every download is followed by a replay of its bytes and pauses to a
// fresh stand-in by a plain loop (write, then the download core's pacer without the owner
// pump: the same sleeps, guard and priority): what the pseudo-terminal and the stand-in make
// of exact pauses under the same load, without the program.
//
// The stand-in watches the line spinning by default (--sim-watch spin): a reader that sleeps
// is woken tens to hundreds of microseconds after a byte arrives, and that noise, not the
// pacer, would then decide which gaps look short.
#include "tests/support/sim_process.h"

#include "download/driver.h"
#include "download/pacer.h"
#include "download/setup_rules.h"
#include "serial/comm.h"
#include "serial/owner_pump.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace comsetup;

namespace {

std::int64_t CpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Sends and pauses in the order the driver made them.
class RecordingTrace final : public DownloadTrace {
public:
    struct Event {
        bool send;
        std::uint8_t byte;
        int ms;
        std::int64_t startNs;
        std::int64_t endNs;
    };
    void OnSend(std::uint8_t byte, std::chrono::nanoseconds at) override {
        events.push_back({true, byte, 0, at.count(), at.count()});
    }
    void OnDelay(int ms, std::chrono::nanoseconds start, std::chrono::nanoseconds end) override {
        events.push_back({false, 0, ms, start.count(), end.count()});
    }
    void OnReceive(std::span<const std::uint8_t>, std::chrono::nanoseconds) override {}
    std::vector<Event> events;
};

class QuietProgress final : public ProgressView {
public:
    void SetText(const std::string& text) override { label = text; }
    void ShowCancel(bool) override {}
    void ShowOk(bool) override {}
    void BringToFront() override {}
    std::string label;
};

class QuietMessages final : public MessageSink {
public:
    void ShowError(const std::string& text) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
};

struct Samples {
    std::vector<double> excessMs; // far end
    std::vector<double> localMs;  // the pacer's own measure of each Delay
};

// What the gaps are made of: from each write to the stand-in's stamp of that byte (both on the
// monotonic clock), ms.
using LineDelays = std::vector<double>;

// The far-end figures of the downloads, and of their replays by a plain loop.
struct FarEnd {
    std::map<int, Samples> byPause;
    LineDelays lineDelays;
};

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return 0.0;
    }
    std::sort(v.begin(), v.end());
    const double rank = p * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(rank);
    const auto hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (rank - static_cast<double>(lo));
}

struct RunFigures {
    bool ok = false;
    double wallS = 0;
    double cpuS = 0;
    double statedS = 0;
    std::vector<RecordingTrace::Event> events; // the download's sends and pauses
};

// Spinning child processes that keep the cores busy.
std::vector<pid_t> StartLoad(int n) {
    std::vector<pid_t> pids;
    for (int i = 0; i < n; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            // Its own session, like any other program on the machine (not our own threads).
            setsid();
            std::atomic<unsigned long> counter{0};
            for (;;) {
                counter.fetch_add(1, std::memory_order_relaxed);
            }
        }
        if (pid > 0) {
            pids.push_back(pid);
        }
    }
    return pids;
}

void StopLoad(const std::vector<pid_t>& pids) {
    for (pid_t pid : pids) {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

struct BenchOptions {
    RealPacerOptions pacer;
    bool usePump = true;      // as the command-line tool runs it: event thread + owner pump
    int worst = 0;            // print the worst local overshoots
    bool simSpins = true;     // the stand-in stamps bytes by spinning, not sleeping
    bool simRealTime = false; // the stand-in runs at real-time priority (through chrt)
    bool reference = false;   // replay each download's bytes and pauses by a plain loop
};

// A stand-in for one session, started as the options say; it writes its report to `json`.
std::unique_ptr<test::SimProcess> StartSim(const std::string& simProgram,
                                           const std::string& firmware, const BenchOptions& options,
                                           const std::string& json) {
    std::vector<std::string> simArgs{"--firmware", firmware, "--off-time", "300",
                                     "--json",     json,     "--once",     "--quiet"};
    if (options.simSpins) {
        simArgs.push_back("--spin");
    }
    std::string program = simProgram;
    if (options.simRealTime) {
        // The converter's clock does not share the PC's cores: on a busy machine a stand-in
        // at normal priority stamps bytes late, and the next gap then looks short.
        simArgs.insert(simArgs.begin(), {"-f", "1", simProgram});
        program = "/usr/bin/chrt";
    }
    auto sim = std::make_unique<test::SimProcess>(simArgs, program);
    if (sim->PtyPath().empty()) {
        throw std::runtime_error(program + " printed no device path");
    }
    return sim;
}

// The bytes the stand-in reported for its session, or null with the reason printed.
nlohmann::json ReceivedBytes(test::SimProcess& sim, const std::string& json) {
    sim.Wait(std::chrono::seconds(10));
    std::ifstream in(json);
    const auto doc = nlohmann::json::parse(in, nullptr, false);
    std::remove(json.c_str());
    if (!doc.is_object() || !doc.contains("sessions") || doc["sessions"].empty()) {
        std::fprintf(stderr, "no session report from the stand-in\n");
        return nullptr;
    }
    return doc["sessions"][0]["received"];
}

// Pairs the sent bytes with the stand-in's received ones, in order, and adds the excess of
// every gap over the pauses stated between its two bytes (and the pacer's own measure of
// them), and each byte's line delay. False, with the reason printed, when the stand-in did
// not get the same bytes.
bool AddFarEndGaps(const nlohmann::json& received, const std::vector<RecordingTrace::Event>& events,
                   FarEnd& farEnd) {
    std::vector<std::uint8_t> sentBytes;
    std::vector<std::int64_t> sentNs;
    std::vector<int> statedBefore; // ms stated between the previous send and this one
    std::vector<std::vector<double>> localBefore;
    int stated = 0;
    std::vector<double> local;
    for (const auto& e : events) {
        if (e.send) {
            sentBytes.push_back(e.byte);
            sentNs.push_back(e.startNs);
            statedBefore.push_back(stated);
            localBefore.push_back(local);
            stated = 0;
            local.clear();
        } else {
            stated += e.ms;
            local.push_back(static_cast<double>(e.endNs - e.startNs) / 1e6 - e.ms);
        }
    }
    if (!received.is_array() || received.size() != sentBytes.size()) {
        std::fprintf(stderr, "sent %zu bytes, the stand-in received %zu\n", sentBytes.size(),
                     received.is_array() ? received.size() : std::size_t{0});
        return false;
    }
    for (std::size_t i = 0; i < sentBytes.size(); ++i) {
        if (received[i]["byte"].get<int>() != sentBytes[i]) {
            std::fprintf(stderr, "byte %zu differs\n", i);
            return false;
        }
        farEnd.lineDelays.push_back(
            static_cast<double>(received[i]["t_us"].get<std::int64_t>() * 1000 - sentNs[i]) / 1e6);
    }
    for (std::size_t i = 1; i < sentBytes.size(); ++i) {
        if (statedBefore[i] <= 0) {
            continue; // back-to-back bytes: no pause between them
        }
        const double gapMs = static_cast<double>(received[i]["t_us"].get<std::int64_t>() -
                                                 received[i - 1]["t_us"].get<std::int64_t>()) /
                             1000.0;
        Samples& s = farEnd.byPause[statedBefore[i]];
        s.excessMs.push_back(gapMs - statedBefore[i]);
        for (double l : localBefore[i]) {
            s.localMs.push_back(l);
        }
    }
    return true;
}

// Writes the recorded bytes with the recorded pauses by a plain loop: the stand-in's session
// sees the same line as in the download, without the program's path to the port.
bool ReplayOnce(const std::string& simProgram, const std::string& firmware,
                const BenchOptions& options, const std::vector<RecordingTrace::Event>& events,
                FarEnd& farEnd) {
    const test::TempFolder folder;
    const std::string json = folder.File("pacing-reference.json");
    const auto sim = StartSim(simProgram, firmware, options, json);
    const int fd = ::open(sim->PtyPath().c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        std::fprintf(stderr, "cannot open %s\n", sim->PtyPath().c_str());
        return false;
    }
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    // The stand-in's answers are read and dropped, so that its output never fills up.
    std::atomic<bool> done{false};
    std::thread drain([fd, &done] {
        std::uint8_t buffer[256];
        while (!done.load()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0 && ::read(fd, buffer, sizeof buffer) <= 0) {
                break;
            }
        }
    });
    // The download core's own pacer, without the owner pump: its sleeps, guard and priority.
    RealPacer pacer(nullptr, options.pacer);
    std::vector<RecordingTrace::Event> replayed;
    for (const auto& e : events) {
        if (e.send) {
            if (::write(fd, &e.byte, 1) != 1) {
                std::fprintf(stderr, "write to the stand-in failed\n");
                break;
            }
            const auto written = pacer.Now().count(); // stamped as the driver does
            replayed.push_back({true, e.byte, 0, written, written});
        } else {
            const auto start = pacer.Now().count();
            pacer.Delay(e.ms);
            replayed.push_back({false, 0, e.ms, start, pacer.Now().count()});
        }
    }
    done = true;
    drain.join();
    ::close(fd);
    return AddFarEndGaps(ReceivedBytes(*sim, json), replayed, farEnd);
}

RunFigures RunOnce(const std::string& simProgram, const std::string& firmware,
                   const BenchOptions& options, FarEnd& downloads) {
    RunFigures figures;
    const test::TempFolder folder;
    const std::string json = folder.File("pacing-bench.json");
    const auto simProcess = StartSim(simProgram, firmware, options, json);
    test::SimProcess& sim = *simProcess;
    SetupValues values;
    values.portName = sim.PtyPath();
    values.useGateway = true; // the gateway adds the 3 + 200 groups
    ApplyOperatingMode(values, OperatingMode::TunnelPointToPoint, false);

    QueuedOwnerPump pump;
    TComm comm(options.usePump ? &pump : nullptr);
    QuietProgress progress;
    QuietMessages messages;
    StringListLog log;
    RealPacer pacer(options.usePump ? &pump : nullptr, options.pacer);
    std::atomic<bool> cancel{false};
    RecordingTrace trace;
    DownloadContext context{comm, progress, log, messages, pacer, cancel, nullptr, &trace};

    const auto wall0 = pacer.Now();
    const auto cpu0 = CpuNs();
    const DownloadOutcome outcome = RunDownload(context, values);
    const auto cpu1 = CpuNs();
    const auto wall1 = pacer.Now();
    figures.wallS = static_cast<double>((wall1 - wall0).count()) / 1e9;
    figures.cpuS = static_cast<double>(cpu1 - cpu0) / 1e9;
    for (const auto& e : trace.events) {
        figures.statedS += e.send ? 0.0 : e.ms / 1000.0;
    }
    // Time outside the pauses: each write (from the end of the previous event to the send's
    // return), before the first pause, and after the last byte (closing the port).
    {
        std::int64_t writeTotal = 0, writeMax = 0, previousEnd = wall0.count();
        for (const auto& e : trace.events) {
            if (e.send) {
                const std::int64_t d = e.startNs - previousEnd;
                writeTotal += d;
                writeMax = std::max(writeMax, d);
            }
            previousEnd = e.endNs;
        }
        const std::int64_t first = trace.events.empty() ? 0 : trace.events.front().startNs;
        std::printf("  outside pauses: before the first %.3f ms, writes %.3f ms in all (longest "
                    "%.3f ms), after the last byte %.3f ms\n",
                    static_cast<double>(first - wall0.count()) / 1e6,
                    static_cast<double>(writeTotal) / 1e6, static_cast<double>(writeMax) / 1e6,
                    static_cast<double>(wall1.count() - previousEnd) / 1e6);
    }
    if (options.worst > 0) {
        std::vector<RecordingTrace::Event> delays;
        for (const auto& e : trace.events) {
            if (!e.send) {
                delays.push_back(e);
            }
        }
        auto over = [](const RecordingTrace::Event& e) {
            return static_cast<double>(e.endNs - e.startNs) / 1e6 - e.ms;
        };
        std::sort(delays.begin(), delays.end(),
                  [&](const auto& a, const auto& b) { return over(a) > over(b); });
        for (int i = 0; i < options.worst && i < static_cast<int>(delays.size()); ++i) {
            std::printf("  overshoot %.3f ms on a %d ms pause at %.3f s\n", over(delays[i]),
                        delays[i].ms, static_cast<double>(delays[i].startNs - wall0.count()) / 1e9);
        }
    }
    if (outcome != DownloadOutcome::Complete) {
        std::fprintf(stderr, "download ended: %s (%s)\n", OutcomeName(outcome),
                     progress.label.c_str());
    }
    if (!AddFarEndGaps(ReceivedBytes(sim, json), trace.events, downloads)) {
        return figures;
    }
    figures.events = std::move(trace.events);
    figures.ok = outcome == DownloadOutcome::Complete;
    return figures;
}

// Prints the far-end excess per stated pause and over all, and the line delays; returns the
// number of short gaps.
int PrintGapTable(const FarEnd& farEnd) {
    const std::map<int, Samples>& byPause = farEnd.byPause;
    std::printf("%8s %6s %8s %8s %8s %8s %6s | %8s %8s\n", "pause", "count", "median", "p99", "max",
                "min", "short", "local md", "local99");
    std::vector<double> all;
    std::vector<double> allLocal;
    int shortCount = 0;
    for (const auto& [pause, s] : byPause) {
        const int shortHere = static_cast<int>(
            std::count_if(s.excessMs.begin(), s.excessMs.end(), [](double e) { return e < 0; }));
        shortCount += shortHere;
        all.insert(all.end(), s.excessMs.begin(), s.excessMs.end());
        allLocal.insert(allLocal.end(), s.localMs.begin(), s.localMs.end());
        std::printf("%8d %6zu %8.3f %8.3f %8.3f %8.3f %6d | %8.3f %8.3f\n", pause,
                    s.excessMs.size(), Percentile(s.excessMs, 0.5), Percentile(s.excessMs, 0.99),
                    Percentile(s.excessMs, 1.0), Percentile(s.excessMs, 0.0), shortHere,
                    Percentile(s.localMs, 0.5), Percentile(s.localMs, 0.99));
    }
    std::printf("%8s %6zu %8.3f %8.3f %8.3f %8.3f %6d | %8.3f %8.3f\n", "all", all.size(),
                Percentile(all, 0.5), Percentile(all, 0.99), Percentile(all, 1.0),
                Percentile(all, 0.0), shortCount, Percentile(allLocal, 0.5),
                Percentile(allLocal, 0.99));
    const LineDelays& d = farEnd.lineDelays;
    std::printf("from write to the stand-in's stamp: median %.3f, p99 %.3f, max %.3f ms "
                "(%zu bytes)\n",
                Percentile(d, 0.5), Percentile(d, 0.99), Percentile(d, 1.0), d.size());
    return shortCount;
}

} // namespace

int main(int argc, char** argv) {
    std::string simProgram = test::SimProgram();
    std::vector<std::string> firmwares{"01.8", "V6.5.0.7"};
    int runs = 1;
    int load = 0;
    BenchOptions options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        const std::string v = argv[i + 1];
        if (a == "--firmware") {
            firmwares = v == "both" ? firmwares : std::vector<std::string>{v};
        } else if (a == "--runs") {
            runs = std::stoi(v);
        } else if (a == "--load") {
            load = std::stoi(v);
        } else if (a == "--spin-us") {
            options.pacer.spinMargin = std::chrono::microseconds(std::stoi(v));
        } else if (a == "--guard-us") {
            options.pacer.guard = std::chrono::microseconds(std::stoi(v));
        } else if (a == "--rt") {
            options.pacer.realTimePriority = v != "off";
        } else if (a == "--pump") {
            options.usePump = v != "off";
        } else if (a == "--worst") {
            options.worst = std::stoi(v);
        } else if (a == "--sim") {
            simProgram = v;
        } else if (a == "--sim-rt") {
            options.simRealTime = v != "off";
        } else if (a == "--sim-watch") {
            options.simSpins = v != "sleep";
        } else if (a == "--reference") {
            options.reference = v != "off";
        } else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return 2;
        }
    }

    // Other processes change the tails a lot on a small machine: say how busy it was.
    auto printLoad = [](const char* when) {
        std::ifstream loadavg("/proc/loadavg");
        std::string one, five;
        if (loadavg >> one >> five) {
            std::printf("load average %s: %s (1 min), %s (5 min), %u cores\n", when, one.c_str(),
                        five.c_str(), std::thread::hardware_concurrency());
        }
    };
    printLoad("before");
    const auto loadPids = StartLoad(load);
    FarEnd downloads;
    FarEnd reference;
    double wall = 0, cpu = 0, stated = 0;
    int good = 0;
    for (int r = 0; r < runs; ++r) {
        for (const auto& firmware : firmwares) {
            const RunFigures f = RunOnce(simProgram, firmware, options, downloads);
            // After the download, whose pacer held this thread at real-time priority: a
            // stand-in started from it would inherit that priority.
            if (options.reference && f.ok &&
                !ReplayOnce(simProgram, firmware, options, f.events, reference)) {
                std::fprintf(stderr, "the reference replay failed\n");
            }
            std::printf("run %d firmware %-8s %s: %.3f s (stated pauses %.3f s, +%.3f s), CPU "
                        "%.3f s = %.2f%% of one core\n",
                        r + 1, firmware.c_str(), f.ok ? "complete" : "FAILED", f.wallS, f.statedS,
                        f.wallS - f.statedS, f.cpuS, 100.0 * f.cpuS / f.wallS);
            std::fflush(stdout);
            wall += f.wallS;
            cpu += f.cpuS;
            stated += f.statedS;
            good += f.ok ? 1 : 0;
        }
    }
    StopLoad(loadPids);
    printLoad("after");

    std::printf("\nexcess of the gap seen by the stand-in over the stated pause (ms)%s\n",
                load > 0 ? " with busy cores" : "");
    const int shortCount = PrintGapTable(downloads);
    if (options.reference) {
        std::printf("\nthe same bytes and pauses written by a plain loop (write, absolute sleep), "
                    "to a fresh stand-in after each download\n");
        const int referenceShort = PrintGapTable(reference);
        std::printf("short pauses: %d in the downloads, %d in the plain loop's replays\n",
                    shortCount, referenceShort);
    }
    std::printf("\n%d of %d downloads complete; short pauses: %d\n", good,
                runs * static_cast<int>(firmwares.size()), shortCount);
    std::printf("total %.3f s for %.3f s of stated pauses (+%.3f s, %.3f%%); process CPU %.3f s "
                "= %.2f%% of one core\n",
                wall, stated, wall - stated, 100.0 * (wall - stated) / stated, cpu,
                100.0 * cpu / wall);
    return good == runs * static_cast<int>(firmwares.size()) && shortCount == 0 ? 0 : 1;
}
