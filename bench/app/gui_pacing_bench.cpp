// Pause precision and CPU cost of the GUI's pacer, measured through the GUI and at the far end
// of a serial line, side by side with the download core's own pacer.
//
// The program starts as comsetup starts (wizard shown, the other windows hidden) and keeps
// the wizard repainting every 16 ms. The main setup window's serial component (with the GUI's
// owner-thread pump) is opened on a pseudo-terminal; a reader thread timestamps every byte at
// the far end. For each pause length P, one byte is written and the pacer waits P ms, over and
// over. Reported per pacer and P: the excess of each wait over P as the GUI thread sees it
// (median / p99 / max, and waits that ended early), the excess of the gap between bytes at the
// far end, and the GUI thread's CPU time as a share of the time spent.
//
//   app_gui_pacing_bench [--repeats N] [--platform offscreen|xcb]
#include "app/comsetup_application.h"
#include "app/gui_pacer.h"
#include "app/startup.h"
#include "app/tf_selmode.h"
#include "app/tfmain.h"
#include "download/pacer.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

long long Ns(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

struct Stats {
    double median = 0, p99 = 0, max = 0;
    int early = 0;
};

Stats Summarise(std::vector<double> excessMs) {
    Stats s;
    if (excessMs.empty())
        return s;
    std::sort(excessMs.begin(), excessMs.end());
    auto at = [&](double q) {
        return excessMs[static_cast<size_t>(q * static_cast<double>(excessMs.size() - 1) + 0.5)];
    };
    s.median = at(0.5);
    s.p99 = at(0.99);
    s.max = excessMs.back();
    s.early = static_cast<int>(
        std::count_if(excessMs.begin(), excessMs.end(), [](double e) { return e < 0; }));
    return s;
}

// The far end of the line: every byte that arrives, with its time.
class FarEnd {
public:
    explicit FarEnd(int masterFd) : fd_(masterFd), thread_([this] { Run(); }) {}
    ~FarEnd() {
        stop_ = true;
        thread_.join();
    }
    std::vector<long long> Take() {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::exchange(arrivals_, {});
    }

private:
    void Run() {
        char buf[64];
        while (!stop_) {
            timeval wait{0, 20000};
            fd_set set;
            FD_ZERO(&set);
            FD_SET(fd_, &set);
            const int ready = select(fd_ + 1, &set, nullptr, nullptr, &wait);
            if (ready <= 0)
                continue;
            const ssize_t n = read(fd_, buf, sizeof buf);
            const long long now = Ns(CLOCK_MONOTONIC);
            if (n <= 0)
                continue;
            std::lock_guard<std::mutex> lock(mutex_);
            for (ssize_t i = 0; i < n; ++i)
                arrivals_.push_back(now);
        }
    }
    int fd_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<long long> arrivals_;
    std::thread thread_;
};

// CPU share of the GUI thread with no pause running: the event loop alone, repainting.
double IdleCpuPercent(int ms) {
    const long long cpu0 = Ns(CLOCK_THREAD_CPUTIME_ID), wall0 = Ns(CLOCK_MONOTONIC);
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return 100.0 * static_cast<double>(Ns(CLOCK_THREAD_CPUTIME_ID) - cpu0) /
           static_cast<double>(Ns(CLOCK_MONOTONIC) - wall0);
}

struct Row {
    const char* pacer;
    int pauseMs;
    Stats local, far;
    double cpuPercent;
};

Row Measure(const char* name, comsetup::Pacer& pacer, TComm& port, FarEnd& farEnd, int pauseMs,
            int repeats) {
    farEnd.Take();
    std::vector<double> local;
    const long long cpu0 = Ns(CLOCK_THREAD_CPUTIME_ID), wall0 = Ns(CLOCK_MONOTONIC);
    const char byte = 'x';
    for (int i = 0; i < repeats; ++i) {
        port.Write(&byte, 1);
        const long long start = Ns(CLOCK_MONOTONIC);
        pacer.Delay(pauseMs);
        local.push_back(static_cast<double>(Ns(CLOCK_MONOTONIC) - start) / 1e6 - pauseMs);
    }
    port.Write(&byte, 1);
    const long long cpu = Ns(CLOCK_THREAD_CPUTIME_ID) - cpu0, wall = Ns(CLOCK_MONOTONIC) - wall0;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<long long> arrivals = farEnd.Take();
    std::vector<double> far;
    for (size_t i = 1; i < arrivals.size(); ++i)
        far.push_back(static_cast<double>(arrivals[i] - arrivals[i - 1]) / 1e6 - pauseMs);
    if (arrivals.size() != static_cast<size_t>(repeats) + 1)
        std::fprintf(stderr, "%s P=%d: %zu bytes arrived, %d sent\n", name, pauseMs,
                     arrivals.size(), repeats + 1);
    return {name, pauseMs, Summarise(local), Summarise(far),
            100.0 * static_cast<double>(cpu) / static_cast<double>(wall)};
}

} // namespace

int main(int argc, char** argv) {
    int repeats = 200;
    std::string platform = std::getenv("DISPLAY") ? "xcb" : "offscreen";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--repeats" && i + 1 < argc)
            repeats = std::max(10, std::atoi(argv[++i]));
        else if (a == "--platform" && i + 1 < argc)
            platform = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--repeats N] [--platform offscreen|xcb]\n", argv[0]);
            return 2;
        }
    }
    setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    comsetup::ComsetupApplication app(argc, argv);
    const auto windows = comsetup::StartProgram(app);

    int master = -1, slave = -1;
    char slaveName[128] = {};
    if (openpty(&master, &slave, slaveName, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);

    int status = 0;
    QTimer::singleShot(200, [&] {
        // Keep the GUI busy the way a user sees it: the wizard repaints all the time.
        QTimer repaint;
        QObject::connect(&repaint, &QTimer::timeout, [&] { windows->Wizard().update(); });
        repaint.start(16);

        TComm& port = windows->Main().Comport;
        port.SetDeviceName(slaveName);
        port.Open();
        close(slave);
        FarEnd farEnd(master);
        comsetup::GuiPacer gui;
        comsetup::RealPacer core;
        std::vector<Row> rows;
        const double idleCpu = IdleCpuPercent(2000);
        for (int pauseMs : {3, 20, 100}) {
            const int n = pauseMs >= 100 ? std::max(10, repeats / 4) : repeats;
            rows.push_back(Measure("GUI pacer", gui, port, farEnd, pauseMs, n));
            rows.push_back(Measure("core pacer", core, port, farEnd, pauseMs, n));
        }
        port.Close();

        std::printf("pause precision through the GUI (platform %s), excess over the pause in ms\n",
                    platform.c_str());
        std::printf("%-11s %5s | %-32s | %-25s | %6s\n", "", "", "as the GUI thread sees it",
                    "gap at the far end", "");
        std::printf("%-11s %5s | %7s %7s %7s %8s | %7s %7s %7s %5s | %6s\n", "pacer", "P ms",
                    "median", "p99", "max", "early", "median", "p99", "max", "early", "CPU %");
        for (const Row& r : rows)
            std::printf("%-11s %5d | %7.3f %7.3f %7.3f %8d | %7.3f %7.3f %7.3f %5d | %6.2f\n",
                        r.pacer, r.pauseMs, r.local.median, r.local.p99, r.local.max, r.local.early,
                        r.far.median, r.far.p99, r.far.max, r.far.early, r.cpuPercent);
        std::printf("GUI thread CPU with no pause running (event loop repainting): %.2f %%\n",
                    idleCpu);
        std::printf("goal for the GUI pacer: never early, median <= 0.100, p99 <= 0.500, "
                    "CPU <= 2%%\n");
        QCoreApplication::quit();
    });
    const int rc = app.exec();
    close(master);
    return rc != 0 ? rc : status;
}
