#pragma once

#include "platform/RunLoop.h"

#include <chrono>

namespace pressling::cli {

// The command line's main queue, installed before main() runs, so that it is there before any
// command starts work that hands its result to it.
RunLoop& mainLoop();

// Lets the background work a command started (a catalog save, a notification on its way to
// the main queue) finish before the process exits, for at most timeout.
void finishBackgroundWork(std::chrono::milliseconds timeout = std::chrono::seconds(30));

}  // namespace pressling::cli
