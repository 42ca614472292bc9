#pragma once

#include <chrono>
#include <functional>

namespace pressling {

// The queue of the main thread: the thread that owns every screen, the article store's context
// and the add and remove flows. Work handed to it runs there, one item at a time, in the order
// it was submitted (delayed items once their delay has passed).
//
// Two implementations: RunLoop for the command line and tests, and (in the application) one
// bound to the Qt event loop. Exactly one is installed per process, before any work is
// submitted. async and asyncAfter may be called from any thread.
class MainQueue {
public:
    virtual ~MainQueue() = default;
    virtual void async(std::function<void()> work) = 0;
    // A zero or negative delay is the same as async: the item keeps its place in submission
    // order.
    virtual void asyncAfter(std::chrono::milliseconds delay, std::function<void()> work) = 0;
    // Whether the calling thread is the main thread.
    virtual bool isCurrent() const = 0;
};

// The installed main queue. REQUIRES: installMainQueue was called. Without one the process
// stops with a message: there is no thread to hand the work to, and dropping it would lose
// completions silently.
MainQueue& mainQueue();

// Makes queue the process's main queue; queue must outlive every use. Replaces an earlier one
// (tests install a fresh RunLoop each). Call from the main thread, with no work pending.
void installMainQueue(MainQueue& queue);

// Undoes installMainQueue(queue) if queue is still the installed one; otherwise does nothing.
// A queue calls it as it is destroyed, so a late mainQueue() stops with a message instead of
// reaching a destroyed object.
void uninstallMainQueue(MainQueue& queue);

}  // namespace pressling
