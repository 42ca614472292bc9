// The feed commands end to end: pressling-cli against feeds on a loopback server.

#include "CliRunner.h"
#include "platform/Sqlite.h"
#include "support/LoopbackServer.h"

#include <fmt/format.h>

namespace pressling {
namespace {

using test::contains;
using test::slurp;

test::Reply rssFeed(std::string_view title, int items) {
    std::string xml = fmt::format(
        "<rss version=\"2.0\"><channel><title>{0}</title><description>About {0}</description>",
        title);
    for (int i = 0; i < items; ++i) {
        xml += fmt::format(
            "<item><title>{0} {1}</title><link>https://example.org/{0}/{1}</link>"
            "<description>Body</description><pubDate>Tue, {2} Jun 2003 04:00:00 "
            "+0000</pubDate></item>",
            title, i, 10 + i);
    }
    return {.body = xml + "</channel></rss>", .contentType = "application/rss+xml"};
}

class FeedCommands : public test::CliTest {
protected:
    test::LoopbackServer server;

    void SetUp() override {
        server.serve("/alpha", rssFeed("Alpha", 3));
        server.serve("/beta", rssFeed("Beta", 2));
        server.serve("/page", {.body = "<html>Not a feed</html>", .contentType = "text/html"});
        server.serve("/gone", {.status = 404, .body = "gone"});
    }
    void add(std::string_view path) { ASSERT_EQ(cli({"add", server.url(path)}).status, 0); }
    std::string row(int n, std::string_view title, std::string_view path,
                    std::string_view mark = "") {
        return fmt::format("{}\t{}\t{}{}\n", n, title, server.url(path), mark);
    }
    std::filesystem::path opml(std::string_view outlines) {
        return data.write("in.opml",
                          fmt::format("<opml version=\"2.0\"><body>{}</body></opml>", outlines));
    }
};

TEST_F(FeedCommands, AddChecksTheFeedAndSaysWhatHappened) {
    std::string feedScheme = server.url("/alpha");
    feedScheme.replace(0, 4, "feed");  // feed://127.0.0.1:port/alpha, as handed to the reader
    EXPECT_EQ(cli({"add", feedScheme}).out, "Link added\n");
    EXPECT_TRUE(test::exitsWith(cli({"add", server.url("/page")}), 1, "RSS not found: "));
    EXPECT_TRUE(test::exitsWith(cli({"add", server.url("/gone")}), 1, "", "404"));
    EXPECT_EQ(cli({"list"}).out, row(1, "Alpha", "/alpha"));
    EXPECT_TRUE(contains(cli({"catalog", "search", "alpha"}).out, server.url("/alpha")));
}

TEST_F(FeedCommands, RefreshReportsFailedFeedsArticlesReadNewestFirstRemoveTakesThemAway) {
    add("/alpha");
    add("/beta");
    server.serve("/beta", {.status = 500, .body = "down"});
    auto run = cli({"refresh"});
    EXPECT_TRUE(test::exitsWith(run, 0, "1 feed with errors"));
    EXPECT_TRUE(contains(run.out, "failed: ") && contains(run.out, "Updated at ")) << run.out;
    EXPECT_EQ(cli({"list"}).out, row(1, "Alpha", "/alpha") + row(2, "Beta", "/beta", "\terror"));

    server.serve("/beta", rssFeed("Beta", 2));  // recovered; nothing new from Alpha
    EXPECT_TRUE(test::exitsWith(cli({"refresh"}), 0, "5 articles loaded"));

    // The articles: newest first by day, found by text and by feed.
    const auto all = cli({"articles"}).out;
    EXPECT_TRUE(contains(all, "2003-06-12\n  ")) << all;
    EXPECT_LT(all.find("Alpha 2"), all.find("Alpha 0")) << all;
    const auto found = cli({"articles", "--search", "BETA 1"}).out;
    EXPECT_TRUE(contains(found, "Beta 1") && !contains(found, "Alpha 1")) << found;
    const auto limited = cli({"articles", "--feed", server.url("/alpha"), "--limit", "2"}).out;
    EXPECT_TRUE(contains(limited, "Alpha 1") && !contains(limited, "Beta")) << limited;
    EXPECT_EQ(std::count(limited.begin(), limited.end(), '\n'), 7) << limited;  // 2 days
    const auto json =
        cli({"articles", "--feed", server.url("/alpha"), "--limit", "2", "--json"}).out;
    EXPECT_TRUE(contains(json, R"([{"day":"2003-06-12","title":"Alpha 2","description":"Body",)"
                               R"("web":"Alpha","blogLink":")" +
                                   server.url("/alpha") +
                                   R"(","link":"https://example.org/Alpha/2",)"
                                   R"("pubDate":"2003-06-12T04:00:00.000Z"},{"day":"2003-06-11")"))
        << json;
    EXPECT_FALSE(contains(json, "Alpha 0")) << json;

    const auto removed = cli({"remove", "1"});
    EXPECT_EQ(removed.out, "Removed Alpha (" + server.url("/alpha") + ")\n") << removed.err;
    EXPECT_EQ(cli({"list"}).out, row(1, "Beta", "/beta"));
    EXPECT_EQ(cli({"cleanup"}).status, 0);
    EXPECT_FALSE(contains(cli({"articles"}).out, "Alpha")) << "a removed feed's articles stay";
    EXPECT_EQ(cli({"remove", "2"}).status, 1);

    server.serve("/beta", {.status = 503, .body = "down"});
    EXPECT_TRUE(test::exitsWith(cli({"refresh"}), 1, "No internet connection"));
}

TEST_F(FeedCommands, ImportChecksEveryFeedAndExportReplacesTheFileWhole) {
    const auto file = opml(fmt::format(
        "<outline text=\"Folder\"><outline text=\"A\" xmlUrl=\"{}\"/><outline text=\"P\" "
        "xmlUrl=\"{}\"/></outline><outline text=\"B\" xmlUrl=\"{}\"/>",
        server.url("/alpha"), server.url("/page"), server.url("/beta")));
    const auto run = cli({"import", file.string()});
    EXPECT_TRUE(test::exitsWith(run, 1, "failed: P (" + server.url("/page") + ")"));
    EXPECT_TRUE(contains(run.out, "Imported 2 of 3 feeds")) << run.out;
    EXPECT_EQ(cli({"list"}).out, row(1, "Alpha", "/alpha") + row(2, "Beta", "/beta"));
    EXPECT_EQ(cli({"import", (data.path() / "missing.opml").string()}).status, 1);
    EXPECT_EQ(cli({"import", data.write("bad.opml", "<opml><body>").string()}).status, 1);

    // Replaced, never rewritten in place: a second name for the old file keeps the old bytes.
    const auto exported = data.write("out.opml", "old");
    std::filesystem::create_hard_link(exported, data.path() / "link.opml");
    ASSERT_EQ(cli({"export", exported.string()}).status, 0);
    EXPECT_EQ(slurp(data.path() / "link.opml"), "old");
    EXPECT_EQ(slurp(exported), cli({"export"}).out);
    EXPECT_TRUE(contains(slurp(exported), "xmlUrl=\"" + server.url("/beta") + "\""));
}

TEST_F(FeedCommands, ExportRefusesAnUnreadableListAndImportAFailedSave) {
    storeList("[{\"title\":\"A\",\"url\":");
    const auto file = data.write("out.opml", "my feeds");
    EXPECT_TRUE(test::exitsWith(cli({"export", file.string()}), 1, "", "cannot be read"));
    EXPECT_EQ(slurp(file), "my feeds");

    storeList("[]");
    auto store = sqlite::Database::open(data.path() / "kvstore.sqlite");
    ASSERT_TRUE(
        store->execute("CREATE TRIGGER refuse BEFORE UPDATE ON kv BEGIN "
                       "SELECT RAISE(ABORT, 'refused'); END"));
    const auto run = cli(
        {"import", opml("<outline text=\"A\" xmlUrl=\"" + server.url("/alpha") + "\"/>").string()});
    EXPECT_TRUE(test::exitsWith(run, 1, "failed: A (")) << run.out;
    EXPECT_TRUE(contains(run.out, "Imported 0 of 1 feeds")) << run.out;
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
    EXPECT_TRUE(test::exitsWith(run, 1, "could not be saved"));
    EXPECT_FALSE(contains(run.out, "articles loaded")) << run.out;
}

}  // namespace
}  // namespace pressling
