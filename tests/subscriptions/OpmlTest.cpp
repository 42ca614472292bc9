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
    std::string references;
    for (int i = 0; i < 100'000; ++i) references += "&e;";
    const struct {
        const char* what;
        std::string document;
        const char* inMessage;
    } rows[] = {
        {"not well-formed", "<opml><body><outline xmlUrl='x'></body></opml>", "line 1"},
        {"a feed", "<rss><channel/></rss>", "OPML"},
        {"empty", "", "empty"},
        {"one large entity referenced many times in an attribute",
         "<!DOCTYPE opml [<!ENTITY e \"" + std::string(100'000, 'x') +
             "\">]>\n<opml><body><outline xmlUrl=\"" + references + "\"/></body></opml>",
         "line 2: entity references expand"},
    };
    for (const auto& row : rows) {
        const auto feeds = readOpml(row.document);
        ASSERT_FALSE(feeds.has_value()) << row.what;
        EXPECT_NE(feeds.error().find(row.inMessage), std::string::npos) << feeds.error();
    }
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
        {.title = "Q&A <daily> \"news\"",
         .url = "https://example.org/feed?a=1&b=2",
         .error = std::nullopt},
        {.title = "Caf\xC3\xA9", .url = "http://example.org/caf%C3%A9", .error = true},
    };
    const auto feeds = readOpml(writeOpml(webs));
    ASSERT_TRUE(feeds.has_value()) << feeds.error();
    EXPECT_EQ(*feeds,
              (std::vector<OpmlFeed>{{webs[0].title, webs[0].url}, {webs[1].title, webs[1].url}}));
}

TEST(OpmlWrite, AnEmptyListIsAValidDocument) {
    EXPECT_EQ(readOpml(writeOpml({})), std::vector<OpmlFeed>{});
}

}  // namespace
}  // namespace pressling
