#pragma once

#include <span>
#include <string_view>

namespace pressling::cli {

inline constexpr std::string_view kListUsage = "list";

// `pressling-cli list`: the subscriptions in the order every screen shows them (by title), one
// per line: position (from 1), title, URL and, for a feed whose last refresh failed, "error",
// separated by tabs, title and URL as printable() shows them. Returns the exit status: 0, or 2 on
// wrong arguments.
int runListCommand(std::span<const std::string_view> arguments);

}  // namespace pressling::cli
