// `pressling-cli parse` as a script sees it: one JSON object on stdout and an exit status.

#include "CliRunner.h"
#include "support/LoopbackServer.h"

#include <tuple>

namespace pressling {
namespace {

using test::contains;

const std::string kFeed = R"(<?xml version="1.0"?>
<rss version="2.0"><channel><title>Notes</title><description>About notes</description>
<item><title>First</title><link>https://example.org/1</link><description>&lt;p&gt;One&lt;/p&gt;</description>
<pubDate>Tue, 10 Jun 2003 04:00:00 +0200</pubDate></item>
<item><title>Second</title><guid>g-2</guid><description>Two</description>
<dc:date>2003-06-11T00:00:00.5Z</dc:date></item>
</channel></rss>)";

TEST(ParseCommand, PrintsOneLineOfJsonForEverySourceAndFailure) {
    test::LoopbackServer server;
    server.serve("/feed", {.body = kFeed, .contentType = "application/rss+xml"});
    server.serve("/gone", {.status = 404, .body = "<html>gone</html>"});
    test::TemporaryDirectory folder;
    const std::string file = folder.write("my feed.xml", kFeed).string();
    const std::string blogLink = "file://" + folder.path().string() + "/my%20feed.xml";
    const std::string feedUrl = server.url("/feed");
    // Arguments, exit status, and what stdout holds.
    const std::tuple<std::vector<std::string>, int, std::string> rows[] = {
        {{file},
         0,
         R"({"feed":{"title":"Notes","description":"About notes"},"articles":[)"
         R"({"title":"First","description":"<p>One</p>","web":"Notes","blogLink":")" +
             blogLink +
             R"(","link":"https://example.org/1","pubDate":"2003-06-10T02:00:00.000Z"},)"
             R"({"title":"Second","description":"Two","web":"Notes","blogLink":")" +
             blogLink +
             R"(","link":"g-2","pubDate":"2003-06-11T00:00:00.500Z"}]})"
             "\n"},
        {{"--url", "https://example.org/feed", file},
         0,
         R"("blogLink":"https://example.org/feed")"},
        {{feedUrl}, 0, R"("blogLink":")" + feedUrl + R"(","link":"g-2")"},
        {{"--url=https://example.org/x", feedUrl}, 0, R"("blogLink":"https://example.org/x")"},
        {{"--check", file}, 0, R"({"valid":true,"title":"Notes","description":"About notes"})"},
        {{"--check", folder.write("page.html", "<html><body>Hi<br></body></html>").string()},
         0,
         R"({"valid":false,"title":null,"description":null})"},
        {{server.url("/gone")}, 1, "404"},
        {{folder.write("broken.xml", "<rss>\n<channel>\n</rss>").string()}, 1, "line 3"},
        {{(folder.path() / "missing.xml").string()}, 1, "missing.xml"},
        {{"ftp://example.org/feed.xml"}, 1, R"({"error":"cannot download ftp://example.org)"},
    };
    for (const auto& [given, status, mentions] : rows) {
        std::vector<std::string_view> arguments{"parse"};
        arguments.insert(arguments.end(), given.begin(), given.end());
        const auto run = test::runCli(arguments);
        EXPECT_TRUE(test::exitsWith(run, status, mentions));
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    }
}

}  // namespace
}  // namespace pressling
