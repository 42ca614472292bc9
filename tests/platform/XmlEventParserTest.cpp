// The XML event layer: what reaches a handler, and which documents are refused.

#include "platform/Download.h"
#include "platform/XmlEventParser.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <functional>

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

// Each data/<name>.xml (the name says what it pins) gives the events of data/<name>.events.
TEST(XmlEventParser, DeliversTheEventsOfEachFixture) {
    const auto names = test::fixtureNames("platform", ".xml");
    EXPECT_EQ(names.size(), 11u);
    for (const std::string& name : names) {
        Recorder recorder;
        const auto outcome =
            XmlEventParser(test::readFixture("platform", name + ".xml")).parse(recorder);
        EXPECT_TRUE(outcome.has_value()) << name << ": " << outcome.error().message;
        EXPECT_EQ(recorder.events + "\n", test::readFixture("platform", name + ".events")) << name;
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
    const std::size_t cap = DownloadOptions{}.maxBytes, entity = 1 << 20, count = cap / entity + 2;
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
        {"billion laughs", test::readFixture("platform", "refused/billion-laughs.xml"), 0, ""},
        {"a big entity repeated in text", amplified(entity, count, false), 1, "expand"},
        {"a big entity repeated in an attribute", amplified(entity, count, true), 1, "expand"},
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
