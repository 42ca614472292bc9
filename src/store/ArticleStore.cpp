#include "store/ArticleStore.h"

#include "platform/UnicodeText.h"

#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Sqlite.h"

#include <fmt/format.h>
#include <sqlite3.h>
#include <string.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cassert>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <variant>

namespace pressling {
namespace {

// The schema of version 2. The seven attributes are the article; the rest serves the queries.
//
// - id is AUTOINCREMENT so that an id is never handed out twice: a deletion pending in the
//   context names its row by id, and must not hit a newer row that reused it.
// - sortKey is pubDate with "none" as the smallest value, so that the newest-first order
//   (sortKey DESC, id DESC) is a plain index order and keyset paging can compare row values.
// - BlogPostSearch keeps the case-folded title, desc and web apart from the rows, so a search
//   reads only the folded text and the list's queries never read it.
// - BlogPostIndex is a trigram index over BlogPostSearch (its external content). The text is
//   folded already, so the tokenizer must not fold again (case_sensitive 1): a phrase of three
//   or more characters then matches exactly the rows whose folded text contains it, the same
//   answer contains_text gives. Indexing costs about 0.1 us a byte, seconds for a refresh's
//   worth of articles, so saves do not wait for it: the rows up to
//   BlogPostIndexState.indexedThrough are indexed (by a thread of the store's own, once saves
//   pause), and a search reads the folded texts of the rows after it.
constexpr std::string_view kPageSize = "PRAGMA page_size = 16384";

constexpr std::string_view kSchema = R"sql(
CREATE TABLE BlogPost (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    blogLink TEXT,
    desc TEXT,
    link TEXT,
    pubDate INTEGER,
    sectionDate TEXT,
    title TEXT,
    web TEXT,
    sortKey INTEGER GENERATED ALWAYS AS (ifnull(pubDate, -9223372036854775808)) VIRTUAL
);
CREATE INDEX BlogPost_blogLink ON BlogPost (blogLink, web);
CREATE INDEX BlogPost_web ON BlogPost (web);
CREATE INDEX BlogPost_pubDate ON BlogPost (sortKey);
CREATE INDEX BlogPost_section ON BlogPost (sectionDate, sortKey);
CREATE TABLE BlogPostSearch (
    id INTEGER PRIMARY KEY,
    title TEXT NOT NULL,
    desc TEXT NOT NULL,
    web TEXT NOT NULL
);
CREATE TRIGGER BlogPost_deleteSearch AFTER DELETE ON BlogPost BEGIN
    DELETE FROM BlogPostSearch WHERE id = old.id;
END;
)sql";

constexpr std::string_view kIndexSchema = R"sql(
CREATE VIRTUAL TABLE BlogPostIndex USING fts5 (
    title, desc, web,
    content = 'BlogPostSearch', content_rowid = 'id',
    tokenize = 'trigram case_sensitive 1'
);
CREATE TABLE BlogPostIndexState (indexedThrough INTEGER NOT NULL);
INSERT INTO BlogPostIndexState VALUES (0);
CREATE TRIGGER BlogPostSearch_deleteIndex AFTER DELETE ON BlogPostSearch
WHEN old.id <= (SELECT indexedThrough FROM BlogPostIndexState) BEGIN
    INSERT INTO BlogPostIndex (BlogPostIndex, rowid, title, desc, web)
    VALUES ('delete', old.id, old.title, old.desc, old.web);
END;
)sql";

// The next rows to index, after the watermark, oldest first; ?1 is how many.
constexpr std::string_view kNextUnindexed =
    "SELECT id, title, desc, web FROM BlogPostSearch WHERE id > (SELECT indexedThrough FROM "
    "BlogPostIndexState) ORDER BY id LIMIT ?1";

// Indexes up to batch rows after the watermark in one transaction and moves the watermark past
// them; returns how many it indexed (0: the index is complete).
sqlite::Result<std::size_t> indexSome(sqlite::Database& db, std::size_t batch) {
    return db.immediateTransaction([&]() -> sqlite::Result<std::size_t> {
        auto next = db.prepare(kNextUnindexed);
        if (!next) return std::unexpected(std::move(next.error()));
        auto insert =
            db.prepare("INSERT INTO BlogPostIndex (rowid, title, desc, web) VALUES (?, ?, ?, ?)");
        if (!insert) return std::unexpected(std::move(insert.error()));
        next->bind(1, std::int64_t(batch));
        std::size_t indexed = 0;
        std::int64_t last = 0;
        while (true) {
            auto row = next->step();
            if (!row) return std::unexpected(std::move(row.error()));
            if (!*row) break;
            last = next->columnInt(0);
            insert->reset();
            insert->bind(1, last)
                .bind(2, next->columnText(1))
                .bind(3, next->columnText(2))
                .bind(4, next->columnText(3));
            if (auto done = insert->run(); !done) return std::unexpected(std::move(done.error()));
            ++indexed;
        }
        if (indexed == 0) return indexed;
        auto moved = db.prepare("UPDATE BlogPostIndexState SET indexedThrough = ?");
        if (!moved) return std::unexpected(std::move(moved.error()));
        if (auto done = moved->bind(1, last).run(); !done) {
            return std::unexpected(std::move(done.error()));
        }
        return indexed;
    });
}

constexpr std::string_view kColumns = "id, blogLink, desc, link, pubDate, sectionDate, title, web";
constexpr std::string_view kNewestFirst = " ORDER BY sortKey DESC, id DESC";

constexpr std::int64_t kNoDateSortKey = std::numeric_limits<std::int64_t>::min();

std::string foldOptionalForSearch(const std::optional<std::string>& text) {
    return text ? foldedForSearch(*text) : std::string();
}

// Whether the trigram index can answer a search for the folded needle: it holds the
// three-character pieces of the folded texts, so it finds nothing shorter; and it reads UTF-8
// only, where contains_text compares any bytes.
bool indexCanFind(std::string_view needle) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(needle.data());
    const auto length = std::int32_t(needle.size());
    std::int32_t characters = 0;
    for (std::int32_t i = 0; i < length; ++characters) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) return false;
    }
    return characters >= 3;
}

// The needle as one FTS5 phrase: in double quotes, a double quote inside written twice.
std::string ftsPhrase(std::string_view needle) {
    std::string phrase = "\"";
    for (char c : needle) {
        phrase += c;
        if (c == '"') phrase += '"';
    }
    phrase += '"';
    return phrase;
}

// Whether the index finds at most kFewMatches rows for phrase; stops counting after that.
constexpr std::int64_t kFewMatches = 2000;

bool fewIndexMatches(sqlite::Database& db, const std::string& phrase) {
    auto count = db.prepare(
        "SELECT count(*) FROM (SELECT rowid FROM BlogPostIndex WHERE BlogPostIndex MATCH ? "
        "LIMIT ?)");
    if (!count) return false;
    count->bind(1, phrase).bind(2, kFewMatches + 1);
    auto row = count->step();
    return row && *row && count->columnInt(0) <= kFewMatches;
}

// Whether some saved rows are not in the index yet. An error counts as yes: the folded texts
// then give the answer.
bool hasUnindexedRows(sqlite::Database& db) {
    auto tail = db.prepare(
        "SELECT EXISTS (SELECT 1 FROM BlogPostSearch WHERE id > (SELECT indexedThrough FROM "
        "BlogPostIndexState))");
    if (!tail) return true;
    auto row = tail->step();
    return !row || !*row || tail->columnInt(0) != 0;
}

// The store's own thread, on a connection of its own. It keeps the trigram index up with the
// saves: once saves have paused for kQuietTime, it indexes the rows after the watermark, kBatch
// at a time, each batch one short transaction (a save waits for at most one, under the busy
// time-out). And while saves go on it checkpoints the WAL for them, when asked, so that a save
// on the main thread only appends to the WAL (copying it into the file is about a third of a
// save's time). It stops, after the work under way, when the store closes; what is left to
// index is indexed the next time a store opens the file.
class StoreThread {
public:
    static constexpr std::chrono::milliseconds kQuietTime{1000};
    static constexpr std::size_t kBatch = 100;

    explicit StoreThread(std::filesystem::path file) : file_(std::move(file)) {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error& error) {
            log::warning(
                fmt::format("{}: no thread to index the articles ({}); searches read "
                            "every article",
                            file_.string(), error.what()));
        }
    }
    ~StoreThread() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    StoreThread(const StoreThread&) = delete;
    StoreThread& operator=(const StoreThread&) = delete;

    // Whether the thread runs, and so can checkpoint.
    bool running() const { return thread_.joinable(); }

    // After a save that wrote something: index once saves pause.
    void noteSave() {
        {
            std::lock_guard lock(mutex_);
            pending_ = true;
            lastSave_ = std::chrono::steady_clock::now();
        }
        wake_.notify_all();
    }

    // Checkpoints db (the saves' connection) now, after the thread's own checkpoint if one is
    // under way: SQLite runs one checkpoint at a time and refuses a second rather than wait.
    void checkpointNow(sqlite::Database& db) {
        std::lock_guard checkpointing(checkpointing_);
        (void)db.checkpoint();
    }

    // Checkpoints as soon as the work under way is done.
    void checkpointSoon() {
        {
            std::lock_guard lock(mutex_);
            checkpointWanted_ = true;
        }
        wake_.notify_all();
    }

private:
    void run() {
        auto db = sqlite::Database::open(file_);
        if (!db) {
            log::warning(fmt::format("{}: the search index is not kept up: {}", file_.string(),
                                     db.error().message));
            return;
        }
        std::unique_lock lock(mutex_);
        const auto woken = [this] { return stopping_ || checkpointWanted_; };
        while (!stopping_) {
            if (checkpointWanted_) {
                checkpointWanted_ = false;
                lock.unlock();
                // A failed checkpoint leaves the WAL as it was; the next commit asks again.
                {
                    std::lock_guard checkpointing(checkpointing_);
                    (void)db->checkpoint();
                }
                lock.lock();
                continue;
            }
            if (!pending_) {
                wake_.wait(lock, [&] { return woken() || pending_; });
                continue;
            }
            const auto quietUntil = lastSave_ + kQuietTime;
            if (std::chrono::steady_clock::now() < quietUntil) {
                wake_.wait_until(lock, quietUntil, woken);
                continue;
            }
            lock.unlock();
            auto indexed = indexSome(*db, kBatch);
            lock.lock();
            if (!indexed) {
                log::warning(fmt::format("{}: indexing for search paused: {}", file_.string(),
                                         indexed.error().message));
            }
            // Caught up, or failed: the next save tries again.
            if (!indexed || *indexed == 0) pending_ = false;
        }
    }

    std::filesystem::path file_;
    std::mutex mutex_;
    std::mutex checkpointing_;  // held through each checkpoint of the thread's or a save's
    std::condition_variable wake_;
    bool stopping_ = false;
    bool pending_ = true;  // a store just opened may hold rows not yet indexed
    bool checkpointWanted_ = false;
    std::chrono::steady_clock::time_point lastSave_ = std::chrono::steady_clock::now();
    std::thread thread_;
};

// How a search condition reaches BlogPostSearch and its index: a query over the whole table
// asks the index for a needle of three characters or more, and otherwise reads the folded
// texts once, in order; a query confined to a few rows (one section of the list) looks up the
// folded texts of just those rows.
enum class SearchPlan { scanAll, probeEachRow };

using Argument = std::variant<std::int64_t, std::string>;

// A statement being put together: SQL text and the arguments of its '?' in order.
struct Query {
    std::string sql;
    std::vector<Argument> arguments;
    bool hasWhere = false;

    explicit Query(std::string text) : sql(std::move(text)) {}

    void where(std::string_view condition) {
        sql += hasWhere ? " AND " : " WHERE ";
        sql += condition;
        hasWhere = true;
    }

    // db, for a search over the whole table, is asked how many rows the index finds.
    void addPredicate(const ArticlePredicate& predicate, SearchPlan plan,
                      sqlite::Database* db = nullptr) {
        if (predicate.feedGroup) {
            where("(blogLink = ? OR web = ?)");
            arguments.emplace_back(predicate.feedGroup->blogLink);
            arguments.emplace_back(predicate.feedGroup->web);
        }
        if (predicate.blogLinkEquals) {
            where("blogLink = ?");
            arguments.emplace_back(*predicate.blogLinkEquals);
        }
        if (predicate.blogLinkMissing) where("blogLink IS NULL");
        if (predicate.search && !predicate.search->empty()) {
            const std::string needle = foldedForSearch(*predicate.search);
            // The index hands over the matching ids. Few of them: the rows are fetched by id.
            // Many: fetching most rows by id one at a time is the slow part, so the unary +
            // keeps SQLite from it, and the scan of an index (or of the feed's rows) checks
            // each row against the set of ids instead. Rows not yet indexed are read.
            if (plan == SearchPlan::scanAll && db && indexCanFind(needle)) {
                const std::string phrase = ftsPhrase(needle);
                if (!hasUnindexedRows(*db)) {
                    where(fewIndexMatches(*db, phrase)
                              ? "BlogPost.id IN (SELECT rowid FROM BlogPostIndex WHERE "
                                "BlogPostIndex MATCH ?)"
                              : "+BlogPost.id IN (SELECT rowid FROM BlogPostIndex WHERE "
                                "BlogPostIndex MATCH ?)");
                    arguments.emplace_back(phrase);
                    return;
                }
                where(
                    "(+BlogPost.id IN (SELECT rowid FROM BlogPostIndex WHERE BlogPostIndex MATCH "
                    "?) OR +BlogPost.id IN (SELECT id FROM BlogPostSearch WHERE id > (SELECT "
                    "indexedThrough FROM BlogPostIndexState) AND (contains_text(title, ?) OR "
                    "contains_text(desc, ?) OR contains_text(web, ?))))");
                arguments.emplace_back(phrase);
                for (int i = 0; i < 3; ++i) arguments.emplace_back(needle);
                return;
            }
            if (plan == SearchPlan::scanAll) {
                // The unary + keeps SQLite from fetching each match by id (a B-tree descent
                // into the big table per match): the ids found become a set that the scan of
                // an index, or of the feed's rows, checks instead.
                where(
                    "+BlogPost.id IN (SELECT id FROM BlogPostSearch WHERE contains_text(title, ?) "
                    "OR contains_text(desc, ?) OR contains_text(web, ?))");
            } else {
                where(
                    "EXISTS (SELECT 1 FROM BlogPostSearch s WHERE s.id = BlogPost.id AND "
                    "(contains_text(s.title, ?) OR contains_text(s.desc, ?) OR "
                    "contains_text(s.web, ?)))");
            }
            for (int i = 0; i < 3; ++i) arguments.emplace_back(needle);
        }
    }

    void addSection(const std::string& section) {
        if (section.empty()) {
            where("(sectionDate IS NULL OR sectionDate = '')");
        } else {
            where("sectionDate = ?");
            arguments.emplace_back(section);
        }
    }

    sqlite::Result<sqlite::Statement> prepare(sqlite::Database& db) const {
        auto statement = db.prepare(sql);
        if (!statement) return statement;
        int index = 1;
        for (const Argument& argument : arguments) {
            std::visit([&](const auto& value) { statement->bind(index, value); }, argument);
            ++index;
        }
        return statement;
    }
};

std::optional<std::string> optionalText(const sqlite::Statement& row, int column) {
    if (row.columnIsNull(column)) return std::nullopt;
    return std::string(row.columnText(column));
}

// A row selected with kColumns.
BlogPost readPost(const sqlite::Statement& row) {
    BlogPost post;
    post.objectID = row.columnInt(0);
    post.blogLink = optionalText(row, 1);
    post.desc = optionalText(row, 2);
    if (!row.columnIsNull(3)) post.link = Url::parse(row.columnText(3));
    if (!row.columnIsNull(4)) post.pubDate = Date(std::chrono::milliseconds(row.columnInt(4)));
    post.sectionDate = optionalText(row, 5);
    post.title = optionalText(row, 6);
    post.web = optionalText(row, 7);
    return post;
}

void bindOptional(sqlite::Statement& statement, int index, const std::optional<std::string>& text) {
    if (text) {
        statement.bind(index, *text);
    } else {
        statement.bindNull(index);
    }
}

StoreError storeError(StoreError::Kind kind, const sqlite::Error& error) {
    return StoreError{kind, error.message};
}

// Makes sure db holds the article store's schema, creating it in an empty database. Refuses,
// without writing, anything else.
sqlite::Result<void> prepareSchema(sqlite::Database& db) {
    const auto refuse = [&](std::string why) {
        return sqlite::Result<void>(
            std::unexpect, sqlite::Error{0, fmt::format("{}: {}", db.path().string(), why)});
    };
    return db.immediateTransaction([&]() -> sqlite::Result<void> {
        auto version = db.queryInteger("PRAGMA user_version");
        if (!version) return std::unexpected(std::move(version.error()));
        auto tables = db.queryInteger(
            "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND "
            "name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
        if (!tables) return std::unexpected(std::move(tables.error()));

        const auto markCurrent = [&] {
            return db.execute(
                fmt::format("PRAGMA user_version = {};", ArticleStore::kSchemaVersion));
        };
        if (*version == 0 && *tables == 0) {
            if (auto made = db.execute(kSchema); !made) return made;
            if (auto made = db.execute(kIndexSchema); !made) return made;
            return markCurrent();
        }
        if (*version >= 1 && *version <= ArticleStore::kSchemaVersion) {
            auto ours = db.queryInteger(
                "SELECT count(*) FROM sqlite_schema WHERE type = 'table' "
                "AND name IN ('BlogPost', 'BlogPostSearch', 'BlogPostIndex', "
                "'BlogPostIndexState')");
            if (!ours) return std::unexpected(std::move(ours.error()));
            const int expected = *version == 1 ? 2 : 4;
            if (*ours != expected) {
                return refuse("not an article store: the BlogPost tables are missing");
            }
            if (*version == ArticleStore::kSchemaVersion) return {};
            // A store of version 1: its articles are indexed as new ones are, after opening.
            if (auto made = db.execute(kIndexSchema); !made) return made;
            return markCurrent();
        }
        if (*version > ArticleStore::kSchemaVersion) {
            return refuse(
                fmt::format("the article store was written by a newer version of Pressling (schema "
                            "version {}, this version reads {})",
                            *version, ArticleStore::kSchemaVersion));
        }
        return refuse(fmt::format(
            "not an article store: a SQLite database of something else (schema version {}, "
            "{} tables)",
            *version, *tables));
    });
}

// contains_text(haystack, needle): whether needle's bytes occur in haystack's, as instr() > 0
// but through glibc's memmem, which skips ahead instead of comparing at every byte: a search
// reads every folded text in the store, and this is most of its time.
void containsText(sqlite3_context* context, int, sqlite3_value** arguments) {
    const auto* haystack = sqlite3_value_text(arguments[0]);
    const auto* needle = sqlite3_value_text(arguments[1]);
    if (haystack == nullptr || needle == nullptr) {
        sqlite3_result_null(context);
        return;
    }
    const auto haystackBytes = std::size_t(sqlite3_value_bytes(arguments[0]));
    const auto needleBytes = std::size_t(sqlite3_value_bytes(arguments[1]));
    sqlite3_result_int(context,
                       ::memmem(haystack, haystackBytes, needle, needleBytes) != nullptr ? 1 : 0);
}

sqlite::Result<void> configureConnection(sqlite::Database& db) {
    if (sqlite3_create_function_v2(db.handle(), "contains_text", 2,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   containsText, nullptr, nullptr, nullptr) != SQLITE_OK) {
        return std::unexpected(db.lastError("cannot register contains_text"));
    }
    // Only now, once the file is known to be ours: switching the journal mode writes to it.
    auto mode = db.prepare("PRAGMA journal_mode=WAL");
    if (!mode) return std::unexpected(std::move(mode.error()));
    auto row = mode->step();
    if (!row) return std::unexpected(std::move(row.error()));
    if (!*row || mode->columnText(0) != "wal") {
        return std::unexpected(sqlite::Error{
            0, fmt::format("{}: cannot switch to WAL journal mode", db.path().string())});
    }
    mode->reset();
    // NORMAL is durable enough in WAL mode (a power cut may lose the last saves, never the
    // file's consistency). No memory mapping: a refresh reads most of the file, and mapped
    // pages would count against the process's memory for the rest of its life; searches were
    // measured as fast with plain reads (50-60 ms over 100 000 articles).
    return db.execute("PRAGMA synchronous=NORMAL; PRAGMA mmap_size=0; PRAGMA cache_size=-16384;");
}

// The rank of a post among those with the same sortKey: saved posts by id, and pending
// inserts after all of them, the later inserted first (temporary ids count down from -1).
std::int64_t insertionRank(std::int64_t objectID) {
    constexpr std::int64_t kPending = std::int64_t{1} << 62;
    return objectID > 0 ? objectID : kPending - objectID;
}

}  // namespace

struct ArticleStore::Impl {
    // The WAL is checkpointed by the store's thread from kCheckpointBytes on, as SQLite itself
    // would (1000 pages of 4 KB); should that thread fall behind (or not run at all), a save
    // checkpoints on its own from kSaveCheckpointBytes on, so the WAL stays bounded.
    static constexpr std::int64_t kCheckpointBytes = 4 << 20;
    static constexpr std::int64_t kSaveCheckpointBytes = 40 << 20;

    explicit Impl(sqlite::Database database)
        : db(std::move(database)), owner(std::this_thread::get_id()), background(db.path()) {
        const auto pageSize = db.queryInteger("PRAGMA page_size");
        if (!background.running() || !pageSize || *pageSize <= 0) return;
        db.replaceAutoCheckpoint([this, pageSize = *pageSize](int walPages) {
            const std::int64_t walBytes = walPages * pageSize;
            if (walBytes >= kSaveCheckpointBytes) {
                background.checkpointNow(db);
            } else if (walBytes >= kCheckpointBytes) {
                background.checkpointSoon();
            }
        });
    }

    void checkThread() const {
        assert(std::this_thread::get_id() == owner &&
               "the article store is used on the thread that opened it only");
    }

    sqlite::Database db;
    std::thread::id owner;
    struct PendingInsert {
        BlogPost post;                      // with its temporary id
        std::optional<SearchTexts> folded;  // none: folded by the save
    };
    std::vector<PendingInsert> pendingInserts;
    std::vector<std::int64_t> pendingDeletions;  // saved ids, no repeats
    // The save's statements, prepared at their first use and kept for the next saves.
    std::optional<sqlite::Statement> selectRow, deleteRow, insertRow, insertSearchRow;
    std::int64_t nextTemporaryID = -1;
    StoreThread background;
};

namespace {

sqlite::Result<sqlite::Statement*> prepared(sqlite::Database& db,
                                            std::optional<sqlite::Statement>& slot,
                                            std::string_view sql) {
    if (!slot) {
        auto statement = db.prepare(sql);
        if (!statement) return std::unexpected(std::move(statement.error()));
        slot.emplace(std::move(*statement));
    }
    slot->reset();
    return &*slot;
}

}  // namespace

struct ArticleStore::Observers {
    struct Entry {
        std::uint64_t id;
        SaveObserver observer;
    };
    std::vector<Entry> entries;
    std::uint64_t nextID = 1;
    // Set while the observers hear of a save. A controller works out where a save's rows sit
    // by counting stored rows, which is only right while nothing else has been written.
    bool announcing = false;

    void remove(std::uint64_t id) {
        std::erase_if(entries, [id](const Entry& entry) { return entry.id == id; });
    }
};

// --- Opening --------------------------------------------------------------------------------

std::expected<std::unique_ptr<ArticleStore>, StoreError> ArticleStore::open(
    const std::filesystem::path& file) {
    // The file keeps its journal mode until prepareSchema has accepted it.
    auto db = sqlite::Database::open(file, sqlite::Database::Options{.wal = false});
    if (!db) return std::unexpected(storeError(StoreError::Kind::openFailed, db.error()));
    // Takes effect in a file that is still empty only, before the schema is made in it (and
    // never inside a transaction). An article's row and its folded texts take about 3 KB each:
    // 4 KB pages would hold one row apiece and leave a quarter of the file empty.
    if (auto sized = db->execute(kPageSize); !sized) {
        return std::unexpected(storeError(StoreError::Kind::openFailed, sized.error()));
    }
    if (auto schema = prepareSchema(*db); !schema) {
        return std::unexpected(storeError(StoreError::Kind::openFailed, schema.error()));
    }
    if (auto configured = configureConnection(*db); !configured) {
        return std::unexpected(storeError(StoreError::Kind::openFailed, configured.error()));
    }
    return std::unique_ptr<ArticleStore>(new ArticleStore(std::make_unique<Impl>(std::move(*db))));
}

ArticleStore::ArticleStore(std::unique_ptr<Impl> impl)
    : impl_(std::move(impl)), observers_(std::make_shared<Observers>()) {}

ArticleStore::~ArticleStore() = default;

const std::filesystem::path& ArticleStore::file() const { return impl_->db.path(); }

// --- The view context -----------------------------------------------------------------------

SearchTexts SearchTexts::of(const BlogPost& post) {
    return {foldOptionalForSearch(post.title), foldOptionalForSearch(post.desc),
            foldOptionalForSearch(post.web)};
}

BlogPost ArticleStore::insert(BlogPost post) {
    impl_->checkThread();
    post.objectID = impl_->nextTemporaryID--;
    impl_->pendingInserts.push_back({post, std::nullopt});
    return post;
}

BlogPost ArticleStore::insert(BlogPost post, SearchTexts folded) {
    impl_->checkThread();
    post.objectID = impl_->nextTemporaryID--;
    impl_->pendingInserts.push_back({post, std::move(folded)});
    return post;
}

void ArticleStore::deleteObject(const BlogPost& post) {
    impl_->checkThread();
    if (post.objectID < 0) {
        std::erase_if(impl_->pendingInserts, [&](const Impl::PendingInsert& pending) {
            return pending.post.objectID == post.objectID;
        });
    } else if (post.objectID > 0) {
        auto& deletions = impl_->pendingDeletions;
        if (std::find(deletions.begin(), deletions.end(), post.objectID) == deletions.end()) {
            deletions.push_back(post.objectID);
        }
    }
}

bool ArticleStore::hasChanges() const {
    impl_->checkThread();
    return !impl_->pendingInserts.empty() || !impl_->pendingDeletions.empty();
}

std::expected<void, StoreError> ArticleStore::save() {
    impl_->checkThread();
    if (!hasChanges()) return {};
    if (observers_->announcing) {
        return std::unexpected(StoreError{
            StoreError::Kind::saveFailed,
            fmt::format("{}: cannot save while the observers of a save are being called; the "
                        "changes stay pending",
                        file().string())});
    }
    sqlite::Database& db = impl_->db;
    ObjectsDidChange change{.store = this, .inserted = {}, .deleted = {}};

    auto written = db.immediateTransaction([&]() -> sqlite::Result<void> {
        // Filled afresh on every attempt: a failed one leaves nothing behind.
        change.inserted.clear();
        change.deleted.clear();
        if (!impl_->pendingDeletions.empty()) {
            auto selectRow =
                prepared(db, impl_->selectRow,
                         fmt::format("SELECT {} FROM BlogPost WHERE id = ?", kColumns));
            if (!selectRow) return std::unexpected(std::move(selectRow.error()));
            sqlite::Statement& select = **selectRow;
            auto deleteRow = prepared(db, impl_->deleteRow, "DELETE FROM BlogPost WHERE id = ?");
            if (!deleteRow) return std::unexpected(std::move(deleteRow.error()));
            sqlite::Statement& remove = **deleteRow;
            for (std::int64_t id : impl_->pendingDeletions) {
                select.reset();
                select.bind(1, id);
                auto row = select.step();
                if (!row) return std::unexpected(std::move(row.error()));
                if (!*row) continue;  // a batch delete took it already
                change.deleted.push_back(readPost(select));
                // A kept statement left on a row would hold its snapshot past the transaction.
                select.reset();
                remove.reset();
                if (auto done = remove.bind(1, id).run(); !done) return done;
            }
        }
        if (!impl_->pendingInserts.empty()) {
            auto insertRow = prepared(
                db, impl_->insertRow,
                "INSERT INTO BlogPost (blogLink, desc, link, pubDate, sectionDate, title, web) "
                "VALUES (?, ?, ?, ?, ?, ?, ?)");
            if (!insertRow) return std::unexpected(std::move(insertRow.error()));
            sqlite::Statement& insert = **insertRow;
            auto insertSearchRow =
                prepared(db, impl_->insertSearchRow,
                         "INSERT INTO BlogPostSearch (id, title, desc, web) VALUES (?, ?, ?, ?)");
            if (!insertSearchRow) return std::unexpected(std::move(insertSearchRow.error()));
            sqlite::Statement& insertSearch = **insertSearchRow;
            for (const auto& [pending, folded] : impl_->pendingInserts) {
                insert.reset();
                bindOptional(insert, 1, pending.blogLink);
                bindOptional(insert, 2, pending.desc);
                if (pending.link) {
                    insert.bind(3, pending.link->absoluteString());
                } else {
                    insert.bindNull(3);
                }
                if (pending.pubDate) {
                    insert.bind(4, std::int64_t{pending.pubDate->time_since_epoch().count()});
                } else {
                    insert.bindNull(4);
                }
                bindOptional(insert, 5, pending.sectionDate);
                bindOptional(insert, 6, pending.title);
                bindOptional(insert, 7, pending.web);
                if (auto done = insert.run(); !done) return done;

                BlogPost saved = pending;
                saved.objectID = db.lastInsertRowId();
                const SearchTexts texts = folded ? *folded : SearchTexts::of(saved);
                insertSearch.reset();
                insertSearch.bind(1, saved.objectID)
                    .bind(2, texts.title)
                    .bind(3, texts.desc)
                    .bind(4, texts.web);
                if (auto done = insertSearch.run(); !done) return done;
                change.inserted.push_back(std::move(saved));
            }
        }
        return {};
    });
    if (!written) return std::unexpected(storeError(StoreError::Kind::saveFailed, written.error()));

    impl_->pendingInserts.clear();
    impl_->pendingDeletions.clear();
    if (change.inserted.empty() && change.deleted.empty()) return {};
    if (!change.inserted.empty()) impl_->background.noteSave();

    // Observers may register or drop others while being called: walk a snapshot of the ids
    // and skip those gone by their turn. The shared_ptr keeps the list alive should an
    // observer destroy this store.
    const std::shared_ptr<Observers> observers = observers_;
    std::vector<std::uint64_t> ids;
    for (const auto& entry : observers->entries) ids.push_back(entry.id);
    observers->announcing = true;
    try {
        for (std::uint64_t id : ids) {
            auto found =
                std::find_if(observers->entries.begin(), observers->entries.end(),
                             [id](const Observers::Entry& entry) { return entry.id == id; });
            if (found == observers->entries.end()) continue;
            SaveObserver observer = found->observer;  // the entry may go while it runs
            observer(change);
        }
    } catch (...) {
        observers->announcing = false;
        throw;
    }
    observers->announcing = false;
    NotificationCenter::defaultCenter().post(std::string(kObjectsDidChangeNotification),
                                             std::move(change));
    return {};
}

std::expected<std::vector<BlogPost>, StoreError> ArticleStore::fetch(
    const ArticlePredicate& predicate, std::optional<std::size_t> limit) {
    impl_->checkThread();
    if (limit == std::size_t{0}) return std::vector<BlogPost>{};
    const auto& deletions = impl_->pendingDeletions;

    Query query(fmt::format("SELECT {} FROM BlogPost", kColumns));
    query.addPredicate(predicate, SearchPlan::scanAll, &impl_->db);
    query.sql += kNewestFirst;
    if (limit) {
        // Rows about to be deleted are read and dropped, so ask for that many more.
        query.sql += " LIMIT ?";
        query.arguments.emplace_back(std::int64_t(*limit + deletions.size()));
    }
    auto statement = query.prepare(impl_->db);
    if (!statement)
        return std::unexpected(storeError(StoreError::Kind::fetchFailed, statement.error()));
    std::vector<BlogPost> posts;
    while (true) {
        auto row = statement->step();
        if (!row) return std::unexpected(storeError(StoreError::Kind::fetchFailed, row.error()));
        if (!*row) break;
        const std::int64_t id = statement->columnInt(0);
        if (std::find(deletions.begin(), deletions.end(), id) != deletions.end()) continue;
        posts.push_back(readPost(*statement));
    }

    bool addedPending = false;
    for (const auto& pending : impl_->pendingInserts) {
        if (matches(predicate, pending.post)) {
            posts.push_back(pending.post);
            addedPending = true;
        }
    }
    if (addedPending) {
        std::stable_sort(posts.begin(), posts.end(), [](const BlogPost& a, const BlogPost& b) {
            const auto keyA = sortKeyOf(a);
            const auto keyB = sortKeyOf(b);
            if (keyA != keyB) return keyA > keyB;
            return insertionRank(a.objectID) > insertionRank(b.objectID);
        });
    }
    if (limit && posts.size() > *limit) posts.resize(*limit);
    return posts;
}

std::expected<std::int64_t, StoreError> ArticleStore::batchDelete(
    const ArticlePredicate& predicate) {
    impl_->checkThread();
    Query query("DELETE FROM BlogPost");
    query.addPredicate(predicate, SearchPlan::scanAll, &impl_->db);
    auto statement = query.prepare(impl_->db);
    if (!statement) {
        return std::unexpected(storeError(StoreError::Kind::deleteFailed, statement.error()));
    }
    // One statement is one transaction by itself, the trigger's deletions included.
    if (auto done = statement->run(); !done) {
        return std::unexpected(storeError(StoreError::Kind::deleteFailed, done.error()));
    }
    return impl_->db.changes();
}

std::expected<std::vector<ArticleStore::FeedSource>, StoreError> ArticleStore::fetchFeedSources() {
    impl_->checkThread();
    auto statement = impl_->db.prepare("SELECT DISTINCT blogLink, web FROM BlogPost");
    if (!statement) {
        return std::unexpected(storeError(StoreError::Kind::fetchFailed, statement.error()));
    }
    std::vector<FeedSource> sources;
    while (true) {
        auto row = statement->step();
        if (!row) return std::unexpected(storeError(StoreError::Kind::fetchFailed, row.error()));
        if (!*row) break;
        sources.push_back(FeedSource{optionalText(*statement, 0), optionalText(*statement, 1)});
    }
    return sources;
}

std::expected<void, StoreError> ArticleStore::finishIndexing() {
    impl_->checkThread();
    while (true) {
        auto indexed = indexSome(impl_->db, 1000);
        if (!indexed)
            return std::unexpected(storeError(StoreError::Kind::saveFailed, indexed.error()));
        if (*indexed == 0) return {};
    }
}

bool ArticleStore::matches(const ArticlePredicate& predicate, const BlogPost& post) {
    if (predicate.feedGroup && post.blogLink != predicate.feedGroup->blogLink &&
        post.web != predicate.feedGroup->web) {
        return false;
    }
    if (predicate.blogLinkEquals && post.blogLink != *predicate.blogLinkEquals) return false;
    if (predicate.blogLinkMissing && post.blogLink) return false;
    if (predicate.search && !predicate.search->empty()) {
        const std::string needle = foldedForSearch(*predicate.search);
        const auto contains = [&](const std::optional<std::string>& text) {
            return text && foldedForSearch(*text).find(needle) != std::string::npos;
        };
        if (!contains(post.title) && !contains(post.desc) && !contains(post.web)) return false;
    }
    return true;
}

// --- Observers ------------------------------------------------------------------------------

ArticleStore::SaveObservation ArticleStore::observeSaves(SaveObserver observer) {
    impl_->checkThread();
    const std::uint64_t id = observers_->nextID++;
    observers_->entries.push_back(Observers::Entry{id, std::move(observer)});
    return SaveObservation(observers_, id);
}

ArticleStore::SaveObservation::~SaveObservation() { release(); }

ArticleStore::SaveObservation::SaveObservation(SaveObservation&& other) noexcept
    : observers_(std::move(other.observers_)), id_(std::exchange(other.id_, 0)) {}

ArticleStore::SaveObservation& ArticleStore::SaveObservation::operator=(
    SaveObservation&& other) noexcept {
    if (this != &other) {
        release();
        observers_ = std::move(other.observers_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

void ArticleStore::SaveObservation::release() {
    if (auto observers = observers_.lock()) observers->remove(id_);
    observers_.reset();
    id_ = 0;
}

// --- Queries of the fetched-results controller ----------------------------------------------

std::int64_t ArticleStore::sortKeyOf(const BlogPost& post) {
    return post.pubDate ? std::int64_t{post.pubDate->time_since_epoch().count()} : kNoDateSortKey;
}

std::expected<std::vector<ArticleStore::SectionCount>, StoreError> ArticleStore::fetchSectionCounts(
    const ArticlePredicate& predicate) {
    impl_->checkThread();
    Query query("SELECT sectionDate, count(*) FROM BlogPost");
    query.addPredicate(predicate, SearchPlan::scanAll, &impl_->db);
    query.sql += " GROUP BY sectionDate";
    auto statement = query.prepare(impl_->db);
    if (!statement) {
        return std::unexpected(storeError(StoreError::Kind::fetchFailed, statement.error()));
    }
    std::vector<SectionCount> sections;
    std::optional<std::size_t> nameless;  // where NULL and "" meet
    while (true) {
        auto row = statement->step();
        if (!row) return std::unexpected(storeError(StoreError::Kind::fetchFailed, row.error()));
        if (!*row) break;
        const auto count = std::size_t(statement->columnInt(1));
        std::string name(statement->columnText(0));  // NULL reads as ""
        if (name.empty() && nameless) {
            sections[*nameless].count += count;
            continue;
        }
        if (name.empty()) nameless = sections.size();
        sections.push_back(SectionCount{std::move(name), count});
    }
    return sections;
}

std::expected<std::vector<BlogPost>, StoreError> ArticleStore::fetchSectionRows(
    const ArticlePredicate& predicate, const std::string& section, std::optional<RowKey> after,
    std::size_t offset, std::size_t limit) {
    impl_->checkThread();
    Query query(fmt::format("SELECT {} FROM BlogPost", kColumns));
    query.addSection(section);
    if (after) {
        query.where("(sortKey, id) < (?, ?)");
        query.arguments.emplace_back(after->sortKey);
        query.arguments.emplace_back(after->objectID);
    }
    query.addPredicate(predicate, SearchPlan::probeEachRow);
    query.sql += kNewestFirst;
    query.sql += " LIMIT ? OFFSET ?";
    query.arguments.emplace_back(std::int64_t(limit));
    query.arguments.emplace_back(std::int64_t(offset));
    auto statement = query.prepare(impl_->db);
    if (!statement) {
        return std::unexpected(storeError(StoreError::Kind::fetchFailed, statement.error()));
    }
    std::vector<BlogPost> posts;
    posts.reserve(limit);
    while (true) {
        auto row = statement->step();
        if (!row) return std::unexpected(storeError(StoreError::Kind::fetchFailed, row.error()));
        if (!*row) break;
        posts.push_back(readPost(*statement));
    }
    return posts;
}

std::expected<std::size_t, StoreError> ArticleStore::countSectionRowsBefore(
    const ArticlePredicate& predicate, const std::string& section, RowKey key) {
    impl_->checkThread();
    Query query("SELECT count(*) FROM BlogPost");
    query.addSection(section);
    query.where("(sortKey, id) > (?, ?)");
    query.arguments.emplace_back(key.sortKey);
    query.arguments.emplace_back(key.objectID);
    query.addPredicate(predicate, SearchPlan::probeEachRow);
    auto statement = query.prepare(impl_->db);
    if (!statement) {
        return std::unexpected(storeError(StoreError::Kind::fetchFailed, statement.error()));
    }
    auto row = statement->step();
    if (!row) return std::unexpected(storeError(StoreError::Kind::fetchFailed, row.error()));
    return *row ? std::size_t(statement->columnInt(0)) : 0;
}

}  // namespace pressling
