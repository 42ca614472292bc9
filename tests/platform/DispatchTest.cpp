// Where and in what order work runs: the main queue, the global queue and groups.

#include "platform/DispatchGroup.h"
#include "platform/GlobalQueue.h"
#include "platform/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <numeric>

namespace pressling {
namespace {

using namespace std::chrono_literals;
using Order = std::vector<std::string>;

constexpr auto kPatience = 10s;  // reached only by a broken build

// Whether promise is kept within the patience.
bool kept(std::promise<void>& promise, std::chrono::seconds patience = kPatience) {
    return promise.get_future().wait_for(patience) == std::future_status::ready;
}

class Dispatch : public testing::Test {
protected:
    Dispatch() { installMainQueue(loop); }
    // run(), ended by a delayed stop after kPatience; false when it lasted that long.
    bool runGuarded() {
        const auto start = std::chrono::steady_clock::now();
        mainQueue().asyncAfter(kPatience, [this] { loop.stop(); });
        loop.run();
        return std::chrono::steady_clock::now() - start < kPatience;
    }
    RunLoop loop;
};

TEST_F(Dispatch, MainQueueRunsItemsInOrderPastAThrowingOneAndDelayedOnesWhenDue) {
    Order order;
    const auto log = [&](const char* what) { return [&order, what] { order.push_back(what); }; };
    mainQueue().async([&] {
        order.push_back("a");
        mainQueue().async(log("nested"));  // joins the back and waits for the next call
    });
    mainQueue().async([] { throw std::runtime_error("broken item"); });
    mainQueue().async(log("b"));
    EXPECT_EQ(loop.processPending(), 3u);
    EXPECT_EQ(loop.processPending(), 1u);
    EXPECT_EQ(order, (Order{"a", "b", "nested"}));

    order.clear();
    mainQueue().asyncAfter(60ms, log("late"));
    mainQueue().asyncAfter(20ms, log("early"));
    mainQueue().asyncAfter(1h, log("never"));
    mainQueue().async(log("now"));
    mainQueue().asyncAfter(0ms, log("zero delay"));
    ASSERT_TRUE(loop.runUntil([&] { return order.size() >= 4; }, kPatience));
    EXPECT_EQ(order, (Order{"now", "zero delay", "early", "late"}));
    EXPECT_EQ(loop.processPending(), 0u) << "an item ran before its delay had passed";
    EXPECT_FALSE(loop.runUntil([] { return false; }, 30ms)) << "a predicate that never holds";
}

TEST_F(Dispatch, ItemsFromManyThreadsEachRunOnceOnTheMainThreadInTheirOrder) {
    constexpr int kThreads = 8, kItems = 200;
    std::vector<std::vector<int>> seen(kThreads);  // touched only on the main thread
    std::atomic<int> wrongThread = 0;
    int total = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            wrongThread += mainQueue().isCurrent();
            for (int i = 0; i < kItems; ++i) {
                mainQueue().async([&, t, i] {
                    wrongThread += !mainQueue().isCurrent();
                    seen[t].push_back(i), ++total;
                });
            }
        });
    }
    const bool allRan = loop.runUntil([&] { return total == kThreads * kItems; }, kPatience);
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(allRan);
    EXPECT_EQ(wrongThread, 0);
    std::vector<int> expected(kItems);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(seen, decltype(seen)(kThreads, expected));
    EXPECT_EQ(loop.processPending(), 0u) << "an item ran twice or was left behind";
}

TEST_F(Dispatch, StopEndsRunAfterTheCurrentItemFromAnyThreadAtAnyTime) {
    // A completion on a worker may call stop() before the main thread has entered run().
    std::thread([this] { loop.stop(); }).join();
    EXPECT_TRUE(runGuarded()) << "a stop before run was lost";

    Order order;
    mainQueue().async([&] { order.push_back("stopping"), loop.stop(); });
    mainQueue().async([&] { order.push_back("after"); });
    ASSERT_TRUE(runGuarded());
    EXPECT_EQ(order, Order{"stopping"});
    EXPECT_EQ(loop.processPending(), 1u);

    auto ranOnMain = std::make_shared<std::promise<void>>();
    std::jthread worker([this, ranOnMain] {
        mainQueue().async([ranOnMain] { ranOnMain->set_value(); });
        if (kept(*ranOnMain)) loop.stop();  // once the loop has gone back to sleep
    });
    EXPECT_TRUE(runGuarded()) << "a stop from a worker did not wake the loop";
}

TEST(GlobalQueue, RunsItemsConcurrentlyAndSurvivesThrowingOnes) {
    // More throwers than threads would run a pool dry; then an item that waits for the next one.
    const int throwing = 1 + int(std::max(4u, 2 * std::thread::hardware_concurrency()));
    for (int i = 0; i < throwing; ++i) globalAsync([] { throw std::runtime_error("broken"); });
    auto next = std::make_shared<std::promise<void>>(),
         met = std::make_shared<std::promise<void>>();
    globalAsync([next, met] {
        if (kept(*next)) met->set_value();
    });
    globalAsync([next] { next->set_value(); });
    EXPECT_TRUE(kept(*met, 2 * kPatience));
}

TEST(GlobalQueue, WaitingForIdleCoversItemsThatSubmitMoreAndGivesUpOnABusyQueue) {
    std::atomic<int> finished = 0;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    for (int i = 0; i < 2; ++i) {  // fewer than the pool has threads: all of them run
        globalAsync([&] {
            globalAsync([&] { released.wait(), ++finished; });
            ++finished;
        });
    }
    EXPECT_FALSE(waitUntilGlobalQueueIdle(50ms));
    release.set_value();
    EXPECT_TRUE(waitUntilGlobalQueueIdle(kPatience));
    EXPECT_EQ(finished, 4);
}

TEST_F(Dispatch, GroupNotifiesOnceOnTheMainQueueAfterTheLastLeaveAndWaitsForIt) {
    constexpr int kItems = 16;
    auto group = std::make_shared<DispatchGroup>();
    auto finished = std::make_shared<std::atomic<int>>(0);
    std::vector<int> finishedWhenNotified;
    for (int i = 0; i < kItems; ++i) group->enter();
    group->notify([&] {
        EXPECT_TRUE(mainQueue().isCurrent());
        finishedWhenNotified.push_back(*finished);
    });
    for (int i = 0; i < kItems; ++i) {
        globalAsync([group, finished] {
            EXPECT_FALSE(mainQueue().isCurrent());
            ++*finished, group->leave();
        });
    }
    ASSERT_TRUE(loop.runUntil([&] { return !finishedWhenNotified.empty(); }, kPatience));
    group->enter(), group->leave(), loop.processPending();  // a later round fires nothing
    EXPECT_EQ(finishedWhenNotified, std::vector<int>{kItems});

    bool ran = false;
    group->notify([&] { ran = true; });
    EXPECT_FALSE(ran) << "notify on an idle group must hand its work to the main queue";
    EXPECT_EQ(loop.processPending(), 1u);
    EXPECT_TRUE(ran);

    group->enter(), group->enter();
    group->notify([&] { ran = false; });
    group->leave(), loop.processPending();
    EXPECT_TRUE(ran) << "notified with one of two items outstanding";
    EXPECT_FALSE(group->wait(20ms)) << "one of two items is still outstanding";
    globalAsync([group] { group->leave(); });
    EXPECT_TRUE(group->wait(kPatience));
    EXPECT_TRUE(loop.runUntil([&] { return !ran; }, kPatience)) << "not notified at zero";
}

TEST_F(Dispatch, UnmatchedLeaveIsRejected) {
    DispatchGroup group;
#ifdef NDEBUG
    // Logged, the count kept at zero: at -1 the next enter would fire notify while it works.
    group.leave(), group.enter();
    bool ran = false;
    group.notify([&] { ran = true; });
    loop.processPending();
    EXPECT_FALSE(ran);
    group.leave(), loop.processPending();
    EXPECT_TRUE(ran);
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(group.leave(), "without a matching enter");
#endif
}

}  // namespace
}  // namespace pressling
