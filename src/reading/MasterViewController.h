#pragma once

#include "flows/Refresh.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <QWidget>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QMouseEvent;
class QToolBar;
class QToolButton;
class QTreeView;
class QModelIndex;

namespace pressling {
class ArticleStore;
class KeyValueStore;
}  // namespace pressling

namespace pressling::reading {

class ArticleListModel;
class DetailViewController;

// The article list ("MasterViewController"): the stored articles newest first, grouped by day,
// with a two-line status at the bottom ("Loading..." / "Updated at 21:05" over "58 articles
// loaded", "3 feeds with errors" or "No internet connection").
//
// It refreshes every subscription when it is created, on its refresh control, F5 or Ctrl+R, on
// a touch screen's pull at the top of the list, when the application comes back to the
// foreground (kWillEnterForegroundNotification) and after every change of the subscription list
// ("willUpdateWeb", "willRemoveWeb"); the articles each refresh stores arrive through the model as
// they are saved and carry the new-article dot until the next refresh starts. When a refresh ends
// with every feed failed it shows the "Error" alert; with nothing stored and no filter it opens the
// information screen (the transition "showInfo"). Choosing an article shows it in the
// DetailViewController of the split view it sits in (the transition "showDetail").
//
// Finding: the search field in the bar above the list narrows it, at every change of its text,
// to the articles whose title, description or feed name contains the text, ignoring case; the
// feed filter narrows it to one subscription. The two combine: a search with a feed chosen
// searches that feed. The feed is chosen from the filter button's menu (on a phone, from the
// toolbar's first item) or by the sidebar's "SelectFeed". Each row offers "Add to Reading List",
// "Copy" and, for an article with a link, "Share" in its context menu (right click, the menu
// key, Shift+F10, a long press); the row under the pointer, the selected row and a row a finger
// swiped left show the first two as buttons. The commands with their shortcuts are QActions of the
// list (reloadAction() and the rest), for the window's menu bar to show.
//
// Main thread. The store and the stores named by the refresh options must outlive it. A refresh
// still running when it is destroyed finishes without it.
class MasterViewController final : public QWidget {
    Q_OBJECT

public:
    // Posted by the application shell, with no object, when the application returns to the
    // foreground (its window comes back from being minimised or hidden).
    static constexpr std::string_view kWillEnterForegroundNotification =
        "ApplicationWillEnterForeground";
    // Posted by the sidebar when an entry is chosen, with an IndexPath as its object: section 0
    // is every article; in section 1, row k (from 1) is the k-th subscription in loadWebs order.
    static constexpr std::string_view kSelectFeedNotification = "SelectFeed";

    // A list over store, which every refresh fills (refreshOptions.articleStore is set to it).
    // When the first fetch of the store fails the process stops, "Unresolved error " and the
    // error on stderr: without its articles the list has nothing to show.
    explicit MasterViewController(ArticleStore& store, RefreshOptions refreshOptions = {},
                                  QWidget* parent = nullptr);
    ~MasterViewController() override;

    ArticleListModel& model() const { return *model_; }
    QTreeView* tableView() const { return tableView_; }
    QLabel* infoLabel() const { return infoLabel_; }
    QLabel* detailInfoLabel() const { return detailInfoLabel_; }
    QToolButton* refreshControl() const { return refreshControl_; }
    QLineEdit* searchField() const { return searchField_; }
    // The filter control of the bar (filter:); hidden on a phone, whose toolbar carries the
    // filter menu as its first item (buildFilterMenu).
    QToolButton* filterButton() const { return filterButton_; }
    QToolBar* toolbar() const { return toolbar_; }

    // The list's commands, window-wide shortcuts included, for the menu bar:
    //   reloadAction        "Reload data", Ctrl+R and F5: loadData, also while a refresh runs
    //   manageFeedsAction   "Manage feeds", Ctrl+L: showLinks (on a phone also the toolbar's
    //                       last item)
    //   findAction          "Search", Ctrl+F: focuses the search field
    //   addToReadingListAction, copyAction  "Add to Reading List" (Ctrl+D), "Copy" (Ctrl+C):
    //                       the row actions on the current article; their shortcuts work while
    //                       the list has the focus (elsewhere Ctrl+C copies the selected text)
    QAction* reloadAction() const { return reloadAction_; }
    QAction* manageFeedsAction() const { return manageFeedsAction_; }
    QAction* findAction() const { return findAction_; }
    QAction* addToReadingListAction() const { return addToReadingListAction_; }
    QAction* copyAction() const { return copyAction_; }
    // Puts action as the first button of the bar above the list (the split view's way back to
    // the sources); the action is not owned.
    void setLeftBarButtonItem(QAction* action);
    // Refreshes started and not yet finished.
    int refreshesInFlight() const { return refreshesInFlight_; }

    // The subscription URL the list is narrowed to; none shows every article. Setting another
    // value runs updatePredicate with the search field's text; setting the value it has does
    // nothing at all.
    const std::optional<std::string>& filter() const { return filter_; }
    void setFilter(std::optional<std::string> filter);

    // Narrows the list to the articles matching text (none or empty: no search) and the
    // filter, fetches again (a failure keeps what the list holds) and keeps the selection.
    void updatePredicate(const std::optional<std::string>& text);

    // "SelectFeed": section 0 clears the filter; row k of section 1 chooses the k-th
    // subscription. A row that names no subscription (0, or past the end of a list that
    // shrank since the sidebar was drawn) leaves the filter as it is.
    void sideBarFilter(const Notification& notification);
    // The filter button's action (filter:): a menu of the subscriptions by title, then
    // "Cancel", popped up under sender. A subscription chosen sets the filter and the filled
    // filter icon on sender; "Cancel" clears both.
    void filter(QToolButton* sender);
    // The phone's filter menu as the toolbar's first item: "Cancel" first, then the
    // subscriptions in reverse title order, under the plain filter icon. It replaces item 0
    // when the toolbar holds more than 3 items, else it is inserted there. The filter itself
    // is not changed.
    void buildFilterMenu();
    // The row's context menu ("Add to Reading List", "Copy", "Share" when the article has a
    // link), owned by the list and deleted when closed; null for a day's header or no row.
    QMenu* contextMenu(const QModelIndex& index);
    // The transition "showLinks" (the subscriptions screen).
    void showLinks();

    // Starts a refresh of every subscription. Nothing stops a second one while one runs: each
    // counts its own failures and finishes on its own.
    void loadData();
    // The refresh control's action: the same as loadData.
    void handleRefresh();
    // After a subscription was added or removed: fetch again when one was removed (its
    // articles went past the store's change tracking), then refresh.
    void updateList(const Notification& notification);
    // The end of one refresh, on the main thread: failures of outcome.count feeds, the error of
    // the last to fail, and the feeds whose articles could not be saved.
    void finishRefresh(std::size_t failures, const RefreshOutcome& outcome);
    // After the store's clean-up, which deletes without telling: show what is left.
    void articlesMayHaveBeenDeleted();

    // Shows the article at index in the split view's detail (the transition "showDetail").
    void showDetail(const QModelIndex& index);

signals:
    // After finishRefresh has updated the status.
    void refreshFinished();
    // An article row was chosen to be shown (by showDetail): once per click, double click or
    // Return on it.
    void articleChosen(const QModelIndex& index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void noteInsertedArticles(const Notification& notification);
    void reloadKeepingSelection();
    // Fetches again and selects each selected row's index path again, when the same article
    // is still there (a search moves the rows: another article must not look chosen).
    void refetchKeepingSelection();
    void showContextMenu(const QModelIndex& index, const QPoint& globalPosition);
    // A press, double click or release on a row action's button: runs the action on the
    // release over the button pressed. Returns whether the view must not see the event.
    bool takeRowActionClick(const QMouseEvent& mouse);
    void shareLink(const QModelIndex& index);
    KeyValueStore& listStore() const;
    std::optional<std::string> searchText() const;
    void showArticleCount();
    void setRefreshing(bool refreshing);
    DetailViewController* detailViewController() const;

    ArticleStore& store_;
    RefreshOptions refreshOptions_;
    std::unique_ptr<ArticleListModel> model_;
    std::optional<std::string> filter_;
    int refreshesInFlight_ = 0;
    // The row action (ArticleTableViewCell::RowAction) whose button the pointer went down on,
    // or -1.
    int pressedRowAction_ = -1;

    QTreeView* tableView_;
    QWidget* infoView_;
    QLabel* infoLabel_;
    QLabel* detailInfoLabel_;
    QToolButton* refreshControl_;
    QToolButton* leftBarButton_;
    QLineEdit* searchField_;
    QToolButton* filterButton_;
    QToolBar* toolbar_;
    QAction* reloadAction_;
    QAction* manageFeedsAction_;
    QAction* findAction_;
    QAction* addToReadingListAction_;
    QAction* copyAction_;

    NotificationCenter::Observer willUpdateWebObserver_;
    NotificationCenter::Observer willRemoveWebObserver_;
    NotificationCenter::Observer objectsDidChangeObserver_;
    NotificationCenter::Observer willEnterForegroundObserver_;
    NotificationCenter::Observer selectFeedObserver_;
};

}  // namespace pressling::reading
