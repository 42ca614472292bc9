#include "MainLoop.h"

#include "platform/GlobalQueue.h"
#include "platform/Log.h"

namespace pressling::cli {
namespace {

// Made and installed while the program starts, on the main thread, before main() runs: work a
// command starts may finish on another thread and hand its result to the main queue before
// the command's next line, so no command may be left to install it on first use. Never
// destroyed: a worker still running while the process exits may hand it an item.
RunLoop& gLoop = *new RunLoop;
[[maybe_unused]] const bool gInstalled = (installMainQueue(gLoop), true);

}  // namespace

RunLoop& mainLoop() { return gLoop; }

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
