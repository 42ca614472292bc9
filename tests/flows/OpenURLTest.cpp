// URLs handed to the application: the scheme rule.

#include "flows/OpenURL.h"

#include <gtest/gtest.h>

namespace pressling {
namespace {

TEST(NormalizeOpenedURL, keepsHttpSchemesAndTurnsOthersIntoHttpOrNone) {
    const std::pair<const char*, std::optional<std::string>> rows[] = {
        {"https://x", "https://x"},
        {"http://example.org/a?b=c#d", "http://example.org/a?b=c#d"},
        {"feed://user@example.org:8080/rss?id=1#top", "http://user@example.org:8080/rss?id=1#top"},
        {"feed:https://example.org/rss", "https://example.org/rss"},  // "http" in the rest
        {"feeds://example.org/rss", "http://example.org/rss"},
        // Only the host mentions "http": the scheme goes and a network-path reference is left.
        {"feed://httpd.example/rss", "//httpd.example/rss"},
        {"HTTPS://example.org/rss", "http://example.org/rss"},  // case-sensitive: no "http"
        {"example.org/rss", "http:example.org/rss"},
        {"feed://exa mple.org/rss", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, address] : rows) {
        const auto url = normalizeOpenedURL(text);
        EXPECT_EQ(url ? std::optional(url->absoluteString()) : std::nullopt, address) << text;
    }
}

}  // namespace
}  // namespace pressling
