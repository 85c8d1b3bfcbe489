// The component against raw termios code (the floor), side by side in one run:
//  - one byte's round trip through a pty whose far end echoes it: latency (median, p99) and
//    the client's CPU time per exchange (the stable figure), that of every thread of the
//    process: the component alone, with its event thread as comsetup-cli runs it, and with
//    every event handler assigned;
//  - the cost of one receive-queue query (InQueCount against ioctl(FIONREAD)).
// Repetitions run in random interleaved order so that the machine's drift hits both sides
// alike. At the end the medians are printed as ratios to the floor.
//
//   comsetup_serial_bench                  (defaults: 12 interleaved repetitions)
//   comsetup_serial_bench --benchmark_repetitions=30
#include "serial/comm.h"
#include "serial/owner_pump.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

// A pty whose master side echoes every byte back, in a child process: the CPU time measured is
// the whole client process's (every thread of it, the event thread included) and nothing of
// the echo. A spare slave descriptor stays open so that the far end never sees a hang-up
// between the clients' opens and closes.
class EchoPty {
public:
    EchoPty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        path_ = ::ptsname(master_);
        keeper_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        ::tcgetattr(keeper_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(keeper_, TCSANOW, &t);
        child_ = ::fork();
        if (child_ < 0)
            throw std::runtime_error("fork failed");
        if (child_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            Echo();
            ::_exit(0);
        }
        ::close(master_);
    }
    ~EchoPty() {
        ::kill(child_, SIGKILL);
        ::waitpid(child_, nullptr, 0);
        ::close(keeper_);
    }
    const std::string& Path() const { return path_; }

private:
    void Echo() {
        char buf[256];
        for (;;) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0)
                (void)!::write(master_, buf, static_cast<size_t>(n));
            else if (n < 0 && errno != EINTR)
                return;
        }
    }
    int master_ = -1;
    int keeper_ = -1;
    pid_t child_ = -1;
    std::string path_;
};

EchoPty& Echo() {
    static EchoPty echo;
    return echo;
}

int OpenRaw() {
    const int fd = ::open(Echo().Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void OpenComm(TComm& comm) {
    comm.SetDeviceName(Echo().Path());
    comm.SetFlowControl(fcNone);
    comm.Open();
}

void AssignEveryHandler(TComm& comm) {
    comm.OnBreak = [](TCustomComm*) {};
    comm.OnCts = [](TCustomComm*) {};
    comm.OnDsr = [](TCustomComm*) {};
    comm.OnError = [](TCustomComm*, int) {};
    comm.OnRing = [](TCustomComm*) {};
    comm.OnRlsd = [](TCustomComm*) {};
    comm.OnRxChar = [](TCustomComm*, int) {};
    // No OnRxFlag: a terminal cannot report the event character, so Open refuses it.
    comm.OnTxEmpty = [](TCustomComm*) {};
}

// Per-exchange latency: median and 99th percentile in microseconds as counters.
class Latencies {
public:
    void Add(std::chrono::steady_clock::duration d) {
        us_.push_back(std::chrono::duration<double, std::micro>(d).count());
    }
    void Report(benchmark::State& state) {
        if (us_.empty())
            return;
        std::sort(us_.begin(), us_.end());
        state.counters["p50_us"] = us_[us_.size() / 2];
        state.counters["p99_us"] = us_[std::min(us_.size() - 1, us_.size() * 99 / 100)];
    }

private:
    std::vector<double> us_;
};

void BM_RoundTrip_RawTermios(benchmark::State& state) {
    const int fd = OpenRaw();
    Latencies lat;
    char c = 'x';
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        (void)!::write(fd, &c, 1);
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 1000);
        if (::read(fd, &c, 1) != 1)
            state.SkipWithError("echo lost");
        lat.Add(std::chrono::steady_clock::now() - t0);
    }
    lat.Report(state);
    ::close(fd);
}

// One byte out through the component and its echo back, timed into lat.
void ExchangeOneByte(TComm& comm, benchmark::State& state, Latencies& lat) {
    char c = 'x';
    const auto t0 = std::chrono::steady_clock::now();
    comm.Write(&c, 1);
    comm.WaitForInput(1000);
    if (comm.Read(&c, 1) != 1)
        state.SkipWithError("echo lost");
    lat.Add(std::chrono::steady_clock::now() - t0);
}

void BM_RoundTrip_Comm(benchmark::State& state) {
    TComm comm;
    OpenComm(comm);
    Latencies lat;
    for (auto _ : state) {
        ExchangeOneByte(comm, state, lat);
    }
    lat.Report(state);
}

// The component as comsetup-cli runs it: an owner pump, so the event thread runs, watching the
// nine events the main window's port monitors, and the pump runs between exchanges as the
// pacer does while waiting. With handlers (arg 1) every event of the exchange is watched and
// delivered: what each exchange cost before only handled events were watched.
void BM_RoundTrip_CommEventThread(benchmark::State& state) {
    comsetup::QueuedOwnerPump pump;
    TComm comm(&pump);
    if (state.range(0) != 0)
        AssignEveryHandler(comm);
    OpenComm(comm);
    Latencies lat;
    for (auto _ : state) {
        ExchangeOneByte(comm, state, lat);
        pump.RunPending();
    }
    lat.Report(state);
}

void BM_InQueCount_FIONREAD(benchmark::State& state) {
    const int fd = OpenRaw();
    int n = 0;
    for (auto _ : state) {
        ::ioctl(fd, FIONREAD, &n);
        benchmark::DoNotOptimize(n);
    }
    ::close(fd);
}

void BM_InQueCount_Comm(benchmark::State& state) {
    TComm comm;
    OpenComm(comm);
    for (auto _ : state)
        benchmark::DoNotOptimize(comm.InQueCount());
}

void BM_InQueCount_CommEventThread(benchmark::State& state) {
    comsetup::QueuedOwnerPump pump;
    TComm comm(&pump);
    OpenComm(comm);
    for (auto _ : state)
        benchmark::DoNotOptimize(comm.InQueCount());
}

// CPU time of the whole process (all its threads), not only the calling thread's.
BENCHMARK(BM_RoundTrip_RawTermios)->Iterations(2000)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_RoundTrip_Comm)->Iterations(2000)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_RoundTrip_CommEventThread)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(2000)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_InQueCount_FIONREAD)->Iterations(200000)->MeasureProcessCPUTime();
BENCHMARK(BM_InQueCount_Comm)->Iterations(200000)->MeasureProcessCPUTime();
BENCHMARK(BM_InQueCount_CommEventThread)->Iterations(200000)->MeasureProcessCPUTime();

// Console output as usual, then the medians of each pair as a ratio to the floor.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal: a saved run stays readable.
    RatioReporter() : ConsoleReporter(::isatty(1) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.aggregate_name != "median")
                continue;
            std::string name = r.run_name.function_name;
            if (!r.run_name.args.empty())
                name += "/" + r.run_name.args;
            Figures& f = figures_[name];
            f.cpu = r.GetAdjustedCPUTime();
            f.real = r.GetAdjustedRealTime();
            if (auto it = r.counters.find("p50_us"); it != r.counters.end())
                f.p50 = it->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        auto ratio = [&](const char* what, const std::string& mine, const std::string& floor) {
            const auto m = figures_.find(mine);
            const auto f = figures_.find(floor);
            if (m == figures_.end() || f == figures_.end() || f->second.cpu <= 0)
                return;
            std::printf("%-28s CPU %8.1f ns vs %8.1f ns  = %.3fx", what, m->second.cpu,
                        f->second.cpu, m->second.cpu / f->second.cpu);
            if (f->second.p50 > 0)
                std::printf("   latency p50 %6.1f us vs %6.1f us = %.3fx", m->second.p50,
                            f->second.p50, m->second.p50 / f->second.p50);
            std::printf("\n");
        };
        std::printf("\nMedians over the repetitions, component vs raw termios:\n");
        ratio("round trip per exchange", "BM_RoundTrip_Comm", "BM_RoundTrip_RawTermios");
        ratio("  with the event thread", "BM_RoundTrip_CommEventThread/0",
              "BM_RoundTrip_RawTermios");
        ratio("  and every handler", "BM_RoundTrip_CommEventThread/1", "BM_RoundTrip_RawTermios");
        ratio("InQueCount per call", "BM_InQueCount_Comm", "BM_InQueCount_FIONREAD");
        ratio("  with the event thread", "BM_InQueCount_CommEventThread", "BM_InQueCount_FIONREAD");
    }

private:
    struct Figures {
        double cpu = 0, real = 0, p50 = 0;
    };
    std::map<std::string, Figures> figures_;
};

} // namespace

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    std::string reps = "--benchmark_repetitions=12";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    bool haveReps = false;
    for (int i = 1; i < argc; ++i)
        haveReps = haveReps || std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
    if (!haveReps)
        args.push_back(reps.data());
    args.push_back(interleave.data());
    args.push_back(aggregates.data());
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    Echo();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
