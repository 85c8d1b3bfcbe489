// The pacer of downloads started from the windows.
#include "app/gui_pacer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "download/precise_clock.h"

namespace comsetup {

namespace {

using namespace std::chrono;

// Sleeps until deadline with the download layer's precise sleep (an absolute-deadline
// clock_nanosleep on POSIX; a high-resolution waitable timer, then yielding, on Windows). Its
// clock need not share Clock's origin: the deadline is carried over as the time left, which
// reads Clock first and so can only err late.
void PreciseSleepUntil(GuiPacer::Clock::time_point deadline) {
    const auto left = ceil<nanoseconds>(deadline - GuiPacer::Clock::now());
    SleepUntil(MonotonicNow() + left);
}

} // namespace

GuiPacer::GuiPacer() {
    // Linux: the default slack of 50 us delays every timed wake-up of this (the GUI) thread;
    // Windows: the event loop's timers follow the system tick. The pauses want the finest.
    RequestPreciseWakeUps();
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
                PreciseSleepUntil(Clock::now() + milliseconds(10));
                ProcessMessages();
            }
            break;
        }
    }
    ProcessMessages();
    PreciseSleepUntil(deadline);
}

} // namespace comsetup
