// The article list against real refreshes of feeds served on the loopback interface: the
// status, alert and information screen for each outcome, what starts a refresh, the marker on
// what the last refresh brought, subscription changes, and the rows a user can reach and open.

#include "flows/AddFeed.h"
#include "flows/RemoveFeed.h"
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
#include <QSignalSpy>
#include <QToolButton>
#include <QTreeView>

namespace pressling::reading {
namespace {

using test::waitUntil;

// An RSS document named title with entries "<title> first" .. "<title> last", newest first.
std::string feedDocument(const std::string& title, int first, int last) {
    std::string items;
    for (int i = last; i >= first; --i) {
        items += fmt::format(
            "<item><title>{0} {1}</title><link>https://example.org/{0}/{1}</link><description>"
            "Entry</description><pubDate>Tue, 03 Jun 2003 09:{1:02}:00 GMT</pubDate></item>",
            title, i);
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

    // Serves the feed title with entries first..last at /title and returns its Web.
    Web serveFeed(const std::string& title, int first, int last) {
        server.serve("/" + title, test::Reply{200, feedDocument(title, first, last), "text/xml"});
        return Web{title, server.url("/" + title), std::nullopt};
    }
    Web failFeed(const std::string& title) {
        server.serve("/" + title, test::Reply{404, "gone", "text/plain"});
        return Web{title, server.url("/" + title), std::nullopt};
    }
    // A shown list whose first refresh has finished.
    std::unique_ptr<MasterViewController> openList() {
        RefreshOptions options;
        options.listStore = &stores.list();
        auto list = std::make_unique<MasterViewController>(stores.articles(), options);
        list->resize(480, 700);
        list->show();
        EXPECT_TRUE(finished(*list));
        return list;
    }
    static bool finished(MasterViewController& list) {
        return waitUntil([&] { return list.refreshesInFlight() == 0; });
    }
    static QColor colorOf(const QLabel* label) {
        return label->palette().color(QPalette::WindowText);
    }
    static QList<QMessageBox*> alerts(QWidget& widget) {
        return widget.findChildren<QMessageBox*>();
    }
    static QModelIndex article(const ArticleListModel& model, int section, int row) {
        return model.index(row, 0, model.index(section, 0));
    }

    test::ReaderStores stores;
    test::LoopbackServer server;
    int infoShown = 0;
};

struct Outcome {
    const char* why;
    int served, failing;
    QString status;
    QColor color;
    int alerts, info;
};

class RefreshOutcomeTest : public MasterViewControllerTest,
                           public ::testing::WithParamInterface<Outcome> {};

TEST_P(RefreshOutcomeTest, showsTheStatusAlertAndInformationScreenOfTheOutcome) {
    test::EnglishTexts english;
    const Outcome& outcome = GetParam();
    std::vector<Web> webs;
    for (int i = 0; i < outcome.served + outcome.failing; ++i) {
        const std::string title = fmt::format("F{}", i);
        webs.push_back(i < outcome.served ? serveFeed(title, 1, 3) : failFeed(title));
    }
    stores.subscribe(webs);
    auto list = openList();

    EXPECT_TRUE(list->infoLabel()->text().startsWith("Updated at "));
    EXPECT_EQ(list->detailInfoLabel()->text(), outcome.status);
    EXPECT_EQ(colorOf(list->detailInfoLabel()), outcome.color);
    ASSERT_EQ(alerts(*list).size(), outcome.alerts);
    for (QMessageBox* alert : alerts(*list)) EXPECT_EQ(alert->text(), "Error");
    EXPECT_EQ(infoShown, outcome.info);
    EXPECT_EQ(list->model().fetchedObjectCount(), std::size_t(3 * outcome.served));
}

const QColor kRed(0xFF, 0x3B, 0x30), kGrey(0xAA, 0xAA, 0xAA);
INSTANTIATE_TEST_SUITE_P(
    Outcomes, RefreshOutcomeTest,
    ::testing::Values(
        Outcome{"someFailedAreCountedWithoutAlert", 2, 3, "3 feeds with errors", kRed, 0, 0},
        // Failing at once: a counter that lost one increment would miss "every feed".
        Outcome{"everyFeedFailedAlertsOnce", 0, 24, "No internet connection", kRed, 1, 0},
        Outcome{"nothingToReadOpensTheInformation", 0, 0, "0 articles loaded", kGrey, 0, 1}),
    [](const auto& info) { return std::string(info.param.why); });

TEST_F(MasterViewControllerTest, aChosenFeedWithNothingToReadOpensNoInformationScreen) {
    auto list = openList();
    list->setFilter("https://a.example/feed");
    list->loadData();
    ASSERT_TRUE(finished(*list));
    EXPECT_EQ(infoShown, 1);  // the first refresh's, without a filter
}

TEST_F(MasterViewControllerTest, eachTriggerStartsARefresh) {
    auto list = openList();
    auto pull = [](MasterViewController& list) {
        static QPointingDevice* const touchScreen = QTest::createTouchDevice();
        QWidget* viewport = list.tableView()->viewport();
        QTest::touchEvent(viewport, touchScreen).press(0, QPoint(100, 10), viewport);
        QTest::touchEvent(viewport, touchScreen).move(0, QPoint(100, 60), viewport);
        QTest::touchEvent(viewport, touchScreen).move(0, QPoint(100, 160), viewport);
        QTest::touchEvent(viewport, touchScreen).release(0, QPoint(100, 160), viewport);
    };
    auto post = [](std::string_view name) {
        return [name](MasterViewController&) {
            NotificationCenter::defaultCenter().post(std::string(name));
        };
    };
    const std::pair<const char*, std::function<void(MasterViewController&)>> triggers[] = {
        {"a finger pulling the list down from its top", pull},
        {"the refresh control", [](MasterViewController& l) { l.refreshControl()->click(); }},
        {"the application back in the foreground",
         post(MasterViewController::kWillEnterForegroundNotification)},
        {"a feed added", post(kWillUpdateWebNotification)},
    };
    for (const auto& [why, trigger] : triggers) {
        QSignalSpy refreshed(list.get(), &MasterViewController::refreshFinished);
        trigger(*list);
        EXPECT_TRUE(waitUntil([&] { return refreshed.count() == 1; })) << why;
        EXPECT_TRUE(finished(*list));
    }
}

TEST_F(MasterViewControllerTest, onlyWhatTheLatestRefreshBroughtIsMarked) {
    stores.subscribe({serveFeed("News", 1, 3)});
    auto list = openList();
    const auto marked = [&] {
        QStringList titles;
        for (int r = 0; r < list->model().rowCount(list->model().index(0, 0)); ++r) {
            const QModelIndex row = article(list->model(), 0, r);
            if (row.data(ArticleListModel::IsNewRole).toBool()) {
                titles << row.data(ArticleListModel::TitleRole).toString();
            }
        }
        return titles;
    };
    EXPECT_EQ(marked(), (QStringList{"News 3", "News 2", "News 1"}));
    serveFeed("News", 1, 4);
    list->loadData();
    ASSERT_TRUE(finished(*list));
    EXPECT_EQ(marked(), (QStringList{"News 4"}));
    // A refresh that brings nothing leaves nothing marked.
    list->loadData();
    ASSERT_TRUE(finished(*list));
    EXPECT_TRUE(marked().isEmpty());
}

TEST_F(MasterViewControllerTest, anAddedFeedArrivesAndARemovedOneLeavesAtOnce) {
    stores.subscribe({serveFeed("Alpha", 1, 2)});
    auto list = openList();
    ASSERT_TRUE(addRSS(*Url::parse(serveFeed("Beta", 1, 3).url), stores.list()).has_value());
    ASSERT_TRUE(finished(*list));
    EXPECT_EQ(list->model().fetchedObjectCount(), 5u);
    const std::size_t requestsBefore = server.requestCount("/Alpha");

    // removeWeb deletes straight in the store, past the model's change tracking.
    ASSERT_TRUE(removeWeb(1, stores.list(), stores.articles()).has_value());
    EXPECT_EQ(list->model().fetchedObjectCount(), 2u);
    EXPECT_EQ(list->model().rowCount(list->model().index(0, 0)), 2);
    ASSERT_TRUE(finished(*list));
    EXPECT_EQ(server.requestCount("/Alpha"), requestsBefore + 1);
    EXPECT_EQ(list->detailInfoLabel()->text(), "2 articles loaded");
}

class ListRowsTest : public MasterViewControllerTest {
protected:
    ListRowsTest() {
        stores.store({test::entry("b", "https://a.example/b", test::march2021(7, 600)),
                      test::entry("a", "https://a.example/a", test::march2021(7, 500)),
                      test::entry("c", "https://a.example/c", test::march2021(6))});
        list = openList();
        view = list->tableView();
        for (const char* link : {"https://a.example/a", "https://a.example/b"})
            list->model().appendLastArticle(link);
        view->setFocus();
    }
    QPoint centreOf(const QModelIndex& index) const {
        return list->tableView()->visualRect(index).center();
    }
    std::unique_ptr<MasterViewController> list;
    QTreeView* view = nullptr;
};

TEST_F(ListRowsTest, dayHeadersAreLabelsThatNothingSelectsOrStopsOn) {
    ASSERT_EQ(list->model().rowCount(), 2);
    // Nothing highlighted at start, not even a current row's frame.
    EXPECT_FALSE(view->selectionModel()->hasSelection());
    EXPECT_FALSE(view->currentIndex().isValid());
    for (int section = 0; section < 2; ++section) {
        const Qt::ItemFlags flags = list->model().flags(list->model().index(section, 0));
        EXPECT_FALSE(flags & (Qt::ItemIsSelectable | Qt::ItemIsEnabled)) << section;
    }
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centreOf(list->model().index(0, 0)));
    EXPECT_FALSE(view->selectionModel()->hasSelection());

    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(view->selectionModel()->selectedIndexes(),
              QModelIndexList{article(list->model(), 0, 0)});
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(view->currentIndex(), article(list->model(), 1, 0));
    QTest::keyClick(view, Qt::Key_Up);
    EXPECT_EQ(view->currentIndex(), article(list->model(), 0, 1));
}

TEST_F(ListRowsTest, eachWayOfChoosingARowOpensItsArticleOnceAndHidesItsMarker) {
    const QModelIndex first = article(list->model(), 0, 0);
    const QPoint at = centreOf(first);
    const std::pair<const char*, std::function<void()>> gestures[] = {
        {"a click", [&] { QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at); }},
        {"a double click, whose first click is part of it",
         [&] {
             QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
             QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
         }},
        {"Return on the current row", [&] { QTest::keyClick(view, Qt::Key_Return); }},
        {"Enter on the current row", [&] { QTest::keyClick(view, Qt::Key_Enter); }},
    };
    ASSERT_TRUE(first.data(ArticleListModel::IsNewRole).toBool());
    for (const auto& [why, gesture] : gestures) {
        view->setCurrentIndex(first);
        QSignalSpy chosen(list.get(), &MasterViewController::articleChosen);
        gesture();
        QCoreApplication::processEvents();
        ASSERT_EQ(chosen.count(), 1) << why;
        EXPECT_EQ(chosen[0][0].toModelIndex(), first) << why;
    }
    EXPECT_FALSE(first.data(ArticleListModel::IsNewRole).toBool());
    EXPECT_TRUE(article(list->model(), 0, 1).data(ArticleListModel::IsNewRole).toBool());
}

}  // namespace
}  // namespace pressling::reading
