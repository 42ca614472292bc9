// The share helper's window: every outcome of a shared link, against loopback feeds.

#include "extension/AddViewController.h"
#include "extension/GrabLink.h"
#include "support/LoopbackServer.h"
#include "support/QtTestSupport.h"

#include <fmt/format.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>

namespace pressling::extension {
namespace {

using namespace test;

Reply feed(std::optional<std::string_view> title) {
    // The entry has no title, which an untitled feed would otherwise take as its own.
    return Reply{200,
                 fmt::format("<rss version=\"2.0\"><channel>{}<item><link>https://example.org/1"
                             "</link><pubDate>Tue, 03 Jun 2003 09:39:21 GMT</pubDate></item>"
                             "</channel></rss>",
                             title ? fmt::format("<title>{}</title>", *title) : ""),
                 "application/rss+xml"};
}

enum class Given { argument, clipboard, dropped, nothing };

// A stalled server gives up within a second or two instead of the real twenty.
const DownloadOptions kQuickLimits{.lowSpeedTime = std::chrono::seconds(1),
                                   .totalTimeout = std::chrono::seconds(3)};

TEST(AddViewController, showsOneOutcomeForEverySharedLinkAndKeepsTheListsOrder) {
    LoopbackServer server;
    server.serve("/daily", feed("Daily"));
    server.serve("/untitled", feed(std::nullopt));
    server.serve("/page", {200, "<!DOCTYPE html><html><title>Shop</title></html>", "text/html"});
    server.serve("/gone", {.status = 404, .body = "gone"});
    SilentServer stalled;
    const std::string daily = server.url("/daily");
    const std::string dailyStored = R"({"title":"Daily","url":"http:\/\/127.0.0.1:)" +
                                    std::to_string(server.port()) + R"(\/daily"})";
    const std::string twoStored = R"([{"title":"b","url":"x"},{"title":"A","url":"y"}])";
    const std::string sameTitle = R"([{"title":"Daily","url":"https:\/\/elsewhere\/"}])";

    const struct {
        const char* name;
        std::optional<std::string> stored;  // the list before; none: no entry at all
        Given given;
        std::string link;
        std::string_view title;
        std::string info;                  // what infoLabel starts with
        std::optional<std::string> after;  // the list after; none: byte for byte as before
    } rows[] = {
        {"into a missing list",
         {},
         Given::argument,
         daily,
         kLinkAddedTitle,
         std::string(kLinkAddedInfo),
         "[" + dailyStored + "]"},
        {"into an empty list", "[]", Given::argument, " " + daily + "\n", kLinkAddedTitle,
         std::string(kLinkAddedInfo), "[" + dailyStored + "]"},
        {"after the stored entries, as stored", twoStored, Given::clipboard, daily, kLinkAddedTitle,
         std::string(kLinkAddedInfo),
         twoStored.substr(0, twoStored.size() - 1) + "," + dailyStored + "]"},
        {"dropped", "[]", Given::dropped, daily, kLinkAddedTitle, std::string(kLinkAddedInfo),
         "[" + dailyStored + "]"},
        {"title already subscribed",
         sameTitle,
         Given::argument,
         daily,
         kLinkAddedTitle,
         std::string(kLinkAddedInfo),
         {}},
        {"not a feed",
         twoStored,
         Given::argument,
         server.url("/page"),
         kNotAFeedTitle,
         std::string(kNotAFeedInfo),
         {}},
        {"no title",
         "[]",
         Given::argument,
         server.url("/untitled"),
         kNotAFeedTitle,
         std::string(kNotAFeedInfo),
         {}},
        {"404",
         "[]",
         Given::argument,
         server.url("/gone"),
         kErrorTitle,
         "The link could not be downloaded: HTTP 404",
         {}},
        {"stalled server",
         "[]",
         Given::argument,
         stalled.url("/feed"),
         kErrorTitle,
         "The link could not be downloaded: ",
         {}},
        {"no link", "[]", Given::nothing, "", kNoLinkTitle, std::string(kNoLinkInfo), {}},
        {"not a URL",
         "[]",
         Given::argument,
         "Daily news",
         kErrorTitle,
         std::string(kLinkNotValidInfo),
         {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TemporaryDirectory folder;
        KeyValueStore store(folder.path() / "kvstore.sqlite");
        if (row.stored) {
            ASSERT_TRUE(store.setData(*row.stored, "storedRss"));
        }
        QGuiApplication::clipboard()->setText(
            row.given == Given::clipboard ? QString::fromStdString(row.link) : "Not a link");

        AddViewController window(store, kQuickLimits);
        QSignalSpy shown(&window, &AddViewController::resultShown);
        window.viewDidLoad(row.given == Given::argument
                               ? std::optional(QString::fromStdString(row.link))
                               : std::nullopt);
        if (row.given == Given::dropped) {
            // Dropped on the window that explained how to hand a link over.
            ASSERT_EQ(shown.count(), 1);
            EXPECT_EQ(window.titleLabel()->text().toStdString(), kNoLinkTitle);
            shown.clear();
            QMimeData data;
            data.setUrls({QUrl(QString::fromStdString(row.link))});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(&window, &enter);
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
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
        EXPECT_EQ(store.dataForKey("storedRss").value(), row.after ? row.after : row.stored);
    }
}

TEST(AddViewController, doneAndEscapeCloseTheWindow) {
    TemporaryDirectory folder;
    KeyValueStore store(folder.path() / "kvstore.sqlite");
    for (const bool escape : {false, true}) {
        AddViewController window(store);
        window.show();
        window.viewDidLoad(QString("Daily news"));
        ASSERT_TRUE(waitUntil([&] { return !window.isChecking(); }));
        if (escape) {
            QTest::keyClick(&window, Qt::Key_Escape);
        } else {
            QTest::mouseClick(window.findChild<QPushButton*>("doneButton"), Qt::LeftButton);
        }
        EXPECT_FALSE(window.isVisible()) << (escape ? "Escape" : "Done");
    }
}

}  // namespace
}  // namespace pressling::extension
