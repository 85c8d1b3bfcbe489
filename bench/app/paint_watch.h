// For the start-up probes: notices the first paint of a window, lets it finish, then prints
// the monotonic time (nanoseconds) on standard output as "painted <ns>" and ends the event
// loop once what was already queued has run too (a program's work deferred until after its
// first paint counts in its peak memory).
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace comsetup::bench {

class PaintWatch : public QObject {
public:
    explicit PaintWatch(QObject* window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Runs once the paint event (and the flush it starts) has been handled.
            QTimer::singleShot(0, [] {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                std::printf("painted %lld\n",
                            static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
                std::fflush(stdout);
                QTimer::singleShot(0, &QCoreApplication::quit);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen_ = false;
};

} // namespace comsetup::bench
