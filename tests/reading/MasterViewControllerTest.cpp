// The article list against real refreshes of feeds served on the loopback interface: the
// status it shows for each outcome, the alert when every feed failed, the information screen
// when there is nothing to read, the marker on what the last refresh brought, and the removal
// of a feed whose articles go past the store's change tracking.

#include "flows/RemoveFeed.h"
#include "platform/Sqlite.h"
#include "reading/ArticleListModel.h"
#include "reading/MasterViewController.h"
#include "support/LoopbackServer.h"
#include "support/QtTestSupport.h"
#include "ui/Storyboard.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <QLabel>
#include <QMessageBox>
#include <QPointingDevice>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>

namespace pressling::reading {
namespace {

using test::waitUntil;

// An RSS document named title with entries "<title> first" .. "<title> last", newest first,
// all on one day.
std::string feedDocument(const std::string& title, int first, int last) {
    std::string items;
    for (int i = last; i >= first; --i) {
        items += fmt::format(
            "<item><title>{0} {1}</title><link>https://example.org/{0}/{1}</link>"
            "<description>Entry {1}</description><pubDate>Tue, 03 Jun 2003 09:{2:02}:00 "
            "GMT</pubDate></item>",
            title, i, i % 60);
    }
    return fmt::format(
        R"(<?xml version="1.0"?><rss version="2.0"><channel><title>{}</title><description>About it</description>{}</channel></rss>)",
        title, items);
}

class MasterViewControllerTest : public ::testing::Test {
protected:
    MasterViewControllerTest() {
        ui::Storyboard::registerSegue("showInfo", [this](QWidget*) { ++infoShown; });
    }
    ~MasterViewControllerTest() override { ui::Storyboard::registerSegue("showInfo", {}); }

    void serveFeed(const std::string& path, const std::string& title, int first, int last) {
        server.serve(path,
                     test::Reply{200, feedDocument(title, first, last), "application/rss+xml"});
    }
    void failFeed(const std::string& path) {
        server.serve(path, test::Reply{404, "gone", "text/plain"});
    }

    std::unique_ptr<MasterViewController> openList() {
        RefreshOptions options;
        options.listStore = &stores.list();
        auto list = std::make_unique<MasterViewController>(stores.articles(), options);
        list->resize(480, 700);
        list->show();
        return list;
    }
    // Waits for the refreshes in flight to finish.
    static bool finished(MasterViewController& list) {
        return waitUntil([&] { return list.refreshesInFlight() == 0; });
    }
    static QColor colorOf(const QLabel* label) {
        return label->palette().color(QPalette::WindowText);
    }
    static QList<QMessageBox*> alerts(QWidget& widget) {
        return widget.findChildren<QMessageBox*>();
    }

    test::ReaderStores stores;
    test::LoopbackServer server;
    int infoShown = 0;
};

TEST_F(MasterViewControllerTest, someFailedFeedsAreCountedInRedWithoutAnAlert) {
    test::EnglishTexts english;
    std::vector<Web> webs;
    for (int i = 0; i < 5; ++i) {
        const std::string path = fmt::format("/feed{}", i);
        if (i < 2) {
            serveFeed(path, fmt::format("Feed{}", i), 1, 3);
        } else {
            failFeed(path);
        }
        webs.push_back(Web{fmt::format("Feed{}", i), server.url(path), std::nullopt});
    }
    stores.subscribe(webs);
    auto list = openList();
    ASSERT_TRUE(finished(*list));

    EXPECT_TRUE(list->infoLabel()->text().startsWith("Updated at "));
    EXPECT_EQ(list->detailInfoLabel()->text(), "3 feeds with errors");
    EXPECT_EQ(colorOf(list->detailInfoLabel()), QColor(0xFF, 0x3B, 0x30));
    EXPECT_TRUE(alerts(*list).isEmpty());
    EXPECT_EQ(infoShown, 0);
    EXPECT_EQ(list->model().fetchedObjectCount(), 6u);
}

TEST_F(MasterViewControllerTest, whenEveryFeedFailsTheAlertShowsOnceAndNoFailureIsLost) {
    // Many feeds failing at once: a counter that lost one increment would miss "every feed".
    std::vector<Web> webs;
    for (int i = 0; i < 24; ++i) {
        const std::string path = fmt::format("/down{}", i);
        failFeed(path);
        webs.push_back(Web{fmt::format("Down{:02}", i), server.url(path), std::nullopt});
    }
    stores.subscribe(webs);
    auto list = openList();
    ASSERT_TRUE(finished(*list));

    EXPECT_EQ(list->detailInfoLabel()->text(), "No internet connection");
    EXPECT_EQ(colorOf(list->detailInfoLabel()), QColor(0xFF, 0x3B, 0x30));
    const auto shown = alerts(*list);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0]->text(), "Error");
    EXPECT_EQ(shown[0]->informativeText(),
              "Something was wrong while the sources were being loaded, check the Internet "
              "connection and try again.");
    ASSERT_EQ(shown[0]->buttons().size(), 1);
    EXPECT_EQ(shown[0]->buttons()[0]->text(), "Okey");
    EXPECT_EQ(infoShown, 0);
}

TEST_F(MasterViewControllerTest, withNothingToReadTheInformationScreenOpensUnlessAFeedIsChosen) {
    auto list = openList();
    ASSERT_TRUE(finished(*list));
    EXPECT_EQ(infoShown, 1);
    EXPECT_TRUE(alerts(*list).isEmpty());
    EXPECT_TRUE(list->infoLabel()->text().startsWith("Updated at"));
    EXPECT_EQ(list->detailInfoLabel()->text(), "0 articles loaded");

    list->setFilter("https://a.example/feed");
    list->loadData();
    ASSERT_TRUE(finished(*list));
    EXPECT_EQ(infoShown, 1);
}

TEST_F(MasterViewControllerTest, onlyWhatTheLatestRefreshBroughtIsMarked) {
    serveFeed("/news", "News", 1, 3);
    stores.subscribe({Web{"News", server.url("/news"), std::nullopt}});
    auto list = openList();
    ASSERT_TRUE(finished(*list));
    ArticleListModel& model = list->model();
    const auto marked = [&] {
        QStringList titles;
        for (int s = 0; s < model.rowCount(); ++s) {
            const QModelIndex section = model.index(s, 0);
            for (int r = 0; r < model.rowCount(section); ++r) {
                const QModelIndex row = model.index(r, 0, section);
                if (row.data(ArticleListModel::IsNewRole).toBool()) {
                    titles << row.data(ArticleListModel::TitleRole).toString();
                }
            }
        }
        return titles;
    };
    EXPECT_EQ(marked(), (QStringList{"News 3", "News 2", "News 1"}));
    EXPECT_EQ(list->detailInfoLabel()->text(), "3 articles loaded");

    serveFeed("/news", "News", 1, 4);
    list->loadData();
    ASSERT_TRUE(finished(*list));
    EXPECT_EQ(marked(), (QStringList{"News 4"}));

    // A refresh that brings nothing leaves nothing marked.
    list->loadData();
    ASSERT_TRUE(finished(*list));
    EXPECT_TRUE(marked().isEmpty());
}

TEST_F(MasterViewControllerTest, aFingerPullingTheListDownFromItsTopRefreshes) {
    auto list = openList();
    ASSERT_TRUE(finished(*list));
    QSignalSpy refreshed(list.get(), &MasterViewController::refreshFinished);
    static QPointingDevice* const touchScreen = QTest::createTouchDevice();
    QWidget* viewport = list->tableView()->viewport();
    QTest::touchEvent(viewport, touchScreen).press(0, QPoint(100, 10), viewport);
    QTest::touchEvent(viewport, touchScreen).move(0, QPoint(100, 60), viewport);
    QTest::touchEvent(viewport, touchScreen).move(0, QPoint(100, 160), viewport);
    QTest::touchEvent(viewport, touchScreen).release(0, QPoint(100, 160), viewport);
    EXPECT_TRUE(waitUntil([&] { return refreshed.count() == 1; }));
}

TEST_F(MasterViewControllerTest, choosingAnArticleHidesItsMarker) {
    serveFeed("/news", "News", 1, 2);
    stores.subscribe({Web{"News", server.url("/news"), std::nullopt}});
    auto list = openList();
    ASSERT_TRUE(finished(*list));
    const QModelIndex first = list->model().index(0, 0, list->model().index(0, 0));
    ASSERT_TRUE(first.data(ArticleListModel::IsNewRole).toBool());
    list->showDetail(first);
    EXPECT_FALSE(first.data(ArticleListModel::IsNewRole).toBool());
}

TEST_F(MasterViewControllerTest, removingAFeedTakesItsArticlesOffTheListAndRefreshes) {
    serveFeed("/a", "Alpha", 1, 2);
    serveFeed("/b", "Beta", 1, 3);
    stores.subscribe({Web{"Alpha", server.url("/a"), std::nullopt},
                      Web{"Beta", server.url("/b"), std::nullopt}});
    auto list = openList();
    ASSERT_TRUE(finished(*list));
    ASSERT_EQ(list->model().fetchedObjectCount(), 5u);
    const std::size_t requestsBefore = server.requestCount("/a");

    // removeWeb deletes straight in the store and posts "willRemoveWeb".
    ASSERT_TRUE(removeWeb(1, stores.list(), stores.articles()).has_value());
    EXPECT_EQ(list->model().fetchedObjectCount(), 2u);
    EXPECT_EQ(list->model().rowCount(list->model().index(0, 0)), 2);
    ASSERT_TRUE(finished(*list));
    EXPECT_EQ(server.requestCount("/a"), requestsBefore + 1);
    EXPECT_EQ(list->detailInfoLabel()->text(), "2 articles loaded");
}

// A refresh whose articles cannot be stored (a full disk) must not look like one that loaded.
TEST_F(MasterViewControllerTest, articlesThatCannotBeSavedAreNotReportedAsLoaded) {
    test::EnglishTexts english;
    serveFeed("/feed", "Feed", 1, 3);
    stores.subscribe({Web{"Feed", server.url("/feed"), std::nullopt}});
    {
        auto db = sqlite::Database::open(stores.articles().file());
        ASSERT_TRUE(db && db->execute("CREATE TRIGGER full BEFORE INSERT ON BlogPost "
                                      "BEGIN SELECT RAISE(ABORT, 'disk full'); END;"));
    }
    auto list = openList();
    ASSERT_TRUE(finished(*list));
    EXPECT_EQ(list->detailInfoLabel()->text(), "Articles could not be saved");
    EXPECT_EQ(colorOf(list->detailInfoLabel()), QColor(0xFF, 0x3B, 0x30));
}

}  // namespace
}  // namespace pressling::reading
