#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace pressling {

// Counts outstanding work: enter before starting an item, leave when it is done. notify runs
// its work on the main queue once the count drops to zero (at once if it already is zero).
// Any thread. Every enter must be matched by exactly one leave.
//
// The group must outlive the leave calls made on it: work items usually capture it through a
// std::shared_ptr. Once the last leave has returned, the group may be destroyed at once, even
// from a thread that was blocked in wait.
class DispatchGroup {
public:
    DispatchGroup() = default;
    DispatchGroup(const DispatchGroup&) = delete;
    DispatchGroup& operator=(const DispatchGroup&) = delete;

    void enter();
    // A leave without a matching enter is a programming error: debug builds stop on it,
    // release builds log it and leave the count at zero.
    void leave();
    // Blocks until the count is zero or timeout passes; true when it reached zero. Never call
    // from the main thread while the work needs the main queue.
    bool wait(std::chrono::milliseconds timeout);
    // Each notify fires once, for the first time the count is zero from now on; a group that is
    // entered again afterwards needs a new notify. Requires an installed main queue.
    void notify(std::function<void()> work);

private:
    std::mutex mutex_;
    std::condition_variable reachedZero_;
    long count_ = 0;
    std::vector<std::function<void()>> notifications_;
};

}  // namespace pressling
