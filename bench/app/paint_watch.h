// For the start-up probes: notices the first paint of a window, lets it finish, then prints
// the monotonic time (nanoseconds) on standard output as "painted <ns>" and ends the event
// loop, once `settled` holds if one is given: work a program defers until after its first
// paint then counts in its peak memory.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <utility>

namespace comsetup::bench {

class PaintWatch : public QObject {
public:
    explicit PaintWatch(QObject* window, std::function<bool()> settled = {})
        : settled_(std::move(settled)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Runs once the paint event (and the flush it starts) has been handled.
            QTimer::singleShot(0, this, [this] {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                std::printf("painted %lld\n",
                            static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
                std::fflush(stdout);
                QuitWhenSettled();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void QuitWhenSettled() {
        if (!settled_ || settled_())
            QCoreApplication::quit();
        else
            QTimer::singleShot(std::chrono::milliseconds(1), this, [this] { QuitWhenSettled(); });
    }

    std::function<bool()> settled_;
    bool seen_ = false;
};

} // namespace comsetup::bench
