// The main queue on Qt's event loop: the order and completeness of work handed over from many
// threads at once, work that throws, and a queue that keeps answering after it was closed (a
// refresh that calls back after the window went).

#include "platform/MainQueue.h"
#include "support/QtTestSupport.h"
#include "ui/QtMainQueue.h"

#include <gtest/gtest.h>
#include <QCoreApplication>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace pressling::ui {
namespace {

using test::waitUntil;

TEST(QtMainQueueTest, runsEveryItemFromManyThreadsOnTheMainThreadInEachThreadsOrder) {
    constexpr int kThreads = 8;
    constexpr int kItems = 500;
    std::vector<std::vector<int>> seen(kThreads);
    std::atomic<int> offMain = 0;
    int done = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kItems; ++i) {
                mainQueue().async([&, t, i] {
                    if (!mainQueue().isCurrent()) ++offMain;
                    seen[t].push_back(i);
                    ++done;
                });
            }
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(waitUntil([&] { return done == kThreads * kItems; }));
    EXPECT_EQ(offMain, 0);
    for (const auto& items : seen) {
        ASSERT_EQ(items.size(), std::size_t(kItems));
        EXPECT_TRUE(std::is_sorted(items.begin(), items.end()));
    }
}

TEST(QtMainQueueTest, isCurrentOnlyOnTheApplicationsThread) {
    EXPECT_TRUE(mainQueue().isCurrent());
    bool elsewhere = true;
    std::thread([&] { elsewhere = mainQueue().isCurrent(); }).join();
    EXPECT_FALSE(elsewhere);
}

TEST(QtMainQueueTest, aDelayedItemRunsAfterImmediateOnesAndANonPositiveDelayKeepsItsPlace) {
    std::vector<std::string> order;
    mainQueue().asyncAfter(std::chrono::milliseconds(30), [&] { order.push_back("delayed"); });
    mainQueue().asyncAfter(std::chrono::milliseconds(0), [&] { order.push_back("zero"); });
    mainQueue().async([&] { order.push_back("async"); });
    // From another thread the timer must still be started where it can fire.
    std::thread([&] {
        mainQueue().asyncAfter(std::chrono::milliseconds(10),
                               [&] { order.push_back("from worker"); });
    }).join();
    ASSERT_TRUE(waitUntil([&] { return order.size() == 4; }));
    EXPECT_EQ(order[0], "zero");
    EXPECT_EQ(order[1], "async");
    EXPECT_NE(std::find(order.begin() + 2, order.end(), "delayed"), order.end());
    EXPECT_NE(std::find(order.begin() + 2, order.end(), "from worker"), order.end());
}

TEST(QtMainQueueTest, anItemThatThrowsIsLoggedAndTheNextOneRuns) {
    bool ran = false;
    testing::internal::CaptureStderr();
    mainQueue().async([] { throw std::runtime_error("broken item"); });
    mainQueue().async([&] { ran = true; });
    const bool finished = waitUntil([&] { return ran; });
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(finished);
    EXPECT_NE(log.find("broken item"), std::string::npos);
}

TEST(QtMainQueueTest, aClosedQueueDropsWorkAndStaysInstalledUntilAnotherTakesOver) {
    QtMainQueue& queue = QtMainQueue::install();
    bool ranQueued = false;
    bool ranLate = false;
    queue.async([&] { ranQueued = true; });
    queue.close();
    EXPECT_TRUE(queue.isClosed());
    // A worker calling back after the application closed must find a queue, not stop the
    // process, and its work must not run.
    std::thread([&] { mainQueue().async([&] { ranLate = true; }); }).join();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ranQueued);
    EXPECT_FALSE(ranLate);

    QtMainQueue& fresh = QtMainQueue::install();
    EXPECT_NE(&fresh, &queue);
    bool ran = false;
    mainQueue().async([&] { ran = true; });
    EXPECT_TRUE(waitUntil([&] { return ran; }));
}

}  // namespace
}  // namespace pressling::ui
