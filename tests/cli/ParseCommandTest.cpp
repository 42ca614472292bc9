// `pressling-cli parse` as a script sees it: one JSON object on stdout and an exit status.

#include "CliRunner.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>


namespace pressling {
namespace {

using Json = nlohmann::ordered_json;

using test::CliRun;

Json jsonOf(const CliRun& run) { return Json::parse(run.out); }

CliRun cli(const std::vector<std::string_view>& arguments) { return test::runCli(arguments); }

const std::string kFeed = R"(<?xml version="1.0"?>
<rss version="2.0"><channel><title>Notes</title><description>About notes</description>
<item><title>First</title><link>https://example.org/1</link><description>&lt;p&gt;One&lt;/p&gt;</description>
<pubDate>Tue, 10 Jun 2003 04:00:00 +0200</pubDate></item>
<item><title>Second</title><guid>g-2</guid><description>Two</description>
<dc:date>2003-06-11T00:00:00.5Z</dc:date></item>
</channel></rss>)";

TEST(ParseCommand, PrintsFeedAndArticlesFromAFile) {
    test::TemporaryDirectory folder;
    const auto file = folder.write("my feed.xml", kFeed);
    const CliRun run = cli({"parse", file.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string blogLink = "file://" + folder.path().string() + "/my%20feed.xml";
    const Json expected = {
        {"feed", {{"title", "Notes"}, {"description", "About notes"}}},
        {"articles",
         {{{"title", "First"},
           {"description", "<p>One</p>"},
           {"web", "Notes"},
           {"blogLink", blogLink},
           {"link", "https://example.org/1"},
           {"pubDate", "2003-06-10T02:00:00.000Z"}},
          {{"title", "Second"},
           {"description", "Two"},
           {"web", "Notes"},
           {"blogLink", blogLink},
           {"link", "g-2"},
           {"pubDate", "2003-06-11T00:00:00.500Z"}}}}};
    EXPECT_EQ(jsonOf(run), expected);
    // Exactly one object on one line, keys in the documented order.
    EXPECT_EQ(run.out, expected.dump() + "\n");
}

TEST(ParseCommand, UrlOptionNamesTheSource) {
    test::TemporaryDirectory folder;
    const CliRun run = cli({"parse", "--url", "https://example.org/feed", folder.write("f.xml", kFeed).string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(jsonOf(run)["articles"][1]["blogLink"], "https://example.org/feed");
}

TEST(ParseCommand, DownloadsHttpSources) {
    test::LoopbackServer server;
    server.serve("/feed", {.body = kFeed, .contentType = "application/rss+xml"});
    const CliRun run = cli({"parse", server.url("/feed")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(jsonOf(run)["articles"][0]["blogLink"], server.url("/feed"));
    EXPECT_EQ(jsonOf(run)["articles"].size(), 2u);

    const CliRun named = cli({"parse", "--url=https://example.org/x", server.url("/feed")});
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(jsonOf(named)["articles"][0]["blogLink"], "https://example.org/x");
}

TEST(ParseCommand, CheckingModeReportsTheVerdictAndAlwaysSucceeds) {
    test::TemporaryDirectory folder;
    CliRun run = cli({"parse", "--check", folder.write("feed.xml", kFeed).string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, R"({"valid":true,"title":"Notes","description":"About notes"})" "\n");

    run = cli({"parse", "--check", folder.write("page.html", "<html><body>Hello<br></body></html>").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, R"({"valid":false,"title":null,"description":null})" "\n");
}

TEST(ParseCommand, FailuresPrintAnErrorObject) {
    test::LoopbackServer server;
    server.serve("/gone", {.status = 404, .body = "<html>gone</html>"});
    test::TemporaryDirectory folder;

    struct Failure {
        std::string source;
        std::string mentions;
    };
    const Failure failures[] = {
        {server.url("/gone"), "404"},
        {folder.write("broken.xml", "<rss>\n<channel>\n</rss>").string(), "line 3"},
        {(folder.path() / "missing.xml").string(), "missing.xml"},
        {"ftp://example.org/feed.xml", "ftp://example.org/feed.xml"},
    };
    for (const auto& failure : failures) {
        const CliRun run = cli({"parse", failure.source});
        EXPECT_EQ(run.status, 1) << failure.source;
        const Json json = jsonOf(run);
        ASSERT_EQ(json.size(), 1u) << run.out;
        EXPECT_NE(json["error"].get<std::string>().find(failure.mentions), std::string::npos)
            << run.out;
    }
}

TEST(ParseCommand, WrongArgumentsPrintUsageAndExitTwo) {
    const std::vector<std::vector<std::string_view>> wrong = {
        {"parse"},
        {"parse", "a.xml", "b.xml"},
        {"parse", "--verbose", "a.xml"},
        {"parse", "a.xml", "--url"},
        {"parse", "--url", "not a url", "a.xml"},
        {"frobnicate"},
        {},
    };
    for (const auto& arguments : wrong) {
        const CliRun run = cli(arguments);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("usage: pressling-cli"), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace pressling
