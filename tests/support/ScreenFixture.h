#pragma once

// For the screens above the ui layer: throwaway stores, loopback feeds, the article list shown on
// them, its rows, and the texts of menus and list cells.

#include "reading/ArticleListModel.h"
#include "reading/MasterViewController.h"
#include "support/LoopbackServer.h"
#include "support/QtTestSupport.h"
#include "support/StoreTestSupport.h"

#include <QListWidget>
#include <QTreeView>

#include <memory>

namespace pressling::test {

// An RSS 2.0 feed titled title with entries "<title> 1".. (newest first), as a server sends it.
inline Reply rssReply(std::string_view title, int entries = 1) {
    return {200, rssDocument(title, entries), "application/rss+xml"};
}

// The texts of menu's actions, separators left out.
inline QStringList texts(const QMenu* menu) {
    QStringList result;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator()) result << action->text();
    return result;
}

// menu's action called text; a failure of the running test when there is none.
inline QAction* named(const QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text() == text) return action;
    ADD_FAILURE() << "no " << text.toStdString();
    return nullptr;
}

// The cell widgets of a list's rows, in order.
template <class Cell>
QList<Cell*> cells(const QListWidget* list) {
    QList<Cell*> result;
    for (int row = 0; row < list->count(); ++row)
        result << qobject_cast<Cell*>(list->itemWidget(list->item(row)));
    return result;
}

// The rows under a sectioned model's headers, section by section.
inline QModelIndexList sectionRows(const QAbstractItemModel& model) {
    QModelIndexList rows;
    for (int section = 0; section < model.rowCount(); ++section)
        for (int row = 0; row < model.rowCount(model.index(section, 0)); ++row)
            rows << model.index(row, 0, model.index(section, 0));
    return rows;
}

// Waits out the refreshes the list has running.
inline bool refreshesEnded(const reading::MasterViewController& list) {
    return waitUntil([&] { return list.refreshesInFlight() == 0; });
}

// The stores, a loopback server for the feeds, and the article list on them.
struct Screen {
    // Serves the feed title at /title with entries "<title> 1".. (a 404 instead if not found).
    Web serveFeed(const std::string& title, int entries, bool found = true) {
        server.serve("/" + title, found ? rssReply(title, entries) : Reply{404, "gone"});
        return Web{title, server.url("/" + title), std::nullopt};
    }
    // Shows the list, 480 by 700, and waits out its first refresh.
    void openList() {
        list = std::make_unique<reading::MasterViewController>(
            stores.articles(), RefreshOptions{.listStore = &stores.list()});
        list->resize(480, 700);
        list->show();
        EXPECT_TRUE(refreshesEnded(*list));
    }
    // The titles of the list's rows, in order, and the row showing title.
    QStringList shown() const {
        QStringList titles;
        for (const QModelIndex& index : sectionRows(list->model()))
            titles << index.data().toString();
        return titles;
    }
    QModelIndex row(const QString& title) const {
        return sectionRows(list->model()).value(shown().indexOf(title));
    }

    LoopbackServer server;
    ReaderStores stores;
    std::unique_ptr<reading::MasterViewController> list;
};
class ScreenTest : public ::testing::Test, public Screen {};

}  // namespace pressling::test
