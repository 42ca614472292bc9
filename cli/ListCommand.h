#pragma once

namespace pressling::cli {

// `pressling-cli list`: the subscriptions in the order every screen shows them (by title), one
// per line: position (from 1), title, URL and, for a feed whose last refresh failed, "error",
// separated by tabs, title and URL as printable() shows them. With json, one JSON array on one
// line instead: {"position", "title", "url", "error"} per subscription, "error" true, false or
// null (never refreshed). Returns the exit status, 0.
int runListCommand(bool json);

}  // namespace pressling::cli
