// Feed documents into articles: each data/ fixture reads as its .lines say; broken ones fail whole.

#include "feedparse/RSSParser.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

namespace pressling {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kFeedUrl = "https://example.org/feed.xml";

// "title|desc" (checking: then validity and outcome), then "title|web|desc|link|date" per article.
Lines linesOf(std::string document, bool checking = false) {
    RSSParser parser(std::move(document), kFeedUrl);
    parser.checking = checking;
    const auto outcome = parser.parse();
    Lines lines{fmt::format("{}|{}", parser.title().value_or("-"), parser.desc().value_or("-"))};
    if (checking) {
        lines.push_back(fmt::format("valid:{} {}", parser.valid(),
                                    outcome ? "read" : outcome.error().message()));
    } else if (!outcome) {
        return {outcome.error().message()};
    }
    for (const Article& a : parser.articles()) {
        EXPECT_EQ(a.blogLink, kFeedUrl);
        lines.push_back(fmt::format("{}|{}|{}|{}|{}", a.title, a.web, a.description,
                                    a.link.absoluteString(),
                                    toIso8601Utc(a.pubDate).substr(0, 19)));
    }
    return lines;
}

TEST(RSSParser, ReadsEachFixtureAsItsLinesSay) {
    const auto names = test::fixtureNames("feedparse", ".xml");
    EXPECT_EQ(names.size(), 16u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        Lines expected;
        std::istringstream in(test::readFixture("feedparse", name + ".lines"));
        for (std::string line; std::getline(in, line);) expected.push_back(line);
        EXPECT_EQ(
            linesOf(test::readFixture("feedparse", name + ".xml"), name.starts_with("checking")),
            expected);
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
