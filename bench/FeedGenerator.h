#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pressling::bench {

enum class FeedFormat { rss, atom };

// "rss" or "atom".
std::optional<FeedFormat> feedFormatNamed(std::string_view name);

// Appends text with &, <, > and " escaped, for XML text and attribute values.
void appendXmlEscaped(std::string& out, std::string_view text);

struct GeneratedFeed {
    std::string document;
    std::size_t entryCount = 0;
};

// Whose feed it is: the site every link points into (its address without a trailing slash), the
// feed's title and description, and the date of the newest entry; older entries follow at random
// gaps of ten minutes to a day and a half. The defaults are the feed that generate() writes.
struct FeedSite {
    std::string site = "https://blog.example.org";
    std::string title = "The Long Table — notes on food, cities & software";
    std::string about =
        "Essays from Zürich, Lisbon and 日本: recipes, café reviews, city walks and the occasional "
        "release note.";
    std::chrono::sys_seconds newest =
        std::chrono::sys_days{std::chrono::year{2003} / std::chrono::June / 10} +
        std::chrono::hours{4};
};

// Writes synthetic but realistic feed documents for the benchmarks: a blog-like channel with a
// title, description or subtitle and a few elements the parser ignores, then entries with a
// title, a link, a guid or id, a date and a 2-4 KB HTML body, either escaped (&lt;p&gt;) or in
// a CDATA section. Some of the text is non-ASCII (é, —, 日本). RSS dates are RFC 822, with a
// numeric zone or "GMT"; Atom dates are ISO 8601 with "Z" or an offset.
//
// Output depends only on the seed, the format and the target size, never on the platform or on
// earlier calls: the standard library's distributions are avoided on purpose, since their
// results differ between implementations.
class FeedGenerator {
public:
    static constexpr std::uint64_t kDefaultSeed = 0x2003'0610'0400'0000ULL;

    explicit FeedGenerator(std::uint64_t seed = kDefaultSeed) : seed_(seed) {}

    // A complete, well-formed UTF-8 document. Entries are added while the document is shorter
    // than targetBytes, so it ends up a few kilobytes past it (at least one entry always).
    GeneratedFeed generate(FeedFormat format, std::size_t targetBytes) const;

    // A document of exactly entryCount entries (at least one) for the given site. Within one
    // document every entry has its own link and id; entries of feeds with different sites never
    // share a link. Titles are random phrases, so the caller checks them if it needs them unique.
    GeneratedFeed generateEntries(FeedFormat format, std::size_t entryCount,
                                  const FeedSite& site) const;

private:
    std::uint64_t seed_;
};

}  // namespace pressling::bench
