// Where and in what order work runs: the main queue (a RunLoop here), the global queue and
// dispatch groups. Waits are bounded by kPatience, which only a broken build ever reaches: a
// fault fails the test instead of hanging the suite.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/DispatchGroup.h"
#include "platform/GlobalQueue.h"
#include "platform/MainQueue.h"
#include "platform/RunLoop.h"

namespace pressling {
namespace {

using namespace std::chrono_literals;

constexpr auto kPatience = 10s;

// Counts events from any thread and lets a thread wait for a number of them without hanging.
// Held through a shared_ptr by work items, which may outlive a failed test.
class Tally {
  public:
    void add() {
        std::lock_guard lock(mutex_);
        ++count_;
        changed_.notify_all();
    }
    // True once count reaches n; false if it has not within patience.
    bool waitFor(int n, std::chrono::milliseconds patience) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, patience, [&] { return count_ >= n; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

// Each test gets a fresh main queue; its destruction uninstalls it.
class WithMainLoop : public testing::Test {
  protected:
    WithMainLoop() { installMainQueue(loop); }
    RunLoop loop;
};

class RunLoopTest : public WithMainLoop {
  protected:
    // run(), stopped by a watchdog after kPatience so that a missing stop fails the test.
    // Returns false when it was the watchdog that stopped the loop.
    bool runGuarded() {
        std::atomic<bool> watchdogFired = false;
        Tally finished;
        std::thread watchdog([&] {
            if (!finished.waitFor(1, kPatience)) {
                watchdogFired = true;
                loop.stop();
            }
        });
        loop.run();
        finished.add();
        watchdog.join();
        return !watchdogFired;
    }
};

TEST_F(RunLoopTest, RunsItemsInSubmissionOrder) {
    std::vector<std::string> order;
    mainQueue().async([&] {
        order.push_back("a");
        // Submitted while processing: joins the back, after c, and waits for the next call.
        mainQueue().async([&] { order.push_back("nested"); });
    });
    mainQueue().async([&] { order.push_back("b"); });
    mainQueue().async([&] { order.push_back("c"); });

    EXPECT_EQ(loop.processPending(), 3u);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(loop.processPending(), 1u);
    EXPECT_EQ(order.back(), "nested");
}

TEST_F(RunLoopTest, DelayedItemsRunWhenDueAfterImmediateOnes) {
    std::vector<std::string> order;
    mainQueue().asyncAfter(60ms, [&] { order.push_back("late"); });
    mainQueue().asyncAfter(20ms, [&] { order.push_back("early"); });
    mainQueue().asyncAfter(1h, [&] { order.push_back("never"); });
    mainQueue().async([&] { order.push_back("now"); });
    mainQueue().asyncAfter(0ms, [&] { order.push_back("zero delay"); });

    ASSERT_TRUE(loop.runUntil([&] { return order.size() >= 4; }, kPatience));
    EXPECT_EQ(order, (std::vector<std::string>{"now", "zero delay", "early", "late"}));
    EXPECT_EQ(loop.processPending(), 0u) << "an item ran before its delay had passed";
}

TEST_F(RunLoopTest, RunUntilGivesUpWhenThePredicateNeverHolds) {
    int ran = 0;
    mainQueue().async([&] { ++ran; });
    EXPECT_FALSE(loop.runUntil([] { return false; }, 30ms));
    EXPECT_EQ(ran, 1) << "work that was ready should run while waiting";
}

TEST_F(RunLoopTest, ItemsFromManyThreadsEachRunOnceOnTheMainThreadInTheirOrder) {
    constexpr int kThreads = 8;
    constexpr int kItemsPerThread = 200;
    std::map<int, std::vector<int>> seenByThread;  // touched only on the main thread
    int offMainThread = 0;
    std::atomic<int> workersOnMainThread = 0;

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            if (mainQueue().isCurrent()) ++workersOnMainThread;
            for (int i = 0; i < kItemsPerThread; ++i) {
                mainQueue().async([&, t, i] {
                    if (!mainQueue().isCurrent()) ++offMainThread;
                    seenByThread[t].push_back(i);
                });
            }
        });
    }
    const bool allRan = loop.runUntil(
        [&] {
            std::size_t total = 0;
            for (const auto& [thread, seen] : seenByThread) total += seen.size();
            return total == kThreads * kItemsPerThread;
        },
        kPatience);
    for (auto& thread : threads) thread.join();

    ASSERT_TRUE(allRan);
    EXPECT_EQ(offMainThread, 0);
    EXPECT_EQ(workersOnMainThread, 0);
    std::vector<int> expected(kItemsPerThread);
    for (int i = 0; i < kItemsPerThread; ++i) expected[i] = i;
    for (const auto& [thread, seen] : seenByThread)
        EXPECT_EQ(seen, expected) << "thread " << thread;
    EXPECT_EQ(loop.processPending(), 0u) << "an item ran twice or was left behind";
}

TEST_F(RunLoopTest, StopEndsRunAfterTheCurrentItem) {
    std::vector<std::string> order;
    mainQueue().async([&] { order.push_back("before"); });
    mainQueue().async([&] {
        order.push_back("stopping");
        loop.stop();
    });
    mainQueue().async([&] { order.push_back("after"); });

    ASSERT_TRUE(runGuarded());
    EXPECT_EQ(order, (std::vector<std::string>{"before", "stopping"}));
    EXPECT_EQ(loop.processPending(), 1u);
    EXPECT_EQ(order.back(), "after");
}

TEST_F(RunLoopTest, StopFromAnotherThreadWakesASleepingRun) {
    auto ranOnMain = std::make_shared<Tally>();
    std::thread worker([this, ranOnMain] {
        mainQueue().async([ranOnMain] { ranOnMain->add(); });
        // Stop only once the loop has drained its work and gone back to sleep.
        if (ranOnMain->waitFor(1, kPatience)) loop.stop();
    });
    const bool stoppedByWorker = runGuarded();
    worker.join();
    EXPECT_TRUE(stoppedByWorker);
}

TEST_F(RunLoopTest, StopBeforeRunIsNotLost) {
    // A completion on a worker may call stop() before the main thread has entered run().
    std::thread([this] { loop.stop(); }).join();
    EXPECT_TRUE(runGuarded());
}

TEST_F(RunLoopTest, AThrowingItemDoesNotStopTheLoop) {
    bool ranAfter = false;
    mainQueue().async([] { throw std::runtime_error("broken item"); });
    mainQueue().async([&] { ranAfter = true; });
    EXPECT_EQ(loop.processPending(), 2u);
    EXPECT_TRUE(ranAfter);
}

TEST(GlobalQueueTest, RunsItemsConcurrently) {
    // Each item waits for the other; on a single thread the first would wait in vain.
    auto arrived = std::make_shared<Tally>();
    auto met = std::make_shared<std::atomic<int>>(0);
    auto done = std::make_shared<Tally>();
    for (int i = 0; i < 2; ++i) {
        globalAsync([arrived, met, done] {
            arrived->add();
            if (arrived->waitFor(2, kPatience)) ++*met;
            done->add();
        });
    }
    ASSERT_TRUE(done->waitFor(2, 2 * kPatience));
    EXPECT_EQ(*met, 2);
}

TEST(GlobalQueueTest, WaitingForIdleCoversItemsThatSubmitMoreItems) {
    std::atomic<int> finished = 0;
    for (int i = 0; i < 6; ++i) {
        globalAsync([&] {
            std::this_thread::sleep_for(20ms);
            globalAsync([&] {
                std::this_thread::sleep_for(20ms);
                ++finished;
            });
            ++finished;
        });
    }
    EXPECT_TRUE(waitUntilGlobalQueueIdle(kPatience));
    EXPECT_EQ(finished.load(), 12);
}

TEST(GlobalQueueTest, WaitingForIdleGivesUpOnABusyQueue) {
    std::atomic<bool> release = false;
    globalAsync([&] {
        while (!release) std::this_thread::sleep_for(1ms);
    });
    EXPECT_FALSE(waitUntilGlobalQueueIdle(50ms));
    release = true;
    EXPECT_TRUE(waitUntilGlobalQueueIdle(kPatience));
}

TEST(GlobalQueueTest, ThrowingItemsDoNotTakeDownTheirThreads) {
    // More throwing items than the pool can ever have threads: if a throw ended its thread,
    // the pool would run dry before reaching the last item.
    const int throwing = 1 + int(std::max(4u, 2 * std::thread::hardware_concurrency()));
    for (int i = 0; i < throwing; ++i) globalAsync([] { throw std::runtime_error("broken item"); });
    auto ran = std::make_shared<Tally>();
    globalAsync([ran] { ran->add(); });
    EXPECT_TRUE(ran->waitFor(1, kPatience));
}

class DispatchGroupTest : public WithMainLoop {};

TEST_F(DispatchGroupTest, NotifyRunsOnceOnTheMainQueueAfterTheLastLeave) {
    constexpr int kItems = 16;
    auto group = std::make_shared<DispatchGroup>();
    auto finished = std::make_shared<std::atomic<int>>(0);
    auto workersOnMain = std::make_shared<std::atomic<int>>(0);
    int notified = 0;
    int finishedWhenNotified = -1;
    bool notifiedOnMain = false;

    for (int i = 0; i < kItems; ++i) group->enter();
    group->notify([&] {
        ++notified;
        finishedWhenNotified = *finished;
        notifiedOnMain = mainQueue().isCurrent();
    });
    for (int i = 0; i < kItems; ++i) {
        globalAsync([group, finished, workersOnMain] {
            if (mainQueue().isCurrent()) ++*workersOnMain;
            ++*finished;
            group->leave();
        });
    }

    ASSERT_TRUE(loop.runUntil([&] { return notified > 0; }, kPatience));
    EXPECT_EQ(finishedWhenNotified, kItems);
    EXPECT_TRUE(notifiedOnMain);
    EXPECT_EQ(*workersOnMain, 0);

    // A later round of the same group must not fire the notification again.
    group->enter();
    group->leave();
    loop.processPending();
    EXPECT_EQ(notified, 1);
}

TEST_F(DispatchGroupTest, NotifyOnAnIdleGroupIsQueuedNotRunInline) {
    DispatchGroup group;
    bool ran = false;
    group.notify([&] { ran = true; });
    EXPECT_FALSE(ran) << "notify must hand its work to the main queue, not call it";
    EXPECT_EQ(loop.processPending(), 1u);
    EXPECT_TRUE(ran);
}

TEST_F(DispatchGroupTest, WaitTimesOutWhileWorkIsOutstanding) {
    auto group = std::make_shared<DispatchGroup>();
    group->enter();
    group->enter();
    EXPECT_FALSE(group->wait(20ms));
    group->leave();
    EXPECT_FALSE(group->wait(20ms)) << "one of two items is still outstanding";

    globalAsync([group] { group->leave(); });
    EXPECT_TRUE(group->wait(kPatience));
}

TEST_F(DispatchGroupTest, UnmatchedLeaveIsRejected) {
    DispatchGroup group;
#ifdef NDEBUG
    // Release builds log it and keep the count at zero: had it gone to -1, the next enter would
    // bring it back to zero and fire notify while that work is still outstanding.
    group.leave();
    group.enter();
    bool ran = false;
    group.notify([&] { ran = true; });
    loop.processPending();
    EXPECT_FALSE(ran);
    group.leave();
    loop.processPending();
    EXPECT_TRUE(ran);
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(group.leave(), "without a matching enter");
#endif
}

}  // namespace
}  // namespace pressling
