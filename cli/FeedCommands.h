#pragma once

#include <span>
#include <string_view>

// The commands that change or read the subscriptions and their stored articles. Each returns
// the process exit status: 0 on success, 1 when the work failed, 2 on wrong arguments (after
// a usage line on stderr).
namespace pressling::cli {

inline constexpr std::string_view kAddUsage = "add URL";
inline constexpr std::string_view kRemoveUsage = "remove POSITION";
inline constexpr std::string_view kRefreshUsage = "refresh";
inline constexpr std::string_view kArticlesUsage =
    "articles [--feed URL] [--search TEXT] [--limit N]";
inline constexpr std::string_view kCleanupUsage = "cleanup";

// Checks URL as a feed (after the scheme rule for addresses handed to the application: feed:
// and the like become http) and subscribes to it. Prints "Link added", or "RSS not found" and
// why; 0 or 1.
int runAddCommand(std::span<const std::string_view> arguments);

// Removes the subscription at POSITION (from 1, as `list` numbers them) with its articles.
int runRemoveCommand(std::span<const std::string_view> arguments);

// Refreshes every subscription: one line per failed feed, then "Updated at HH:MM" and either
// "N articles loaded" or "N feeds with errors"; "No internet connection" and status 1 when
// every feed failed.
int runRefreshCommand(std::span<const std::string_view> arguments);

// The stored articles, newest first, under one header per day.
int runArticlesCommand(std::span<const std::string_view> arguments);

// Removes the stored articles of feeds that are no longer subscribed.
int runCleanupCommand(std::span<const std::string_view> arguments);

}  // namespace pressling::cli
