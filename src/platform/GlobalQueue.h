#pragma once

#include <chrono>
#include <functional>

namespace pressling {

// The global background queue: a bounded pool of worker threads (a few per core) that runs
// work items concurrently, in no guaranteed order. For blocking work — downloads, parsing,
// database round trips — never for screens or the store's main-thread context.
// Any thread; the pool starts on first use and lives until the process ends.
//
// The pool has max(4, 2 × cores) threads, started as work arrives: items beyond that wait for a
// free thread, so an item must not wait for an item submitted after it. An exception escaping
// an item is logged, and the thread goes on with the next item. An empty function is logged
// and ignored.
//
// At process exit, items that have not started are dropped, never run, and items already
// running get about a second to finish before the static objects they may use are destroyed;
// exit never waits for longer than that.
void globalAsync(std::function<void()> work);

// Blocks until no item is queued or running (items may submit further items; those count
// too), or until timeout has passed; true when the queue went idle. For programs that must not
// exit before background work such as a catalog save has finished. Never from a queue item.
bool waitUntilGlobalQueueIdle(std::chrono::milliseconds timeout);

}  // namespace pressling
