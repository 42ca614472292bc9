#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The commands that change or read the subscriptions and their stored articles. Each returns
// the process exit status: 0 on success, 1 when the work failed.
namespace pressling::cli {

// The stored articles that `articles` shows.
struct ArticlesOptions {
    std::optional<std::string> feed;    // only this feed's (its URL)
    std::optional<std::string> search;  // only those whose title or text contains this
    std::size_t limit = 50;             // at most this many, above 0
    bool json = false;                  // one JSON array instead of lines
};

// Checks URL as a feed (after the scheme rule for addresses handed to the application: feed:
// and the like become http) and subscribes to it. Prints "Link added", or "RSS not found" and
// why; 0 or 1.
int runAddCommand(std::string_view url);

// Removes the subscription at position (from 1, as `list` numbers them) with its articles.
int runRemoveCommand(std::size_t position);

// Refreshes every subscription: one line per failed feed, then "Updated at HH:MM" and either
// "N articles loaded" or "N feeds with errors"; "No internet connection" and status 1 when
// every feed failed.
int runRefreshCommand();

// The stored articles, newest first, under one header per day; with json, one JSON array on
// one line of {"day", "title", "description", "web", "blogLink", "link", "pubDate"}, in the
// same order ("day" empty for an undated article, "pubDate" in UTC as `parse` prints it).
int runArticlesCommand(const ArticlesOptions& options);

// Removes the stored articles of feeds that are no longer subscribed.
int runCleanupCommand();

}  // namespace pressling::cli
