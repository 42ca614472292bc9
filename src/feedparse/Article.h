#pragma once

#include "platform/Date.h"
#include "platform/Url.h"

#include <string>

namespace pressling {

// One entry of a feed document, as the parser finishes it. All six values are always present:
// an entry that lacks one never becomes an Article. A plain value; any thread.
struct Article {
    std::string title;        // the entry's trimmed "title"
    std::string description;  // "description", else "summary", else "content"; markup as written
    std::string web;          // the feed's title when the entry was read, or "Web" if it had none
    std::string blogLink;     // absolute URL string of the feed document the entry came from
    Url link;                 // the entry's own page, from "link", "id" or "guid"
    Date pubDate;

    friend bool operator==(const Article&, const Article&) = default;
};

}  // namespace pressling
