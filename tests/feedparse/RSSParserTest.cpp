// Feed documents into articles: the three formats, the rules that pick each value, checking
// mode, and documents that must be refused whole.

#include "feedparse/RSSParser.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

namespace pressling {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kFeedUrl = "https://example.org/feed.xml";
const std::string kDated =
    "<link>http://e.org/a</link><pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate>";
const std::string kBody = "<description>d</description>" + kDated;

std::string rss(std::string_view items,
                std::string_view head = "<title>Feed</title><description>About</description>") {
    return fmt::format("<rss version=\"2.0\"><channel>{}{}</channel></rss>", head, items);
}

std::string item(std::string_view title, std::string_view body = kBody) {
    return fmt::format("<item><title>{}</title>{}</item>", title, body);
}

// The feed's title and description, then one "title|web|description|link|date" per article.
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

// A line for an article of item()'s default body.
std::string plain(std::string_view titleAndWeb, std::string_view description = "d") {
    return fmt::format("{}|{}|http://e.org/a|2003-06-10T04:00:00", titleAndWeb, description);
}

TEST(RSSParser, ReadsTheThreeFormats) {
    const auto rss2 = linesOf(test::readFixture("feedparse", "rss2.xml"));
    ASSERT_EQ(rss2.size(), 4u);
    EXPECT_EQ(rss2[0], "Liftoff News|Liftoff to Space Exploration.");
    EXPECT_EQ(rss2[1],
              "Star City|Liftoff News|How do Americans get ready to work with Russians "
              "aboard the International Space Station? They take a crash course in "
              "culture, language and protocol at Russia's <a "
              "href=\"http://howe.iki.rssi.ru/GCTC/gctc_e.htm\">Star City</a>.|"
              "http://liftoff.msfc.nasa.gov/news/2003/news-starcity.asp|2003-06-03T09:39:21");
    // CDATA is text like any other; a link is trimmed.
    EXPECT_EQ(rss2[2],
              "Sky watchers & the Venus transit|Liftoff News|<p>Sky watchers in Europe, "
              "Asia, and parts of Alaska and Canada will experience a <em>partial "
              "eclipse</em>.</p>|http://liftoff.msfc.nasa.gov/news/2003/news-VASIMR.asp|"
              "2003-05-30T11:06:42");
    // Undeclared HTML entities read as characters; a bare guid is a relative link, unresolved.
    EXPECT_TRUE(
        rss2[3].starts_with("The\xC2\xA0"
                            "Engine That Does More\xE2\x80\xA6|"))
        << rss2[3];
    EXPECT_TRUE(rss2[3].ends_with("|abc-123|2003-05-27T12:37:32")) << rss2[3];

    const auto rdf = linesOf(test::readFixture("feedparse", "rdf.xml"));
    ASSERT_EQ(rdf.size(), 3u);
    EXPECT_TRUE(rdf[0].starts_with("XML.com|"));
    EXPECT_TRUE(rdf[1].starts_with("Processing Inclusions with XSLT|XML.com|")) << rdf[1];
    EXPECT_TRUE(
        rdf[2].ends_with("|http://xml.com/pub/2000/08/09/rdfdb/index.html|2003-06-10T04:00:00"));

    // The third entry's id is not a URL and it has no guid: skipped. Content with child
    // elements keeps only the text after the last child's start.
    EXPECT_EQ(linesOf(test::readFixture("feedparse", "atom.xml")),
              (Lines{"dive into mark|A <em>lot</em> of effort went into making this effortless",
                     "Atom draft-07 snapshot|dive into mark|[Update: The Atom draft is finished.]|"
                     "tag:example.org,2003:3.2397|2005-07-31T12:29:29",
                     "Second entry|dive into mark|Some text.|"
                     "urn:uuid:1225c695-cfb8-4ebb-aaaa-80da344efa6a|2005-08-01T08:00:00"}));
}

TEST(RSSParser, PicksEachValueByItsRules) {
    const std::string date = "<pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate>";
    const auto linked = [&](std::string_view links) {
        return rss(item("A", "<description>d</description>" + std::string(links) + date));
    };
    const struct {
        const char* what;
        std::string document;
        Lines expected;
    } rows[] = {
        {"no channel title: the first item's, and that item is lost",
         rss(item("First") + item("Second"), "<description>x</description>"),
         {"First|x", plain("Second|First")}},
        {"an empty title is the feed's, the source is Web",
         rss(item("One"), "<title> </title><description>x</description>"),
         {"|x", plain("One|Web")}},
        {"no title anywhere", rss("", "<description>x</description>"), {"-|x"}},
        {"no channel description: the first item's, which falls back to its summary",
         rss(item("A", "<description>first</description><summary>s</summary>" + kDated) + item("B"),
             "<title>Feed</title>"),
         {"Feed|first", plain("A|Feed", "s"), plain("B|Feed")}},
        {"present but empty does not fall back",
         rss(item("A", "<description><![CDATA[]]></description><summary>s</summary>" + kDated)),
         {"Feed|About", plain("A|Feed", "")}},
        {"content is the last resort",
         rss(item("A", "<content>c</content>" + kDated)),
         {"Feed|About", plain("A|Feed", "c")}},
        {"the later of two titles wins",
         rss("<item><title>Old</title><title>New</title>" + kBody + "</item>"),
         {"Feed|About", plain("New|Feed")}},
        {"names are case-sensitive and prefixed",
         rss("<item><Title>T</Title>" + kBody + "</item>" +
             item("T",
                  "<description>d</description><link>http://e.org/a</link>"
                  "<dc:Date>2003-06-10T04:00:00Z</dc:Date>") +
             item("T", "<content:encoded>c</content:encoded><link>http://e.org/a</link>" + date)),
         {"Feed|About"}},
        {"date: pubDate, then updated, then dc:date; an unreadable one does not fall back",
         rss(item(
                 "A",
                 "<description>d</description><link>http://e.org/a</link>"
                 "<dc:date>2001-01-01T00:00:00Z</dc:date><updated>2002-01-01T00:00:00Z</updated>") +
             item("B",
                  "<description>d</description><link>http://e.org/a</link>"
                  "<pubDate>someday</pubDate><updated>2002-01-01T00:00:00Z</updated>")),
         {"Feed|About", "A|Feed|d|http://e.org/a|2002-01-01T00:00:00"}},
        {"entries missing a value are skipped",
         rss("<item>" + kBody + "</item>" + item("NoDescription", date) +
             item("NoDate", "<description>d</description><link>http://e.org/a</link>") +
             item("Kept")),
         {"Feed|About", plain("Kept|Feed")}},
        {"link beats guid",
         linked("<guid>http://e.org/g</guid><link>http://e.org/l</link>"),
         {"Feed|About", "A|Feed|d|http://e.org/l|2003-06-10T04:00:00"}},
        {"an empty link falls to guid",
         linked("<link></link><guid>http://e.org/g</guid>"),
         {"Feed|About", "A|Feed|d|http://e.org/g|2003-06-10T04:00:00"}},
        {"id before guid",
         linked("<guid>http://e.org/g</guid><id>urn:x:1</id><link/>"),
         {"Feed|About", "A|Feed|d|urn:x:1|2003-06-10T04:00:00"}},
        {"an unparsable id falls to guid",
         linked("<id>a b</id><guid>g-1</guid>"),
         {"Feed|About", "A|Feed|d|g-1|2003-06-10T04:00:00"}},
        {"a later link wins",
         linked("<link>http://e.org/1</link><link>http://e.org/2</link>"),
         {"Feed|About", "A|Feed|d|http://e.org/2|2003-06-10T04:00:00"}},
        {"no link parses", linked("<link>a b</link><guid></guid>"), {"Feed|About"}},
    };
    for (const auto& row : rows) EXPECT_EQ(linesOf(row.document), row.expected) << row.what;
}

TEST(RSSParser, RefusesABrokenDocumentWhole) {
    std::string references;
    for (int i = 0; i < 1000; ++i) references += "&e;";
    const std::string amplified = "<!DOCTYPE rss [<!ENTITY e \"" + std::string(100'000, 'x') +
                                  "\">]>" + rss(item("A") + item(references));
    const struct {
        const char* what;
        std::string document;
        const char* inMessage;
    } rows[] = {
        {"mismatched tags after good items",
         rss(item("A") + item("B") + "<item><title>C</description></item>"), "mismatch"},
        {"an undefined entity", rss(item("A &bogus; B")), "bogus"},
        {"one large entity referenced many times", amplified, "expand"},
    };
    for (const auto& row : rows) {
        const auto lines = linesOf(row.document);
        ASSERT_EQ(lines.size(), 1u) << row.what;
        EXPECT_NE(lines[0].find(row.inMessage), std::string::npos) << row.what << ": " << lines[0];
    }
    // A fault libxml2 gave no words for still reads as one.
    const std::string unknown = ParserError::unknownParsingError().message();
    EXPECT_EQ(ParserError::fromXml({}).message(), unknown);
    EXPECT_EQ(ParserError::fromXml({false, 4, ""}).message(), "line 4: " + unknown);
}

TEST(RSSParser, CheckingStopsAtTheFirstDatedEntry) {
    const auto dated = [](std::string_view title, std::string_view date) {
        return item(title, fmt::format("<description>d</description><link>http://e.org/a</link>"
                                       "<pubDate>{}</pubDate>",
                                       date));
    };
    const struct {
        const char* what;
        std::string document;
        Lines expected;
    } rows[] = {
        {"an unreadable date",
         rss(item("Undated", "<link>http://e.org/a</link>") + dated("Bad", "10.06.2003") +
             dated("Good", "Tue, 10 Jun 2003 04:00:00 +0000")),
         {"Feed|About", "valid:false reading stopped early"}},
        {"a readable date",
         rss(dated("Good", "2003-06-10T04:00:00Z") + dated("Bad", "never")),
         {"Feed|About", "valid:true reading stopped early",
          "Good|Feed|d|http://e.org/a|2003-06-10T04:00:00"}},
        // Reaching the fault at the very end shows that nothing stopped the run.
        {"no dated entry",
         rss(item("A", "<description>d</description>")) + "<oops>",
         {"Feed|About", "valid:false line 1: Extra content at the end of the document"}},
        {"not a feed",
         "<html><head><title>Home</title></head><body>hi</body></html>",
         {"Home|-", "valid:false read"}},
    };
    for (const auto& row : rows) EXPECT_EQ(linesOf(row.document, true), row.expected) << row.what;
}

}  // namespace
}  // namespace pressling
