#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace pressling::cli {

// Every check is bounded by the download limits; this only keeps a fault from hanging.
inline constexpr std::chrono::milliseconds kImportTimeLimit = std::chrono::minutes(30);

// Subscribes to every feed of an OPML file, checking them in parallel exactly as `add` checks
// one; prints a line for each feed that fails and a summary. A feed counts as imported only
// when the subscription list holds its address afterwards: one whose save failed (or that was
// skipped for a subscription of the same title at another address) is a failure. 0 when every
// feed was imported, 1 when some failed, the file cannot be read or the checks did not end
// within timeLimit.
int runImportCommand(const std::string& file,
                     std::chrono::milliseconds timeLimit = kImportTimeLimit);

// Writes the subscriptions, in `list` order, as OPML 2.0 to FILE or to stdout. A list that
// cannot be read is refused (status 1), so that it never replaces a good file with an empty
// list; FILE is replaced at once (see replaceFile), never truncated first.
int runExportCommand(const std::optional<std::string>& file);

}  // namespace pressling::cli
