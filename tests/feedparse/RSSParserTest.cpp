// Feed documents into articles: each data/ fixture reads as its .lines say; broken ones fail whole.

#include "feedparse/RSSParser.h"
#include "support/Fixtures.h"

#include <gmock/gmock.h>

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
    int fixtures = 0;
    for (const auto& file :
         std::filesystem::directory_iterator(test::fixturePath("feedparse", ""))) {
        const std::string name = file.path().stem().string();
        if (file.path().extension() != ".xml") continue;
        SCOPED_TRACE(name);
        ++fixtures;
        Lines expected;
        std::istringstream in(test::readFixture("feedparse", name + ".lines"));
        for (std::string line; std::getline(in, line);) expected.push_back(line);
        EXPECT_EQ(
            linesOf(test::readFixture("feedparse", name + ".xml"), name.starts_with("checking")),
            expected);
    }
    EXPECT_EQ(fixtures, 15);
}

TEST(RSSParser, RefusesABrokenDocumentWhole) {
    using testing::ElementsAre, testing::HasSubstr;
    const auto rss = [](const std::string& items) {
        return "<rss version=\"2.0\"><channel><title>F</title><item><title>A</title>"
               "<description>d</description><link>http://e.org/a</link>"
               "<pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate></item>" +
               items + "</channel></rss>";
    };
    // Entries read before the fault are not handed out.
    EXPECT_THAT(linesOf(rss("<item><title>C</description></item>")),
                ElementsAre(HasSubstr("mismatch")));
    // One large entity referenced many times fails fast instead of exhausting memory.
    std::string references;
    for (int i = 0; i < 1000; ++i) references += "&e;";
    EXPECT_THAT(
        linesOf(fmt::format("<!DOCTYPE rss [<!ENTITY e \"{}\">]>", std::string(100'000, 'x')) +
                rss("<item><title>" + references + "</title></item>")),
        ElementsAre(HasSubstr("expand")));
    // A fault libxml2 gave no words for still reads as one.
    const std::string unknown = ParserError::unknownParsingError().message();
    EXPECT_EQ(ParserError::fromXml({}).message(), unknown);
    EXPECT_EQ(ParserError::fromXml({false, 4, ""}).message(), "line 4: " + unknown);
}

}  // namespace
}  // namespace pressling
