// The share helper's window: every outcome of a shared link, against loopback feeds.

#include "extension/AddViewController.h"
#include "extension/GrabLink.h"
#include "support/LoopbackServer.h"
#include "support/QtTestSupport.h"
#include "support/StoreTestSupport.h"

namespace pressling::extension {
namespace {

using namespace test;
using namespace std::chrono_literals;

enum class Given { argument, clipboard, dropped, nothing };

TEST(AddViewController, showsOneOutcomeForEverySharedLinkKeepsTheListsOrderAndClosesOnEscape) {
    LoopbackServer server;
    server.serve("/daily", {200, rssDocument("Daily", 1), "application/rss+xml"});
    // Its one entry has no title either, which the feed would otherwise take as its own.
    server.serve("/untitled",
                 {200, readFixture("app", "untitled-entry-and-feed.rss"), "application/rss+xml"});
    server.serve("/page", {200, "<!DOCTYPE html><html><title>Shop</title></html>", "text/html"});
    server.serve("/gone", {.status = 404, .body = "gone"});
    SilentServer stalled;
    const std::string daily = server.url("/daily");
    const std::string added =
        fmt::format(R"({{"title":"Daily","url":"http:\/\/127.0.0.1:{}\/daily"}}])", server.port());
    const std::string two = R"([{"title":"b","url":"x"},{"title":"A","url":"y"}])";
    const std::string same = R"([{"title":"Daily","url":"https:\/\/elsewhere\/"}])";
    const std::string stored = std::string(kLinkAddedInfo), notFeed = std::string(kNotAFeedInfo);

    // The list before (none: no entry), how the link comes, the outcome, the list after (none: as
    // before, byte for byte).
    const struct {
        std::optional<std::string> before;
        Given given;
        std::string link;
        std::string_view title;
        std::string info;  // how infoLabel begins
        std::optional<std::string> after;
    } rows[] = {
        // clang-format off
        {{}, Given::argument, daily, kLinkAddedTitle, stored, "[" + added},
        {"[]", Given::argument, " " + daily + "\n", kLinkAddedTitle, stored, "[" + added},
        {two, Given::clipboard, daily, kLinkAddedTitle, stored, two.substr(0, 48) + "," + added},
        {"[]", Given::dropped, daily, kLinkAddedTitle, stored, "[" + added},
        {same, Given::argument, daily, kLinkAddedTitle, stored, {}},
        {two, Given::argument, server.url("/page"), kNotAFeedTitle, notFeed, {}},
        {"[]", Given::argument, server.url("/untitled"), kNotAFeedTitle, notFeed, {}},
        {"[]", Given::argument, server.url("/gone"), kErrorTitle,
         "The link could not be downloaded: HTTP 404", {}},
        {"[]", Given::argument, stalled.url("/"), kErrorTitle,
         "The link could not be downloaded: ", {}},
        {"[]", Given::nothing, "", kNoLinkTitle, std::string(kNoLinkInfo), {}},
        {"[]", Given::argument, "Daily news", kErrorTitle, std::string(kLinkNotValidInfo), {}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.link);
        TemporaryDirectory folder;
        KeyValueStore store(folder.path() / "kvstore.sqlite");
        if (row.before) {
            ASSERT_TRUE(store.setData(*row.before, "storedRss").has_value());
        }
        const QString link = QString::fromStdString(row.link);
        QGuiApplication::clipboard()->setText(row.given == Given::clipboard ? link : "Not a link");

        // A stalled server is given up within a second or two instead of twenty.
        AddViewController window(store, {.lowSpeedTime = 1s, .totalTimeout = 3s});
        window.show();
        QSignalSpy shown(&window, &AddViewController::resultShown);
        window.viewDidLoad(row.given == Given::argument ? std::optional(link) : std::nullopt);
        if (row.given == Given::dropped) {  // on the window that asked for a link
            ASSERT_EQ(window.titleLabel()->text().toStdString(), kNoLinkTitle);
            shown.clear();
            QMimeData data;
            data.setUrls({QUrl(link)});
            QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &data, Qt::LeftButton, {});
            QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(&window, &enter);
            QCoreApplication::sendEvent(&window, &drop);
        }
        if (row.given != Given::nothing) {
            EXPECT_EQ(window.infoLabel()->text(), "Loading...");
        }
        ASSERT_TRUE(waitUntil([&] { return !shown.isEmpty(); }));
        EXPECT_EQ(window.titleLabel()->text().toStdString(), row.title);
        EXPECT_TRUE(window.infoLabel()->text().startsWith(QString::fromStdString(row.info)))
            << window.infoLabel()->text().toStdString();
        EXPECT_EQ(shown.count(), 1);
        EXPECT_EQ(store.dataForKey("storedRss").value(), row.after ? row.after : row.before);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_Escape);  // Done's shortcut
        EXPECT_FALSE(window.isVisible());
    }
}

}  // namespace
}  // namespace pressling::extension
