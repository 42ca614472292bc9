#include "platform/DispatchGroup.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "platform/Log.h"
#include "platform/MainQueue.h"

namespace pressling {
namespace {

// wait_for adds the time-out to the clock in nanoseconds; milliseconds::max() would overflow.
// A year is "forever" for any caller.
constexpr std::chrono::milliseconds kLongestWait = std::chrono::hours(24 * 365);

}  // namespace

void DispatchGroup::enter() {
    std::lock_guard lock(mutex_);
    ++count_;
}

void DispatchGroup::leave() {
    std::vector<std::function<void()>> ready;
    {
        std::lock_guard lock(mutex_);
        if (count_ == 0) {
            log::error("DispatchGroup::leave without a matching enter was ignored");
            assert(!"DispatchGroup::leave without a matching enter");
            return;
        }
        if (--count_ > 0) return;
        ready.swap(notifications_);
        // Under the lock: a waiter may destroy the group as soon as it can see the zero.
        reachedZero_.notify_all();
    }
    // From here on the group may already be gone; touch only locals.
    for (auto& work : ready) mainQueue().async(std::move(work));
}

bool DispatchGroup::wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return reachedZero_.wait_for(lock, std::min(timeout, kLongestWait),
                                 [this] { return count_ == 0; });
}

void DispatchGroup::notify(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        if (count_ > 0) {
            notifications_.push_back(std::move(work));
            return;
        }
    }
    mainQueue().async(std::move(work));
}

}  // namespace pressling
