#pragma once

#include "platform/NotificationCenter.h"
#include "subscriptions/Web.h"

#include <QDialog>

#include <vector>

class QListWidget;
class QMenu;
class QToolButton;

namespace pressling {
class ArticleStore;
class KeyValueStore;
}  // namespace pressling

namespace pressling::app {

// The subscriptions screen (the transition "showLinks", Ctrl+L "Manage feeds"), opened as a
// sheet over a window: every subscription in loadWebs order, one LinkTableViewCell each.
// "Delete" (the row's context menu, the Delete key, a touch screen's trailing swipe) removes
// the subscription the row shows, found again by address and title in the list as stored at
// that moment; the rows follow through "willRemoveWeb". The + button (add:) opens the catalog
// screen (the transition "addLink"); Done (dismiss:) closes the screen. The rows are read again
// on "willUpdateWeb", "willRemoveWeb" and kStoredWebsDidChangeNotification.
//
// Main thread. The stores must outlive the screen.
class LinksTableViewController final : public QDialog {
    Q_OBJECT

public:
    LinksTableViewController(KeyValueStore& listStore, ArticleStore& articleStore,
                             QWidget* parent = nullptr);

    // Opens the screen as a window-modal sheet over source's window; it deletes itself when
    // closed.
    static LinksTableViewController* present(KeyValueStore& listStore, ArticleStore& articleStore,
                                             QWidget* source);

    const std::vector<Web>& links() const { return links_; }
    QListWidget* tableView() const { return tableView_; }
    QToolButton* addButton() const { return addButton_; }

    void reloadLinks();
    // The row's "Delete" as a menu (context menu and swipe alike), deleted when closed; null
    // past the rows.
    QMenu* deleteMenu(int row);
    void add();
    void dismiss();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void deleteRow(int row);

    KeyValueStore& listStore_;
    ArticleStore& articleStore_;
    std::vector<Web> links_;
    QListWidget* tableView_;
    QToolButton* addButton_;
    NotificationCenter::Observer willRemoveWebObserver_;
    NotificationCenter::Observer willUpdateWebObserver_;
    NotificationCenter::Observer didChangeObserver_;
};

}  // namespace pressling::app
