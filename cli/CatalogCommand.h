#pragma once

#include <span>
#include <string_view>

namespace pressling::cli {

inline constexpr std::string_view kCatalogUsage = "catalog search TEXT";

// `pressling-cli catalog search TEXT`: the catalog's feeds whose name, description or URL
// contain TEXT (any letter case), sorted by name, at most 50; one per line, name, description
// and URL separated by tabs. Returns the exit status: 0 (also for no match), 1 when the catalog
// cannot be searched, 2 on wrong arguments.
int runCatalogCommand(std::span<const std::string_view> arguments);

}  // namespace pressling::cli
