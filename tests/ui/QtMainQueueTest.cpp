// The main queue on Qt's event loop: many threads, delays, throwing work, a closed queue.

#include "support/QtTestSupport.h"
#include "ui/QtMainQueue.h"

#include <QCoreApplication>

#include <atomic>
#include <thread>

namespace pressling::ui {
namespace {

using namespace std::chrono_literals;

TEST(QtMainQueueTest, runsAllOnTheMainThreadInEachThreadsOrderAndDelayedItemsLast) {
    constexpr int kThreads = 4, kItems = 300;
    std::vector<std::vector<int>> seen(kThreads);
    std::vector<std::string> order;
    std::atomic<int> offMain = 0, done = 0;
    mainQueue().asyncAfter(30ms, [&] { order.push_back("delayed"); });
    mainQueue().asyncAfter(0ms, [&] { order.push_back("zero keeps its place"); });
    mainQueue().async([&] { order.push_back("async"); });
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            offMain += mainQueue().isCurrent() ? 1000 : 0;
            if (t == 0) mainQueue().asyncAfter(10ms, [&] { order.push_back("from a worker"); });
            for (int i = 0; i < kItems; ++i) {
                mainQueue().async([&, t, i] {
                    offMain += mainQueue().isCurrent() ? 0 : 1;
                    seen[t].push_back(i);
                    ++done;
                });
            }
        });
    }
    threads.clear();
    ASSERT_TRUE(test::waitUntil([&] { return done == kThreads * kItems && order.size() == 4; }));
    EXPECT_EQ(offMain, 0);
    for (const auto& items : seen) EXPECT_TRUE(std::ranges::is_sorted(items));
    EXPECT_EQ(order[0] + ", " + order[1], "zero keeps its place, async");
}

TEST(QtMainQueueTest, anItemThatThrowsIsLoggedAndTheNextOneRuns) {
    bool ran = false;
    testing::internal::CaptureStderr();
    mainQueue().async([] { throw std::runtime_error("broken item"); });
    mainQueue().async([&] { ran = true; });
    EXPECT_TRUE(test::waitUntil([&] { return ran; }));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("broken item"), std::string::npos);
}

TEST(QtMainQueueTest, aClosedQueueDropsWorkAndStaysInstalledUntilAnotherTakesOver) {
    QtMainQueue& queue = QtMainQueue::install();
    bool ran = false;
    queue.async([&] { ran = true; });
    queue.close();
    // A worker calling back after the window closed finds a queue that runs nothing.
    std::thread([&] { mainQueue().async([&] { ran = true; }); }).join();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
    EXPECT_NE(&QtMainQueue::install(), &queue);
    mainQueue().async([&] { ran = true; });
    EXPECT_TRUE(test::waitUntil([&] { return ran; }));
}

}  // namespace
}  // namespace pressling::ui
