#pragma once

#include "platform/Download.h"

#include <cstddef>
#include <expected>
#include <functional>
#include <memory>
#include <string>

namespace pressling {

// One conditional GET: the validators of the copy the caller already has. Empty texts send
// nothing.
struct DownloadRequest {
    std::string url;
    std::string etag;          // sent as If-None-Match
    std::string lastModified;  // sent as If-Modified-Since
};

// A successful answer (final status below 400).
struct DownloadResponse {
    long status = 200;
    std::string body;          // content coding undone; empty for 304
    std::string etag;          // the answer's ETag, "" without one
    std::string lastModified;  // the answer's Last-Modified, "" without one

    // 304: the caller's copy is current, and no body came.
    bool notModified() const { return status == 304; }
};

using DownloadResult = std::expected<DownloadResponse, DownloadError>;

// Many downloads driven by one thread of its own through libcurl's multi interface: connections
// are reused between transfers to the same host, HTTP/2 streams share one where the server
// offers it. Each transfer is held to the same DownloadOptions as download() (schemes,
// time-outs, size, redirects, TLS verification), and fails as it would, except that a 429 or
// 503 reports the server's Retry-After (DownloadError::retryAfter).
//
// At most Limits::maxTransfers run at once, and at most Limits::maxPerHost to one host (scheme,
// name and port); the others wait in the order they were added, and their time limits start
// when they do.
//
// Threads: add() from any thread. Each done runs on the loop's thread, once per add, and must
// be quick (hand the body on; never wait there for another transfer). The destructor waits for
// every transfer added to end (bounded by the options), then stops the thread.
class DownloadLoop {
public:
    struct Limits {
        std::size_t maxTransfers = 32;  // 0 counts as 1
        std::size_t maxPerHost = 6;     // 0 counts as 1
    };
    using Done = std::function<void(DownloadResult result)>;

    // Throws std::system_error when the thread cannot be started.
    DownloadLoop(DownloadOptions options, Limits limits);
    ~DownloadLoop();
    DownloadLoop(const DownloadLoop&) = delete;
    DownloadLoop& operator=(const DownloadLoop&) = delete;

    void add(DownloadRequest request, Done done);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace pressling
