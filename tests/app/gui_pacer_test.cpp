// The GUI's pacer and owner-thread pump: pauses never end early and keep the event loop
// running; calls posted from another thread run on the GUI thread during a pause.
#include "app/gui_pacer.h"
#include "app/qt_owner_pump.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace comsetup {
namespace {

using namespace std::chrono;

TEST(GuiPacer, PausesNeverEndEarlyAndTheEventLoopRunsMeanwhile) {
    GuiPacer pacer;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    for (int ms : {1, 2, 3, 7, 20, 60, 120}) {
        for (int round = 0; round < 3; ++round) {
            const int ticksBefore = ticks;
            const auto start = pacer.Now();
            pacer.Delay(ms);
            EXPECT_GE(pacer.Now() - start, milliseconds(ms)) << ms;
            if (ms >= 60) { // a 5 ms timer fell due within the pause: it must have run
                EXPECT_GT(ticks, ticksBefore) << ms;
            }
        }
    }
}

TEST(GuiPacer, ZeroAndNegativePausesReturnAtOnceWithoutRunningEvents) {
    GuiPacer pacer;
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    pacer.Delay(0);
    pacer.Delay(-5);
    EXPECT_FALSE(ran);
    pacer.ProcessMessages();
    EXPECT_TRUE(ran);
}

TEST(GuiPacer, ClockIsMonotonic) {
    GuiPacer pacer;
    auto last = pacer.Now();
    for (int i = 0; i < 1000; ++i) {
        const auto now = pacer.Now();
        ASSERT_GE(now, last);
        last = now;
    }
}

TEST(QtOwnerPump, CallsPostedFromAnotherThreadRunOnTheGuiThreadDuringAPause) {
    QtOwnerPump pump;
    GuiPacer pacer;
    const auto guiThread = std::this_thread::get_id();
    std::atomic<int> ranOnGui{0}, ranElsewhere{0};
    std::thread poster([&] {
        for (int i = 0; i < 50; ++i)
            pump.Post(
                [&] { (std::this_thread::get_id() == guiThread ? ranOnGui : ranElsewhere)++; });
    });
    poster.join();
    EXPECT_EQ(ranOnGui + ranElsewhere, 0); // never run inline by Post
    pacer.Delay(20);
    EXPECT_EQ(ranOnGui, 50);
    EXPECT_EQ(ranElsewhere, 0);
}

TEST(QtOwnerPump, CallsStillQueuedWhenThePumpGoesAreDropped) {
    bool ran = false;
    {
        QtOwnerPump pump;
        pump.Post([&] { ran = true; });
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace comsetup
