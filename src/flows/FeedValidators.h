#pragma once

#include "platform/Date.h"

#include <expected>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pressling {

class KeyValueStore;

// What the refresh remembers of one feed's last answer, so that the next request can be
// conditional and a server that asked for a pause gets it.
struct FeedValidator {
    std::string etag;          // the answer's ETag, "" without one
    std::string lastModified;  // its Last-Modified, "" without one
    // A 429 or 503 answer's Retry-After: the feed is not asked again before this moment.
    std::optional<Date> retryAfter;

    friend bool operator==(const FeedValidator&, const FeedValidator&) = default;
};

// The feeds' validators, by subscription address, in a SQLite file of their own beside the
// subscription list (kFeedValidatorsFileName in the list store's folder): the list's stored
// form stays as other programs read it. The file is a cache: a missing, unreadable or damaged
// one only makes the next refresh download every feed in full; nothing here is ever a reason
// for a refresh to fail.
//
// Threads: one object per thread at a time; objects on the same file may be used at once
// (WAL journal, busy time-out).
class FeedValidators {
public:
    // Opens, creating when missing, the file beside listStore's file.
    static std::expected<FeedValidators, std::string> open(const KeyValueStore& listStore);
    static std::expected<FeedValidators, std::string> open(const std::filesystem::path& file);

    FeedValidators(FeedValidators&&) noexcept;
    FeedValidators& operator=(FeedValidators&&) noexcept;
    ~FeedValidators();

    std::expected<std::map<std::string, FeedValidator>, std::string> load();
    // Stores each entry for its address in one transaction; an entry with nothing to remember
    // (no validators, no pause) removes the address's row.
    std::expected<void, std::string> store(const std::map<std::string, FeedValidator>& entries);
    std::expected<void, std::string> forget(std::string_view url);

private:
    struct Impl;
    explicit FeedValidators(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

inline constexpr std::string_view kFeedValidatorsFileName = "FeedValidators.sqlite";

// Drops url's validators from the file beside listStore's, so that a feed subscribed again
// later is downloaded in full. A failure is logged: the file is only a cache.
void forgetFeedValidators(std::string_view url, const KeyValueStore& listStore);

}  // namespace pressling
