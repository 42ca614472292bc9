// Feed documents into articles: three formats, value rules, checking, refusing whole.

#include "feedparse/RSSParser.h"
#include "support/Fixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fmt/format.h>

namespace pressling {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kFeedUrl = "https://example.org/feed.xml";
// Elements of an entry: description, link, date.
const std::string kD = "<description>d</description>", kL = "<link>http://e.org/a</link>",
                  kP = "<pubDate>Tue, 10 Jun 2003 04:00:00 +0000</pubDate>";

std::string rss(std::string_view items,
                std::string_view head = "<title>Feed</title><description>About</description>") {
    return fmt::format("<rss version=\"2.0\"><channel>{}{}</channel></rss>", head, items);
}

std::string item(std::string_view title, std::string_view body = kD + kL + kP) {
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

// A line for an article with item()'s defaults.
std::string plain(std::string_view titleAndWeb, std::string_view description = "d",
                  std::string_view link = "http://e.org/a") {
    return fmt::format("{}|{}|{}|2003-06-10T04:00:00", titleAndWeb, description, link);
}

TEST(RSSParser, ReadsTheThreeFormats) {
    using testing::AllOf, testing::ElementsAre, testing::EndsWith, testing::StartsWith;
    // Escaped markup and CDATA are text alike, a link is trimmed, undeclared HTML entities read
    // as characters, and a bare guid is a relative link, unresolved.
    EXPECT_THAT(
        linesOf(test::readFixture("feedparse", "rss2.xml")),
        ElementsAre("Liftoff News|Liftoff to Space Exploration.",
                    AllOf(StartsWith("Star City|Liftoff News|How do Americans get ready to work"),
                          EndsWith("Russia's <a href=\"http://howe.iki.rssi.ru/GCTC/gctc_e.htm\">"
                                   "Star City</a>.|http://liftoff.msfc.nasa.gov/news/2003/"
                                   "news-starcity.asp|2003-06-03T09:39:21")),
                    AllOf(StartsWith("Sky watchers & the Venus transit|Liftoff News|<p>Sky "),
                          EndsWith("</p>|http://liftoff.msfc.nasa.gov/news/2003/news-VASIMR.asp|"
                                   "2003-05-30T11:06:42")),
                    AllOf(StartsWith("The\302\240Engine That Does More\342\200\246|"),
                          EndsWith("|abc-123|2003-05-27T12:37:32"))));

    EXPECT_THAT(linesOf(test::readFixture("feedparse", "rdf.xml")),
                ElementsAre(testing::_, testing::_,
                            EndsWith("|http://xml.com/pub/2000/08/09/rdfdb/index.html|"
                                     "2003-06-10T04:00:00")));

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
    const struct {
        const char* what;
        std::string document;
        Lines expected;
    } rows[] = {
        {"no channel title: the first item's, which keeps it",
         rss(item("First") + item("Second"), kD),
         {"First|d", plain("First|First"), plain("Second|First")}},
        {"an empty title: the source is Web",
         rss(item("One"), "<title> </title>" + kD),
         {"|d", plain("One|Web")}},
        {"no title anywhere", rss("", kD), {"-|d"}},
        {"no channel description: the first item's, which keeps it",
         rss(item("A", "<description>1st</description><summary>s</summary>" + kL + kP) + item("B"),
             "<title>Feed</title>"),
         {"Feed|1st", plain("A|Feed", "1st"), plain("B|Feed")}},
        {"an empty description is final; content is the last resort",
         rss(item("A", "<description><![CDATA[]]></description><summary>s</summary>" + kL + kP) +
             item("B", "<content>c</content>" + kL + kP)),
         {"Feed|About", plain("A|Feed", ""), plain("B|Feed", "c")}},
        {"pubDate, else updated, else dc:date; unreadable is final",
         rss(item("A", kD + kL + "<dc:date>2001-01-01T00:00:00Z</dc:date>" +
                           "<updated>2002-01-01T00:00:00Z</updated>") +
             item("B",
                  kD + kL + "<pubDate>someday</pubDate><updated>2002-01-01T00:00:00Z</updated>")),
         {"Feed|About", "A|Feed|d|http://e.org/a|2002-01-01T00:00:00"}},
        {"the later of two elements wins; entries missing a value, or with names in another "
         "case or prefix, are skipped",
         rss("<item><title>Old</title><title>New</title>" + kD + kL + kP + "</item>" + "<item>" +
             kD + kL + kP + "</item>" + item("NoDescription", kL + kP) +
             "<entry><title>NoDate</title>" + kD + kL + "</entry>" + "<item><Title>T</Title>" + kD +
             kL + kP + "</item>" + item("T", kD + kL + "<dc:Date>2003-06-10T04:00:00Z</dc:Date>") +
             item("T", "<content:encoded>c</content:encoded>" + kL + kP)),
         {"Feed|About", plain("New|Feed")}},
        {"link, else id, else guid: the first URL",
         rss(item("A", kD + "<guid>http://e.org/g</guid><link>http://e.org/l</link>" + kP) +
             item("B", kD + "<link></link><guid>http://e.org/g</guid>" + kP) +
             item("C", kD + "<guid>http://e.org/g</guid><id>urn:x:1</id><link/>" + kP) +
             item("D", kD + "<id>a b</id><guid>g-1</guid>" + kP) +
             item("E", kD + "<link>a b</link><guid></guid>" + kP)),
         {"Feed|About", plain("A|Feed", "d", "http://e.org/l"),
          plain("B|Feed", "d", "http://e.org/g"), plain("C|Feed", "d", "urn:x:1"),
          plain("D|Feed", "d", "g-1")}},
        {"checking: the first dated entry's date is unreadable",
         rss(item("Undated", kL) + item("Bad", kD + kL + "<updated>10.06.2003</updated>") +
             item("Good")),
         {"Feed|About", "valid:false reading stopped early"}},
        {"checking: the first dated entry's date reads",
         rss(item("Good") + item("Bad", kD + kL + "<pubDate>never</pubDate>")),
         {"Feed|About", "valid:true reading stopped early", plain("Good|Feed")}},
        // Reaching the fault at the very end shows that nothing stopped the run.
        {"checking: no dated entry",
         rss(item("A", kD)) + "<oops>",
         {"Feed|About", "valid:false line 1: Extra content at the end of the document"}},
        {"checking: not a feed",
         "<html><head><title>Home</title></head><body>hi</body></html>",
         {"Home|-", "valid:false read"}},
    };
    for (const auto& row : rows) {
        const bool checking = std::string_view(row.what).starts_with("checking");
        EXPECT_EQ(linesOf(row.document, checking), row.expected) << row.what;
    }
}

TEST(RSSParser, RefusesABrokenDocumentWhole) {
    using testing::ElementsAre, testing::HasSubstr;
    // Entries read before the fault are not handed out.
    EXPECT_THAT(linesOf(rss(item("A") + "<item><title>C</description></item>")),
                ElementsAre(HasSubstr("mismatch")));
    // One large entity referenced many times fails fast instead of exhausting memory.
    std::string references;
    for (int i = 0; i < 1000; ++i) references += "&e;";
    EXPECT_THAT(
        linesOf(fmt::format("<!DOCTYPE rss [<!ENTITY e \"{}\">]>", std::string(100'000, 'x')) +
                rss(item("A") + item(references))),
        ElementsAre(HasSubstr("expand")));
    // A fault libxml2 gave no words for still reads as one.
    const std::string unknown = ParserError::unknownParsingError().message();
    EXPECT_EQ(ParserError::fromXml({}).message(), unknown);
    EXPECT_EQ(ParserError::fromXml({false, 4, ""}).message(), "line 4: " + unknown);
}

}  // namespace
}  // namespace pressling
