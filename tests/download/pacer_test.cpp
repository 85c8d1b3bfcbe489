// The pacers: a real Delay is never shorter than asked and runs owner-thread work while it
// waits; the virtual one moves time only in Delay.
#include "download/pacer.h"

#include "serial/owner_pump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <sched.h>
#endif

namespace comsetup {
namespace {

using namespace std::chrono_literals;

TEST(RealPacer, DelayIsNeverShorterThanAsked) {
    QueuedOwnerPump pump;
    for (QueuedOwnerPump* p : {static_cast<QueuedOwnerPump*>(nullptr), &pump}) {
        RealPacer pacer(p);
        for (int ms : {1, 3, 20, 3, 7}) {
            const auto start = pacer.Now();
            pacer.Delay(ms);
            EXPECT_GE(pacer.Now() - start, std::chrono::milliseconds(ms)) << ms;
        }
    }
}

TEST(RealPacer, ZeroAndNegativeDelaysRunNothing) {
    QueuedOwnerPump pump;
    RealPacer pacer(&pump);
    int ran = 0;
    pump.Post([&] { ++ran; });
    pacer.Delay(0);
    pacer.Delay(-5);
    EXPECT_EQ(ran, 0);
    pacer.ProcessMessages();
    EXPECT_EQ(ran, 1);
}

TEST(RealPacer, WorkPostedFromAnotherThreadRunsDuringTheDelay) {
    QueuedOwnerPump pump;
    RealPacer pacer(&pump);
    const auto owner = std::this_thread::get_id();
    std::atomic<bool> ran{false};
    std::atomic<bool> ranOnOwner{false};
    std::thread poster([&] {
        std::this_thread::sleep_for(20ms);
        pump.Post([&] {
            ranOnOwner = std::this_thread::get_id() == owner;
            ran = true;
        });
    });
    // Long enough that the post lands well inside the wait; read before the join, so that
    // only the delay itself can have run it.
    pacer.Delay(300);
    const bool ranDuringTheDelay = ran.load();
    poster.join();
    EXPECT_TRUE(ranDuringTheDelay);
    EXPECT_TRUE(ranOnOwner.load());
    EXPECT_EQ(pump.PendingCount(), 0u);
}

TEST(RealPacer, ASpinMarginKeepsTheLowerBound) {
    RealPacer pacer(nullptr, RealPacerOptions{2ms, 200us});
    for (int ms : {1, 5}) {
        const auto start = pacer.Now();
        pacer.Delay(ms);
        EXPECT_GE(pacer.Now() - start, std::chrono::milliseconds(ms));
    }
}

// The calling thread's scheduling as the system holds it, and what a raised pacer gives.
#ifdef _WIN32
int SchedulingPolicy() {
    return GetThreadPriority(GetCurrentThread());
}
constexpr int kRaised = THREAD_PRIORITY_HIGHEST;
#else
int SchedulingPolicy() {
    int policy = -1;
    sched_param param{};
    pthread_getschedparam(pthread_self(), &policy, &param);
    return policy;
}
constexpr int kRaised = SCHED_FIFO;
#endif

// Real-time priority only where the system allows it, only when asked for, and given back
// when the pacer goes.
TEST(RealPacer, RealTimePriorityWhileThePacerLivesWhereAllowed) {
    std::thread([] { // a thread of its own: the test runner's keeps its scheduling regardless
        const int before = SchedulingPolicy();
        {
            RealPacerOptions plain;
            plain.realTimePriority = false;
            RealPacer pacer(nullptr, plain);
            pacer.Delay(1);
            EXPECT_FALSE(pacer.RealTime());
            EXPECT_EQ(SchedulingPolicy(), before);
        }
        {
            RealPacer pacer;
            pacer.Delay(1);
            EXPECT_EQ(SchedulingPolicy(), pacer.RealTime() ? kRaised : before);
        }
        EXPECT_EQ(SchedulingPolicy(), before);
    })
        .join();
}

TEST(VirtualPacer, TimeMovesOnlyInDelayAndTheListenerSeesIt) {
    VirtualPacer pacer;
    std::vector<std::int64_t> seen;
    pacer.SetListener([&](std::chrono::nanoseconds now) {
        seen.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    });
    pacer.Delay(300);
    pacer.ProcessMessages();
    pacer.Delay(0);
    pacer.Delay(-5);
    pacer.Delay(20);
    EXPECT_EQ(pacer.NowMs(), 320);
    EXPECT_EQ(pacer.Delays(), (std::vector<int>{300, 20}));
    EXPECT_EQ(pacer.ProcessCount(), 1);
    EXPECT_EQ(seen, (std::vector<std::int64_t>{300, 300, 320}));
}

} // namespace
} // namespace comsetup
