// Feed documents into articles: the three formats, the rules that pick each value, checking
// mode, and documents that must be refused whole.

#include "feedparse/RSSParser.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

namespace pressling {
namespace {

using namespace std::chrono;

constexpr const char* kFeedUrl = "https://example.org/feed.xml";

Date utc(int y, unsigned m, unsigned d, int hh, int mm = 0, int ss = 0) {
    return Date(sys_days(year(y) / month(m) / day(d)).time_since_epoch() + hours(hh) +
                minutes(mm) + seconds(ss));
}

struct Parsed {
    std::unique_ptr<RSSParser> parser;
    std::expected<std::vector<Article>, ParserError> outcome;
};

Parsed parseDocument(std::string document, bool checking = false) {
    auto parser = std::make_unique<RSSParser>(std::move(document), kFeedUrl);
    parser->checking = checking;
    auto outcome = parser->parse();
    return {std::move(parser), std::move(outcome)};
}

std::vector<Article> articlesOf(std::string document) {
    auto parsed = parseDocument(std::move(document));
    EXPECT_TRUE(parsed.outcome.has_value()) << parsed.outcome.error().message();
    return parsed.outcome.value_or(std::vector<Article>{});
}

// A channel around the given items.
std::string rss(std::string_view items, std::string_view head = "<title>Feed</title><description>About</description>") {
    return "<rss version=\"2.0\"><channel>" + std::string(head) + std::string(items) +
           "</channel></rss>";
}

std::string item(std::string_view title, std::string_view body = "<description>d</description>"
                                         "<link>http://example.org/a</link>"
                                         "<pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate>") {
    return "<item><title>" + std::string(title) + "</title>" + std::string(body) + "</item>";
}

TEST(RSSParserFormats, Rss2ChannelAndItems) {
    auto parsed = parseDocument(test::readFixture("feedparse", "rss2.xml"));
    ASSERT_TRUE(parsed.outcome.has_value()) << parsed.outcome.error().message();
    EXPECT_EQ(parsed.parser->title(), "Liftoff News");
    EXPECT_EQ(parsed.parser->desc(), "Liftoff to Space Exploration.");

    const auto& articles = *parsed.outcome;
    ASSERT_EQ(articles.size(), 3u);
    EXPECT_EQ(articles[0], (Article{
                               .title = "Star City",
                               .description =
                                   "How do Americans get ready to work with Russians aboard the "
                                   "International Space Station? They take a crash course in "
                                   "culture, language and protocol at Russia's <a "
                                   "href=\"http://howe.iki.rssi.ru/GCTC/gctc_e.htm\">Star "
                                   "City</a>.",
                               .web = "Liftoff News",
                               .blogLink = kFeedUrl,
                               .link = *Url::parse(
                                   "http://liftoff.msfc.nasa.gov/news/2003/news-starcity.asp"),
                               .pubDate = utc(2003, 6, 3, 9, 39, 21),
                           }));
    // CDATA is text like any other: titles and descriptions wrapped in it are kept.
    EXPECT_EQ(articles[1].title, "Sky watchers & the Venus transit");
    EXPECT_EQ(articles[1].description,
              "<p>Sky watchers in Europe, Asia, and parts of Alaska and Canada will experience a "
              "<em>partial eclipse</em>.</p>");
    EXPECT_EQ(articles[1].link.absoluteString(),
              "http://liftoff.msfc.nasa.gov/news/2003/news-VASIMR.asp");
    // Undeclared HTML entities read as characters; a bare guid is a relative link, unresolved.
    EXPECT_EQ(articles[2].title, "The\xC2\xA0" "Engine That Does More\xE2\x80\xA6");
    EXPECT_EQ(articles[2].link.absoluteString(), "abc-123");
    EXPECT_EQ(articles[2].pubDate, utc(2003, 5, 27, 12, 37, 32));
    for (const auto& article : articles) {
        EXPECT_EQ(article.web, "Liftoff News");
        EXPECT_EQ(article.blogLink, kFeedUrl);
    }
}

TEST(RSSParserFormats, RdfItemsAfterTheChannelWithDublinCoreDates) {
    auto parsed = parseDocument(test::readFixture("feedparse", "rdf.xml"));
    ASSERT_TRUE(parsed.outcome.has_value()) << parsed.outcome.error().message();
    EXPECT_EQ(parsed.parser->title(), "XML.com");
    const auto& articles = *parsed.outcome;
    ASSERT_EQ(articles.size(), 2u);
    EXPECT_EQ(articles[0].title, "Processing Inclusions with XSLT");
    EXPECT_EQ(articles[0].pubDate, utc(2003, 6, 10, 4));
    EXPECT_EQ(articles[1].pubDate, utc(2003, 6, 10, 4));
    EXPECT_EQ(articles[1].link.absoluteString(), "http://xml.com/pub/2000/08/09/rdfdb/index.html");
}

TEST(RSSParserFormats, AtomEntriesTakeTheirAddressFromId) {
    auto parsed = parseDocument(test::readFixture("feedparse", "atom.xml"));
    ASSERT_TRUE(parsed.outcome.has_value()) << parsed.outcome.error().message();
    EXPECT_EQ(parsed.parser->title(), "dive into mark");
    EXPECT_EQ(parsed.parser->desc(), "A <em>lot</em> of effort went into making this effortless");
    const auto& articles = *parsed.outcome;
    // The third entry's id is not a URL and it has no guid: skipped.
    ASSERT_EQ(articles.size(), 2u);
    EXPECT_EQ(articles[0].link.absoluteString(), "tag:example.org,2003:3.2397");
    EXPECT_EQ(articles[0].pubDate, utc(2005, 7, 31, 12, 29, 29));
    // Content with child elements: only the text after the last child's start remains.
    EXPECT_EQ(articles[0].description, "[Update: The Atom draft is finished.]");
    EXPECT_EQ(articles[1].link.absoluteString(), "urn:uuid:1225c695-cfb8-4ebb-aaaa-80da344efa6a");
    EXPECT_EQ(articles[1].description, "Some text.");
    EXPECT_EQ(articles[1].pubDate, utc(2005, 8, 1, 8));
}

TEST(RSSParserFeedTitle, AChannelWithoutTitleTakesTheFirstItemsAndLosesThatItem) {
    const auto articles =
        articlesOf(rss(item("First") + item("Second") + item("Third"), "<description>x</description>"));
    ASSERT_EQ(articles.size(), 2u);
    EXPECT_EQ(articles[0].title, "Second");
    EXPECT_EQ(articles[0].web, "First");
}

TEST(RSSParserFeedTitle, AnEmptyTitleIsTheFeedsTitleAndTheSourceIsWeb) {
    auto parsed = parseDocument(rss(item("One"), "<title>  </title><description>x</description>"));
    ASSERT_TRUE(parsed.outcome.has_value());
    EXPECT_EQ(parsed.parser->title(), "");
    ASSERT_EQ(parsed.outcome->size(), 1u);
    EXPECT_EQ((*parsed.outcome)[0].title, "One");
    EXPECT_EQ((*parsed.outcome)[0].web, "Web");
}

TEST(RSSParserFeedTitle, NoTitleAnywhereGivesNone) {
    auto parsed = parseDocument("<rss><channel><description>x</description></channel></rss>");
    ASSERT_TRUE(parsed.outcome.has_value());
    EXPECT_EQ(parsed.parser->title(), std::nullopt);
    EXPECT_TRUE(parsed.outcome->empty());
}

TEST(RSSParserDescription, AChannelWithoutOneTakesTheFirstItemsWhichFallsBack) {
    const std::string rest =
        "<link>http://example.org/a</link><pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate>";
    auto parsed = parseDocument(
        rss(item("A", "<description>first</description><summary>s</summary>" + rest) +
                item("B", "<description>second</description>" + rest),
            "<title>Feed</title>"));
    ASSERT_TRUE(parsed.outcome.has_value());
    EXPECT_EQ(parsed.parser->desc(), "first");
    ASSERT_EQ(parsed.outcome->size(), 2u);
    EXPECT_EQ((*parsed.outcome)[0].description, "s");
    EXPECT_EQ((*parsed.outcome)[1].description, "second");

    // With nothing to fall back on, the first item is lost.
    parsed = parseDocument(rss(item("A", "<description>first</description>" + rest) +
                                   item("B", "<description>second</description>" + rest),
                               "<title>Feed</title>"));
    ASSERT_TRUE(parsed.outcome.has_value());
    ASSERT_EQ(parsed.outcome->size(), 1u);
    EXPECT_EQ((*parsed.outcome)[0].title, "B");
}

TEST(RSSParserDescription, PresentButEmptyDoesNotFallBack) {
    const auto articles = articlesOf(rss(item("A", "<description><![CDATA[]]></description><summary>s</summary>"
                                                   "<link>http://example.org/a</link>"
                                                   "<pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate>")));
    ASSERT_EQ(articles.size(), 1u);
    EXPECT_EQ(articles[0].description, "");
}

TEST(RSSParserDescription, ContentIsTheLastResort) {
    const auto articles = articlesOf(rss(item("A", "<content>c</content><link>http://example.org/a</link>"
                                                   "<pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate>")));
    ASSERT_EQ(articles.size(), 1u);
    EXPECT_EQ(articles[0].description, "c");
}

struct LinkCase {
    const char* name;
    const char* elements;
    const char* expected;  // nullptr: the entry is skipped
};

void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.elements; }

class RSSParserLink : public testing::TestWithParam<LinkCase> {};

TEST_P(RSSParserLink, ComesFromLinkThenIdThenGuid) {
    const auto articles = articlesOf(rss(item("A", std::string("<description>d</description>") +
                                                       GetParam().elements +
                                                       "<pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate>")));
    if (GetParam().expected == nullptr) {
        EXPECT_TRUE(articles.empty());
        return;
    }
    ASSERT_EQ(articles.size(), 1u);
    EXPECT_EQ(articles[0].link.absoluteString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, RSSParserLink,
    testing::Values(
        LinkCase{"LinkBeatsGuid", "<guid>http://example.org/g</guid><link>http://example.org/l</link>", "http://example.org/l"},
        LinkCase{"EmptyLinkFallsToGuid", "<link></link><guid>http://example.org/g</guid>", "http://example.org/g"},
        LinkCase{"IdBeforeGuid", "<guid>http://example.org/g</guid><id>urn:x:1</id><link/>", "urn:x:1"},
        LinkCase{"UnparsableIdFallsToGuid", "<id>a b</id><guid>g-1</guid>", "g-1"},
        LinkCase{"NothingParses", "<link>a b</link><guid></guid>", nullptr},
        LinkCase{"NoLinkAtAll", "", nullptr},
        LinkCase{"LaterLinkWins", "<link>http://example.org/1</link><link>http://example.org/2</link>", "http://example.org/2"}),
    [](const auto& info) { return info.param.name; });

TEST(RSSParserEntries, TheLaterOfTwoTitlesWins) {
    const auto articles = articlesOf(rss("<item><title>Old</title><title>New</title><description>d</description>"
                                         "<link>http://example.org/a</link><pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate></item>"));
    ASSERT_EQ(articles.size(), 1u);
    EXPECT_EQ(articles[0].title, "New");
}

TEST(RSSParserEntries, NamesAreCaseSensitiveAndPrefixed) {
    // Title and dc:Date are not recognised; content:encoded is not "content".
    const auto articles = articlesOf(rss(
        "<item><Title>T</Title><description>d</description><link>http://example.org/a</link>"
        "<pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate></item>"
        "<item><title>T</title><description>d</description><link>http://example.org/a</link>"
        "<dc:Date>2003-06-10T04:00:00Z</dc:Date></item>"
        "<item><title>T</title><content:encoded>c</content:encoded><link>http://example.org/a</link>"
        "<pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate></item>"));
    EXPECT_TRUE(articles.empty());
}

TEST(RSSParserEntries, DateIsPubDateThenUpdatedThenDcDate) {
    const auto articles = articlesOf(rss(item("A", "<description>d</description><link>http://example.org/a</link>"
                                                   "<dc:date>2001-01-01T00:00:00Z</dc:date>"
                                                   "<updated>2002-01-01T00:00:00Z</updated>") +
                                         item("B", "<description>d</description><link>http://example.org/a</link>"
                                                   "<pubDate>someday</pubDate><updated>2002-01-01T00:00:00Z</updated>")));
    // B's pubDate is present but unreadable: no fall-back, the entry is skipped.
    ASSERT_EQ(articles.size(), 1u);
    EXPECT_EQ(articles[0].pubDate, utc(2002, 1, 1, 0));
}

TEST(RSSParserEntries, EntriesMissingAValueAreSkippedAndTheRestRead) {
    const auto articles = articlesOf(rss(
        "<item><description>d</description><link>http://example.org/a</link><pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate></item>" +
        item("NoDescription", "<link>http://example.org/a</link><pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate>") +
        item("NoDate", "<description>d</description><link>http://example.org/a</link>") + item("Kept")));
    ASSERT_EQ(articles.size(), 1u);
    EXPECT_EQ(articles[0].title, "Kept");
}

TEST(RSSParserEntries, ADocumentWithoutEntriesGivesNone) {
    auto parsed = parseDocument(rss(""));
    ASSERT_TRUE(parsed.outcome.has_value());
    EXPECT_TRUE(parsed.outcome->empty());
}

TEST(RSSParserBroken, YieldsTheXmlErrorAndNoEntries) {
    auto parsed = parseDocument(rss(item("A") + item("B") + "<item><title>C</description></item>"));
    ASSERT_FALSE(parsed.outcome.has_value());
    const ParserError& error = parsed.outcome.error();
    EXPECT_EQ(error.kind, ParserError::Kind::xmlError);
    ASSERT_TRUE(error.xml.has_value());
    EXPECT_FALSE(error.xml->stoppedByHandler);
    EXPECT_NE(error.message().find("mismatch"), std::string::npos) << error.message();
}

TEST(RSSParserBroken, AnUndefinedEntityFailsTheDocument) {
    auto parsed = parseDocument(rss(item("A &bogus; B")));
    ASSERT_FALSE(parsed.outcome.has_value());
    EXPECT_NE(parsed.outcome.error().message().find("bogus"), std::string::npos);
}

std::string dated(std::string_view title, std::string_view date) {
    return item(title, "<description>d</description><link>http://example.org/a</link><pubDate>" +
                           std::string(date) + "</pubDate>");
}

TEST(RSSParserChecking, StopsAtTheFirstDatedEntryWithAnUnreadableDate) {
    auto parsed = parseDocument(rss(item("Undated", "<description>d</description><link>http://example.org/a</link>") +
                                        dated("Bad", "10.06.2003") +
                                        dated("Good", "Tue, 10 Jun 2003 04:00:00 +0000")),
                                true);
    EXPECT_FALSE(parsed.parser->valid());
    // Stopped at "Bad": "Good" was never read.
    EXPECT_TRUE(parsed.parser->articles().empty());
    EXPECT_EQ(parsed.parser->title(), "Feed");
    EXPECT_EQ(parsed.parser->desc(), "About");
}

TEST(RSSParserChecking, StopsAtTheFirstDatedEntryWithAReadableDate) {
    auto parsed = parseDocument(rss(dated("Good", "2003-06-10T04:00:00Z") + dated("Bad", "never")), true);
    EXPECT_TRUE(parsed.parser->valid());
    ASSERT_FALSE(parsed.outcome.has_value());
    EXPECT_TRUE(parsed.outcome.error().xml->stoppedByHandler);
    ASSERT_EQ(parsed.parser->articles().size(), 1u);
    EXPECT_EQ(parsed.parser->articles()[0].title, "Good");
}

TEST(RSSParserChecking, WithoutDatedEntriesReadsTheWholeDocumentAndIsNotValid) {
    // The document breaks at its very end: reaching that fault shows nothing stopped the run.
    auto parsed = parseDocument(rss(item("A", "<description>d</description>") + item("B", "<link>x</link>")) + "<oops>", true);
    EXPECT_FALSE(parsed.parser->valid());
    ASSERT_FALSE(parsed.outcome.has_value());
    EXPECT_FALSE(parsed.outcome.error().xml->stoppedByHandler);
}

TEST(RSSParserChecking, NotAFeedAtAll) {
    auto parsed = parseDocument("<html><head><title>Home</title></head><body>hi</body></html>", true);
    EXPECT_FALSE(parsed.parser->valid());
    EXPECT_EQ(parsed.parser->title(), "Home");
}

}  // namespace
}  // namespace pressling
