// What counts as a URL: an RFC 3986 URI reference, kept as written.

#include "platform/Url.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

namespace pressling {
namespace {

// Each row of data/urls.txt: "refused", or the scheme ("-": none) and "web" for http(s).
TEST(Url, ParsesRfc3986ReferencesAsWritten) {
    const auto rows = test::readTable("platform", "urls.txt");
    EXPECT_EQ(rows.size(), 15u);
    for (const auto& [expected, text] : rows) {
        const auto url = Url::parse(text);
        if (!url) {
            EXPECT_EQ(expected, "refused") << text;
            continue;
        }
        EXPECT_EQ(url->absoluteString(), text);
        EXPECT_EQ(expected, (url->scheme().empty() ? std::string("-") : url->scheme()) +
                                (url->isHttpOrHttps() ? " web" : ""))
            << text;
    }
}

TEST(Url, FromFilePathEncodesWhatAUrlCannotHold) {
    EXPECT_EQ(Url::fromFilePath("/tmp/feeds/a b%.xml").absoluteString(),
              "file:///tmp/feeds/a%20b%25.xml");
    EXPECT_TRUE(Url::parse(Url::fromFilePath("/tmp/caf\xC3\xA9 x.xml").absoluteString()));
}

}  // namespace
}  // namespace pressling
