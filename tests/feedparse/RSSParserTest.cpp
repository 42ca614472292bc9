// Feed documents into articles: each data/ fixture reads as its .lines say; broken ones fail whole.

#include "feedparse/RSSParser.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

namespace pressling {
namespace {

constexpr const char* kFeedUrl = "https://example.org/feed.xml";

// "title|desc" (checking: then validity and outcome), then "title|web|desc|link|date" per article.
std::string linesOf(std::string document, bool checking) {
    RSSParser parser(std::move(document), kFeedUrl);
    parser.checking = checking;
    const auto outcome = parser.parse();
    std::string lines =
        fmt::format("{}|{}\n", parser.title().value_or("-"), parser.desc().value_or("-"));
    if (checking) {
        lines += fmt::format("valid:{} {}\n", parser.valid(),
                             outcome ? "read" : outcome.error().message());
    } else if (!outcome) {
        return outcome.error().message() + "\n";
    }
    for (const Article& a : parser.articles()) {
        EXPECT_EQ(a.blogLink, kFeedUrl);
        lines += fmt::format("{}|{}|{}|{}|{}\n", a.title, a.web, a.description,
                             a.link.absoluteString(), toIso8601Utc(a.pubDate).substr(0, 19));
    }
    return lines;
}

TEST(RSSParser, ReadsEachFixtureAsItsLinesSay) {
    const auto names = test::fixtureNames("feedparse", ".xml");
    EXPECT_EQ(names.size(), 16u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const auto document = test::readFixture("feedparse", name + ".xml");
        EXPECT_EQ(linesOf(document, name.starts_with("checking")),
                  test::readFixture("feedparse", name + ".lines"));
    }
}

// A fault libxml2 gave no words for still reads as one.
TEST(RSSParser, AFaultWithoutWordsStillReadsAsOne) {
    const std::string unknown = ParserError::unknownParsingError().message();
    EXPECT_EQ(ParserError::fromXml({}).message(), unknown);
    EXPECT_EQ(ParserError::fromXml({false, 4, ""}).message(), "line 4: " + unknown);
}

}  // namespace
}  // namespace pressling
