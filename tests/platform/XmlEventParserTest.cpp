// The XML event layer: what reaches a handler, and which documents are refused.

#include "platform/Download.h"
#include "platform/XmlEventParser.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace pressling {
namespace {

using Events = std::vector<std::string>;

// Records events as lines; runs of character data are joined, as a reader of text would.
class Recorder : public XmlEventHandler {
public:
    Events events;
    std::size_t characterBytes = 0;
    std::function<void(std::string_view)> onStart;

    void startElement(std::string_view name) override {
        events.push_back("<" + std::string(name));
        if (onStart) onStart(name);
    }
    void characters(std::string_view text) override {
        characterBytes += text.size();
        if (events.empty() || !events.back().starts_with("'")) events.push_back("''");
        events.back().insert(events.back().size() - 1, text);
    }
    void endElement(std::string_view name) override { events.push_back(">" + std::string(name)); }
};

std::expected<void, XmlParseError> parse(std::string_view document, Recorder& recorder) {
    return XmlEventParser(document).parse(recorder);
}

std::string utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const char high = char(unit >> 8), low = char(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST(XmlEventParser, DeliversTheseEvents) {
    const std::u16string utf16Text =
        u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><t>\u041F\u0440\u0438 caf\u00E9</t>";
    const Events cyrillic{"<t", "'\xD0\x9F\xD1\x80\xD0\xB8 caf\xC3\xA9'", ">t"};
    const struct {
        const char* what;
        std::string document;
        Events expected;
    } rows[] = {
        {"names as written, in document order",
         R"(<rss xmlns:dc="urn:dc"><dc:date>d</dc:date><a:link xmlns:a="urn:x" href="h">t</a:link>)"
         R"(<Title/><x:y>u</x:y></rss>)",
         {"<rss", "<dc:date", "'d'", ">dc:date", "<a:link", "'t'", ">a:link", "<Title", ">Title",
          "<x:y", "'u'", ">x:y", ">rss"}},
        {"CDATA as characters",
         "<d>a <![CDATA[<p>b & c</p>]]> d</d>",
         {"<d", "'a <p>b & c</p> d'", ">d"}},
        {"references replaced",
         "<d>&lt;p&gt; &amp; &#233;&#x2014;&quot;&apos;</d>",
         {"<d", "'<p> & \xC3\xA9\xE2\x80\x94\"''", ">d"}},
        {"undeclared HTML names",
         "<d>a&nbsp;b&eacute;&mdash;&hellip;</d>",
         {"<d",
          "'a\xC2\xA0"
          "b\xC3\xA9\xE2\x80\x94\xE2\x80\xA6'",
          ">d"}},
        {"declared entities, before HTML names",
         "<!DOCTYPE d [<!ENTITY who \"world\"><!ENTITY nbsp \"_\">]><d>hello &who; &who;&nbsp;</d>",
         {"<d", "'hello world world_'", ">d"}},
        {"white space before the declaration", "\n  \r\n<?xml version=\"1.0\"?><t/>", {"<t", ">t"}},
        {"UTF-8 mark and white space",
         "\xEF\xBB\xBF\r\n <?xml version=\"1.0\"?><t>\xC3\xA9</t>",
         {"<t", "'\xC3\xA9'", ">t"}},
        {"UTF-16 LE", utf16(utf16Text, false), cyrillic},
        {"UTF-16 BE", utf16(utf16Text, true), cyrillic},
        {"UTF-8 mark", "\xEF\xBB\xBF<t>\xD0\x9F\xD1\x80\xD0\xB8 caf\xC3\xA9</t>", cyrillic},
        {"windows-1251",
         "<?xml version=\"1.0\" encoding=\"windows-1251\"?><t>\xCF\xF0\xE8 caf</t>",
         {"<t", "'\xD0\x9F\xD1\x80\xD0\xB8 caf'", ">t"}},
        {"ISO-8859-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><t>caf\xE9</t>",
         {"<t", "'caf\xC3\xA9'", ">t"}},
    };
    for (const auto& row : rows) {
        Recorder recorder;
        const auto outcome = parse(row.document, recorder);
        EXPECT_TRUE(outcome.has_value()) << row.what << ": " << outcome.error().message;
        EXPECT_EQ(recorder.events, row.expected) << row.what;
    }
}

TEST(XmlEventParser, RefusesTheseDocuments) {
    const struct {
        const char* what;
        const char* document;
        int line;  // 0: any
        const char* inMessage;
    } rows[] = {
        {"mismatched tags", "<rss>\n<item>\n</rss>", 3, "mismatch"},
        {"undefined entity", "<rss>\n<d>&bogus;</d>\n</rss>", 2, "bogus"},
        {"truncated", "<rss><channel><item><title>Half", 0, ""},
        {"empty", "", 0, ""},
        {"only white space", " \n ", 0, ""},
        {"HTML page", "<!DOCTYPE html><html><body><p>Hi<br></body></html>", 0, ""},
        {"plain text", "Not Found", 1, ""},
        {"two roots", "<a/><b/>", 1, ""},
        {"bare ampersand", "<t>Q&A</t>", 1, ""},
    };
    for (const auto& row : rows) {
        Recorder recorder;
        const auto outcome = parse(row.document, recorder);
        ASSERT_FALSE(outcome.has_value()) << row.what;
        EXPECT_FALSE(outcome.error().stoppedByHandler) << row.what;
        EXPECT_NE(outcome.error().message, "") << row.what;
        EXPECT_NE(outcome.error().message.find(row.inMessage), std::string::npos) << row.what;
        EXPECT_TRUE(row.line == 0 || outcome.error().line == row.line) << row.what;
    }
}

// One entity of `size` bytes referenced `count` times, in text or in an attribute.
std::string amplified(std::size_t size, std::size_t count, bool inAttribute) {
    std::string refs;
    for (std::size_t i = 0; i < count; ++i) refs += "&e;";
    return "<!DOCTYPE d [<!ENTITY e \"" + std::string(size, 'x') + "\">]>" +
           (inAttribute ? "<d a=\"" + refs + "\"/>" : "<d>" + refs + "</d>");
}

std::string billionLaughs() {
    std::string document = "<!DOCTYPE d [<!ENTITY l0 \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        document += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) document += "&l" + std::to_string(i - 1) + ";";
        document += "\">";
    }
    return document + "]><d>&l9;</d>";
}

TEST(XmlEventParser, ExpansionStopsAtTheDownloadCap) {
    const std::size_t cap = DownloadOptions{}.maxBytes;
    const std::size_t entity = 1 << 20, count = cap / entity + 2;
    for (const auto& document :
         {amplified(entity, count, false), amplified(entity, count, true), billionLaughs()}) {
        Recorder recorder;
        const auto outcome = parse(document, recorder);
        ASSERT_FALSE(outcome.has_value());
        EXPECT_FALSE(outcome.error().stoppedByHandler);
        EXPECT_NE(outcome.error().message, "");
        EXPECT_LE(recorder.characterBytes, cap);
    }
    // Just under the cap, the same shape reads whole.
    Recorder recorder;
    EXPECT_TRUE(parse(amplified(entity, cap / entity - 1, false), recorder).has_value());
}

TEST(XmlEventParser, NeverLoadsExternalEntities) {
    test::TemporaryDirectory folder;
    const auto secret = folder.write("secret.txt", "SECRET");
    Recorder recorder;
    (void)parse("<!DOCTYPE d [<!ENTITY x SYSTEM \"file://" + secret.string() + "\">]><d>[&x;]</d>",
                recorder);
    for (const auto& event : recorder.events) EXPECT_EQ(event.find("SECRET"), std::string::npos);
}

TEST(XmlEventParser, NoEventFollowsAStopEvenInsideAnEntity) {
    for (const char* document :
         {"<a><b>x</b><c>y</c></a>", "<!DOCTYPE a [<!ENTITY e \"<b>x</b>\">]><a>&e;<c/></a>"}) {
        XmlEventParser parser(document);
        Recorder recorder;
        recorder.onStart = [&](std::string_view name) {
            if (name == "b") parser.stop();
        };
        const auto outcome = parser.parse(recorder);
        ASSERT_FALSE(outcome.has_value());
        EXPECT_TRUE(outcome.error().stoppedByHandler);
        EXPECT_EQ(recorder.events, (Events{"<a", "<b"})) << document;
    }
}

}  // namespace
}  // namespace pressling
