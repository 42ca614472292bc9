#include "platform/GlobalQueue.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include <fmt/format.h>

#include "platform/Log.h"

namespace pressling {
namespace {

constexpr std::chrono::seconds kExitGrace{1};

thread_local bool tIsWorker = false;

class Pool {
public:
    // Never destroyed: detached workers may still be inside their loop while the process ends,
    // and must not find the pool gone.
    static Pool& shared();

    void submit(std::function<void()> work);
    // Stops handing out items and gives running ones kExitGrace to finish.
    void beginExit();
    bool waitUntilIdle(std::chrono::milliseconds timeout);

private:
    Pool() : maxWorkers_(std::max<std::size_t>(4, 2 * std::thread::hardware_concurrency())) {}
    void spawnWorker();  // REQUIRES mutex_ held
    void workerLoop();
    static void runItem(std::function<void()>& work);

    const std::size_t maxWorkers_;
    std::mutex mutex_;
    std::condition_variable workAvailable_;
    std::condition_variable itemFinished_;
    std::deque<std::function<void()>> queue_;
    std::size_t workers_ = 0;
    std::size_t waiting_ = 0;  // workers blocked in workAvailable_, notified or not
    std::size_t running_ = 0;
    bool exiting_ = false;
};

// Destroyed among the static objects at exit, before any static constructed earlier than the
// pool's first use — so running items finish while what they may use still exists.
struct ExitGuard {
    Pool* pool;
    ~ExitGuard() { pool->beginExit(); }
};

Pool& Pool::shared() {
    static Pool* const pool = new Pool;
    static ExitGuard guard{pool};
    return *pool;
}

void Pool::submit(std::function<void()> work) {
    if (!work) {
        log::error("an empty work item was handed to the global queue");
        return;
    }
    std::lock_guard lock(mutex_);
    if (exiting_) return;
    queue_.push_back(std::move(work));
    // Each waiting worker takes one item; start another thread for any item they cannot cover.
    if (queue_.size() > waiting_ && workers_ < maxWorkers_) spawnWorker();
    workAvailable_.notify_one();
}

void Pool::spawnWorker() {
    try {
        std::thread(&Pool::workerLoop, this).detach();
        ++workers_;
    } catch (const std::system_error& error) {
        log::error(fmt::format("could not start a global queue thread ({} running): {}", workers_,
                               error.what()));
    }
}

void Pool::workerLoop() {
    tIsWorker = true;
    std::unique_lock lock(mutex_);
    for (;;) {
        ++waiting_;
        workAvailable_.wait(lock, [this] { return exiting_ || !queue_.empty(); });
        --waiting_;
        if (exiting_) return;
        auto work = std::move(queue_.front());
        queue_.pop_front();
        ++running_;
        lock.unlock();
        runItem(work);
        work = nullptr;  // the captures die outside the lock too
        lock.lock();
        --running_;
        if (running_ == 0 || exiting_) itemFinished_.notify_all();
    }
}

void Pool::beginExit() {
    std::unique_lock lock(mutex_);
    exiting_ = true;
    workAvailable_.notify_all();
    // A work item that calls exit() runs this on its own worker: do not wait for ourselves.
    const std::size_t self = tIsWorker ? 1 : 0;
    itemFinished_.wait_for(lock, kExitGrace, [&] { return running_ <= self; });
}

bool Pool::waitUntilIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return itemFinished_.wait_for(lock, timeout, [&] { return queue_.empty() && running_ == 0; });
}

void Pool::runItem(std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception& error) {
        log::error(fmt::format("a work item on the global queue threw: {}", error.what()));
    } catch (...) {
        log::error("a work item on the global queue threw something that is not an exception");
    }
}

}  // namespace

void globalAsync(std::function<void()> work) { Pool::shared().submit(std::move(work)); }

bool waitUntilGlobalQueueIdle(std::chrono::milliseconds timeout) {
    if (tIsWorker) {
        log::error(
            "waitUntilGlobalQueueIdle called from a global queue item, which it would wait for");
        return false;
    }
    return Pool::shared().waitUntilIdle(timeout);
}

}  // namespace pressling
