// The XML event layer: what reaches a handler, and which documents are refused.

#include "platform/XmlEventParser.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace pressling {
namespace {

// Records events as lines; runs of character data are joined, as a reader of text would.
class Recorder : public XmlEventHandler {
public:
    std::vector<std::string> events;
    std::size_t characterBytes = 0;
    std::function<void(std::string_view)> onStart;

    void startElement(std::string_view name) override {
        events.push_back("<" + std::string(name));
        if (onStart) onStart(name);
    }
    void characters(std::string_view text) override {
        characterBytes += text.size();
        if (!events.empty() && events.back().starts_with("'")) {
            events.back().insert(events.back().size() - 1, text);
        } else {
            events.push_back("'" + std::string(text) + "'");
        }
    }
    void endElement(std::string_view name) override { events.push_back(">" + std::string(name)); }
};

std::expected<void, XmlParseError> parse(std::string_view document, Recorder& recorder) {
    XmlEventParser parser(document);
    return parser.parse(recorder);
}

std::vector<std::string> eventsOf(std::string_view document) {
    Recorder recorder;
    const auto outcome = parse(document, recorder);
    EXPECT_TRUE(outcome.has_value()) << (outcome ? "" : outcome.error().message);
    return recorder.events;
}

using Events = std::vector<std::string>;

TEST(XmlEventParserEvents, ArriveInDocumentOrderWithNamesAsWritten) {
    EXPECT_EQ(eventsOf(R"(<rss xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:date>d</dc:date>)"
                       R"(<a:link xmlns:a="urn:x" href="h">t</a:link><Title/></rss>)"),
              (Events{"<rss", "<dc:date", "'d'", ">dc:date", "<a:link", "'t'", ">a:link",
                      "<Title", ">Title", ">rss"}));
}

TEST(XmlEventParserEvents, UndeclaredPrefixKeepsItsNameAndIsNotAFault) {
    EXPECT_EQ(eventsOf("<item><dc:date>x</dc:date></item>"),
              (Events{"<item", "<dc:date", "'x'", ">dc:date", ">item"}));
}

TEST(XmlEventParserEvents, CdataArrivesAsCharacters) {
    EXPECT_EQ(eventsOf("<d>a <![CDATA[<p>b & c</p>]]> d</d>"),
              (Events{"<d", "'a <p>b & c</p> d'", ">d"}));
}

TEST(XmlEventParserEntities, ReferencesArriveReplaced) {
    EXPECT_EQ(eventsOf("<d>&lt;p&gt; &amp; &#233;&#x2014;&quot;&apos;</d>"),
              (Events{"<d", "'<p> & \xC3\xA9\xE2\x80\x94\"''", ">d"}));
}

TEST(XmlEventParserEntities, UndeclaredHtmlNamesReadAsTheirCharacters) {
    EXPECT_EQ(eventsOf("<d>a&nbsp;b&eacute;&mdash;&hellip;</d>"),
              (Events{"<d", "'a\xC2\xA0" "b\xC3\xA9\xE2\x80\x94\xE2\x80\xA6'", ">d"}));
}

TEST(XmlEventParserEntities, EntitiesDeclaredByTheDocumentAreExpanded) {
    EXPECT_EQ(eventsOf("<!DOCTYPE d [<!ENTITY who \"world\"><!ENTITY nbsp \"_\">]>"
                       "<d>hello &who; &who;&nbsp;</d>"),
              (Events{"<d", "'hello world world_'", ">d"}));
}

TEST(XmlEventParserEntities, AnUnknownNameIsAFaultWithItsLine) {
    Recorder recorder;
    const auto outcome = parse("<rss>\n<d>&bogus;</d>\n</rss>", recorder);
    ASSERT_FALSE(outcome.has_value());
    EXPECT_FALSE(outcome.error().stoppedByHandler);
    EXPECT_EQ(outcome.error().line, 2);
    EXPECT_NE(outcome.error().message.find("bogus"), std::string::npos) << outcome.error().message;
}

TEST(XmlEventParserEntities, ExternalEntitiesAreNeverLoaded) {
    test::TemporaryDirectory folder;
    const auto secret = folder.write("secret.txt", "SECRET");
    const std::string document = "<!DOCTYPE d [<!ENTITY x SYSTEM \"file://" + secret.string() +
                                 "\">]><d>[&x;]</d>";
    Recorder recorder;
    (void)parse(document, recorder);
    for (const auto& event : recorder.events) EXPECT_EQ(event.find("SECRET"), std::string::npos);
}

TEST(XmlEventParserEntities, ExponentialExpansionFailsSmall) {
    std::string document = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    document += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">";
    for (int i = 2; i <= 9; ++i) {
        const std::string previous = "&lol" + std::to_string(i - 1) + ";";
        document += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) document += previous;
        document += "\">";
    }
    document += "]><lolz>&lol9;</lolz>";
    Recorder recorder;
    const auto outcome = parse(document, recorder);
    EXPECT_FALSE(outcome.has_value());
    // Fully expanded this is 3 GB of text; the parser must give up long before.
    EXPECT_LT(recorder.characterBytes, 16u * 1024 * 1024);
}

std::string utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const char high = char(unit >> 8), low = char(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST(XmlEventParserEncodings, AreReadIntoUtf8) {
    const Events expected{"<t", "'\xD0\x9F\xD1\x80\xD0\xB8 caf\xC3\xA9'", ">t"};
    const std::u16string utf16Text = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><t>\u041F\u0440\u0438 caf\u00E9</t>";
    EXPECT_EQ(eventsOf(utf16(utf16Text, false)), expected);
    EXPECT_EQ(eventsOf(utf16(utf16Text, true)), expected);
    EXPECT_EQ(eventsOf("\xEF\xBB\xBF<t>\xD0\x9F\xD1\x80\xD0\xB8 caf\xC3\xA9</t>"), expected);
    EXPECT_EQ(eventsOf("<?xml version=\"1.0\" encoding=\"windows-1251\"?><t>\xCF\xF0\xE8 caf</t>"),
              (Events{"<t", "'\xD0\x9F\xD1\x80\xD0\xB8 caf'", ">t"}));
    EXPECT_EQ(eventsOf("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><t>caf\xE9</t>"),
              (Events{"<t", "'caf\xC3\xA9'", ">t"}));
}

TEST(XmlEventParserWellFormedness, WhiteSpaceBeforeTheDeclarationIsSkipped) {
    EXPECT_EQ(eventsOf("\n  \r\n<?xml version=\"1.0\"?><t/>"), (Events{"<t", ">t"}));
}

struct Broken {
    const char* name;
    const char* document;
    int line;
};

void PrintTo(const Broken& c, std::ostream* os) { *os << c.name; }

class XmlEventParserBroken : public testing::TestWithParam<Broken> {};

TEST_P(XmlEventParserBroken, FailsWithTheParsersMessage) {
    Recorder recorder;
    const auto outcome = parse(GetParam().document, recorder);
    ASSERT_FALSE(outcome.has_value());
    EXPECT_FALSE(outcome.error().stoppedByHandler);
    EXPECT_FALSE(outcome.error().message.empty());
    if (GetParam().line > 0) {
        EXPECT_EQ(outcome.error().line, GetParam().line);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, XmlEventParserBroken,
    testing::Values(Broken{"MismatchedTags", "<rss>\n<item>\n</rss>", 3},
                    Broken{"Truncated", "<rss><channel><item><title>Half", 0},
                    Broken{"Empty", "", 0},
                    Broken{"OnlyWhiteSpace", " \n ", 0},
                    Broken{"HtmlPage", "<!DOCTYPE html><html><body><p>Hi<br></body></html>", 0},
                    Broken{"PlainText", "Not Found", 1},
                    Broken{"TwoRoots", "<a/><b/>", 1},
                    Broken{"BareAmpersand", "<t>Q&A</t>", 1}),
    [](const auto& info) { return info.param.name; });

TEST(XmlEventParserStop, NoEventFollowsTheStop) {
    XmlEventParser parser("<a><b>x</b><c>y</c></a>");
    Recorder recorder;
    recorder.onStart = [&](std::string_view name) {
        if (name == "b") parser.stop();
    };
    const auto outcome = parser.parse(recorder);
    ASSERT_FALSE(outcome.has_value());
    EXPECT_TRUE(outcome.error().stoppedByHandler);
    EXPECT_EQ(recorder.events, (Events{"<a", "<b"}));
}

TEST(XmlEventParserStop, InsideAnExpandedEntityStopsTheDocument) {
    XmlEventParser parser("<!DOCTYPE a [<!ENTITY e \"<b>x</b>\">]><a>&e;<c/></a>");
    Recorder recorder;
    recorder.onStart = [&](std::string_view name) {
        if (name == "b") parser.stop();
    };
    const auto outcome = parser.parse(recorder);
    ASSERT_FALSE(outcome.has_value());
    EXPECT_TRUE(outcome.error().stoppedByHandler);
    EXPECT_EQ(recorder.events, (Events{"<a", "<b"}));
}

}  // namespace
}  // namespace pressling
