#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/MainQueue.h"

namespace pressling {

// The main queue of pressling-cli and of the tests: a queue of work items that the main thread
// drains whenever it calls run, runUntil or processPending. Nothing runs between those calls;
// submitted work waits.
//
// The thread that constructs the loop is its main thread. async, asyncAfter, isCurrent and stop
// may be called from any thread; run, runUntil and processPending only from the main thread
// (called elsewhere they log, run nothing and return at once). Items run one at a time, in
// submission order; a delayed item joins the back of that order when its delay has passed. An
// item may itself call runUntil or processPending (a nested loop), as a modal wait would.
// An exception escaping an item is logged and the loop carries on with the next one.
//
// Destroying the loop drops the work still queued without running it, and uninstalls the loop
// if it is the installed main queue. Destroy it on the main thread.
class RunLoop final : public MainQueue {
public:
    RunLoop();
    ~RunLoop() override;
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    void async(std::function<void()> work) override;
    void asyncAfter(std::chrono::milliseconds delay, std::function<void()> work) override;
    bool isCurrent() const override;

    // Runs work as it arrives, sleeping while there is none, until stop() is called. A stop()
    // that came before run() was entered makes it return at once; each stop() ends one run().
    void run();

    // Makes run() return once the item in progress (if any) has finished. Any thread.
    void stop();

    // Runs work as it arrives until predicate() is true or timeout has passed, and returns
    // whether predicate() was true at the end. The predicate is checked on the main thread
    // before each item, so it may read state that only main-queue work writes. Returns true at
    // once, running nothing, if the predicate already holds. Ignores stop().
    bool runUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout);

    // Runs the items that are due now, without waiting for more, and returns how many ran.
    // Items they submit wait for the next call, so an item that resubmits itself cannot trap
    // the caller.
    std::size_t processPending();

private:
    using Clock = std::chrono::steady_clock;

    struct Delayed {
        Clock::time_point due;
        std::uint64_t sequence;  // equal due times keep submission order
        std::function<void()> work;
    };

    // Both REQUIRE mutex_ held.
    void moveDueItems(Clock::time_point now);
    Clock::time_point nextWakeUp(Clock::time_point limit) const;

    // Waits until an item is ready and returns it; returns an empty function once deadline has
    // passed or, if stoppable, when stop() was called (consuming that stop). Submission refuses
    // empty functions, so an empty result always means "no item".
    std::function<void()> takeNext(Clock::time_point deadline, bool stoppable);
    static void runItem(std::function<void()>& work);
    bool isCallerMainThread(const char* operation) const;

    const std::thread::id mainThread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> ready_;
    std::vector<Delayed> delayed_;  // a heap, earliest due first
    std::uint64_t nextSequence_ = 0;
    bool stopRequested_ = false;
};

}  // namespace pressling
