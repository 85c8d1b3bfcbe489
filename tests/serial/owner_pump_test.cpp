// The queue-based owner-thread pump.
#include "serial/owner_pump.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using comsetup::QueuedOwnerPump;
using namespace std::chrono_literals;

TEST(QueuedOwnerPump, RunsCallsInPostOrderOnTheCallingThread) {
    QueuedOwnerPump pump;
    std::vector<int> order;
    std::thread::id ranOn;
    std::thread poster([&] {
        for (int i = 0; i < 5; ++i)
            pump.Post([&, i] {
                order.push_back(i);
                ranOn = std::this_thread::get_id();
            });
    });
    poster.join();
    EXPECT_EQ(pump.PendingCount(), 5u);
    EXPECT_EQ(pump.RunPending(), 5);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(pump.RunPending(), 0);
}

TEST(QueuedOwnerPump, CallsPostedWhileRunningWaitForTheNextRound) {
    QueuedOwnerPump pump;
    int ran = 0;
    pump.Post([&] {
        ++ran;
        pump.Post([&] { ++ran; });
    });
    EXPECT_EQ(pump.RunPending(), 1);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(pump.RunPending(), 1);
    EXPECT_EQ(ran, 2);
}

TEST(QueuedOwnerPump, AThrowingCallKeepsTheRestQueued) {
    QueuedOwnerPump pump;
    int ran = 0;
    pump.Post([] { throw std::runtime_error("boom"); });
    pump.Post([&] { ++ran; });
    EXPECT_THROW(pump.RunPending(), std::runtime_error);
    EXPECT_EQ(pump.PendingCount(), 1u);
    pump.RunPending();
    EXPECT_EQ(ran, 1);
}

TEST(QueuedOwnerPump, WaitReturnsWhenACallArrives) {
    QueuedOwnerPump pump;
    std::atomic<bool> ran{false};
    std::thread poster([&] {
        std::this_thread::sleep_for(20ms);
        pump.Post([&] { ran = true; });
    });
    int total = 0;
    for (int i = 0; i < 100 && !ran; ++i)
        total += pump.WaitAndRunPending(100ms);
    poster.join();
    EXPECT_TRUE(ran);
    EXPECT_EQ(total, 1);
}

} // namespace
