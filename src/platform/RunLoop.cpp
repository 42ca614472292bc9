#include "platform/RunLoop.h"

#include <algorithm>
#include <cassert>
#include <exception>
#include <utility>

#include <fmt/format.h>

#include "platform/Log.h"

namespace pressling {
namespace {

// Orders the delayed heap so that its front is the earliest due, ties by submission.
bool laterThan(const auto& a, const auto& b) {
    return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
}

// now + delay, saturating: a delay of milliseconds::max() means "never", not an overflow into
// the past.
std::chrono::steady_clock::time_point after(std::chrono::steady_clock::time_point now,
                                            std::chrono::milliseconds delay) {
    using std::chrono::milliseconds;
    const auto room = std::chrono::duration_cast<milliseconds>(
        std::chrono::steady_clock::time_point::max() - now);
    return delay >= room ? std::chrono::steady_clock::time_point::max() : now + delay;
}

}  // namespace

RunLoop::RunLoop() : mainThread_(std::this_thread::get_id()) {}

RunLoop::~RunLoop() {
    uninstallMainQueue(*this);
    // Destroy the dropped items outside the lock: their captures may do anything as they die.
    std::deque<std::function<void()>> ready;
    std::vector<Delayed> delayed;
    {
        std::lock_guard lock(mutex_);
        ready.swap(ready_);
        delayed.swap(delayed_);
    }
}

void RunLoop::async(std::function<void()> work) {
    if (!work) {
        log::error("an empty work item was handed to the main queue");
        return;
    }
    std::lock_guard lock(mutex_);
    ready_.push_back(std::move(work));
    // Notified under the lock: once the main thread can see the item it may finish, and the
    // loop may be destroyed, before an unlocked notify would touch wake_.
    wake_.notify_one();
}

void RunLoop::asyncAfter(std::chrono::milliseconds delay, std::function<void()> work) {
    if (delay <= std::chrono::milliseconds::zero()) {
        async(std::move(work));
        return;
    }
    if (!work) {
        log::error("an empty work item was handed to the main queue");
        return;
    }
    std::lock_guard lock(mutex_);
    delayed_.push_back({after(Clock::now(), delay), nextSequence_++, std::move(work)});
    std::push_heap(delayed_.begin(), delayed_.end(), laterThan<Delayed, Delayed>);
    wake_.notify_one();
}

bool RunLoop::isCurrent() const { return std::this_thread::get_id() == mainThread_; }

void RunLoop::run() {
    if (!isCallerMainThread("run")) return;
    while (auto work = takeNext(Clock::time_point::max(), /*stoppable=*/true)) runItem(work);
}

void RunLoop::stop() {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
    wake_.notify_one();
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) {
    if (!isCallerMainThread("runUntil")) return false;
    const auto deadline = after(Clock::now(), timeout);
    while (!predicate()) {
        auto work = takeNext(deadline, /*stoppable=*/false);
        if (!work) return predicate();
        runItem(work);
    }
    return true;
}

std::size_t RunLoop::processPending() {
    if (!isCallerMainThread("processPending")) return 0;
    std::size_t due;
    {
        std::lock_guard lock(mutex_);
        moveDueItems(Clock::now());
        due = ready_.size();
    }
    std::size_t ran = 0;
    for (; ran < due; ++ran) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            // A nested processPending inside an item may have taken the rest already.
            if (ready_.empty()) break;
            work = std::move(ready_.front());
            ready_.pop_front();
        }
        runItem(work);
    }
    return ran;
}

void RunLoop::moveDueItems(Clock::time_point now) {
    while (!delayed_.empty() && delayed_.front().due <= now) {
        std::pop_heap(delayed_.begin(), delayed_.end(), laterThan<Delayed, Delayed>);
        ready_.push_back(std::move(delayed_.back().work));
        delayed_.pop_back();
    }
}

RunLoop::Clock::time_point RunLoop::nextWakeUp(Clock::time_point limit) const {
    return delayed_.empty() ? limit : std::min(limit, delayed_.front().due);
}

std::function<void()> RunLoop::takeNext(Clock::time_point deadline, bool stoppable) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stoppable && stopRequested_) {
            stopRequested_ = false;
            return {};
        }
        const auto now = Clock::now();
        if (now >= deadline) return {};
        moveDueItems(now);
        if (!ready_.empty()) {
            auto work = std::move(ready_.front());
            ready_.pop_front();
            return work;
        }
        const auto wakeUp = nextWakeUp(deadline);
        if (wakeUp == Clock::time_point::max()) {
            wake_.wait(lock);
        } else {
            wake_.wait_until(lock, wakeUp);
        }
    }
}

void RunLoop::runItem(std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception& error) {
        log::error(fmt::format("a work item on the main queue threw: {}", error.what()));
    } catch (...) {
        log::error("a work item on the main queue threw something that is not an exception");
    }
}

bool RunLoop::isCallerMainThread(const char* operation) const {
    if (isCurrent()) return true;
    log::error(
        fmt::format("RunLoop::{} was called off the main thread and did nothing", operation));
    assert(!"RunLoop drained off the main thread");
    return false;
}

}  // namespace pressling
