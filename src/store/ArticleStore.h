#pragma once

#include "store/ArticlePredicate.h"
#include "store/BlogPost.h"
#include "store/StoreError.h"

#include <cstddef>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pressling {

class ArticleStore;

// Posted on NotificationCenter::defaultCenter() after every save that wrote something, on the
// thread that saved (the main thread), with an ObjectsDidChange as its object.
inline constexpr std::string_view kObjectsDidChangeNotification =
    "ManagedObjectContextObjectsDidChange";

// What one successful save wrote. A plain value.
struct ObjectsDidChange {
    // The store that saved. Compare it to tell stores apart; it lives as long as the caller
    // keeps the store.
    const ArticleStore* store = nullptr;
    // Every post the save inserted, in the order they were inserted, each with its new
    // objectID.
    std::vector<BlogPost> inserted;
    // Every row the save deleted, as it was stored just before (so objectID is the deleted
    // id). A deletion whose row was already gone (a batch delete took it) is not listed.
    std::vector<BlogPost> deleted;
};

// What a search compares of one post: foldedForSearch of its title, desc and web, "" for a
// text it lacks. Any thread.
struct SearchTexts {
    std::string title;
    std::string desc;
    std::string web;

    static SearchTexts of(const BlogPost& post);
};

// The local object store of articles ("CDModel", entity "BlogPost"): a SQLite file, and the
// one "view context" that works on it.
//
// The context collects inserts and deletions (pending changes) until save() writes them all in
// one transaction; fetches see the pending changes as if they were saved. batchDelete works on
// the stored rows directly, past the context, and nothing announces it.
//
// Threads: main thread only. Every operation, the observers of saves and the posted
// notification run on the thread that opened the store (debug builds check it). Another
// process may use the same file at the same time (WAL journal, 5 s busy time-out). A thread of
// the store's own, on a connection of its own, builds the search index once saves pause and
// copies the WAL into the file while they go on, so a save mostly appends to the WAL.
//
// A new file gets 16 KB pages (an article takes about 6 KB with its folded texts); an existing
// one keeps the page size it has.
//
// The file keeps its schema version in PRAGMA user_version (kSchemaVersion). open() creates
// the schema in an empty file and refuses, naming the file, a file that is not a SQLite
// database, a database that holds something else, or one written by a newer version. It never
// replaces or repairs a file it refuses, nor writes to it.
class ArticleStore {
public:
    static constexpr int kSchemaVersion = 2;

    class SaveObservation;
    using SaveObserver = std::function<void(const ObjectsDidChange&)>;

    // Opens the store in file, creating the file and its schema when the file is missing or
    // empty; the folder must exist. The caller owns the returned store.
    //
    // Fails with Kind::openFailed, the message naming file: the folder is missing or the file
    // cannot be created or read; the file is not a SQLite database (corrupt or foreign); it
    // holds tables of something else; its schema version is newer than kSchemaVersion. A file
    // refused for any of these is left byte for byte as it was.
    static std::expected<std::unique_ptr<ArticleStore>, StoreError> open(
        const std::filesystem::path& file);

    ~ArticleStore();
    ArticleStore(const ArticleStore&) = delete;
    ArticleStore& operator=(const ArticleStore&) = delete;

    const std::filesystem::path& file() const;

    // --- The view context ------------------------------------------------------------------

    // Inserts post into the context; it is written by the next successful save. Returns the
    // post as the context holds it, with a temporary (negative) objectID that deleteObject
    // accepts; the objectID post carried is ignored.
    BlogPost insert(BlogPost post);
    // The same, with the post's search texts folded already (on another thread, say), which
    // the save then need not fold. REQUIRES: folded is SearchTexts::of(post); searches find the
    // post by these texts.
    BlogPost insert(BlogPost post, SearchTexts folded);

    // Marks the post with post.objectID deleted. A saved post is deleted by the next
    // successful save (nothing happens there if its row is already gone); a post inserted and
    // not yet saved is simply dropped and never lands. Deleting twice is deleting once; a post
    // with objectID 0 (never in the context) is ignored.
    void deleteObject(const BlogPost& post);

    // Whether a save would write anything.
    bool hasChanges() const;

    // Writes every pending insert and deletion in one transaction.
    //
    // On success the pending changes are gone, the observers of saves are called, and then
    // kObjectsDidChangeNotification is posted, in that order, all before save returns. Fails
    // with Kind::saveFailed (a write failed, the disk is full, another process held the lock
    // past the busy time-out): the transaction is rolled back, nothing was written or
    // announced, and every pending change stays pending for the next save. Without pending
    // changes save succeeds at once, writes nothing and announces nothing. A save called by an
    // observer of saves (a fetched-results delegate included) while it hears of another save
    // fails with Kind::saveFailed and keeps its changes pending: the observers after it have
    // not yet heard of the first one. Observers of the notification may save.
    std::expected<void, StoreError> save();

    // The articles matching predicate, newest first (descending pubDate, an article without
    // pubDate last; equal dates: the later inserted first), at most limit of them when limit is
    // set. As the context sees them: pending inserts that match are included (they rank after
    // every saved article with the same pubDate) and pending deletions are left out. Fails
    // with Kind::fetchFailed; a limit of 0 gives an empty list without reading.
    std::expected<std::vector<BlogPost>, StoreError> fetch(
        const ArticlePredicate& predicate, std::optional<std::size_t> limit = std::nullopt);

    // Deletes the stored rows matching predicate, in one statement, and returns how many. It
    // works on the file alone: pending changes are neither consulted nor written, objects the
    // caller holds are not updated, and neither the observers nor the notification hear of
    // it (a fetched-results controller sees it at its next performFetch). Fails with
    // Kind::deleteFailed, and then nothing was deleted.
    std::expected<std::int64_t, StoreError> batchDelete(const ArticlePredicate& predicate);

    // One (blogLink, web) pair that stored articles carry.
    struct FeedSource {
        std::optional<std::string> blogLink;
        std::optional<std::string> web;
        friend bool operator==(const FeedSource&, const FeedSource&) = default;
    };
    // Every distinct (blogLink, web) pair among the stored rows, read from an index without
    // loading the articles. Stored rows only: pending changes are not consulted. Fails with
    // Kind::fetchFailed.
    std::expected<std::vector<FeedSource>, StoreError> fetchFeedSources();

    // Searches read a trigram index of the saved articles' folded texts, kept up by a thread of
    // the store's own once saves pause (and resumed by the next store to open the file), and
    // the folded texts of the rows it has not reached yet: the answers are the same either way,
    // only their speed differs. finishIndexing indexes every saved article now, on this thread
    // (benchmarks, tests, a caller about to search a lot). Fails with Kind::saveFailed; what
    // was indexed stays indexed.
    std::expected<void, StoreError> finishIndexing();

    // Whether post satisfies predicate, decided exactly as fetch decides it for a stored row.
    // Any thread.
    static bool matches(const ArticlePredicate& predicate, const BlogPost& post);

    // Calls observer after every save that wrote something, before the notification is
    // posted, until the returned token is destroyed. Observers run in registration order and
    // may add or remove observers (themselves included); one removed during a save is not
    // called after its removal. An observer cannot save this store (see save).
    [[nodiscard]] SaveObservation observeSaves(SaveObserver observer);

private:
    friend class FetchedResultsController;

    struct Impl;
    struct Observers;
    explicit ArticleStore(std::unique_ptr<Impl> impl);

    // The queries behind a FetchedResultsController, on stored rows only. A section is named
    // by its sectionDate; the name "" stands for the rows without sectionDate and those with
    // an empty one, together. Within a section rows run in the fetch order (descending
    // sortKey, then descending id).
    struct SectionCount {
        std::string name;
        std::size_t count = 0;
    };
    struct RowKey {
        std::int64_t sortKey = 0;  // sortKeyOf(post)
        std::int64_t objectID = 0;
    };
    static std::int64_t sortKeyOf(const BlogPost& post);
    std::expected<std::vector<SectionCount>, StoreError> fetchSectionCounts(
        const ArticlePredicate& predicate);
    // limit rows of the section, skipping offset rows after `after` (or from the top).
    std::expected<std::vector<BlogPost>, StoreError> fetchSectionRows(
        const ArticlePredicate& predicate, const std::string& section, std::optional<RowKey> after,
        std::size_t offset, std::size_t limit);
    // How many rows of the section come before key.
    std::expected<std::size_t, StoreError> countSectionRowsBefore(const ArticlePredicate& predicate,
                                                                  const std::string& section,
                                                                  RowKey key);

    std::unique_ptr<Impl> impl_;
    std::shared_ptr<Observers> observers_;
};

// The handle of one observeSaves registration; destroying it ends the observation. Move-only.
// It may outlive its store, and then does nothing.
class ArticleStore::SaveObservation {
public:
    SaveObservation() = default;
    ~SaveObservation();
    SaveObservation(SaveObservation&& other) noexcept;
    SaveObservation& operator=(SaveObservation&& other) noexcept;
    SaveObservation(const SaveObservation&) = delete;
    SaveObservation& operator=(const SaveObservation&) = delete;

private:
    friend class ArticleStore;
    SaveObservation(std::weak_ptr<Observers> observers, std::uint64_t id)
        : observers_(std::move(observers)), id_(id) {}
    void release();

    std::weak_ptr<Observers> observers_;
    std::uint64_t id_ = 0;
};

}  // namespace pressling
