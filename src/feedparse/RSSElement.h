#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace pressling {

// The element names the feed parser reacts to. A name is recognised only when it is exactly
// one of these as written in the document: case-sensitive, prefix included ("dc:date" is,
// "DC:date", "content:encoded" and "atom:link" are not).
enum class RSSElement {
    item,
    title,
    description,
    guid,
    link,
    pubDate,
    entry,
    updated,
    subtitle,
    summary,
    id,
    image,
    content,
    dcDate,  // "dc:date"
};

inline constexpr std::size_t kRSSElementCount = 14;

std::optional<RSSElement> rssElementNamed(std::string_view qualifiedName);

}  // namespace pressling
