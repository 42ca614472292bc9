#pragma once

#include "platform/MainQueue.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

namespace pressling::ui {

// The application's main queue: work handed to it runs on the thread of the Qt event loop, as
// queued calls on a context object that lives there, in submission order (delayed items once
// their timer fires). async and asyncAfter may be called from any thread; isCurrent compares
// with the thread of the QCoreApplication.
//
// The queue is installed once, by install(), as the process's MainQueue, and never destroyed:
// a refresh still running when the window closes calls back long after the event loop has
// returned, and mainQueue() must still answer it then. Once the QCoreApplication is gone (or
// close() was called) the queue drops new work without running it: there is nothing left to
// run it for. An exception escaping an item is logged and the loop carries on.
class QtMainQueue final : public MainQueue {
public:
    // Creates the queue on the calling thread, which must be the one of the existing
    // QCoreApplication, and installs it as the main queue. A second call returns the same
    // queue when its application is still alive, and otherwise a fresh one bound to the new
    // application (tests create several in turn).
    static QtMainQueue& install();

    void async(std::function<void()> work) override;
    void asyncAfter(std::chrono::milliseconds delay, std::function<void()> work) override;
    bool isCurrent() const override;

    // Stops taking work and drops what is queued, queued timers included. Main thread. Runs by
    // itself as the QCoreApplication is destroyed.
    void close();
    bool isClosed() const;

private:
    QtMainQueue();
    ~QtMainQueue() override = default;
    static void runItem(const std::function<void()>& work);

    mutable std::mutex mutex_;
    QObject* context_ = nullptr;  // lives on the main thread; null once closed
};

}  // namespace pressling::ui
