// The commands that subscribe, refresh, read articles and move the list in and out as OPML,
// end to end: pressling-cli against feeds on a loopback server, with a throwaway data folder.

#include "CliRunner.h"
#include "platform/Sqlite.h"
#include "support/LoopbackServer.h"

#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace pressling {
namespace {

using test::contains;

std::string rssFeed(std::string_view title, int items, std::string_view prefix) {
    std::string xml = fmt::format(
        "<rss version=\"2.0\"><channel><title>{0}</title><description>About {0}</description>",
        title);
    for (int i = 0; i < items; ++i) {
        xml += fmt::format(
            "<item><title>{0} {1}</title><link>https://example.org/{0}/{1}</link><description>"
            "Body</description><pubDate>Tue, {2} Jun 2003 04:00:00 +0000</pubDate></item>",
            prefix, i, 10 + i);
    }
    return xml + "</channel></rss>";
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class FeedCommands : public test::CliTest {
protected:
    test::LoopbackServer server;

    void SetUp() override {
        server.serve("/alpha",
                     {.body = rssFeed("Alpha", 3, "alpha"), .contentType = "application/rss+xml"});
        server.serve("/beta",
                     {.body = rssFeed("Beta", 2, "beta"), .contentType = "application/rss+xml"});
        server.serve("/page", {.body = "<html><body>Not a feed</body></html>",
                               .contentType = "application/xhtml+xml"});
        server.serve("/gone", {.status = 404, .body = "gone"});
    }

    void add(std::string_view path) {
        const auto run = cli({"add", server.url(path)});
        ASSERT_EQ(run.status, 0) << run.out << run.err;
    }

    std::string listed(std::string_view title, std::string_view path, std::string_view mark = "") {
        return fmt::format("\t{}\t{}{}\n", title, server.url(path), mark);
    }
};

TEST_F(FeedCommands, AddChecksTheFeedAndSaysWhatHappened) {
    std::string feedScheme = server.url("/alpha");
    feedScheme.replace(0, 4, "feed");  // feed://127.0.0.1:port/alpha, as handed to the reader
    auto run = cli({"add", feedScheme});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Link added\n");
    run = cli({"add", server.url("/page")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.out, "RSS not found: ")) << run.out;
    run = cli({"add", server.url("/gone")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "404")) << run.err;
    EXPECT_EQ(cli({"list"}).out, "1" + listed("Alpha", "/alpha"));
    // The feed went to the catalog too.
    EXPECT_TRUE(contains(cli({"catalog", "search", "About Alpha"}).out, server.url("/alpha")));
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
    EXPECT_EQ(cli({"list"}).out,
              "1" + listed("Alpha", "/alpha") + "2" + listed("Beta", "/beta", "\terror"));

    // A second refresh finds nothing new and the failed feed recovered.
    server.serve("/beta",
                 {.body = rssFeed("Beta", 2, "beta"), .contentType = "application/rss+xml"});
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

TEST_F(FeedCommands, ArticlesNewestFirstByDayFilteredAndRemoveTakesThemAway) {
    add("/alpha");
    add("/beta");
    ASSERT_EQ(cli({"refresh"}).status, 0);
    const auto all = cli({"articles"}).out;
    EXPECT_TRUE(contains(all, "2003-06-12\n  ")) << all;
    EXPECT_LT(all.find("alpha 2"), all.find("alpha 0")) << all;
    const auto found = cli({"articles", "--search", "BETA 1"}).out;
    EXPECT_TRUE(contains(found, "beta 1") && !contains(found, "alpha")) << found;
    const auto limited = cli({"articles", "--feed", server.url("/alpha"), "--limit", "2"}).out;
    EXPECT_TRUE(contains(limited, "alpha 1") && !contains(limited, "alpha 0")) << limited;
    EXPECT_FALSE(contains(limited, "beta")) << limited;

    const auto removed = cli({"remove", "1"});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(removed.out, "Removed Alpha (" + server.url("/alpha") + ")\n");
    EXPECT_EQ(cli({"list"}).out, "1" + listed("Beta", "/beta"));
    EXPECT_EQ(cli({"cleanup"}).status, 0);
    EXPECT_TRUE(contains(cli({"articles"}).out, "beta 0"));
    EXPECT_FALSE(contains(cli({"articles"}).out, "alpha"));
    EXPECT_EQ(cli({"remove", "2"}).status, 1);
}

TEST_F(FeedCommands, ImportChecksEveryFeedAndExportWritesTheList) {
    const auto opml = data.write("feeds.opml",
                                 "<opml version=\"2.0\"><body><outline text=\"Folder\">"
                                 "<outline text=\"A\" xmlUrl=\"" +
                                     server.url("/alpha") +
                                     "\"/>"
                                     "<outline text=\"P\" xmlUrl=\"" +
                                     server.url("/page") +
                                     "\"/>"
                                     "</outline><outline text=\"B\" xmlUrl=\"" +
                                     server.url("/beta") + "\"/></body></opml>");
    auto run = cli({"import", opml.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.out, "failed: P (" + server.url("/page") + ")")) << run.out;
    EXPECT_TRUE(contains(run.out, "Imported 2 of 3 feeds")) << run.out;
    EXPECT_EQ(cli({"list"}).out, "1" + listed("Alpha", "/alpha") + "2" + listed("Beta", "/beta"));

    // Replaced, never rewritten in place: a second name for the old file keeps the old bytes.
    const auto exported = data.write("out.opml", "old");
    std::filesystem::create_hard_link(exported, data.path() / "link.opml");
    ASSERT_EQ(cli({"export", exported.string()}).status, 0);
    EXPECT_EQ(slurp(data.path() / "link.opml"), "old");
    EXPECT_EQ(slurp(exported), cli({"export"}).out);
    test::TemporaryDirectory other;  // an export imports cleanly elsewhere
    const auto again =
        test::runCli({"--data-dir", other.path().string(), "import", exported.string()},
                     {{"PRESSLING_CATALOG", "sqlite:" + (other.path() / "c.sqlite").string()}});
    EXPECT_EQ(again.status, 0) << again.out << again.err;

    EXPECT_EQ(cli({"import", (data.path() / "missing.opml").string()}).status, 1);
    EXPECT_EQ(cli({"import", data.write("bad.opml", "<opml><body>").string()}).status, 1);
}

TEST_F(FeedCommands, ExportRefusesAListItCannotReadAndLeavesTheFileAlone) {
    storeList("[{\"title\":\"A\",\"url\":");
    const auto file = data.write("out.opml", "my feeds");
    const auto run = cli({"export", file.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "cannot be read")) << run.err;
    EXPECT_EQ(slurp(file), "my feeds");
    EXPECT_EQ(cli({"export"}).status, 1);
}

TEST_F(FeedCommands, ImportCountsAFeedWhoseSaveFailedAsFailed) {
    storeList("[]");
    auto store = sqlite::Database::open(data.path() / "kvstore.sqlite");
    ASSERT_TRUE(store);
    ASSERT_TRUE(
        store->execute("CREATE TRIGGER refuse BEFORE UPDATE ON kv BEGIN "
                       "SELECT RAISE(ABORT, 'refused'); END"));
    const auto opml =
        data.write("a.opml", "<opml version=\"2.0\"><body><outline text=\"A\" xmlUrl=\"" +
                                 server.url("/alpha") + "\"/></body></opml>");
    const auto run = cli({"import", opml.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.out, "failed: A (")) << run.out;
    EXPECT_TRUE(contains(run.out, "Imported 0 of 1 feeds")) << run.out;
}

}  // namespace
}  // namespace pressling
