// What counts as a URL: an RFC 3986 URI reference, kept as written.

#include "platform/Url.h"

#include <gtest/gtest.h>

namespace pressling {
namespace {

struct UrlCase {
    const char* text;
    bool parses;
    const char* scheme;
};

void PrintTo(const UrlCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class UrlParse : public testing::TestWithParam<UrlCase> {};

TEST_P(UrlParse, FollowsRfc3986) {
    const auto& c = GetParam();
    const auto url = Url::parse(c.text);
    ASSERT_EQ(url.has_value(), c.parses) << c.text;
    if (!url) return;
    EXPECT_EQ(url->absoluteString(), c.text);
    EXPECT_EQ(url->scheme(), c.scheme);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UrlParse,
    testing::Values(UrlCase{"https://example.org/feed.xml?a=1#top", true, "https"},
                    UrlCase{"HTTP://Example.org/", true, "http"},
                    UrlCase{"tag:example.org,2003:3.2397", true, "tag"},
                    UrlCase{"urn:uuid:1225c695-cfb8-4ebb-aaaa-80da344efa6a", true, "urn"},
                    UrlCase{"abc-123", true, ""},
                    UrlCase{"/relative/path", true, ""},
                    UrlCase{"http://[::1]:8080/x", true, "http"},
                    UrlCase{"", false, ""},
                    UrlCase{"http://example.org/a b", false, ""},
                    UrlCase{"has space", false, ""},
                    UrlCase{"http://example.org/%zz", false, ""},
                    UrlCase{"http://exa mple.org", false, ""},
                    UrlCase{"http://example.org/caf\xC3\xA9", false, ""},
                    UrlCase{"<http://example.org>", false, ""}));

TEST(UrlFromFilePath, EncodesWhatAUrlCannotHold) {
    EXPECT_EQ(Url::fromFilePath("/tmp/feeds/a b%.xml").absoluteString(),
              "file:///tmp/feeds/a%20b%25.xml");
    EXPECT_TRUE(Url::parse(Url::fromFilePath("/tmp/caf\xC3\xA9 x.xml").absoluteString()));
}

TEST(UrlScheme, OnlyHttpAndHttpsAreWeb) {
    EXPECT_TRUE(Url::parse("HTTPS://example.org")->isHttpOrHttps());
    EXPECT_TRUE(Url::parse("http://example.org")->isHttpOrHttps());
    EXPECT_FALSE(Url::parse("feed://example.org")->isHttpOrHttps());
    EXPECT_FALSE(Url::parse("javascript:alert(1)")->isHttpOrHttps());
    EXPECT_FALSE(Url::parse("example.org/feed")->isHttpOrHttps());
}

}  // namespace
}  // namespace pressling
