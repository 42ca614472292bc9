#pragma once

#include <span>
#include <string_view>

namespace pressling::cli {

inline constexpr std::string_view kImportUsage = "import FILE";
inline constexpr std::string_view kExportUsage = "export [FILE]";

// Subscribes to every feed of an OPML file, checking them in parallel exactly as `add` checks
// one; prints a line for each feed that fails and a summary. 0 when every feed was added (or
// already subscribed), 1 when some failed or the file cannot be read, 2 on wrong arguments.
int runImportCommand(std::span<const std::string_view> arguments);

// Writes the subscriptions, in `list` order, as OPML 2.0 to FILE or to stdout.
int runExportCommand(std::span<const std::string_view> arguments);

}  // namespace pressling::cli
