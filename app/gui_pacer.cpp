// The pacer of downloads started from the windows.
#include "app/gui_pacer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cerrno>
#include <ctime>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#if defined(_WIN32)
#include <thread>
#endif

namespace comsetup {

namespace {

using namespace std::chrono;

// Sleeps on the monotonic clock until deadline (retrying after signals).
void SleepUntil(GuiPacer::Clock::time_point deadline) {
#if defined(_WIN32)
    std::this_thread::sleep_until(deadline);
#else
    // steady_clock is CLOCK_MONOTONIC here.
    const long long ns = duration_cast<nanoseconds>(deadline.time_since_epoch()).count();
    timespec due{};
    due.tv_sec = static_cast<time_t>(ns / 1'000'000'000LL);
    due.tv_nsec = static_cast<long>(ns % 1'000'000'000LL);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    }
#endif
}

} // namespace

GuiPacer::GuiPacer() {
#if defined(__linux__)
    // The default slack of 50 us delays every timed wake-up of this (the GUI) thread; the
    // pauses of a download want the smallest.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

std::chrono::nanoseconds GuiPacer::Now() {
    return duration_cast<nanoseconds>(Clock::now().time_since_epoch());
}

void GuiPacer::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void GuiPacer::Delay(int ms) {
    if (ms <= 0)
        return;
    WaitUntil(Clock::now() + milliseconds(ms) + kPauseGuard);
}

void GuiPacer::WaitUntil(Clock::time_point deadline) {
    for (;;) {
        const auto handOver = deadline - kHandOver;
        const auto timerMs = duration_cast<milliseconds>(handOver - Clock::now()).count();
        if (timerMs < 1)
            break;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(timerMs));
        if (loop.exec() != 0) {
            // The application is quitting: nested loops return at once. Keep the pause, in
            // slices that still let pending events through.
            while (Clock::now() + milliseconds(10) < handOver) {
                SleepUntil(Clock::now() + milliseconds(10));
                ProcessMessages();
            }
            break;
        }
    }
    ProcessMessages();
    SleepUntil(deadline);
}

} // namespace comsetup
