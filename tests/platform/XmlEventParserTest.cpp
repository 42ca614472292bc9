// The XML event layer: what reaches a handler, and which documents are refused.

#include "platform/Download.h"
#include "platform/XmlEventParser.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <functional>
#include <string>

namespace pressling {
namespace {

// Records "<name" at a start, ">name" at an end and text in quotes, runs of text joined.
class Recorder : public XmlEventHandler {
public:
    std::string events;
    std::size_t characterBytes = 0;
    std::function<void(std::string_view)> onStart;

    void startElement(std::string_view name) override {
        events += fmt::format("<{}", name);
        if (onStart) onStart(name);
    }
    void characters(std::string_view text) override {
        characterBytes += text.size();
        events.ends_with('\'') ? events.pop_back() : events.push_back('\'');
        events.append(text) += '\'';
    }
    void endElement(std::string_view name) override { events += fmt::format(">{}", name); }
};

std::string utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : text) bytes += {char(bigEndian ? c >> 8 : c), char(bigEndian ? c : c >> 8)};
    return bytes;
}

TEST(XmlEventParser, DeliversTheseEvents) {
    const std::u16string utf16Text =
        u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><t>\u041F\u0440\u0438 caf\u00E9</t>";
    const std::string cyrillic = "<t'\xD0\x9F\xD1\x80\xD0\xB8 caf\xC3\xA9'>t";
    const struct {
        const char* what;
        std::string document, expected;
    } rows[] = {
        {"names as written, in document order, prefixes unresolved",
         R"(<rss xmlns:dc="urn:dc"><dc:date>d</dc:date><a:link xmlns:a="urn:x" href="h">t</a:link>)"
         R"(<Title/><x:y>u</x:y></rss>)",
         "<rss<dc:date'd'>dc:date<a:link't'>a:link<Title>Title<x:y'u'>x:y>rss"},
        {"CDATA as characters", "<d>a <![CDATA[<p>b & c</p>]]> d</d>", "<d'a <p>b & c</p> d'>d"},
        {"references replaced, undeclared HTML names as characters",
         "<d>&lt;&amp;&#233;&#x2014;&quot;&apos; &nbsp;&eacute;&hellip;</d>",
         "<d'<&\xC3\xA9\xE2\x80\x94\"' \xC2\xA0\xC3\xA9\xE2\x80\xA6'>d"},
        {"declared entities, before HTML names",
         "<!DOCTYPE d [<!ENTITY who \"world\"><!ENTITY nbsp \"_\">]><d>hello &who; &who;&nbsp;</d>",
         "<d'hello world world_'>d"},
        {"white space before the declaration", "\n  \r\n<?xml version=\"1.0\"?><t/>", "<t>t"},
        {"UTF-8 mark and white space", "\xEF\xBB\xBF\r\n <?xml version=\"1.0\"?><t/>", "<t>t"},
        {"UTF-16 LE", utf16(utf16Text, false), cyrillic},
        {"UTF-16 BE", utf16(utf16Text, true), cyrillic},
        {"UTF-8 mark", "\xEF\xBB\xBF<t>\xD0\x9F\xD1\x80\xD0\xB8 caf\xC3\xA9</t>", cyrillic},
        {"external entity left unread",
         "<!DOCTYPE d [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><d>[&x;]</d>", "<d'[]'>d"},
        {"ISO-8859-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><t>caf\xE9</t>",
         "<t'caf\xC3\xA9'>t"},
    };
    for (const auto& row : rows) {
        Recorder recorder;
        const auto outcome = XmlEventParser(row.document).parse(recorder);
        EXPECT_TRUE(outcome.has_value()) << row.what << ": " << outcome.error().message;
        EXPECT_EQ(recorder.events, row.expected) << row.what;
    }
}

// One entity of `size` bytes referenced `count` times, in text or in an attribute.
std::string amplified(std::size_t size, std::size_t count, bool inAttribute) {
    std::string refs;
    for (std::size_t i = 0; i < count; ++i) refs += "&e;";
    return fmt::format("<!DOCTYPE d [<!ENTITY e \"{}\">]>", std::string(size, 'x')) +
           (inAttribute ? "<d a=\"" + refs + "\"/>" : "<d>" + refs + "</d>");
}

TEST(XmlEventParser, RefusesTheseDocuments) {
    std::string billionLaughs = "<!DOCTYPE d [<!ENTITY l0 \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        billionLaughs += fmt::format("<!ENTITY l{} \"", i);
        for (int k = 0; k < 10; ++k) billionLaughs += fmt::format("&l{};", i - 1);
        billionLaughs += "\">";
    }
    const std::size_t cap = DownloadOptions{}.maxBytes, entity = 1 << 20;
    const struct {
        const char* what;
        std::string document;
        int line;  // 0: any
        const char* inMessage;
    } rows[] = {
        {"mismatched tags", "<rss>\n<item>\n</rss>", 3, "mismatch"},
        {"undefined entity", "<rss>\n<d>&bogus;</d>\n</rss>", 2, "bogus"},
        {"truncated, with a bare ampersand", "<t>Q&A", 1, ""},
        {"plain text", "Not Found", 1, ""},
        // Expanding these would exhaust memory: each stops within the download cap.
        {"billion laughs", billionLaughs + "]><d>&l9;</d>", 0, ""},
        {"one large entity referenced in text", amplified(entity, cap / entity + 2, false), 1,
         "expand"},
        {"one large entity referenced in an attribute", amplified(entity, cap / entity + 2, true),
         1, "expand"},
    };
    for (const auto& row : rows) {
        Recorder recorder;
        const auto outcome = XmlEventParser(row.document).parse(recorder);
        ASSERT_FALSE(outcome.has_value()) << row.what;
        EXPECT_FALSE(outcome.error().stoppedByHandler) << row.what;
        EXPECT_NE(outcome.error().message, "") << row.what;
        EXPECT_NE(outcome.error().message.find(row.inMessage), std::string::npos) << row.what;
        EXPECT_TRUE(row.line == 0 || outcome.error().line == row.line) << row.what;
        EXPECT_LE(recorder.characterBytes, cap) << row.what;
    }
    // A large expansion within the cap reads whole.
    Recorder recorder;
    EXPECT_TRUE(XmlEventParser(amplified(entity, 8, false)).parse(recorder).has_value());
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
        EXPECT_EQ(recorder.events, "<a<b") << document;
    }
}

}  // namespace
}  // namespace pressling
