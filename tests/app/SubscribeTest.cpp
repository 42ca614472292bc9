// Subscribing from a window: each outcome as shown, and checks running while the window works.

#include "app/DialogViewController.h"
#include "app/ScreenPresenter.h"
#include "app/SubscriptionCommands.h"
#include "flows/AddFeed.h"
#include "support/ScreenFixture.h"

#include <future>

namespace pressling::app {
namespace {

using test::Reply;
using test::waitUntil;

class SubscribeTest : public test::ScreenTest {
protected:
    SubscribeTest() { window.show(); }

    // Subscribes to path on the server from window; done runs after the outcome was shown.
    void start(std::string_view path, KeyValueStore& list, std::function<void()> done) {
        subscribe(
            *Url::parse(server.url(path)),
            [&] { return std::make_shared<ScreenPresenter>(&window); }, list, std::move(done));
    }

    // What the window shows: the transient message's text, or "title | message+reason".
    QString shown() {
        QString text;
        for (auto* dialog : window.findChildren<DialogViewController*>())
            text += dialog->textLabel()->text();
        for (auto* box : window.findChildren<QMessageBox*>())
            text += box->text() + " | " + box->informativeText();
        qDeleteAll(window.findChildren<QDialog*>());
        qDeleteAll(window.findChildren<DialogViewController*>());
        return text;
    }

    QWidget window;
};

TEST_F(SubscribeTest, eachOutcomeIsShownWithItsReasonAndOnlyAStoredFeedIsAnnounced) {
    test::NotificationCount announced{kWillUpdateWebNotification};
    // Its one entry has no title either, which the feed would otherwise take as its own.
    const Reply untitled{200, test::readFixture("app", "untitled-entry-and-feed.rss"),
                         "application/rss+xml"};
    const Reply page{200, "<html><title>Shop</title></html>", "text/html"};
    KeyValueStore unwritable{"/nonexistent/folder/kvstore.sqlite"};
    const struct {
        const char* path;
        Reply reply;
        bool unwritableList;
        const char* shows;   // the start of what the window shows
        const char* reason;  // a part of the alert's reason
        int announced;
    } rows[] = {
        {"/good", test::rssReply("Good"), false, "Link added", "", 1},
        {"/sameTitle", test::rssReply("Good"), false, "Link added", "", 0},
        {"/missing", {404, "gone", "text/plain"}, false, "RSS not found | We will check", "404", 0},
        {"/page", page, false, "RSS not found", "not a feed", 0},
        {"/untitled", untitled, false, "RSS not found", "no title", 0},
        {"/unwritable", test::rssReply("Other"), true, "Error | The feed works",
         "/nonexistent/folder", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        server.serve(row.path, row.reply);
        announced.count = 0;
        bool done = false;
        start(row.path, row.unwritableList ? unwritable : stores.list(), [&] { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }));
        const QString text = shown();
        EXPECT_TRUE(text.startsWith(row.shows) && text.contains(row.reason)) << text.toStdString();
        EXPECT_EQ(announced.count, row.announced);
    }
    EXPECT_EQ(loadWebs(stores.list()), (std::vector<Web>{{"Good", server.url("/good"), {}}}));
}

// Two stalled checks: the window works on, busy until both end; each outcome once, as they end.
TEST_F(SubscribeTest, stalledChecksLeaveTheWindowWorkingAndEndInTheOrderTheyFinish) {
    std::promise<void> release[2];
    std::vector<std::string> finished;
    for (int i = 0; i < 2; ++i) {
        const std::string path = i == 0 ? "/first" : "/second";
        std::shared_future released = release[i].get_future().share();
        server.handle(path, [released](const httplib::Request&, httplib::Response& response) {
            released.wait();
            response.set_content(test::rssDocument("Stalled", 1), "application/rss+xml");
        });
        start(path, stores.list(), [&finished, path] { finished.push_back(path); });
    }
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() == 2; }));
    release[1].set_value();
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 1; }));
    EXPECT_EQ(window.cursor().shape(), Qt::BusyCursor) << "one check is still running";
    release[0].set_value();
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 2; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(finished, (std::vector<std::string>{"/second", "/first"}));
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(window.findChildren<DialogViewController*>().size(), 2u);
}

TEST_F(SubscribeTest, anImportReportsWhatItAddedAndWhatFailedAndWhy) {
    server.serve("/good", test::rssReply("Good"));
    server.serve("/missing", {404, "gone", "text/plain"});
    const test::TemporaryDirectory folder;
    const auto file = folder.write(
        "list.opml", fmt::format(R"(<opml version="2.0"><body><outline text="Good" xmlUrl="{}"/>)"
                                 R"(<outline text="Gone" xmlUrl="{}"/></body></opml>)",
                                 server.url("/good"), server.url("/missing")));
    auto* commands = new SubscriptionCommands(stores.list(), &window);
    QSignalSpy finished(commands, &SubscriptionCommands::importFinished);
    commands->importFile(QString::fromStdString(file.string()));
    EXPECT_EQ(window.cursor().shape(), Qt::BusyCursor);
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_EQ(finished[0], (QList<QVariant>{1, 2}));
    const auto* report = window.findChild<QMessageBox*>("importReport");
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->informativeText().contains("Gone: HTTP 404"))
        << report->informativeText().toStdString();
    EXPECT_EQ(loadWebs(stores.list()), (std::vector<Web>{{"Good", server.url("/good"), {}}}));
}

}  // namespace
}  // namespace pressling::app
