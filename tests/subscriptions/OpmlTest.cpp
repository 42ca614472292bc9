// Subscription lists in OPML: what is read from other readers' exports, and what we write.

#include "subscriptions/Opml.h"

#include <gtest/gtest.h>

namespace pressling {
namespace {

TEST(OpmlRead, TakesEveryOutlineWithAnAddressAtAnyDepth) {
    const auto feeds = readOpml(R"(<?xml version="1.0" encoding="UTF-8"?>
<opml version="1.0"><head><title>Exported</title></head><body>
  <outline text="Tech">
    <outline text="Ars" title="Ars Technica" type="rss" xmlUrl="https://feeds.arstechnica.com/arstechnica/index"/>
    <outline text="No title attribute" xmlUrl="http://example.org/a?x=1&amp;y=2"/>
  </outline>
  <outline text="A note without a feed"/>
  <outline title="" text="" xmlUrl="http://example.org/untitled"/>
</body></opml>)");
    ASSERT_TRUE(feeds.has_value()) << feeds.error();
    EXPECT_EQ(*feeds, (std::vector<OpmlFeed>{
                          {"Ars Technica", "https://feeds.arstechnica.com/arstechnica/index"},
                          {"No title attribute", "http://example.org/a?x=1&y=2"},
                          {"", "http://example.org/untitled"},
                      }));
}

TEST(OpmlRead, RefusesWhatIsNotOpml) {
    const auto broken = readOpml("<opml><body><outline xmlUrl='x'></body></opml>");
    ASSERT_FALSE(broken.has_value());
    EXPECT_NE(broken.error().find("line 1"), std::string::npos) << broken.error();

    const auto feed = readOpml("<rss><channel/></rss>");
    ASSERT_FALSE(feed.has_value());
    EXPECT_NE(feed.error().find("OPML"), std::string::npos);

    EXPECT_FALSE(readOpml("").has_value());
}

TEST(OpmlRead, NeverLoadsExternalEntities) {
    const auto feeds = readOpml(R"(<!DOCTYPE opml [<!ENTITY x SYSTEM "file:///etc/passwd">]>
<opml><body><outline title="&x;" xmlUrl="http://example.org/"/></body></opml>)");
    if (feeds) {
        ASSERT_EQ(feeds->size(), 1u);
        EXPECT_EQ((*feeds)[0].title.find("root:"), std::string::npos);
    }
}

TEST(OpmlWrite, RoundTripsTitlesAndAddressesWithMarkupCharacters) {
    const std::vector<Web> webs = {
        {.title = "Q&A <daily> \"news\"", .url = "https://example.org/feed?a=1&b=2", .error = std::nullopt},
        {.title = "Caf\xC3\xA9", .url = "http://example.org/caf%C3%A9", .error = true},
    };
    const auto feeds = readOpml(writeOpml(webs));
    ASSERT_TRUE(feeds.has_value()) << feeds.error();
    EXPECT_EQ(*feeds, (std::vector<OpmlFeed>{{webs[0].title, webs[0].url},
                                             {webs[1].title, webs[1].url}}));
}

TEST(OpmlWrite, AnEmptyListIsAValidDocument) {
    const auto feeds = readOpml(writeOpml({}));
    ASSERT_TRUE(feeds.has_value()) << feeds.error();
    EXPECT_TRUE(feeds->empty());
}

}  // namespace
}  // namespace pressling
