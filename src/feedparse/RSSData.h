#pragma once

#include "platform/Url.h"

#include <string>

namespace pressling {

// One feed as the catalog lists it: display name, short description and the document's
// address. Built from a catalog record, or from a feed that passed the parser's check (its
// title, and its description or empty text). A plain value; any thread.
struct RSSData {
    std::string name;
    std::string description;
    Url url;

    friend bool operator==(const RSSData&, const RSSData&) = default;
};

}  // namespace pressling
