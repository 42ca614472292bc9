// Who hears a notification, on which thread, and when; never after the observer's token is gone.

#include "platform/NotificationCenter.h"

#include "platform/MainQueue.h"
#include "platform/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace pressling {
namespace {

using Delivery = NotificationCenter::Delivery;
using Observer = NotificationCenter::Observer;
using Heard = std::vector<std::string>;
using IndexPath = std::pair<int, int>;  // section and row, as a list screen posts them

// A fresh centre per test: observers left behind by one test never hear another.
class NotificationCenterTest : public testing::Test {
protected:
    NotificationCenterTest() { installMainQueue(loop); }
    // An observer that records what it hears, as "<label>" or "<label> on main".
    Observer record(std::string name, std::optional<NotificationCenter::ObjectFilter> object,
                    std::string label, Delivery delivery = Delivery::mainQueue) {
        return center.addObserver(
            std::move(name), std::move(object), delivery, [this, label](const Notification&) {
                heard.push_back(label + (mainQueue().isCurrent() ? " on main" : ""));
            });
    }
    RunLoop loop;
    NotificationCenter center;
    Heard heard;  // written by observers on the main thread, or by one worker at a time
};

TEST_F(NotificationCenterTest, AMainThreadPostIsHeardBeforePostReturnsAWorkerPostOnTheQueue) {
    auto onMain = record("SelectFeed", std::nullopt, "main");
    auto onPoster = center.addObserver(
        "SelectFeed", std::nullopt, Delivery::postingThread, [&](const Notification& n) {
            heard.push_back(mainQueue().isCurrent() ? "poster on main" : "poster");
            EXPECT_EQ(*n.objectAs<IndexPath>(), (IndexPath{0, 3}));
        });
    center.post("SelectFeed", IndexPath{0, 3});
    EXPECT_EQ(heard, (Heard{"main on main", "poster on main"}));
    EXPECT_EQ(loop.processPending(), 0u) << "delivered a second time through the queue";

    std::thread([&] { center.post("SelectFeed", IndexPath{0, 3}); }).join();
    EXPECT_EQ(loop.processPending(), 1u);
    EXPECT_EQ(heard, (Heard{"main on main", "poster on main", "poster", "main on main"}));
}

TEST_F(NotificationCenterTest, ObserversHearOnlyTheirNameAndObject) {
    int sender = 0, otherSender = 0;
    auto bySender = record("didSave", &sender, "sender");
    auto byValue = record("SelectFeed", IndexPath{0, 2}, "row two");
    auto any = record("didSave", std::nullopt, "any");

    center.post("didSave", &sender);
    center.post("didSave", static_cast<const int*>(&sender));  // same address, other constness
    center.post("didSave", &otherSender);
    center.post("didSave");
    center.post("didSave", 0L);  // a value that is not a pointer at all
    center.post("didSaves", &sender);
    center.post("didsave", &sender);
    center.post("SelectFeed", IndexPath{0, 2});
    center.post("SelectFeed", IndexPath{2, 0});

    EXPECT_EQ(heard, (Heard{"sender on main", "any on main", "sender on main", "any on main",
                            "any on main", "any on main", "any on main", "row two on main"}));
}

TEST_F(NotificationCenterTest, NoDeliveryOnceTheTokenIsGone) {
    { auto token = record("willUpdateWeb", std::nullopt, "scoped"); }
    auto removed = record("willUpdateWeb", std::nullopt, "removed");
    center.removeObserver(removed);
    // A screen closed between a worker's post and the main queue getting to it hears nothing.
    auto closing = record("willUpdateWeb", std::nullopt, "closing");
    std::thread([&] { center.post("willUpdateWeb"); }).join();
    closing = {};
    loop.processPending();
    center.post("willUpdateWeb");
    EXPECT_EQ(heard, Heard{});
}

TEST_F(NotificationCenterTest, ObserversMayChangeTheListWhileBeingCalled) {
    Observer self, victim, latecomer;
    bool addedLatecomer = false;
    self = center.addObserver("tick", std::nullopt, Delivery::mainQueue, [&](const Notification&) {
        heard.push_back("self");
        self = {};  // destroys the callback that is running
    });
    auto remover =
        center.addObserver("tick", std::nullopt, Delivery::mainQueue, [&](const Notification&) {
            heard.push_back("remover");
            victim = {};
            if (!std::exchange(addedLatecomer, true))
                latecomer = record("tick", std::nullopt, "latecomer");
        });
    victim = record("tick", std::nullopt, "victim");

    center.post("tick");
    EXPECT_EQ(heard, (Heard{"self", "remover"}));
    center.post("tick");
    EXPECT_EQ(heard, (Heard{"self", "remover", "remover", "latecomer on main"}));
}

TEST_F(NotificationCenterTest, ConcurrentObserversAndPostersEachHearTheirOwnPosts) {
    constexpr int kThreads = 4, kPosts = 300;
    std::vector<std::atomic<int>> counts(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            auto token = center.addObserver("tick", t, Delivery::postingThread,
                                            [&, t](const Notification&) { ++counts[t]; });
            for (int i = 0; i < kPosts; ++i) {
                center.post("tick", t);
                center.post("tick", (t + 1) % kThreads);  // heard, if at all, by a neighbour
            }
        });
    }
    for (auto& thread : threads) thread.join();
    // Each thread's own posts fall inside its observation; the neighbour's may fall outside.
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_GE(counts[t], kPosts) << "thread " << t;
        EXPECT_LE(counts[t], 2 * kPosts) << "thread " << t;
    }
}

}  // namespace
}  // namespace pressling
