#pragma once

#include "store/ArticlePredicate.h"
#include "store/ArticleStore.h"
#include "store/BlogPost.h"
#include "store/StoreError.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pressling {

// A row of the fetched results: section, then row within it. A plain value.
struct IndexPath {
    std::size_t section = 0;
    std::size_t row = 0;
    friend auto operator<=>(const IndexPath&, const IndexPath&) = default;
};

// What happened to a section or an object. remove is the platform's "delete" (a keyword
// here).
enum class FetchedResultsChangeType { insert, remove, move, update };

class FetchedResultsController;

// Hears how a FetchedResultsController's results change when the store's context saves. All
// calls run on the main thread, inside the save that caused them, in this order:
//
//   controllerWillChangeContent
//   didChangeObject(remove)    for every object that left the results, by old index path,
//                              descending (last section first, last row first)
//   didChangeSection(remove)   for every section that left, by old index, descending
//   didChangeSection(insert)   for every section that appeared, by new index, ascending
//   didChangeObject(insert)    for every object that joined the results (those in a new
//                              section too), by new index path, ascending
//   controllerDidChangeContent
//
// Old paths refer to the results before the save, new paths to those after it, so a table can
// apply the whole set as one batch of updates; applied one at a time in the order given, they
// also turn a copy of the old results into the new ones. A deleted section has lost every row
// (each reported) by the time its removal is reported; an inserted section starts empty and
// its rows are reported as inserts. Stored articles are never modified in place, so the
// current store reports neither update nor move; a view should still handle them (update:
// redraw the row at the old path; move: take the row from the old path to the new one).
//
// A save that changes nothing in the results calls nothing. During the calls the controller
// already answers with the new results. A delegate must not destroy the controller or call
// performFetch from a callback; a save from a callback fails (see ArticleStore::save).
class FetchedResultsControllerDelegate {
public:
    // One section, as the change concerns it: its name, and its number of objects after the
    // change (0 for a removed section).
    struct SectionInfo {
        std::string name;
        std::size_t numberOfObjects = 0;
    };

    virtual ~FetchedResultsControllerDelegate() = default;
    virtual void controllerWillChangeContent(FetchedResultsController&) {}
    virtual void didChangeSection(FetchedResultsController&, const SectionInfo& section,
                                  std::size_t index, FetchedResultsChangeType type) {
        (void)section, (void)index, (void)type;
    }
    // object is the article as inserted or as it was stored before its deletion; the paths
    // are set as the type needs (remove: old only; insert: new only; move: both; update: old).
    virtual void didChangeObject(FetchedResultsController&, const BlogPost& object,
                                 FetchedResultsChangeType type,
                                 std::optional<IndexPath> oldIndexPath,
                                 std::optional<IndexPath> newIndexPath) {
        (void)object, (void)type, (void)oldIndexPath, (void)newIndexPath;
    }
    // Called instead of the change calls (between the same will/did pair) when the controller
    // could not work out the changes because the store failed to answer; it has fetched again
    // and a view must reload everything.
    virtual void controllerDidResetContent(FetchedResultsController&) {}
    virtual void controllerDidChangeContent(FetchedResultsController&) {}
};

// The stored articles that match a predicate, in sections, as the article list shows them, with
// the rows read from the store only when asked for.
//
// Order: sections by their day, newest first, which is pubDate-descending order since a
// section's name is the day of its articles' pubDate ("2021-03-07"); a section name that is
// not such a date sorts after every date, and the section of articles without sectionDate (or
// with an empty one) comes last, named "". Within a section: pubDate descending, an article
// without pubDate last, equal dates by id descending (the later stored first). Sections are
// ordered by name and not by their contents, so a save never moves a section.
//
// Cost: performFetch reads only the section names and counts (one GROUP BY over an index);
// objectAt reads the batch of kBatchSize rows holding the row asked for, by keyset from the
// batch before it when that one is loaded, and keeps at most kMaxCachedBatches batches, the
// least recently used going first. Counts never run SQL.
//
// The results cover saved articles only: pending inserts join them when saved. The context's
// saves keep them current (see the delegate); a batch delete does not, so after one, call
// performFetch before relying on the results or the change calls.
//
// Threads: main thread only, like its store. The store must outlive the controller.
// Not copyable or movable (the store's saves reach it by address).
class FetchedResultsController {
public:
    static constexpr std::size_t kBatchSize = 20;
    static constexpr std::size_t kMaxCachedBatches = 64;

    // A controller over store with predicate (none: every article). Nothing is read until
    // performFetch; until then there are no sections.
    explicit FetchedResultsController(ArticleStore& store,
                                      std::optional<ArticlePredicate> predicate = std::nullopt);
    ~FetchedResultsController();
    FetchedResultsController(const FetchedResultsController&) = delete;
    FetchedResultsController& operator=(const FetchedResultsController&) = delete;

    // delegate is not owned; null stops the calls. It must outlive the controller or be
    // replaced first. The results stay current with or without a delegate.
    void setDelegate(FetchedResultsControllerDelegate* delegate) { delegate_ = delegate; }

    const std::optional<ArticlePredicate>& predicate() const { return predicate_; }
    // Takes effect at the next performFetch; the results stay as they are until then.
    void setPredicate(std::optional<ArticlePredicate> predicate);

    // Reads the sections and their counts for the current predicate and forgets every loaded
    // row. Fails with Kind::fetchFailed, and then the results stay as they were.
    std::expected<void, StoreError> performFetch();

    std::size_t numberOfSections() const { return sections_.size(); }
    // REQUIRES: section < numberOfSections().
    std::size_t numberOfObjects(std::size_t section) const;
    // "" for the section of articles without a day. REQUIRES: section < numberOfSections().
    // The reference lives until the next performFetch or save.
    const std::string& sectionName(std::size_t section) const;
    // All objects of all sections.
    std::size_t fetchedObjectCount() const { return objectCount_; }

    // The article at indexPath, reading its batch from the store when it is not loaded. Fails
    // with Kind::fetchFailed when indexPath is outside the results or the read fails; a row
    // that vanished from the store behind the controller's back (a batch delete, another
    // process) fails the same way until the next performFetch.
    std::expected<BlogPost, StoreError> objectAt(IndexPath indexPath);
    // The article at indexPath when its batch is loaded, without reading; null otherwise. The
    // pointer lives until the next call of a non-const member or save of the store.
    const BlogPost* loadedObjectAt(IndexPath indexPath) const;

    // How many batches objectAt read from the store since the last performFetch: for tests and
    // benchmarks that check what opening the list costs.
    std::size_t loadedBatchCount() const { return loadedBatchCount_; }

private:
    struct Batch {
        std::vector<BlogPost> rows;
        std::uint64_t lastUse = 0;
    };
    struct Section {
        std::string name;
        std::size_t count = 0;
        std::map<std::size_t, Batch> batches;  // by batch number: row / kBatchSize
    };

    void storeDidSave(const ObjectsDidChange& change);
    void resetAfterFailure(const StoreError& error);
    void evictBatchesIfNeeded();
    std::optional<std::size_t> sectionIndex(const std::string& name) const;

    ArticleStore& store_;
    std::optional<ArticlePredicate> predicate_;
    FetchedResultsControllerDelegate* delegate_ = nullptr;
    ArticleStore::SaveObservation observation_;

    bool fetched_ = false;
    std::vector<Section> sections_;
    std::size_t objectCount_ = 0;
    std::size_t cachedBatches_ = 0;
    std::uint64_t useClock_ = 0;
    std::size_t loadedBatchCount_ = 0;
};

}  // namespace pressling
