// pressling-cli's commands: end to end on loopback feeds, `list`, `parse`, arguments; in-process.

#include "CatalogCommand.h"
#include "MainLoop.h"
#include "OpmlCommands.h"
#include "Printable.h"
#include "platform/GlobalQueue.h"
#include "platform/KeyValueStore.h"
#include "support/LoopbackServer.h"
#include "support/StoreTestSupport.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <future>
#include <map>
#include <ranges>
#include <tuple>

namespace pressling {
namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A data file of this suite with every {URL} in it replaced by url.
std::string fixture(std::string_view name, std::string_view url = "") {
    std::string text = test::readFixture("cli", name);
    for (auto at = text.find("{URL}"); at != std::string::npos; at = text.find("{URL}", at))
        text.replace(at, 5, url);
    return text;
}

std::string shellQuoted(std::string_view text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

// One finished run: exit status (-1 when it did not exit normally) and output.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs pressling-cli with arguments (quoted, never read by a shell) and environment added.
CliRun runCli(const std::vector<std::string_view>& arguments,
              const std::map<std::string, std::string>& environment = {}) {
    test::TemporaryDirectory folder;
    const auto out = folder.path() / "out", err = folder.path() / "err";
    std::string command;
    for (const auto& [name, value] : environment) command += name + "=" + shellQuoted(value) + " ";
    command += shellQuoted(PRESSLING_CLI);
    for (auto argument : arguments) command += " " + shellQuoted(argument);
    command += " >" + shellQuoted(out.string()) + " 2>" + shellQuoted(err.string()) + " </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
}

// Whether run ended with status, its output holding every one of inOut and its error output inErr.
testing::AssertionResult exitsWith(const CliRun& run, int status,
                                   const std::vector<std::string_view>& inOut,
                                   std::string_view inErr = "") {
    const bool allOut =
        std::ranges::all_of(inOut, [&](auto part) { return run.out.contains(part); });
    if (run.status == status && allOut && run.err.contains(inErr))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "status " << run.status << "\nout: " << run.out << "\nerr: " << run.err;
}

class CliTest : public testing::Test {
protected:
    test::TemporaryDirectory data;
    CliRun cli(std::vector<std::string_view> arguments) const {
        const std::string folder = data.path().string();
        arguments.insert(arguments.begin(), {"--data-dir", folder});
        return runCli(arguments, {{"PRESSLING_CATALOG", "sqlite:" + folder + "/catalog.sqlite"},
                                  {"TZ", "UTC"}});  // the articles' days and times as written
    }
    void storeList(std::string_view bytes) const {  // as the subscription list
        KeyValueStore store(data.path() / "kvstore.sqlite");
        ASSERT_TRUE(store.setData(bytes, "storedRss").has_value());
    }
};

// Alpha 0 to 2 and Beta 0 and 1, a day apart from 10 June 2003.
test::Reply rssFeed(std::string_view name) {
    return {.body = fixture(name), .contentType = "application/rss+xml"};
}

class FeedCommands : public CliTest {
protected:
    test::LoopbackServer server;
    void SetUp() override {
        server.serve("/alpha", rssFeed("alpha.xml"));
        server.serve("/beta", rssFeed("beta.xml"));
        server.serve("/page", {.body = "<html>Not a feed</html>", .contentType = "text/html"});
        server.serve("/gone", {.status = 404, .body = "gone"});
    }
    void add(std::string_view path) { ASSERT_EQ(cli({"add", server.url(path)}).status, 0); }
    std::string row(int n, std::string_view title, std::string_view path,
                    std::string_view mark = "") {
        return fmt::format("{}\t{}\t{}{}\n", n, title, server.url(path), mark);
    }
    // The data file name, its {URL} standing for the server, copied into the data folder.
    std::string opml(std::string_view name) {
        return data.write(name, fixture(name, server.url(""))).string();
    }
};

TEST_F(FeedCommands, AddChecksTheFeedAndSaysWhatHappened) {
    // feed://127.0.0.1:port/alpha, as handed to the reader
    EXPECT_EQ(cli({"add", "feed" + server.url("/alpha").substr(4)}).out, "Link added\n");
    EXPECT_TRUE(exitsWith(cli({"add", server.url("/page")}), 1, {"RSS not found: "}));
    EXPECT_TRUE(exitsWith(cli({"add", server.url("/gone")}), 1, {}, "404"));
    EXPECT_EQ(cli({"list"}).out, row(1, "Alpha", "/alpha"));
    EXPECT_TRUE(cli({"catalog", "search", "alpha"}).out.contains(server.url("/alpha")));
}

TEST_F(FeedCommands, RefreshReportsFailedFeedsArticlesReadNewestFirstRemoveTakesThemAway) {
    add("/alpha");
    add("/beta");
    server.serve("/beta", {.status = 500, .body = "down"});
    auto run = cli({"refresh"});
    EXPECT_TRUE(exitsWith(run, 0, {"1 feed with errors", "failed: ", "Updated at "}));
    EXPECT_EQ(cli({"list"}).out, row(1, "Alpha", "/alpha") + row(2, "Beta", "/beta", "\terror"));

    const std::string alpha = server.url("/alpha");
    server.serve("/beta", rssFeed("beta.xml"));  // recovered; nothing new from Alpha
    EXPECT_TRUE(exitsWith(cli({"refresh"}), 0, {"5 articles loaded"}));

    // The articles: found by text, and by feed newest first under their days.
    const auto found = cli({"articles", "--search", "BETA 1"}).out;
    EXPECT_TRUE(found.contains("Beta 1") && !found.contains("Alpha 1")) << found;
    std::vector<std::string_view> newestTwo{"articles", "--feed", alpha, "--limit", "2"};
    EXPECT_EQ(cli(newestTwo).out, fixture("articles-alpha.txt"));
    newestTwo.push_back("--json");
    EXPECT_EQ(cli(newestTwo).out, fixture("articles-alpha.json", alpha));

    const auto removed = cli({"remove", "1"});
    EXPECT_EQ(removed.out, "Removed Alpha (" + server.url("/alpha") + ")\n") << removed.err;
    EXPECT_EQ(cli({"list"}).out, row(1, "Beta", "/beta"));
    EXPECT_EQ(cli({"cleanup"}).status, 0);
    EXPECT_FALSE(cli({"articles"}).out.contains("Alpha")) << "a removed feed's articles stay";
    EXPECT_EQ(cli({"remove", "2"}).status, 1);

    server.serve("/beta", {.status = 503, .body = "down"});
    EXPECT_TRUE(exitsWith(cli({"refresh"}), 1, {"No internet connection"}));
}

TEST_F(FeedCommands, ImportChecksEveryFeedAndExportReplacesTheFileWhole) {
    const auto run = cli({"import", opml("import.opml")});
    const std::string failed = "failed: P (" + server.url("/page") + ")";
    EXPECT_TRUE(exitsWith(run, 1, {failed, "Imported 2 of 3 feeds"}));
    EXPECT_EQ(cli({"list"}).out, row(1, "Alpha", "/alpha") + row(2, "Beta", "/beta"));
    EXPECT_EQ(cli({"import", (data.path() / "missing.opml").string()}).status, 1);
    EXPECT_EQ(cli({"import", data.write("bad.opml", "<opml><body>").string()}).status, 1);

    // Replaced, never rewritten in place: a second name for the old file keeps the old bytes.
    const auto exported = data.write("out.opml", "old");
    std::filesystem::create_hard_link(exported, data.path() / "link.opml");
    ASSERT_EQ(cli({"export", exported.string()}).status, 0);
    EXPECT_EQ(slurp(data.path() / "link.opml"), "old");
    EXPECT_EQ(slurp(exported), cli({"export"}).out);
    EXPECT_TRUE(slurp(exported).contains("xmlUrl=\"" + server.url("/beta") + "\""));
}

TEST_F(FeedCommands, ExportRefusesAnUnreadableListAndImportAFailedSave) {
    storeList("[{\"title\":\"A\",\"url\":");
    const auto file = data.write("out.opml", "my feeds");
    EXPECT_TRUE(exitsWith(cli({"export", file.string()}), 1, {}, "cannot be read"));
    EXPECT_EQ(slurp(file), "my feeds");

    storeList("[]");
    test::alterStoreFile(data.path() / "kvstore.sqlite",
                         "CREATE TRIGGER refuse BEFORE UPDATE ON kv BEGIN "
                         "SELECT RAISE(ABORT, 'refused'); END");
    const auto run = cli({"import", opml("alpha.opml")});
    EXPECT_TRUE(exitsWith(run, 1, {"failed: A (", "Imported 0 of 1 feeds"}));
}

TEST_F(FeedCommands, RefreshWhoseArticlesCannotBeSavedFails) {
    add("/alpha");
    ASSERT_EQ(cli({"articles"}).status, 0);  // creates the article store
    test::alterStoreFile(data.path() / "CDModel.sqlite", test::kFailInserts);
    const auto run = cli({"refresh"});
    EXPECT_TRUE(exitsWith(run, 1, {"could not be saved"}));
    EXPECT_FALSE(run.out.contains("articles loaded")) << run.out;
}

using Subscriptions = CliTest;

TEST_F(Subscriptions, ListShowsThemByTitleWithErrorMarksAndEscapedControlCharacters) {
    storeList(fixture("escapes-stored.json"));
    EXPECT_EQ(cli({"list"}).out, fixture("escapes-list.txt"));
    EXPECT_EQ(cli({"list", "--json"}).out, fixture("escapes-list.json"));
}

TEST_F(Subscriptions, HelpAndVersionGoToStdoutAndWrongArgumentsAreNamedWithExitTwo) {
    for (const auto& [status, row] : test::readTable("cli", "arguments.txt")) {
        const std::string_view given = std::string_view(row).substr(0, row.find('\t'));
        const std::string_view mentions = std::string_view(row).substr(given.size() + 1);
        std::vector<std::string_view> arguments;
        for (const auto part : std::views::split(given, '|'))
            if (!part.empty()) arguments.emplace_back(part);
        const auto run = cli(arguments);
        const bool ok = status == "0";
        EXPECT_TRUE(exitsWith(run, ok ? 0 : 2, {ok ? mentions : ""}, ok ? "" : mentions)) << row;
        EXPECT_TRUE(ok || run.err.contains("Usage: pressling-cli")) << run.err;
    }
    EXPECT_EQ(runCli({"--data-dir"}).status, 2);
    EXPECT_EQ(runCli({"--data-dir=", "list"}).status, 2);
}

TEST(ParseCommand, PrintsOneLineOfJsonForEverySourceAndFailure) {
    test::LoopbackServer server;
    const std::string feed = test::readFixture("cli", "notes.xml");
    server.serve("/feed", {.body = feed, .contentType = "application/rss+xml"});
    server.serve("/gone", {.status = 404, .body = "<html>gone</html>"});
    test::TemporaryDirectory folder;
    const std::string file = folder.write("my feed.xml", feed).string();
    const std::string blogLink = "file://" + folder.path().string() + "/my%20feed.xml";
    const std::string feedUrl = server.url("/feed");
    const std::string page = folder.write("page.html", "<html><body>Hi<br></body></html>");
    // Arguments, exit status, and what stdout holds.
    const std::tuple<std::vector<std::string>, int, std::string> rows[] = {
        {{file}, 0, fixture("notes.json", blogLink)},
        {{"--url", "https://example.org/f", file}, 0, R"("blogLink":"https://example.org/f")"},
        {{feedUrl}, 0, R"("blogLink":")" + feedUrl + R"(","link":"g-2")"},
        {{"--url=https://example.org/x", feedUrl}, 0, R"("blogLink":"https://example.org/x")"},
        {{"--check", file}, 0, R"({"valid":true,"title":"Notes","description":"About notes"})"},
        {{"--check", page}, 0, R"({"valid":false,"title":null,"description":null})"},
        {{server.url("/gone")}, 1, "404"},
        {{folder.write("broken.xml", "<rss>\n<channel>\n</rss>").string()}, 1, "line 3"},
        {{(folder.path() / "missing.xml").string()}, 1, "missing.xml"},
        {{"ftp://example.org/feed.xml"}, 1, R"({"error":"cannot download ftp://example.org)"},
    };
    for (const auto& [given, status, mentions] : rows) {
        std::vector<std::string_view> arguments{"parse"};
        arguments.insert(arguments.end(), given.begin(), given.end());
        const auto run = runCli(arguments);
        EXPECT_TRUE(exitsWith(run, status, {mentions}));
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    }
}

// In-process, where a test can decide when the commands' background work ends.
// A catalog whose answer is on the main queue before search has returned.
void answerAtOnce(std::string, CKFeed::SearchCompletion done) {
    mainQueue().async([done] {
        done(std::vector<RSSData>{{"Bad\x1b[2J\nname", "a\tb", *Url::parse("https://a.example/")}});
    });
}

TEST(InProcess, aCatalogThatAnswersAtOnceFindsTheMainQueueReady) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // First in a fresh process, where nothing else has touched the main queue yet.
    EXPECT_EXIT(std::exit(cli::runCatalogCommand("x", answerAtOnce)), testing::ExitedWithCode(0),
                "");
    testing::internal::CaptureStdout();
    EXPECT_EQ(cli::runCatalogCommand("x", answerAtOnce), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Bad\\x1b[2J\\nname\ta\\tb\thttps://a.example/\n");
}

TEST(InProcess, anImportThatGivesUpLeavesItsChecksSomethingToWriteTo) {
    test::LoopbackServer server;
    std::promise<void> release;
    server.handle("/alpha", [answer = release.get_future().share()](auto&, auto& response) {
        answer.wait();
        response.status = 404;
    });
    test::TemporaryDirectory folder;
    const auto opml = folder.write("a.opml", fixture("alpha.opml", server.url("")));
    EXPECT_EQ(cli::runImportCommand(opml.string(), std::chrono::milliseconds(50)), 1);
    // The check ends after the command returned: what it writes to must outlive it (ASan).
    release.set_value();
    EXPECT_TRUE(waitUntilGlobalQueueIdle(std::chrono::seconds(30)));
    cli::mainLoop().processPending();
}

TEST(InProcess, printableShowsControlCharactersAsEscapes) {
    // Kept; C0, DEL, NUL, a backslash (no faked escape), C1 (U+009B, CSI), bytes not UTF-8.
    const std::pair<std::string_view, std::string_view> rows[] = {
        {"plain \xC3\xA9t\xC3\xA9 \xE2\x82\xAC", "plain \xC3\xA9t\xC3\xA9 \xE2\x82\xAC"},
        {"a\nb\rc\td\x1b[31m\x7f", "a\\nb\\rc\\td\\x1b[31m\\x7f"},
        {std::string_view("nul\0", 4), "nul\\x00"},
        {"back\\n", "back\\\\n"},
        {"csi \xC2\x9B\x32J", "csi \\u009b2J"},
        {"bad \xFF\xC3", "bad \\xff\\xc3"}};
    for (const auto& [text, shown] : rows) EXPECT_EQ(cli::printable(text), shown) << shown;
}

}  // namespace
}  // namespace pressling
