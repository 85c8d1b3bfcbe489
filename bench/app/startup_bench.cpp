// Start-up time and peak memory of comsetup against a minimal four-window Qt program.
//
// Each round launches the probes one after the other (rotating which goes first) and
// measures, from just before the launch to the first paint of the main window, the time on
// the monotonic clock; the peak resident memory comes from the kernel's accounting of the
// ended child. Reported: median and 90th percentile of each, the ratio of the medians, and
// the largest peak memory.
//
//   app_startup_bench [--rounds N] [--platform offscreen|xcb] [--compare PROBE]... [--x-watch]
//                     [--wine DIR]
//   (default platform: xcb when DISPLAY is set, else offscreen; --compare adds a further
//   probe to the same rotation, e.g. the comsetup_startup_probe of an earlier build;
//   --wine runs the Windows build's probes of DIR (build-mingw/bench/app) under Wine, on
//   the windows platform: Wine's monotonic clock, which the probes read, is the kernel's
//   CLOCK_MONOTONIC_RAW)
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

#if defined(COMSETUP_X_WATCH)
#include "bench/app/x_watch.h"
#endif

namespace {

bool underWine = false;

long long NowNs() {
    timespec now{};
    clock_gettime(underWine ? CLOCK_MONOTONIC_RAW : CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

struct Sample {
    double ms = -1;
    long peakKb = 0;
    double mappedMs = -1; // as the X server saw it (with --x-watch)
    double drawnMs = -1;
};

#if defined(COMSETUP_X_WATCH)
XWatch* xWatch = nullptr;
#endif

Sample Launch(const std::string& program, const std::string& platform,
              const char* argument = nullptr) {
    int out[2];
    if (pipe(out) != 0)
        return {};
#if defined(COMSETUP_X_WATCH)
    if (xWatch != nullptr) {
        xWatch->Process(NowNs()); // what the previous launch left
        xWatch->Reset();
    }
#endif
    const long long start = NowNs();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0)
            dup2(devnull, 2);
        if (underWine) {
            unsetenv("QT_QPA_PLATFORM");
            execlp("wine", "wine", program.c_str(), argument, static_cast<char*>(nullptr));
            _exit(127);
        }
        setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
        execl(program.c_str(), program.c_str(), argument, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[256];
    for (;;) {
#if defined(COMSETUP_X_WATCH)
        if (xWatch != nullptr) {
            pollfd fds[2] = {{out[0], POLLIN, 0}, {xWatch->Fd(), POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 && errno != EINTR)
                break;
            if (fds[1].revents != 0)
                xWatch->Process(NowNs());
            if (fds[0].revents == 0)
                continue;
        }
#endif
        const ssize_t n = read(out[0], buf, sizeof buf);
        if (n > 0) {
            text.append(buf, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    Sample s;
    const auto at = text.find("painted ");
    if (at != std::string::npos && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        s.ms = static_cast<double>(std::atoll(text.c_str() + at + 8) - start) / 1e6;
        s.peakKb = usage.ru_maxrss;
    }
#if defined(COMSETUP_X_WATCH)
    if (xWatch != nullptr) {
        xWatch->Process(NowNs());
        if (xWatch->MappedNs() >= 0)
            s.mappedMs = static_cast<double>(xWatch->MappedNs() - start) / 1e6;
        if (xWatch->DrawnNs() >= 0)
            s.drawnMs = static_cast<double>(xWatch->DrawnNs() - start) / 1e6;
    }
#endif
    return s;
}

double Quantile(std::vector<double> v, double q) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

} // namespace

struct Probe {
    Probe(std::string label, std::string program, const char* argument = nullptr)
        : label(std::move(label)), program(std::move(program)), argument(argument) {}
    std::string label;
    std::string program;
    const char* argument;
    std::vector<double> ms;
    std::vector<double> mappedMs, drawnMs;
    long peakKb = 0;
};

int main(int argc, char** argv) {
    int rounds = 30;
    std::string platform = std::getenv("DISPLAY") ? "xcb" : "offscreen";
    std::vector<Probe> probes = {{"comsetup (wizard)", COMSETUP_STARTUP_PROBE},
                                 {"four empty Qt windows", BASELINE_STARTUP_PROBE},
                                 {"same, one line of text", BASELINE_STARTUP_PROBE, "--label"}};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (a == "--platform" && i + 1 < argc)
            platform = argv[++i];
#if defined(COMSETUP_X_WATCH)
        else if (a == "--x-watch") {
            static XWatch watch;
            if (!watch.Open()) {
                std::fprintf(stderr, "--x-watch: no X display with the DAMAGE extension\n");
                return 2;
            }
            xWatch = &watch;
        }
#endif
        else if (a == "--wine" && i + 1 < argc) {
            const std::string dir = argv[++i];
            underWine = true;
            platform = "windows (Wine)";
            probes[0].program = dir + "/comsetup_startup_probe.exe";
            probes[1].program = probes[2].program = dir + "/baseline_startup_probe.exe";
        } else if (a == "--compare" && i + 1 < argc) {
            const std::string program = argv[++i];
            probes.push_back({"compared: " + program.substr(program.rfind('/') + 1), program});
        } else {
            std::fprintf(stderr,
                         "usage: %s [--rounds N] [--platform offscreen|xcb] [--compare PROBE]... "
                         "[--x-watch] [--wine DIR]\n",
                         argv[0]);
            return 2;
        }
    }
    for (const Probe& probe : probes) // warm the file cache for each
        Launch(probe.program, platform, probe.argument);

    int failures = 0;
    const size_t count = probes.size();
    for (int r = 0; r < rounds; ++r) {
        for (size_t k = 0; k < count; ++k) {
            Probe& probe = probes[(static_cast<size_t>(r) + k) % count]; // rotating the order
            const Sample s = Launch(probe.program, platform, probe.argument);
            if (s.ms < 0) {
                ++failures;
                continue;
            }
            probe.ms.push_back(s.ms);
            probe.peakKb = std::max(probe.peakKb, s.peakKb);
            if (s.mappedMs >= 0)
                probe.mappedMs.push_back(s.mappedMs);
            if (s.drawnMs >= 0)
                probe.drawnMs.push_back(s.drawnMs);
        }
    }
    std::printf("start-up to the main window painted, platform %s, %d rounds\n", platform.c_str(),
                rounds);
    std::printf("%-40s %9s %9s %9s %9s %12s\n", "", "min ms", "median ms", "p90 ms", "max ms",
                "peak memory");
    for (const Probe& probe : probes)
        std::printf("%-40s %9.2f %9.2f %9.2f %9.2f %9.1f MB\n", probe.label.c_str(),
                    Quantile(probe.ms, 0), Quantile(probe.ms, 0.5), Quantile(probe.ms, 0.9),
                    Quantile(probe.ms, 1), static_cast<double>(probe.peakKb) / 1024.0);
    const double app = Quantile(probes[0].ms, 0.5), empty = Quantile(probes[1].ms, 0.5),
                 text = Quantile(probes[2].ms, 0.5);
    std::printf("ratio of medians %.2f to the empty windows (goal <= 1.30), %.2f to the windows "
                "with text; peak memory %.1f MB (goal < 40 MB)\n",
                empty > 0 ? app / empty : 0, text > 0 ? app / text : 0,
                static_cast<double>(probes[0].peakKb) / 1024.0);
    for (size_t k = 3; k < count; ++k)
        std::printf("%s: ratio of medians %.2f to the empty windows\n", probes[k].label.c_str(),
                    empty > 0 ? Quantile(probes[k].ms, 0.5) / empty : 0);
    if (!probes[0].drawnMs.empty()) {
        std::printf("\nas the X server saw it (min / median / max ms):\n");
        for (const Probe& probe : probes)
            std::printf("%-40s mapped %6.2f / %6.2f / %6.2f   drawn %6.2f / %6.2f / %6.2f  (%zu)\n",
                        probe.label.c_str(), Quantile(probe.mappedMs, 0),
                        Quantile(probe.mappedMs, 0.5), Quantile(probe.mappedMs, 1),
                        Quantile(probe.drawnMs, 0), Quantile(probe.drawnMs, 0.5),
                        Quantile(probe.drawnMs, 1), probe.drawnMs.size());
        const double drawn = Quantile(probes[1].drawnMs, 0.5);
        std::printf("ratio of medians, first drawn: %.2f to the empty windows (goal <= 1.30)\n",
                    drawn > 0 ? Quantile(probes[0].drawnMs, 0.5) / drawn : 0);
        for (size_t k = 3; k < count; ++k)
            std::printf("%s: first drawn, ratio of medians %.2f to the empty windows\n",
                        probes[k].label.c_str(),
                        drawn > 0 ? Quantile(probes[k].drawnMs, 0.5) / drawn : 0);
    }
    if (failures)
        std::printf("%d launches failed\n", failures);
    return failures ? 1 : 0;
}
