#pragma once

#include <chrono>
#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace pressling {

// Limits of one download. A hostile or broken server can neither hang the calling thread nor
// exhaust memory: every path through a download ends within these bounds. No value switches a
// limit off: a zero or negative time-out counts as 1 ms, a speed below 1 as 1 byte a second, a
// negative redirect count as 0.
struct DownloadOptions {
    // Time allowed to resolve the host and establish the connection (TLS included).
    std::chrono::milliseconds connectTimeout{10'000};
    // A transfer slower than lowSpeedBytesPerSecond for lowSpeedTime is abandoned; this also
    // ends a server that accepts the connection and never answers. libcurl measures
    // lowSpeedTime in whole seconds, so it is rounded up to the next second.
    long lowSpeedBytesPerSecond = 64;
    std::chrono::milliseconds lowSpeedTime{20'000};
    // The whole transfer, redirects included. A trickling server is cut off here.
    std::chrono::milliseconds totalTimeout{60'000};
    // Bodies larger than this (after decompression) are refused rather than truncated. 0 admits
    // only an empty body.
    std::size_t maxBytes = 64 * 1024 * 1024;
    // Redirects followed before giving up; only to http and https.
    long maxRedirects = 10;
};

struct DownloadError {
    enum class Kind {
        unsupportedUrl,    // the URL, or where a redirect points, is not http or https
        connectionFailed,  // host not found, connection refused, TLS failure
        timedOut,          // connect time-out, low-speed abort or total time-out
        tooLarge,          // the body exceeds DownloadOptions::maxBytes
        tooManyRedirects,  // more than DownloadOptions::maxRedirects
        httpStatus,        // the server answered 4xx or 5xx
        transferFailed,    // anything else the transfer reported
    };
    Kind kind;
    // For people: names the URL and what went wrong ("HTTP 404 from https://..."); after
    // redirects, also the URL where the failure happened.
    std::string message;
    long httpStatus = 0;  // set for Kind::httpStatus
    // How long the server asked to be left alone (Retry-After, in seconds or as a date) with a
    // 429 or 503; none when it did not say. Only DownloadLoop transfers read it.
    std::optional<std::chrono::seconds> retryAfter{};
};

// Downloads url synchronously on the calling thread and returns the body as received
// (content coding such as gzip already undone, charset untouched). Any thread; calls on
// different threads run in parallel and share nothing.
//
// Fails with unsupportedUrl for any scheme but http and https (before any network access) and
// for a redirect to any other scheme (file:// above all); with httpStatus when the final
// response is 400 or above: an error page is not the document asked for, and is not read. Every
// other failure maps to one Kind, never to a truncated success. Any final status below 400 is a
// success, and an empty 200 body is a success with empty text.
std::expected<std::string, DownloadError> download(std::string_view url,
                                                   const DownloadOptions& options = {});

// The User-Agent sent with every request: "Pressling/<version>".
std::string_view userAgent();

}  // namespace pressling
