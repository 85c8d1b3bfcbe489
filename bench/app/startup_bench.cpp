// Start-up time and peak memory of comsetup against a minimal four-window Qt program.
//
// Each round launches the probes one after the other (rotating which goes first) and
// measures, from just before the launch to the first paint of the main window, the time on
// the monotonic clock; the peak resident memory comes from the kernel's accounting of the
// ended child. Reported: median and 90th percentile of each, the ratio of the medians, and
// the largest peak memory.
//
//   app_startup_bench [--rounds N] [--platform offscreen|xcb]
//   (default platform: xcb when DISPLAY is set, else offscreen)
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

long long NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

struct Sample {
    double ms = -1;
    long peakKb = 0;
};

Sample Launch(const std::string& program, const std::string& platform,
              const char* argument = nullptr) {
    int out[2];
    if (pipe(out) != 0)
        return {};
    const long long start = NowNs();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0)
            dup2(devnull, 2);
        setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
        execl(program.c_str(), program.c_str(), argument, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[256];
    for (;;) {
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
    return s;
}

double Quantile(std::vector<double> v, double q) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 30;
    std::string platform = std::getenv("DISPLAY") ? "xcb" : "offscreen";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (a == "--platform" && i + 1 < argc)
            platform = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--rounds N] [--platform offscreen|xcb]\n", argv[0]);
            return 2;
        }
    }
    const std::string app = COMSETUP_STARTUP_PROBE;
    const std::string baseline = BASELINE_STARTUP_PROBE;
    Launch(app, platform); // warm the file cache for both
    Launch(baseline, platform);

    std::vector<double> appMs, baseMs, labelMs;
    long appPeak = 0, basePeak = 0, labelPeak = 0;
    int failures = 0;
    for (int r = 0; r < rounds; ++r) {
        for (int k = 0; k < 3; ++k) {
            const int which = (r + k) % 3; // 0 comsetup, 1 empty windows, 2 with a label
            const Sample s = which == 0   ? Launch(app, platform)
                             : which == 1 ? Launch(baseline, platform)
                                          : Launch(baseline, platform, "--label");
            if (s.ms < 0) {
                ++failures;
                continue;
            }
            (which == 0 ? appMs : which == 1 ? baseMs : labelMs).push_back(s.ms);
            long& peak = which == 0 ? appPeak : which == 1 ? basePeak : labelPeak;
            peak = std::max(peak, s.peakKb);
        }
    }
    std::printf("start-up to the main window painted, platform %s, %d rounds\n", platform.c_str(),
                rounds);
    std::printf("%-28s %9s %9s %12s\n", "", "median ms", "p90 ms", "peak memory");
    std::printf("%-28s %9.2f %9.2f %9.1f MB\n", "comsetup (wizard)", Quantile(appMs, 0.5),
                Quantile(appMs, 0.9), static_cast<double>(appPeak) / 1024.0);
    std::printf("%-28s %9.2f %9.2f %9.1f MB\n", "four empty Qt windows", Quantile(baseMs, 0.5),
                Quantile(baseMs, 0.9), static_cast<double>(basePeak) / 1024.0);
    std::printf("%-28s %9.2f %9.2f %9.1f MB\n", "same, one line of text", Quantile(labelMs, 0.5),
                Quantile(labelMs, 0.9), static_cast<double>(labelPeak) / 1024.0);
    const double ratio =
        Quantile(baseMs, 0.5) > 0 ? Quantile(appMs, 0.5) / Quantile(baseMs, 0.5) : 0;
    std::printf("ratio of medians %.2f to the empty windows (goal <= 1.30), %.2f to the windows "
                "with text; peak memory %.1f MB (goal < 40 MB)\n",
                ratio,
                Quantile(labelMs, 0.5) > 0 ? Quantile(appMs, 0.5) / Quantile(labelMs, 0.5) : 0,
                static_cast<double>(appPeak) / 1024.0);
    if (failures)
        std::printf("%d launches failed\n", failures);
    return failures ? 1 : 0;
}
