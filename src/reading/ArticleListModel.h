#pragma once

#include "reading/ListDateFormatter.h"
#include "store/FetchedResultsController.h"

#include <QAbstractItemModel>

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace pressling {
class ArticleStore;
}

namespace pressling::reading {

// The stored articles as the article list shows them: a two-level tree whose top rows are the
// days (sections of the fetched results, newest first) and whose children are that day's
// articles, newest first. The days' rows are labels (no item flags): only articles can be
// selected, focused or reached with the keyboard.
//
// It sits on a FetchedResultsController and is its delegate. Counts come from the controller's
// sections and never run SQL; an article's contents are read when a view asks for them, a
// batch of FetchedResultsController::kBatchSize at a time, so a list of 100 000 articles opens
// after one GROUP BY. The controller's change calls become row and section insertions and
// removals as they arrive, so a view keeps its scroll position and selection through a save.
// While a save's changes are being applied the model's positions are between the old and the
// new results, and article rows answer no data; views read them after the save (a view lays
// out later anyway). A reported move, or a controller that had to fetch again, resets the
// model.
//
// It also keeps the links of the articles the latest refresh brought ("last articles"): such
// a row answers true for IsNewRole until the next refresh starts. Selecting a row may hide its
// marker until the rows are next reloaded (hideNewMarker, reloadData).
//
// Main thread only, like the store, which must outlive the model.
class ArticleListModel final : public QAbstractItemModel, private FetchedResultsControllerDelegate {
    Q_OBJECT

public:
    enum Role {
        TitleRole = Qt::UserRole + 1,  // QString; also Qt::DisplayRole of an article
        WebRole,                       // QString: the feed's name upper-cased, or null
        DateTextRole,                  // QString: time, or date and time without a day
        IsNewRole,                     // bool: the marker is visible
        IsSectionRole,                 // bool: a day's header row
        LinkRole,                      // QString: the article's link as stored, or null
    };

    // A model over every article of store, fetched once. Fails with the store's error when the
    // first fetch fails (the caller decides whether the process can go on without it).
    static std::expected<std::unique_ptr<ArticleListModel>, StoreError> create(
        ArticleStore& store, QObject* parent = nullptr);
    ~ArticleListModel() override;

    FetchedResultsController& fetchedResultsController() { return *controller_; }
    std::size_t fetchedObjectCount() const { return controller_->fetchedObjectCount(); }
    const ListDateFormatter& dateFormatter() const { return formatter_; }

    // Fetches again (after a batch delete the controller cannot see) and resets the model.
    // A failed fetch leaves the results as they were, and the model is reset on them anyway.
    std::expected<void, StoreError> refetch();
    // Fetches again and resets the model only when the sections or their counts differ from
    // what it shows: for the clean-up, which deletes without telling and mostly deletes
    // nothing. Returns whether the model was reset.
    bool refetchIfChanged();

    // Tells views that every row's contents may have changed (the marker after new articles,
    // a day that became "yesterday"), keeping rows, selection and scroll position; shows the
    // markers hidden by hideNewMarker again.
    void reloadData();

    // --- Last articles ---------------------------------------------------------------------
    void clearLastArticles();
    void appendLastArticle(const std::string& link);
    bool isLastArticle(const std::string& link) const { return lastArticles_.contains(link); }
    void hideNewMarker(const QModelIndex& index);

    // --- Positions -------------------------------------------------------------------------
    bool isSection(const QModelIndex& index) const;
    std::optional<IndexPath> indexPath(const QModelIndex& index) const;
    QModelIndex indexForPath(IndexPath path) const;
    // The article at index, read from the store when its batch is not loaded; none for a
    // header, an invalid index, or a read that failed.
    std::optional<BlogPost> articleAt(const QModelIndex& index);

    // --- QAbstractItemModel ----------------------------------------------------------------
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // After a save changed the results (whatever the model did with it) and after a refetch.
    void contentChanged();

private:
    struct Section {
        quintptr id;  // stable while the section lives, so child indexes survive insertions
        std::string name;
        std::size_t count;
    };

    explicit ArticleListModel(ArticleStore& store, QObject* parent);

    // FetchedResultsControllerDelegate.
    void controllerWillChangeContent(FetchedResultsController&) override;
    void didChangeSection(FetchedResultsController&, const SectionInfo& section, std::size_t index,
                          FetchedResultsChangeType type) override;
    void didChangeObject(FetchedResultsController&, const BlogPost& object,
                         FetchedResultsChangeType type, std::optional<IndexPath> oldIndexPath,
                         std::optional<IndexPath> newIndexPath) override;
    void controllerDidResetContent(FetchedResultsController&) override;
    void controllerDidChangeContent(FetchedResultsController&) override;

    void rebuildSections();
    void reindexSections();
    bool sectionsMatchController() const;
    // The article at index without copying it; null when it cannot be read. The pointer lives
    // until the next call that may load a batch.
    const BlogPost* post(const QModelIndex& index) const;
    QString sectionTitle(std::size_t section) const;
    QString rowDate(const BlogPost& post) const;

    std::unique_ptr<FetchedResultsController> controller_;
    ListDateFormatter formatter_;
    std::vector<Section> sections_;
    std::unordered_map<quintptr, std::size_t> sectionRowById_;
    quintptr nextSectionId_ = 1;
    bool changing_ = false;
    bool resetAfterChange_ = false;
    bool reloadAfterChange_ = false;

    std::unordered_set<std::string> lastArticles_;
    std::unordered_set<std::int64_t> hiddenMarkers_;  // objectIDs

    // Formatting a date costs more than painting its row; rows are painted again and again.
    mutable std::unordered_map<std::string, QString> sectionTitles_;
    mutable std::unordered_map<std::int64_t, QString> rowDates_;
};

}  // namespace pressling::reading
