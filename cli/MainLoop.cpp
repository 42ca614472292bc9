#include "MainLoop.h"

#include "platform/GlobalQueue.h"
#include "platform/Log.h"

namespace pressling::cli {

RunLoop& mainLoop() {
    static RunLoop loop;
    static const bool installed = (installMainQueue(loop), true);
    (void)installed;
    return loop;
}

void finishBackgroundWork(std::chrono::milliseconds timeout) {
    RunLoop& loop = mainLoop();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // Work on the global queue may hand results to the main queue and the other way round;
    // drain both until neither has anything left.
    for (;;) {
        loop.processPending();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds::zero() || !waitUntilGlobalQueueIdle(left)) {
            log::warning("background work did not finish before exit");
            return;
        }
        if (loop.processPending() == 0) return;
    }
}

}  // namespace pressling::cli
