// Who hears a notification, on which thread, and when: before post returns on the main thread,
// through the main queue from a worker, never after the observer's token is gone.

#include "platform/NotificationCenter.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/MainQueue.h"
#include "platform/RunLoop.h"

namespace pressling {
namespace {

using namespace std::chrono_literals;
using Delivery = NotificationCenter::Delivery;

constexpr auto kPatience = 10s;

struct IndexPath {
    int section = 0;
    int row = 0;
    friend bool operator==(const IndexPath&, const IndexPath&) = default;
};

// A fresh centre per test, so that observers left behind by one test never hear another.
class NotificationCenterTest : public testing::Test {
  protected:
    NotificationCenterTest() { installMainQueue(loop); }
    RunLoop loop;
    NotificationCenter center;
};

TEST_F(NotificationCenterTest, MainQueueObserverHearsAMainThreadPostBeforePostReturns) {
    int heard = 0;
    auto token = center.addObserver("willUpdateWeb", std::nullopt, Delivery::mainQueue,
                                    [&](const Notification&) { ++heard; });
    center.post("willUpdateWeb");
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(loop.processPending(), 0u) << "delivered a second time through the queue";
}

TEST_F(NotificationCenterTest, AWorkerPostReachesMainQueueObserversOnTheMainThread) {
    const IndexPath selected{0, 3};
    std::vector<IndexPath> heardOnMain;
    bool mainObserverOnMainThread = false;
    std::thread::id postingObserverThread;
    auto onMain = center.addObserver("SelectFeed", std::nullopt, Delivery::mainQueue,
                                     [&](const Notification& notification) {
                                         mainObserverOnMainThread = mainQueue().isCurrent();
                                         if (auto* path = notification.objectAs<IndexPath>())
                                             heardOnMain.push_back(*path);
                                     });
    auto onPoster = center.addObserver(
        "SelectFeed", std::nullopt, Delivery::postingThread,
        [&](const Notification&) { postingObserverThread = std::this_thread::get_id(); });

    std::thread worker([&] { center.post("SelectFeed", selected); });
    const auto workerId = worker.get_id();
    worker.join();

    EXPECT_EQ(postingObserverThread, workerId);
    EXPECT_TRUE(heardOnMain.empty()) << "called off the main thread";
    ASSERT_TRUE(loop.runUntil([&] { return !heardOnMain.empty(); }, kPatience));
    EXPECT_TRUE(mainObserverOnMainThread);
    EXPECT_EQ(heardOnMain, std::vector<IndexPath>{selected});
}

TEST_F(NotificationCenterTest, ObserversHearOnlyTheirName) {
    std::vector<std::string> heard;
    auto record = [&](const Notification& notification) { heard.push_back(notification.name); };
    auto a = center.addObserver("willUpdateWeb", std::nullopt, Delivery::mainQueue, record);
    auto b = center.addObserver("SelectFeed", std::nullopt, Delivery::mainQueue, record);

    center.post("willUpdateWeb");
    center.post("willUpdateWebs");
    center.post("SelectFeed", IndexPath{1, 2});
    center.post("selectfeed");

    EXPECT_EQ(heard, (std::vector<std::string>{"willUpdateWeb", "SelectFeed"}));
}

TEST_F(NotificationCenterTest, AnObjectFilterPassesOnlyEqualObjects) {
    int sender = 0;
    int otherSender = 0;
    int fromSender = 0;
    int forRowTwo = 0;
    int unfiltered = 0;
    auto bySender = center.addObserver("didSave", &sender, Delivery::postingThread,
                                       [&](const Notification&) { ++fromSender; });
    auto byValue = center.addObserver("SelectFeed", IndexPath{0, 2}, Delivery::postingThread,
                                      [&](const Notification&) { ++forRowTwo; });
    auto any = center.addObserver("didSave", std::nullopt, Delivery::postingThread,
                                  [&](const Notification&) { ++unfiltered; });

    center.post("didSave", &sender);
    center.post("didSave", static_cast<const int*>(&sender));  // same address, other constness
    center.post("didSave", &otherSender);
    center.post("didSave");
    center.post("didSave", 0L);  // a value that is not a pointer at all
    center.post("SelectFeed", IndexPath{0, 2});
    center.post("SelectFeed", IndexPath{2, 0});

    EXPECT_EQ(fromSender, 2);
    EXPECT_EQ(forRowTwo, 1);
    EXPECT_EQ(unfiltered, 5);
}

TEST_F(NotificationCenterTest, EndingTheTokenStopsDelivery) {
    int heard = 0;
    auto count = [&](const Notification&) { ++heard; };
    {
        auto token = center.addObserver("willUpdateWeb", std::nullopt, Delivery::mainQueue, count);
        center.post("willUpdateWeb");
    }
    center.post("willUpdateWeb");
    EXPECT_EQ(heard, 1) << "a destroyed token still observes";

    auto token = center.addObserver("willUpdateWeb", std::nullopt, Delivery::mainQueue, count);
    center.removeObserver(token);
    center.post("willUpdateWeb");
    EXPECT_EQ(heard, 1) << "a removed observer still observes";

    // A screen closed between a worker's post and the main queue getting to it hears nothing.
    auto closing = center.addObserver("willUpdateWeb", std::nullopt, Delivery::mainQueue, count);
    std::thread([&] { center.post("willUpdateWeb"); }).join();
    closing = {};
    loop.processPending();
    EXPECT_EQ(heard, 1) << "delivered to an observer removed before the main queue ran";
}

TEST_F(NotificationCenterTest, ObserversMayChangeTheListWhileBeingCalled) {
    std::vector<std::string> heard;
    NotificationCenter::Observer self;
    NotificationCenter::Observer victim;
    NotificationCenter::Observer latecomer;
    bool addedLatecomer = false;
    self = center.addObserver("willUpdateWeb", std::nullopt, Delivery::mainQueue,
                              [&](const Notification&) {
                                  heard.push_back("self");
                                  self = {};  // destroys the callback that is running
                              });
    auto remover = center.addObserver(
        "willUpdateWeb", std::nullopt, Delivery::mainQueue, [&](const Notification&) {
            heard.push_back("remover");
            victim = {};
            if (!std::exchange(addedLatecomer, true)) {
                latecomer =
                    center.addObserver("willUpdateWeb", std::nullopt, Delivery::mainQueue,
                                       [&](const Notification&) { heard.push_back("latecomer"); });
            }
        });
    victim = center.addObserver("willUpdateWeb", std::nullopt, Delivery::mainQueue,
                                [&](const Notification&) { heard.push_back("victim"); });

    center.post("willUpdateWeb");
    EXPECT_EQ(heard, (std::vector<std::string>{"self", "remover"}));

    heard.clear();
    center.post("willUpdateWeb");
    EXPECT_EQ(heard, (std::vector<std::string>{"remover", "latecomer"}));
}

TEST_F(NotificationCenterTest, ConcurrentObserversAndPostersEachHearTheirOwnPosts) {
    constexpr int kThreads = 4;
    constexpr int kPosts = 300;
    std::vector<std::atomic<int>> heard(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            auto token = center.addObserver("tick", t, Delivery::postingThread,
                                            [&, t](const Notification&) { ++heard[t]; });
            for (int i = 0; i < kPosts; ++i) {
                center.post("tick", t);
                center.post("tick", (t + 1) % kThreads);  // heard, if at all, by a neighbour
            }
        });
    }
    for (auto& thread : threads) thread.join();
    // Each thread's own posts fall inside its observation, so each count is at least kPosts;
    // the neighbour's posts may fall before or after it.
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_GE(heard[t], kPosts) << "thread " << t;
        EXPECT_LE(heard[t], 2 * kPosts) << "thread " << t;
    }
}

}  // namespace
}  // namespace pressling
