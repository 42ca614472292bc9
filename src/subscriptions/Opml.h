#pragma once

#include "subscriptions/Web.h"

#include <expected>
#include <string>
#include <string_view>
#include <vector>

namespace pressling {

// A feed listed in an OPML subscription list: its display title and its address.
struct OpmlFeed {
    std::string title;  // "title", else "text", else empty
    std::string xmlUrl;
    friend bool operator==(const OpmlFeed&, const OpmlFeed&) = default;
};

// The feeds of an OPML document (1.0 or 2.0), in document order: every "outline" element with
// an "xmlUrl" attribute, at any depth (folders are flattened). Outlines without one are
// folders or notes and are skipped. Fails with a message naming the line when the document is
// not well-formed XML or its root is not "opml". Nothing outside the document is loaded. Any
// thread.
std::expected<std::vector<OpmlFeed>, std::string> readOpml(std::string_view document);

// An OPML 2.0 document listing webs in the order given, one outline per subscription with
// type "rss", text and title from the title and xmlUrl from the URL. Any thread.
std::string writeOpml(const std::vector<Web>& webs);

}  // namespace pressling
