#pragma once

#include "platform/Date.h"
#include "platform/Url.h"

#include <cstdint>
#include <optional>
#include <string>

namespace pressling {

// One stored article, a row of the article store. Every article the system inserts has all
// seven attributes; they are optional because a store written by someone else need not.
// A plain value: a copy of the row as fetched (or as inserted), not a live object. Any thread.
struct BlogPost {
    // The object's identity in its store's context:
    //   > 0  the row's id, once saved (ids are never reused, even after a delete);
    //   < 0  a temporary identity, from ArticleStore::insert until the save that writes it;
    //     0  a post the context has never seen (built by hand, not yet inserted).
    std::int64_t objectID = 0;

    // Each member is initialised, so that a designated initialiser may leave any of them out.
    std::optional<std::string> blogLink{};  // absolute URL string of the feed it came from
    std::optional<std::string> desc{};      // the entry's description, markup included
    std::optional<Url> link{};              // the entry's own page
    std::optional<Date> pubDate{};
    std::optional<std::string> sectionDate{};  // "yyyy-MM-dd" of pubDate in the device's zone
    std::optional<std::string> title{};
    std::optional<std::string> web{};  // the feed's title, or "Web"

    friend bool operator==(const BlogPost&, const BlogPost&) = default;
};

}  // namespace pressling
