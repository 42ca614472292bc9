// The article list's rows, search and feed filter, the row's actions and copy, the key commands.

#include "app/InfoViewController.h"
#include "app/MenuBar.h"
#include "flows/AddFeed.h"
#include "reading/ArticleTableViewCell.h"
#include "reading/SystemSymbols.h"
#include "support/ScreenFixture.h"
#include "ui/Appearance.h"
#include "ui/Platform.h"

#include <QContextMenuEvent>
#include <QToolBar>
#include <QVBoxLayout>

namespace pressling::reading {
namespace {

using test::day;
using namespace std::chrono_literals;
using test::named;
using test::texts;

bool hasIcon(const QIcon& icon, const char* symbol) {
    return icon.cacheKey() == systemSymbol(symbol).cacheKey();
}

class ArticleListActionsTest : public test::ScreenTest {
protected:
    // Three feeds served empty (refreshes succeed and add nothing) and their stored articles.
    ArticleListActionsTest() {
        stores.subscribe({serveFeed("Beta", 0), serveFeed("Alpha", 0), serveFeed("Gamma", 0)});
        const auto of = [&](const char* web, const char* title, const char* link, Date date) {
            return test::article(title, link, date, url(web), web);
        };
        stores.store({of("Alpha", "Solar power grows", "https://a.example/caf%C3%A9", day(7, 10h)),
                      of("Alpha", "Wind farms", "https://a.example/wind", day(7, 500min)),
                      of("Beta", "SOLAR panels", "https://b.example/1", day(6)),
                      of("Gamma", "Rust news", "https://c.example/1", day(5))});
        openList();
    }
    ~ArticleListActionsTest() override { ui::setUserInterfaceIdiom(ui::UserInterfaceIdiom::pad); }

    std::string url(const std::string& title) const { return server.url("/" + title); }
};

TEST_F(ArticleListActionsTest, searchAndFilterCombineAndTheSelectionStaysOnItsArticle) {
    struct Row {
        const char* search;
        std::optional<std::string> filter;
        QStringList titles;
    };
    const Row rows[] = {
        {"solar", std::nullopt, {"Solar power grows", "SOLAR panels"}},
        {"solar", url("Alpha"), {"Solar power grows"}},
        {"", url("Alpha"), {"Solar power grows", "Wind farms"}},
        {"GAMMA", std::nullopt, {"Rust news"}},  // the feed's name matches too
        {"", std::nullopt, {"Solar power grows", "Wind farms", "SOLAR panels", "Rust news"}}};
    for (const Row& row : rows) {
        list->searchField()->setText(row.search);
        list->setFilter(row.filter);
        EXPECT_EQ(shown(), row.titles) << row.search;
    }

    QSignalSpy resets(&list->model(), &QAbstractItemModel::modelReset);
    list->setFilter(url("Alpha"));
    list->setFilter(url("Alpha"));  // the value it has: nothing at all
    EXPECT_EQ(resets.count(), 1);

    QItemSelectionModel* selection = list->tableView()->selectionModel();
    selection->select(row("Solar power grows"), QItemSelectionModel::Select);
    list->searchField()->setText("sol");  // the article stays first
    EXPECT_EQ(selection->selectedIndexes(), QModelIndexList{row("Solar power grows")});
    list->searchField()->setText("wind");  // another article in its place is not chosen
    EXPECT_FALSE(selection->hasSelection());
}

// The tablet's sheet lists the feeds by title, the phone's toolbar menu Cancel first and the feeds
// backwards; the phone's is rebuilt plain when the feeds change, keeping the filter.
TEST_F(ArticleListActionsTest, theFilterChoicesListTheFeedsAndTheirIconShowsTheChoice) {
    const char *plain = "line.horizontal.3.decrease.circle",
               *fill = "line.horizontal.3.decrease.circle.fill";
    for (const auto& [idiom, choices] :
         {std::pair{ui::UserInterfaceIdiom::pad, QStringList{"Alpha", "Beta", "Gamma", "Cancel"}},
          {ui::UserInterfaceIdiom::phone, {"Cancel", "Gamma", "Beta", "Alpha"}}}) {
        const bool phone = idiom == ui::UserInterfaceIdiom::phone;
        SCOPED_TRACE(phone ? "phone" : "tablet");
        ui::setUserInterfaceIdiom(idiom);
        openList();
        const auto item = [&] { return list->toolbar()->actions().first(); };
        const auto icon = [&] { return phone ? item()->icon() : list->filterButton()->icon(); };
        const auto choose = [&](const char* choice) {
            if (!phone) list->filterButton()->click();  // opens a sheet
            QMenu* menu = phone ? item()->menu() : nullptr;
            for (QMenu* sheet : list->findChildren<QMenu*>("filterSheet"))
                if (sheet->isVisible()) menu = sheet;
            ASSERT_TRUE(menu);
            EXPECT_EQ(texts(menu), choices);
            EXPECT_EQ(ui::isDestructive(*named(menu, "Cancel")), phone);
            named(menu, choice)->trigger();
            menu->close();
        };
        EXPECT_TRUE(hasIcon(icon(), plain));
        choose("Beta");
        EXPECT_EQ(list->filter(), url("Beta"));
        EXPECT_TRUE(hasIcon(icon(), fill));
        if (phone) {
            NotificationCenter::defaultCenter().post(std::string(kWillUpdateWebNotification));
            ASSERT_TRUE(test::refreshesEnded(*list));
            // Rebuilt in place: the filter menu, the status between two spaces, the subscriptions.
            EXPECT_EQ(list->toolbar()->actions().size(), 5);
            EXPECT_TRUE(hasIcon(icon(), plain));
            EXPECT_EQ(list->filter(), url("Beta"));
            EXPECT_EQ(shown(), QStringList{"SOLAR panels"});
        }
        choose("Cancel");
        EXPECT_EQ(list->filter(), std::nullopt);
        EXPECT_TRUE(hasIcon(icon(), plain));
    }
}

TEST_F(ArticleListActionsTest, selectFeedChoosesBySidebarRowAndIgnoresRowsThatNameNoFeed) {
    const std::pair<IndexPath, std::optional<std::string>> steps[] = {{{1, 2}, url("Beta")},
                                                                      {{1, 0}, url("Beta")},
                                                                      {{1, 4}, url("Beta")},
                                                                      {{0, 0}, std::nullopt},
                                                                      {{1, 3}, url("Gamma")}};
    for (const auto& [path, filter] : steps) {
        NotificationCenter::defaultCenter().post(
            std::string(MasterViewController::kSelectFeedNotification), path);
        EXPECT_EQ(list->filter(), filter) << path.section << "," << path.row;
    }
}

TEST_F(ArticleListActionsTest, theRowActionsShareOnlyALinkAndCopyPutsItOnTheClipboardBothWays) {
    test::insertAndSave(stores.articles(),
                        {{0, url("Alpha"), {}, {}, day(4), "2021-03-04", "No link", "Alpha"}});

    QWidget* viewport = list->tableView()->viewport();
    const QPoint at = list->tableView()->visualRect(row("Solar power grows")).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &click);
    QMenu* menu = list->findChild<QMenu*>("contextMenu");
    ASSERT_TRUE(menu && menu->isVisible());
    EXPECT_EQ(texts(menu), (QStringList{"Add to Reading List", "Copy", "Share"}));
    named(menu, "Copy")->trigger();
    menu->close();
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    EXPECT_EQ(copied->urls(), QList<QUrl>{QUrl::fromEncoded("https://a.example/caf%C3%A9")});
    EXPECT_EQ(copied->text(), "https://a.example/caf%C3%A9");

    menu = list->contextMenu(row("No link"));
    ASSERT_TRUE(menu);
    EXPECT_EQ(texts(menu), (QStringList{"Add to Reading List", "Copy"}));
    named(menu, "Copy")->trigger();
    const QMimeData* cleared = QApplication::clipboard()->mimeData();
    EXPECT_TRUE(cleared == nullptr || !(cleared->hasUrls() || cleared->hasText()));

    // The row's own Copy button copies without choosing the row; a finger finds no buttons on a
    // row not selected (its tap opens the row); swiping a row left selects it, opening nothing.
    QSignalSpy chosen(list.get(), &MasterViewController::articleChosen);
    const auto copyButton = [&](const char* title) {
        return ArticleTableViewCell::actionButtonRect(list->tableView()->visualRect(row(title)),
                                                      ArticleTableViewCell::RowAction::copy)
            .center();
    };
    QTest::mouseClick(viewport, Qt::LeftButton, {}, copyButton("Wind farms"));
    EXPECT_EQ(QApplication::clipboard()->text(), "https://a.example/wind");
    test::touchDrag(viewport, copyButton("SOLAR panels"), copyButton("SOLAR panels"), 0);
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_EQ(QApplication::clipboard()->text(), "https://a.example/wind");
    const QPoint wind = list->tableView()->visualRect(row("Wind farms")).center();
    test::touchDrag(viewport, wind, wind - QPoint(90, 0), 2);
    EXPECT_EQ(list->tableView()->selectionModel()->selectedIndexes(),
              QModelIndexList{row("Wind farms")});
    EXPECT_EQ(chosen.count(), 1);
}

TEST_F(ArticleListActionsTest, theMenuBarHoldsEveryCommandWithTheShortcutsTheInformationLists) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(list.get());
    auto* newWindow = new QAction("New Window", &window);
    newWindow->setShortcut(QKeySequence::New);
    auto* bar = app::MenuBar::install(&window, list.get(), newWindow);
    bar->addFileCommand(new QAction("Add Feed…", &window));
    std::vector<std::pair<std::string, std::string>> commands;
    for (const QAction* command : bar->commands())
        commands.emplace_back(command->shortcut().toString().toStdString(),
                              command->text().toStdString());
    EXPECT_EQ(commands, test::readTable("reading", "menu-commands.txt"));

    app::InfoViewController info;
    info.setShortcuts(bar->commands());
    const QString listed = info.findChild<QLabel*>("shortcutsLabel")->text();
    EXPECT_TRUE(listed.contains("Reload data: Ctrl+R, F5")) << listed.toStdString();
    EXPECT_FALSE(listed.contains("Add Feed"));  // no shortcut, nothing to list

    // Ctrl+F goes to the search field, Escape empties it and goes back to the list.
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(list->searchField()->hasFocus());
    QTest::keyClicks(list->searchField(), "wind");
    EXPECT_EQ(shown(), QStringList{"Wind farms"});
    QTest::keyClick(list->searchField(), Qt::Key_Escape);
    EXPECT_EQ(list->searchField()->text(), "");
    EXPECT_TRUE(list->tableView()->hasFocus());
    list->setParent(nullptr);  // the fixture's to delete
}

// The chosen row shows its buttons at its right end, where its date gives way to them. On a
// background of the selection's own colour, any white left around the buttons is text.
TEST_F(ArticleListActionsTest, aRowShowingItsButtonsDrawsNoTextAroundThem) {
    QTreeView* view = list->tableView();
    QPalette blue = view->palette();
    blue.setColor(QPalette::Base, blue.color(QPalette::Link));
    view->setPalette(blue);
    const QModelIndex chosen = row("Wind farms");
    view->selectionModel()->select(chosen, QItemSelectionModel::Select);
    const QImage image = view->viewport()->grab().toImage();
    const QRect rowRect = view->visualRect(chosen);
    using Action = ArticleTableViewCell::RowAction;
    const QRect buttons[] = {
        ArticleTableViewCell::actionButtonRect(rowRect, Action::copy),
        ArticleTableViewCell::actionButtonRect(rowRect, Action::addToReadingList)};
    int white = 0;
    for (int y = rowRect.top(); y <= rowRect.bottom(); ++y) {
        for (int x = buttons[1].left() - 4; x <= rowRect.right(); ++x) {
            const QPoint at(x, y);
            const bool onAButton = std::ranges::any_of(buttons, [&](const QRect& button) {
                return QLineF(at, button.center()).length() <= button.width() / 2.0 + 2;
            });
            white += !onAButton && image.pixelColor(at).lightness() > 200;
        }
    }
    EXPECT_EQ(white, 0);
}

TEST_F(ArticleListActionsTest, dayHeadersAreLabelsThatNothingSelectsOrStopsOn) {
    QTreeView* view = list->tableView();
    // Nothing highlighted at start, not even a current row's frame.
    EXPECT_FALSE(view->selectionModel()->hasSelection());
    EXPECT_FALSE(view->currentIndex().isValid());
    for (auto [key, title] : {std::pair{Qt::Key_Down, "Solar power grows"},
                              {Qt::Key_Down, "Wind farms"},
                              {Qt::Key_Down, "SOLAR panels"},
                              {Qt::Key_Up, "Wind farms"}}) {
        QTest::keyClick(view, key);
        EXPECT_EQ(view->selectionModel()->selectedIndexes(), QModelIndexList{row(title)});
    }
}

TEST_F(ArticleListActionsTest, eachWayOfChoosingARowOpensItsArticleOnceAndHidesItsMarkerAWhile) {
    QTreeView* view = list->tableView();
    list->model().appendLastArticle("https://a.example/wind");
    const QModelIndex chosenRow = row("Wind farms");
    const QPoint centre = view->visualRect(chosenRow).center();
    const auto click = [&] { QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre); };
    const std::pair<const char*, std::function<void()>> gestures[] = {
        {"a click", click},
        {"a double click, with its first click",
         [&] { click(), QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, centre); }},
        {"Return on the current row", [&] { QTest::keyClick(view, Qt::Key_Return); }},
        {"Enter on the current row", [&] { QTest::keyClick(view, Qt::Key_Enter); }},
    };
    QSignalSpy markerChanges(&list->model(), &QAbstractItemModel::dataChanged);
    for (const auto& [why, gesture] : gestures) {
        view->setCurrentIndex(chosenRow);
        QSignalSpy chosen(list.get(), &MasterViewController::articleChosen);
        gesture();
        ASSERT_EQ(chosen.count(), 1) << why;
        EXPECT_EQ(chosen[0][0].toModelIndex(), chosenRow) << why;
    }
    EXPECT_FALSE(chosenRow.data(ArticleListModel::IsNewRole).toBool());
    ASSERT_EQ(markerChanges.count(), 1) << "the views were told of the hidden marker once";
    EXPECT_EQ(markerChanges[0][0].toModelIndex(), chosenRow);
    list->model().reloadData();  // until the rows are read again
    EXPECT_TRUE(chosenRow.data(ArticleListModel::IsNewRole).toBool());
}

}  // namespace
}  // namespace pressling::reading
