#pragma once

#include <span>
#include <string_view>

namespace pressling::cli {

inline constexpr std::string_view kReadingListUsage =
    "reading-list [add URL --title TITLE | remove URL]";

// `pressling-cli reading-list`: the reading list (the application's Reading List window shows
// the same one), newest first, one entry per line: when it was added (local time, "yyyy-MM-dd
// HH:MM"), title, URL and the feed's name, separated by tabs, as printable() shows them.
//   add URL --title TITLE   keeps URL (an http or https page) first, with TITLE; an address
//                           already there stays one entry, with the new title
//   remove URL              drops URL's entry
// Both print the list as it is afterwards. Returns the exit status: 0; 1 when the list cannot
// be read or written (a corrupt file is named and left as it is) or remove finds no entry of
// URL; 2 on wrong arguments. arguments are those after "reading-list".
int runReadingListCommand(std::span<const std::string_view> arguments);

}  // namespace pressling::cli
