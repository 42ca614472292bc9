#pragma once

#include "platform/NotificationCenter.h"
#include "store/FetchedResultsController.h"
#include "subscriptions/Web.h"

#include <QIcon>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QListView;
class QMenu;
class QModelIndex;
class QToolBar;
class QToolButton;

namespace pressling {
class ArticleStore;
class KeyValueStore;
}  // namespace pressling

namespace pressling::app {

class AddRSSTableViewController;

// The sections of the sidebar, in display order.
enum class SidebarSection { all = 0, rss = 1 };
enum class SidebarItemType { header = 0, row = 1 };

// One visible entry. web is the subscription a source row stands for, as it was read when the
// row was built; none for "All" and the header.
struct SidebarItem {
    SidebarItemType type = SidebarItemType::row;
    QString title;
    QIcon image;  // the warning sign of a failing feed, else none
    std::optional<Web> web;
};

// The sidebar of sources, the first column of the three-column window: "All", then under the
// header "Sources" one row per subscription in loadWebs order (by title), a failing feed with
// the red warning sign and, as its tooltip, why its last download failed (LastRefreshErrors).
// Index paths name entries: (0, 0) is "All", (1, 0) the header, (1, k) the subscription at
// position k - 1.
//
// Choosing an entry posts "SelectFeed" with its index path and, in a collapsed split view,
// brings the article list on screen; at start "All" is chosen and posted. The header cannot be
// chosen. The sources are rebuilt on "willUpdateWeb", "willRemoveWeb" and
// kStoredWebsDidChangeNotification; the chosen source stays chosen when it is still there,
// and when it is gone "All" is chosen and posted. "Delete" (the context menu, the Delete key,
// a touch screen's trailing swipe) removes the subscription the row shows, found again by its
// address and title in the list as stored at that moment; when another program removed it
// meanwhile, the sources are only rebuilt. A swipe's delete then chooses "All" again and posts
// it. "Add source", at the leading edge of the toolbar, opens the catalog screen.
//
// Main thread. The stores must outlive it.
class SidebarViewController final : public QWidget {
    Q_OBJECT

public:
    SidebarViewController(KeyValueStore& listStore, ArticleStore& articleStore,
                          QWidget* parent = nullptr);
    ~SidebarViewController() override;

    QListView* collectionView() const { return collectionView_; }
    QToolBar* toolbar() const { return toolbar_; }
    QToolButton* addSourceButton() const { return addSourceButton_; }
    const std::vector<SidebarItem>& items() const { return items_; }

    // Between index paths and the list's rows; an index path past the entries gives an invalid
    // index.
    static IndexPath indexPath(const QModelIndex& index);
    QModelIndex index(IndexPath path) const;
    // The chosen entry; none when nothing is chosen.
    std::optional<IndexPath> selectedIndexPath() const;

    bool shouldSelectItem(IndexPath path) const;
    // Chooses the entry at path (as a click does): selects it, posts "SelectFeed" and shows the
    // article list. An entry that cannot be chosen is ignored.
    void selectItem(IndexPath path);
    // The context menu of the entry at path, owned by the sidebar and deleted when closed;
    // null for "All" and the header.
    QMenu* contextMenu(IndexPath path);
    // The trailing swipe's actions for the entry at path, as a menu at the row's end; null for
    // "All" and the header. Its "Delete" chooses "All" afterwards.
    QMenu* trailingSwipeActions(IndexPath path);

    void refreshSources();
    void applyInitialSnapshots();
    // Opens the catalog screen over the sidebar's window and returns it.
    AddRSSTableViewController* presentCatalog();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Model;
    // Removes the subscription the entry at path shows; true when one was removed.
    bool removeSource(IndexPath path);
    QMenu* deleteMenu(IndexPath path, bool thenSelectAll);
    void didSelect(IndexPath path);
    std::vector<SidebarItem> makeSourcesSnapshot() const;

    KeyValueStore& listStore_;
    ArticleStore& articleStore_;
    std::vector<SidebarItem> items_;
    std::unique_ptr<Model> model_;
    bool quiet_ = false;
    QListView* collectionView_;
    QToolBar* toolbar_;
    QToolButton* addSourceButton_;
    NotificationCenter::Observer willUpdateWebObserver_;
    NotificationCenter::Observer willRemoveWebObserver_;
    NotificationCenter::Observer didChangeObserver_;
};

}  // namespace pressling::app
