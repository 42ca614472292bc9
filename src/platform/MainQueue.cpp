#include "platform/MainQueue.h"

#include <atomic>
#include <cstdlib>

#include "platform/Log.h"

namespace pressling {
namespace {

// Atomic because workers read it while the main thread installs a fresh queue between tests.
std::atomic<MainQueue*> gMainQueue{nullptr};

}  // namespace

MainQueue& mainQueue() {
    MainQueue* queue = gMainQueue.load(std::memory_order_acquire);
    if (queue == nullptr) {
        log::error("work was handed to the main queue, but none is installed");
        std::abort();
    }
    return *queue;
}

void installMainQueue(MainQueue& queue) { gMainQueue.store(&queue, std::memory_order_release); }

void uninstallMainQueue(MainQueue& queue) {
    MainQueue* expected = &queue;
    gMainQueue.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
}

}  // namespace pressling
