// Batch benchmark: N downloads at once (each on its own thread with its own port component,
// owner-thread pump and pacer, as comsetup-cli batch runs them) against N comsetup-sim
// instances, compared with one download alone: wall time ratio, and the precision of every
// pause as each stand-in timestamps the bytes it receives.
//
//   comsetup_cli_batch_bench [--downloads N] [--firmware 01.8|V6.5.0.7] [--stagger-us US]
//
// Goal: N = 32 finish within 1.05x the time of one, pauses as precise as in one.
#include "cli/batch.h"
#include "cli/exit_codes.h"
#include "pause_alignment.h"

#include "tests/support/child_process.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <sys/resource.h>
#include <thread>
#include <tuple>

using namespace comsetup;
using namespace comsetup::cli;
using comsetup::test::ChildProcess;
using comsetup::test::ReadFile;
using comsetup::test::TempFolder;
using namespace std::chrono_literals;

namespace {

// The sender's side: when each byte was written and how long each pause took.
class RecordingTrace final : public DownloadTrace {
public:
    void OnSend(std::uint8_t byte, std::chrono::nanoseconds at) override {
        sent.push_back({at.count() / 1000, byte});
    }
    void OnDelay(int ms, std::chrono::nanoseconds start, std::chrono::nanoseconds end) override {
        if (ms > 0) {
            delayExcessMs.push_back(static_cast<double>((end - start).count()) / 1e6 - ms);
        }
    }
    void OnReceive(std::span<const std::uint8_t>, std::chrono::nanoseconds) override {}

    std::vector<bench::TimedByte> sent;
    std::vector<double> delayExcessMs;
};

struct RoundFigures {
    int downloads = 0;
    int complete = 0;
    double wallSeconds = 0;
    double slowestSeconds = 0;
    double cpuSeconds = 0;                // of this process (the downloads), user + system
    std::vector<double> excessesMs;       // far end: gaps between bytes as the stand-ins saw them
    std::vector<double> senderExcessesMs; // near end: gaps between the writes
    std::vector<double> delayExcessesMs;  // each Delay's own length
    int unmatched = 0;
    std::string firstProblem;
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

RoundFigures RunRound(int count, const std::string& firmware, std::chrono::microseconds stagger) {
    RoundFigures figures;
    figures.downloads = count;
    TempFolder folder;
    std::vector<std::unique_ptr<ChildProcess>> standIns;
    std::vector<SetupProfile> setups;
    for (int i = 0; i < count; ++i) {
        const std::string link = folder.File("conv" + std::to_string(i));
        // Off time 1250 ms: the wake-up ends between two polls, never on one (no 500 ms
        // jitter in the wake-up), so every download takes the same time.
        standIns.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{
            COMSETUP_SIM_PATH, "--firmware", firmware, "--link", link, "--off-time", "1250",
            "--json", link + ".json", "--once", "--quiet"}));
        SetupProfile setup;
        setup.port = link;
        setup.ip = Ipv4{10, 0, i / 250, i % 250 + 1};
        setups.push_back(setup);
    }
    for (auto& standIn : standIns) {
        if (standIn->FirstLine(30s).empty()) {
            std::fprintf(stderr, "a stand-in did not start\n");
            std::exit(1);
        }
    }
    for (const auto& setup : setups) {
        for (int tries = 0; tries < 300 && !std::filesystem::exists(setup.port); ++tries) {
            std::this_thread::sleep_for(10ms);
        }
    }

    std::ostream discard(nullptr);
    std::vector<RecordingTrace> traces(static_cast<std::size_t>(count));
    BatchOptions options;
    options.progressOut = &discard;
    options.stagger = stagger;
    options.traceFor = [&traces](std::size_t i) -> DownloadTrace* { return &traces[i]; };
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const auto results = RunBatch(setups, options);
    figures.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.cpuSeconds = CpuSeconds() - cpuBefore;

    const auto variant = firmware == "01.8" ? FirmwareVariant::V01_8 : FirmwareVariant::V6_5_0_7;
    for (int i = 0; i < count; ++i) {
        figures.complete += results[i].exitCode == kExitComplete ? 1 : 0;
        figures.slowestSeconds = std::max(figures.slowestSeconds, results[i].seconds);
        standIns[i]->Wait(30s); // --once: it ends with the session and has written its JSON
        const auto doc = nlohmann::json::parse(ReadFile(setups[i].port + ".json"), nullptr, false);
        std::vector<bench::TimedByte> received;
        if (doc.is_object() && !doc["sessions"].empty()) {
            for (const auto& b : doc["sessions"][0]["received"]) {
                received.push_back({b["t_us"].get<std::int64_t>(), b["byte"].get<std::uint8_t>()});
            }
        }
        std::string why;
        const auto plan = bench::PlanStream(ToSetupValues(setups[i]), variant);
        std::string senderWhy;
        bench::PauseExcesses(plan, traces[i].sent, figures.senderExcessesMs, senderWhy);
        figures.delayExcessesMs.insert(figures.delayExcessesMs.end(),
                                       traces[i].delayExcessMs.begin(),
                                       traces[i].delayExcessMs.end());
        if (!bench::PauseExcesses(plan, received, figures.excessesMs, why)) {
            ++figures.unmatched;
            if (figures.firstProblem.empty()) {
                figures.firstProblem = setups[i].port + ": " + why;
            }
        }
    }
    return figures;
}

void PrintExcesses(const char* view, const std::vector<double>& excesses) {
    const auto shorts =
        std::count_if(excesses.begin(), excesses.end(), [](double e) { return e < 0; });
    const double least =
        excesses.empty() ? 0.0 : *std::min_element(excesses.begin(), excesses.end());
    std::printf("    %-34s pauses %6zu  excess median %7.3f ms  p99 %7.3f ms  max %8.3f ms  "
                "short %ld (least %.3f ms)\n",
                view, excesses.size(), Percentile(excesses, 0.5), Percentile(excesses, 0.99),
                excesses.empty() ? 0.0 : *std::max_element(excesses.begin(), excesses.end()),
                static_cast<long>(shorts), least);
}

void Print(const char* name, const RoundFigures& f) {
    std::printf("%-7s downloads %2d  complete %2d  wall %7.3f s  slowest %7.3f s  "
                "cpu of the downloading process %6.3f s\n",
                name, f.downloads, f.complete, f.wallSeconds, f.slowestSeconds, f.cpuSeconds);
    PrintExcesses("far end (stand-in read times)", f.excessesMs);
    PrintExcesses("near end (write times)", f.senderExcessesMs);
    PrintExcesses("each Delay (pacer)", f.delayExcessesMs);
    if (f.unmatched > 0) {
        std::printf("         %d downloads not matched to the plan; first: %s\n", f.unmatched,
                    f.firstProblem.c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    int downloads = 32;
    std::chrono::microseconds stagger = BatchOptions{}.stagger;
    std::string firmware = "01.8";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--downloads") == 0) {
            downloads = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--stagger-us") == 0) {
            stagger = std::chrono::microseconds(std::max(0, std::atoi(argv[i + 1])));
        } else if (std::strcmp(argv[i], "--firmware") == 0) {
            firmware = argv[i + 1];
        }
    }
    std::printf("Batch of %d downloads against %d comsetup-sim instances vs one download, "
                "firmware %s\n",
                downloads, downloads, firmware.c_str());
    std::printf("downloads started %lld us apart\n", static_cast<long long>(stagger.count()));
    const RoundFigures single = RunRound(1, firmware, stagger);
    Print("single", single);
    const RoundFigures batch = RunRound(downloads, firmware, stagger);
    Print("batch", batch);
    const double ratio = batch.wallSeconds / single.wallSeconds;
    std::printf("wall time ratio batch/single %.4f (goal at most 1.05): %s\n", ratio,
                ratio <= 1.05 ? "met" : "NOT met");
    for (const auto& [view, a, b] :
         {std::tuple{"far end", &batch.excessesMs, &single.excessesMs},
          std::tuple{"near end", &batch.senderExcessesMs, &single.senderExcessesMs},
          std::tuple{"Delay", &batch.delayExcessesMs, &single.delayExcessesMs}}) {
        std::printf("pause excess, %-8s batch vs single: median %.3f vs %.3f ms, p99 %.3f vs "
                    "%.3f ms\n",
                    view, Percentile(*a, 0.5), Percentile(*b, 0.5), Percentile(*a, 0.99),
                    Percentile(*b, 0.99));
    }
    return single.complete == 1 && batch.complete == downloads ? 0 : 1;
}
