// The commands run inside the test, where a test can decide when their background work ends.

#include "CatalogCommand.h"
#include "MainLoop.h"
#include "OpmlCommands.h"
#include "Printable.h"
#include "platform/GlobalQueue.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <future>

namespace pressling::cli {
namespace {

// A catalog whose answer is on the main queue before search has returned.
void answerAtOnce(std::string, CKFeed::SearchCompletion done) {
    mainQueue().async([done] {
        done(std::vector<RSSData>{{"Bad\x1b[2J\nname", "a\tb", *Url::parse("https://a.example/")}});
    });
}

TEST(InProcess, aCatalogThatAnswersAtOnceFindsTheMainQueueReady) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // First in a fresh process, where nothing else has touched the main queue yet.
    EXPECT_EXIT(std::exit(runCatalogCommand("x", answerAtOnce)), testing::ExitedWithCode(0), "");
    testing::internal::CaptureStdout();
    EXPECT_EQ(runCatalogCommand("x", answerAtOnce), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Bad\\x1b[2J\\nname\ta\\tb\thttps://a.example/\n");
}

TEST(InProcess, anImportThatGivesUpLeavesItsChecksSomethingToWriteTo) {
    test::LoopbackServer server;
    std::promise<void> release;
    server.handle("/slow", [answer = release.get_future().share()](auto&, auto& response) {
        answer.wait();
        response.status = 404;
    });
    test::TemporaryDirectory folder;
    const auto opml = folder.write("a.opml", "<opml version=\"2.0\"><body><outline xmlUrl=\"" +
                                                 server.url("/slow") + "\"/></body></opml>");
    EXPECT_EQ(runImportCommand(opml.string(), std::chrono::milliseconds(50)), 1);
    // The check ends after the command returned: what it writes to must outlive it (ASan).
    release.set_value();
    EXPECT_TRUE(waitUntilGlobalQueueIdle(std::chrono::seconds(30)));
    mainLoop().processPending();
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
    for (const auto& [text, shown] : rows) EXPECT_EQ(printable(text), shown) << shown;
}

}  // namespace
}  // namespace pressling::cli
