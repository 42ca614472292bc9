// The commands that subscribe, refresh and read articles, end to end: pressling-cli against
// feeds on a loopback server, with a throwaway data folder and catalog.

#include "CliRunner.h"
#include "platform/Sqlite.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <sstream>

namespace pressling {
namespace {

std::string rssFeed(std::string_view title, int items, std::string_view prefix) {
    std::string xml = "<rss version=\"2.0\"><channel><title>" + std::string(title) +
                      "</title><description>About " + std::string(title) + "</description>";
    for (int i = 0; i < items; ++i) {
        xml += "<item><title>" + std::string(prefix) + " " + std::to_string(i) +
               "</title><link>https://example.org/" + std::string(prefix) + "/" +
               std::to_string(i) + "</link><description>Body</description><pubDate>Tue, " +
               std::to_string(10 + i) + " Jun 2003 04:00:00 +0000</pubDate></item>";
    }
    return xml + "</channel></rss>";
}

class FeedCommands : public testing::Test {
protected:
    test::TemporaryDirectory data;
    test::LoopbackServer server;

    void SetUp() override {
        server.serve("/alpha", {.body = rssFeed("Alpha", 3, "alpha"), .contentType = "application/rss+xml"});
        server.serve("/beta", {.body = rssFeed("Beta", 2, "beta"), .contentType = "application/rss+xml"});
        server.serve("/page", {.body = "<html><body>Not a feed</body></html>", .contentType = "application/xhtml+xml"});
        server.serve("/gone", {.status = 404, .body = "gone"});
    }

    test::CliRun cli(std::vector<std::string_view> arguments) {
        const std::string folder = data.path().string();
        arguments.insert(arguments.begin(), {"--data-dir", folder});
        return test::runCli(arguments, {{"PRESSLING_CATALOG", "sqlite:" + (data.path() / "catalog.sqlite").string()}});
    }

    void add(std::string_view path) {
        const auto run = cli({"add", server.url(path)});
        ASSERT_EQ(run.status, 0) << run.out << run.err;
    }
};

bool contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

TEST_F(FeedCommands, AddChecksTheFeedAndSaysWhatHappened) {
    auto run = cli({"add", server.url("/alpha")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Link added\n");

    run = cli({"add", server.url("/page")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.out, "RSS not found: ")) << run.out;

    run = cli({"add", server.url("/gone")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "404")) << run.err;

    run = cli({"list"});
    EXPECT_EQ(run.out, "1\tAlpha\t" + server.url("/alpha") + "\n");

    // The feed went to the catalog too.
    run = cli({"catalog", "search", "About Alpha"});
    EXPECT_TRUE(contains(run.out, server.url("/alpha"))) << run.out << run.err;
}

TEST_F(FeedCommands, AddAppliesTheSchemeRuleForHandedOverAddresses) {
    std::string feedUrl = server.url("/alpha");
    feedUrl.replace(0, 4, "feed");  // feed://127.0.0.1:port/alpha
    const auto run = cli({"add", feedUrl});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(cli({"list"}).out, "1\tAlpha\t" + server.url("/alpha") + "\n");
}

TEST_F(FeedCommands, RefreshStoresArticlesAndReportsFailedFeeds) {
    add("/alpha");
    add("/beta");
    server.serve("/beta", {.status = 500, .body = "down"});

    auto run = cli({"refresh"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "failed: ")) << run.out;
    EXPECT_TRUE(contains(run.out, "Updated at ")) << run.out;
    EXPECT_TRUE(contains(run.out, "1 feed with errors")) << run.out;
    EXPECT_EQ(cli({"list"}).out, "1\tAlpha\t" + server.url("/alpha") + "\n2\tBeta\t" +
                                     server.url("/beta") + "\terror\n");

    run = cli({"articles"});
    ASSERT_EQ(run.status, 0) << run.err;
    // Newest first, one header per day.
    const auto first = run.out.find("alpha 2"), last = run.out.find("alpha 0");
    ASSERT_NE(first, std::string::npos) << run.out;
    EXPECT_LT(first, last);
    EXPECT_TRUE(contains(run.out, "2003-06-12\n")) << run.out;
    EXPECT_FALSE(contains(run.out, "beta")) << run.out;

    // A second refresh finds nothing new and the failed feed recovered.
    server.serve("/beta", {.body = rssFeed("Beta", 2, "beta"), .contentType = "application/rss+xml"});
    run = cli({"refresh"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "5 articles loaded")) << run.out;
}

TEST_F(FeedCommands, RefreshWhereEveryFeedFailsSaysSo) {
    add("/alpha");
    server.serve("/alpha", {.status = 503, .body = "down"});
    const auto run = cli({"refresh"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.out, "No internet connection")) << run.out;
}

TEST_F(FeedCommands, ArticlesFilterBySearchFeedAndLimit) {
    add("/alpha");
    add("/beta");
    ASSERT_EQ(cli({"refresh"}).status, 0);

    auto run = cli({"articles", "--search", "BETA 1"});
    EXPECT_TRUE(contains(run.out, "beta 1")) << run.out;
    EXPECT_FALSE(contains(run.out, "alpha")) << run.out;

    run = cli({"articles", "--feed", server.url("/alpha"), "--limit", "2"});
    EXPECT_TRUE(contains(run.out, "alpha 2") && contains(run.out, "alpha 1")) << run.out;
    EXPECT_FALSE(contains(run.out, "alpha 0") || contains(run.out, "beta")) << run.out;

    EXPECT_EQ(cli({"articles", "--limit", "0"}).status, 2);
    EXPECT_EQ(cli({"articles", "--sort"}).status, 2);
}

TEST_F(FeedCommands, RemoveTakesTheFeedAndItsArticles) {
    add("/alpha");
    add("/beta");
    ASSERT_EQ(cli({"refresh"}).status, 0);

    auto run = cli({"remove", "1"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Removed Alpha (" + server.url("/alpha") + ")\n");
    EXPECT_EQ(cli({"list"}).out, "1\tBeta\t" + server.url("/beta") + "\n");
    EXPECT_FALSE(contains(cli({"articles"}).out, "alpha"));

    EXPECT_EQ(cli({"remove", "2"}).status, 1);
    EXPECT_EQ(cli({"remove", "zero"}).status, 2);
}

TEST_F(FeedCommands, ImportChecksEveryFeedAndExportWritesTheList) {
    const auto opml = data.write("feeds.opml",
                                 "<opml version=\"2.0\"><body><outline text=\"Folder\">"
                                 "<outline text=\"A\" xmlUrl=\"" + server.url("/alpha") + "\"/>"
                                 "<outline text=\"P\" xmlUrl=\"" + server.url("/page") + "\"/>"
                                 "</outline><outline text=\"B\" xmlUrl=\"" + server.url("/beta") +
                                 "\"/></body></opml>");
    auto run = cli({"import", opml.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.out, "failed: P (" + server.url("/page") + ")")) << run.out;
    EXPECT_TRUE(contains(run.out, "Imported 2 of 3 feeds")) << run.out;
    EXPECT_EQ(cli({"list"}).out, "1\tAlpha\t" + server.url("/alpha") + "\n2\tBeta\t" +
                                     server.url("/beta") + "\n");

    run = cli({"export"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "xmlUrl=\"" + server.url("/alpha") + "\"")) << run.out;

    // An export imports cleanly elsewhere.
    const auto exported = data.path() / "out.opml";
    ASSERT_EQ(cli({"export", exported.string()}).status, 0);
    test::TemporaryDirectory other;
    const auto again = test::runCli({"--data-dir", other.path().string(), "import", exported.string()},
                                    {{"PRESSLING_CATALOG", "sqlite:" + (other.path() / "c.sqlite").string()}});
    EXPECT_EQ(again.status, 0) << again.out << again.err;

    EXPECT_EQ(cli({"import", (data.path() / "missing.opml").string()}).status, 1);
    EXPECT_EQ(cli({"import", data.write("bad.opml", "<opml><body>").string()}).status, 1);
}

TEST_F(FeedCommands, CleanupKeepsSubscribedFeedsArticles) {
    add("/alpha");
    ASSERT_EQ(cli({"refresh"}).status, 0);
    EXPECT_EQ(cli({"cleanup"}).status, 0);
    EXPECT_TRUE(contains(cli({"articles"}).out, "alpha 0"));
}

// A disk that refuses the articles: the refresh must fail, not report articles loaded.
TEST_F(FeedCommands, RefreshWhoseArticlesCannotBeSavedFails) {
    add("/alpha");
    ASSERT_EQ(cli({"articles"}).status, 0);  // creates the article store
    {
        auto db = sqlite::Database::open(data.path() / "CDModel.sqlite");
        ASSERT_TRUE(db && db->execute("CREATE TRIGGER full BEFORE INSERT ON BlogPost "
                                      "BEGIN SELECT RAISE(ABORT, 'disk full'); END;"));
    }
    const auto run = cli({"refresh"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.out, "could not be saved")) << run.out;
    EXPECT_FALSE(contains(run.out, "articles loaded")) << run.out;
}

}  // namespace
}  // namespace pressling
