// The article list against loopback feeds: refreshes, the marker, subscription changes, rows.

#include "flows/AddFeed.h"
#include "flows/RemoveFeed.h"
#include "support/ScreenFixture.h"
#include "ui/Storyboard.h"

#include <QTranslator>

namespace pressling::reading {
namespace {

class MasterViewControllerTest : public test::ScreenTest {
protected:
    MasterViewControllerTest() {
        ui::Storyboard::registerSegue("showInfo", [this](QWidget*) { ++infoShown; });
        if (english.load(":/i18n/pressling_en")) QCoreApplication::installTranslator(&english);
    }
    ~MasterViewControllerTest() override {
        ui::Storyboard::registerSegue("showInfo", {});
        QCoreApplication::removeTranslator(&english);
    }

    QTranslator english;
    int infoShown = 0;
};

TEST_F(MasterViewControllerTest, eachRefreshOutcomeShowsItsStatusAlertAndInformationScreen) {
    const QColor red(0xFF, 0x3B, 0x30), grey(0xAA, 0xAA, 0xAA);
    const struct {
        const char* why;
        int served, failing;
        QString status;
        QColor color;
        int alerts, info;
        bool storeFull = false;
    } rows[] = {
        {"some failed: counted, no alert", 1, 3, "3 feeds with errors", red, 0, 0},
        // Failing at once: a counter that lost one increment would miss "every feed".
        {"every feed failed: one alert", 0, 24, "No internet connection", red, 1, 0},
        {"nothing to read: the information", 0, 0, "0 articles loaded", grey, 0, 1},
        // Articles that did not reach the store (a full disk) must not look loaded.
        {"unsaved articles", 1, 0, "Articles could not be saved", red, 0, 0, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        test::Screen screen;  // a list, stores and feeds of the row's own
        infoShown = 0;
        std::vector<Web> webs;
        for (int i = 0; i < row.served + row.failing; ++i)
            webs.push_back(screen.serveFeed(fmt::format("F{}", i), 3, i < row.served));
        screen.stores.subscribe(webs);
        if (row.storeFull)
            test::alterStoreFile(screen.stores.articles().file(), test::kFailInserts);
        screen.openList();
        const MasterViewController& list = *screen.list;
        EXPECT_TRUE(list.infoLabel()->text().startsWith("Updated at "));
        EXPECT_EQ(list.detailInfoLabel()->text(), row.status);
        EXPECT_EQ(list.detailInfoLabel()->palette().color(QPalette::WindowText), row.color);
        const auto alerts = list.findChildren<QMessageBox*>();
        ASSERT_EQ(alerts.size(), row.alerts);
        for (QMessageBox* alert : alerts) EXPECT_EQ(alert->text(), "Error");
        EXPECT_EQ(infoShown, row.info);
        EXPECT_EQ(list.model().fetchedObjectCount(), row.storeFull ? 0u : 3u * row.served);
    }
}

TEST_F(MasterViewControllerTest, eachTriggerStartsARefreshButAChosenFeedOpensNoInformation) {
    openList();
    list->setFilter("https://a.example/feed");
    const std::pair<const char*, std::function<void()>> triggers[] = {
        {"a finger pulling the list down from its top",
         [&] {
             test::touchDrag(list->tableView()->viewport(), {100, 10}, {100, 160}, 2);
         }},
        {"the refresh control", [&] { list->refreshControl()->click(); }},
    };
    for (const auto& [why, trigger] : triggers) {
        QSignalSpy refreshed(list.get(), &MasterViewController::refreshFinished);
        trigger();
        EXPECT_TRUE(test::waitUntil([&] { return refreshed.count() == 1; })) << why;
    }
    EXPECT_EQ(infoShown, 1);  // the first refresh's, without a filter
}

TEST_F(MasterViewControllerTest, onlyWhatTheLatestRefreshBroughtIsMarked) {
    stores.subscribe({serveFeed("News", 1)});
    openList();
    const auto marked = [&] {
        QStringList titles;
        for (const QModelIndex& row : test::sectionRows(list->model()))
            if (row.data(ArticleListModel::IsNewRole).toBool()) titles << row.data().toString();
        return titles;
    };
    for (const auto& [n, titles] : {std::pair{3, QStringList{"News 2", "News 3"}},
                                    {4, {"News 4"}},
                                    {4, {}}}) {  // the last brings nothing
        serveFeed("News", n);
        list->loadData();
        ASSERT_TRUE(test::refreshesEnded(*list));
        EXPECT_EQ(marked(), titles);
    }
}

TEST_F(MasterViewControllerTest, anAddedFeedArrivesAndARemovedOneLeavesAtOnce) {
    stores.subscribe({serveFeed("Alpha", 2)});
    openList();
    ASSERT_TRUE(addRSS(*Url::parse(serveFeed("Beta", 3).url), stores.list()).has_value());
    ASSERT_TRUE(test::refreshesEnded(*list));
    EXPECT_EQ(list->model().fetchedObjectCount(), 5u);
    const std::size_t requests = server.requestCount("/Alpha");
    // removeWeb deletes straight in the store, past the model's change tracking.
    ASSERT_TRUE(removeWeb(1, stores.list(), stores.articles()).has_value());
    EXPECT_EQ(list->model().rowCount(list->model().index(0, 0)), 2);
    ASSERT_TRUE(test::refreshesEnded(*list));
    EXPECT_EQ(server.requestCount("/Alpha"), requests + 1);
    EXPECT_EQ(list->detailInfoLabel()->text(), "2 articles loaded");
}

}  // namespace
}  // namespace pressling::reading
