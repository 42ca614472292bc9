// What counts as a URL: an RFC 3986 URI reference, kept as written.

#include "platform/Url.h"

#include <gtest/gtest.h>

namespace pressling {
namespace {

TEST(Url, ParsesRfc3986ReferencesAsWritten) {
    const struct {
        const char* text;
        bool parses;
        const char* scheme = "";
        bool web = false;  // http or https
    } rows[] = {
        {"https://example.org/feed.xml?a=1#top", true, "https", true},
        {"HTTP://Example.org/", true, "http", true},
        {"tag:example.org,2003:3.2397", true, "tag", false},
        {"urn:uuid:1225c695-cfb8-4ebb-aaaa-80da344efa6a", true, "urn", false},
        {"feed://example.org", true, "feed", false},
        {"javascript:alert(1)", true, "javascript", false},
        {"example.org/feed", true, "", false},
        {"/relative/path", true, "", false},
        {"http://[::1]:8080/x", true, "http", true},
        {"", false},
        {"http://example.org/a b", false},
        {"http://example.org/%zz", false},
        {"http://exa mple.org", false},
        {"http://example.org/caf\xC3\xA9", false},
        {"<http://example.org>", false},
    };
    for (const auto& row : rows) {
        const auto url = Url::parse(row.text);
        ASSERT_EQ(url.has_value(), row.parses) << row.text;
        if (!url) continue;
        EXPECT_EQ(url->absoluteString(), row.text);
        EXPECT_EQ(url->scheme(), row.scheme) << row.text;
        EXPECT_EQ(url->isHttpOrHttps(), row.web) << row.text;
    }
}

TEST(Url, FromFilePathEncodesWhatAUrlCannotHold) {
    EXPECT_EQ(Url::fromFilePath("/tmp/feeds/a b%.xml").absoluteString(),
              "file:///tmp/feeds/a%20b%25.xml");
    EXPECT_TRUE(Url::parse(Url::fromFilePath("/tmp/caf\xC3\xA9 x.xml").absoluteString()));
}

}  // namespace
}  // namespace pressling
