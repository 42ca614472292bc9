// The sidebar, the subscriptions screen and the three-column window, following changes anywhere.

#include "app/AddRSSTableViewController.h"
#include "app/AppDelegate.h"
#include "app/LinkTableViewCell.h"
#include "app/LinksTableViewController.h"
#include "app/MainViewController.h"
#include "app/SceneDelegate.h"
#include "app/SidebarViewController.h"
#include "app/StoredWebsWatcher.h"
#include "flows/AddFeed.h"
#include "flows/RemoveFeed.h"
#include "reading/DetailViewController.h"
#include "support/ScreenFixture.h"
#include "ui/Appearance.h"
#include "ui/Platform.h"
#include "ui/Storyboard.h"

#include <QListView>

namespace pressling::app {
namespace {

// Refused at once: a refresh started by a list in these tests ends without waiting.
Web feed(const std::string& title, std::optional<bool> error = std::nullopt) {
    return Web{title, "http://127.0.0.1:1/" + title, error};
}

class SubscriptionScreensTest : public ::testing::Test {
protected:
    SubscriptionScreensTest() { stores.subscribe({feed("b", false), feed("a", true), feed("c")}); }

    // What another program does: its own connection to the same file, no notification here.
    void elsewhere(const std::vector<Web>& webs) {
        KeyValueStore other(stores.list().file());
        saveWebs(webs, other);
    }
    // The stored titles, as the sidebar shows them: "!" marks a feed whose download failed.
    QStringList storedTitles() {
        QStringList titles;
        for (const Web& web : loadWebs(stores.list()))
            titles << QString::fromStdString(web.title) + (web.error == true ? "!" : "");
        return titles;
    }
    QStringList shown(const SidebarViewController& sidebar) {
        QStringList titles;
        for (const SidebarItem& item : sidebar.items())
            titles << item.title + (item.image.isNull() ? "" : "!");
        return titles;
    }
    QStringList shown(const LinksTableViewController& links) {
        QStringList rows;
        for (const auto* cell : test::cells<LinkTableViewCell>(links.tableView()))
            rows << cell->nameLabel()->text() + " " + cell->urlLabel()->text() +
                        (cell->errorLabel()->isHidden() ? "" : " !");
        return rows;
    }
    static void choose(QMenu* menu) {
        ASSERT_NE(menu, nullptr);
        EXPECT_TRUE(ui::isDestructive(*menu->actions().first()));
        menu->actions().first()->trigger();
        delete menu;
    }

    test::ReaderStores stores;
    std::vector<IndexPath> posted;  // every "SelectFeed", in order
    NotificationCenter::Observer selectFeed = NotificationCenter::defaultCenter().addObserver(
        std::string(reading::MasterViewController::kSelectFeedNotification), std::nullopt,
        NotificationCenter::Delivery::postingThread,
        [this](const Notification& note) { posted.push_back(*note.objectAs<IndexPath>()); });
};

TEST_F(SubscriptionScreensTest, theSidebarListsAllThenTheSourcesByTitleAndPostsWhatIsChosen) {
    SidebarViewController sidebar(stores.list(), stores.articles());
    EXPECT_EQ(shown(sidebar), (QStringList{"All", "Sources", "a!", "b", "c"}));
    EXPECT_FALSE(sidebar.index({1, 2}).data(Qt::ToolTipRole).isValid());

    // A click on the header leaves "All" chosen; neither of them has a menu or a swipe.
    sidebar.show();
    QListView* view = sidebar.collectionView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(sidebar.index({1, 0})).center());
    EXPECT_EQ(sidebar.selectedIndexPath(), (IndexPath{0, 0}));
    EXPECT_EQ(sidebar.contextMenu({0, 0}), nullptr);
    EXPECT_EQ(sidebar.trailingSwipeActions({1, 0}), nullptr);
    sidebar.selectItem({1, 2});
    EXPECT_EQ(posted, (std::vector<IndexPath>{{0, 0}, {1, 2}})) << "not the header";
}

// Each way of deleting b's row removes the feed that row shows, never a neighbour, even when
// another program moved or removed it meanwhile; the sidebar's choice then follows the way.
TEST_F(SubscriptionScreensTest, aDeleteRemovesTheFeedItsRowShowsAndChoosesAsEachWayShould) {
    enum Way { swipe, menu, key, linksMenu };  // linksMenu: the subscriptions screen's
    const std::vector<Web> same{feed("b"), feed("a", true), feed("c")},
        moved{feed("b"), feed("a", true), feed("c"), feed("aa")}, gone{feed("a", true), feed("c")};
    const struct {
        const char* name;
        Way way;
        IndexPath chosen;
        std::vector<Web> elsewhere;  // the list as another program left it
        QStringList left;
        IndexPath chosenAfter, lastPosted;
    } rows[] = {
        {"swipe: position 1, then All again", swipe, {1, 3}, same, {"a!", "c"}, {0, 0}, {0, 0}},
        {"context menu: the choice stays", menu, {1, 3}, same, {"a!", "c"}, {1, 2}, {1, 3}},
        {"Delete key on the chosen b: All", key, {1, 2}, same, {"a!", "c"}, {0, 0}, {0, 0}},
        {"context menu, b moved", menu, {0, 0}, moved, {"a!", "aa", "c"}, {0, 0}, {0, 0}},
        {"context menu, b gone", menu, {0, 0}, gone, {"a!", "c"}, {0, 0}, {0, 0}},
        {"links screen, b moved", linksMenu, {0, 0}, moved, {"a!", "aa", "c"}, {0, 0}, {0, 0}},
        {"links screen, b gone", linksMenu, {0, 0}, gone, {"a!", "c"}, {0, 0}, {0, 0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        stores.subscribe(same);
        SidebarViewController sidebar(stores.list(), stores.articles());
        LinksTableViewController links(stores.list(), stores.articles());
        sidebar.selectItem(row.chosen);
        elsewhere(row.elsewhere);
        if (row.way == key) QTest::keyClick(sidebar.collectionView(), Qt::Key_Delete);
        if (row.way == swipe) choose(sidebar.trailingSwipeActions({1, 2}));
        if (row.way == menu) choose(sidebar.contextMenu({1, 2}));
        if (row.way == linksMenu) choose(links.deleteMenu(1));  // b's row
        EXPECT_EQ(storedTitles(), row.left);
        if (row.way == linksMenu)  // the screen deleting shows what is left
            EXPECT_EQ(shown(links).size(), row.left.size());
        else
            EXPECT_EQ(shown(sidebar).mid(2), row.left);
        EXPECT_EQ(sidebar.selectedIndexPath(), row.chosenAfter);
        EXPECT_EQ(posted.back(), row.lastPosted);
    }
}

TEST_F(SubscriptionScreensTest, theSubscriptionsScreenListsAddsAndClosesAndTheSidebarAddsToo) {
    QStringList segues;
    ui::Storyboard::registerSegue("addLink", [&](QWidget*) { segues << "addLink"; });
    LinksTableViewController links(stores.list(), stores.articles());
    links.show();
    const auto row = [](const char* title, const char* flag) {
        return QString::fromStdString(std::string(title) + " " + feed(title).url + flag);
    };
    EXPECT_EQ(shown(links), (QStringList{row("a", " !"), row("b", ""), row("c", "")}));
    EXPECT_EQ(links.deleteMenu(3), nullptr);
    links.add();
    EXPECT_EQ(segues, QStringList{"addLink"});
    links.findChild<QPushButton*>("doneButton")->click();
    EXPECT_FALSE(links.isVisible());
    ui::Storyboard::registerSegue("addLink", {});
    // The sidebar's add button presents the catalog, whose Done closes it.
    QWidget window;
    auto* sidebar = new SidebarViewController(stores.list(), stores.articles(), &window);
    window.show();
    sidebar->addSourceButton()->click();
    auto* catalog = window.findChild<AddRSSTableViewController*>();
    ASSERT_TRUE(catalog && catalog->isVisible());
    catalog->findChild<QPushButton*>("doneButton")->click();
    EXPECT_FALSE(catalog->isVisible());
}

TEST_F(SubscriptionScreensTest, changesByAnotherProgramShowUpWithoutARefreshForFlags) {
    std::vector<std::string> names;
    std::vector<NotificationCenter::Observer> heard;
    for (std::string_view name : {kWillUpdateWebNotification, kWillRemoveWebNotification,
                                  kStoredWebsDidChangeNotification}) {
        heard.push_back(NotificationCenter::defaultCenter().addObserver(
            std::string(name), std::nullopt, NotificationCenter::Delivery::postingThread,
            [&](const Notification& note) { names.push_back(note.name); }));
    }
    StoredWebsWatcher watcher(stores.list());
    SidebarViewController sidebar(stores.list(), stores.articles());
    LinksTableViewController links(stores.list(), stores.articles());
    watcher.check();  // nothing changed: nothing heard (the list at the end)
    elsewhere({feed("b"), feed("a", true), feed("c"), feed("d")});
    watcher.check();
    EXPECT_EQ(shown(sidebar).last(), "d");
    EXPECT_EQ(shown(links).size(), 4);
    elsewhere({feed("b", true), feed("a", true), feed("c"), feed("d")});  // a refresh's flags
    watcher.check();
    EXPECT_EQ(shown(sidebar)[3], "b!");
    elsewhere({feed("a", true)});
    watcher.check();
    EXPECT_EQ(shown(links).size(), 1);
    // This process's own announced change is no news.
    saveWebs({feed("a", true), feed("e")}, stores.list());
    NotificationCenter::defaultCenter().post(std::string(kWillUpdateWebNotification));
    watcher.check();
    EXPECT_EQ(names, (std::vector<std::string>{"willUpdateWeb", "storedWebsDidChange",
                                               "willRemoveWeb", "willUpdateWeb"}));
}

// The window on each idiom, through the application as it starts: the tablet's three columns
// collapse to the list (whatever the page shows) and lead back one column at a time.
TEST_F(SubscriptionScreensTest, theTabletGetsThreeColumnsCollapsingToTheListThePhoneTwo) {
    for (const auto idiom : {ui::UserInterfaceIdiom::pad, ui::UserInterfaceIdiom::phone}) {
        ui::setUserInterfaceIdiom(idiom);
        AppDelegate delegate(stores.articles(), stores.list());
        delegate.didFinishLaunching({});
        SceneDelegate* scene = delegate.sceneDelegate();
        MainViewController* split = scene->splitViewController();
        reading::MasterViewController* list = scene->masterViewController();
        SidebarViewController* sidebar = scene->sidebarViewController();
        QWidget* page = scene->detailViewController();
        const auto columns = [&] {
            return QString(sidebar->isVisible() ? "S" : "") + (list->isVisible() ? "L" : "") +
                   (page->isVisible() ? "P" : "");
        };
        ASSERT_EQ(sidebar == nullptr, idiom == ui::UserInterfaceIdiom::phone);
        if (!sidebar) {
            EXPECT_EQ(split->supplementaryViewController(), nullptr);
            EXPECT_EQ(split->primaryViewController(), list);
        } else {
            EXPECT_TRUE(split->primaryViewController()->isAncestorOf(sidebar));
            EXPECT_EQ(split->supplementaryViewController(), list);
            EXPECT_TRUE(split->secondaryViewController()->isAncestorOf(page));
            EXPECT_EQ(columns(), "SLP");
            EXPECT_TRUE(list->width() >= 400 && list->width() <= 520) << list->width();
            delegate.window()->resize(600, 700);
            EXPECT_EQ(columns(), "L");
            split->showDetail();
            for (const char* shown : {"P", "L", "S"}) {  // the last press finds nothing further
                EXPECT_EQ(columns(), shown);
                split->displayModeButtonItem()->trigger();
            }
            EXPECT_EQ(columns(), "S");
            EXPECT_FALSE(split->displayModeButtonItem()->isVisible());
            sidebar->selectItem({1, 1});  // a choice of source shows the list
            EXPECT_EQ(columns(), "L");
        }
        list->manageFeedsAction()->trigger();  // opens the subscriptions screen
        EXPECT_NE(delegate.window()->findChild<LinksTableViewController*>(), nullptr);
        EXPECT_TRUE(test::refreshesEnded(*list));
        if (sidebar) {  // the refresh failed every feed (a refused port): the sidebar says why
            EXPECT_EQ(shown(*sidebar)[3], "b!");
            const QVariant tip = sidebar->index({1, 2}).data(Qt::ToolTipRole);
            EXPECT_TRUE(tip.toString().contains(QString::fromStdString(feed("b").url)));
        }
    }
    ui::setUserInterfaceIdiom(ui::UserInterfaceIdiom::pad);
}

}  // namespace
}  // namespace pressling::app
