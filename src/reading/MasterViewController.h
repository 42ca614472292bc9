#pragma once

#include "flows/Refresh.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <QWidget>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

class QLabel;
class QToolButton;
class QTreeView;
class QModelIndex;

namespace pressling {
class ArticleStore;
}

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
// Main thread. The store and the stores named by the refresh options must outlive it. A refresh
// still running when it is destroyed finishes without it.
class MasterViewController final : public QWidget {
    Q_OBJECT

public:
    // Posted by the application shell, with no object, when the application returns to the
    // foreground (its window comes back from being minimised or hidden).
    static constexpr std::string_view kWillEnterForegroundNotification =
        "ApplicationWillEnterForeground";

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
    // Refreshes started and not yet finished.
    int refreshesInFlight() const { return refreshesInFlight_; }

    // The subscription URL the list is narrowed to; none shows every article. Setting another
    // value fetches again.
    const std::optional<std::string>& filter() const { return filter_; }
    void setFilter(std::optional<std::string> filter);

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
    void showArticleCount();
    void setRefreshing(bool refreshing);
    DetailViewController* detailViewController() const;

    ArticleStore& store_;
    RefreshOptions refreshOptions_;
    std::unique_ptr<ArticleListModel> model_;
    std::optional<std::string> filter_;
    int refreshesInFlight_ = 0;

    QTreeView* tableView_;
    QWidget* infoView_;
    QLabel* infoLabel_;
    QLabel* detailInfoLabel_;
    QToolButton* refreshControl_;

    NotificationCenter::Observer willUpdateWebObserver_;
    NotificationCenter::Observer willRemoveWebObserver_;
    NotificationCenter::Observer objectsDidChangeObserver_;
    NotificationCenter::Observer willEnterForegroundObserver_;
};

}  // namespace pressling::reading
