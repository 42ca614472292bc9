// Subscription lists in OPML: what is read from other readers' exports, and what we write.

#include "subscriptions/Opml.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

namespace pressling {
namespace {

TEST(OpmlRead, TakesEveryOutlineWithAnAddressAtAnyDepth) {
    const auto feeds = readOpml(test::readFixture("subscriptions", "nested.opml"));
    EXPECT_EQ(feeds, (std::vector<OpmlFeed>{
                         {"Ars Technica", "https://feeds.arstechnica.com/arstechnica/index"},
                         {"No title attribute", "http://example.org/a?x=1&y=2"},
                         {"", "http://example.org/untitled"}}));
}

TEST(OpmlRead, RefusesWhatIsNotOpmlSayingWhy) {
    const auto why = [](const std::string& document) {
        const auto feeds = readOpml(document);
        return feeds ? "read" : feeds.error();
    };
    EXPECT_EQ(why("<opml><body><outline xmlUrl='x'></body></opml>").find("line 1"), 0u);
    EXPECT_NE(why("<rss><channel/></rss>").find("OPML"), std::string::npos);
    EXPECT_NE(why("").find("empty"), std::string::npos);
    // One large entity referenced many times in an attribute fails fast.
    std::string references;
    for (int i = 0; i < 100'000; ++i) references += "&e;";
    EXPECT_EQ(why("<!DOCTYPE opml [<!ENTITY e \"" + std::string(100'000, 'x') +
                  "\">]>\n<opml><body><outline xmlUrl=\"" + references + "\"/></body></opml>"),
              "line 2: entity references expand to more than 64 MB");
}

TEST(OpmlWrite, RoundTripsTitlesAndAddressesWithMarkupCharacters) {
    const std::vector<Web> webs = {
        {"Q&A <daily> \"news\"", "https://example.org/feed?a=1&b=2", std::nullopt},
        {"Caf\xC3\xA9", "http://example.org/caf%C3%A9", true},
    };
    EXPECT_EQ(readOpml(writeOpml(webs)),
              (std::vector<OpmlFeed>{{webs[0].title, webs[0].url}, {webs[1].title, webs[1].url}}));
    EXPECT_EQ(readOpml(writeOpml({})), std::vector<OpmlFeed>{});
}

}  // namespace
}  // namespace pressling
