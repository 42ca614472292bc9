#include "subscriptions/SqliteCatalog.h"

#include <fmt/format.h>
#include <sqlite3.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <mutex>
#include <optional>

#include "CatalogResources.h"  // generated: the seed list, compiled in
#include "platform/Log.h"
#include "platform/Sqlite.h"

namespace pressling {
namespace {

// Marks a file as a feed catalog ("PrsC"), so another SQLite file handed over by mistake is
// refused instead of having tables added to it.
constexpr std::int32_t kApplicationId = 0x50727343;
constexpr std::int32_t kSchemaVersion = 1;

// The table keeps an explicit integer key because the full-text index refers to rows by rowid,
// and VACUUM may renumber the implicit rowids of a table that has none. name and about may be
// NULL, as a record may lack a field; readers check. The triggers keep the index in step with
// every write, whoever makes it. Case folding happens inside the trigram tokenizer
// (case_sensitive 0, its default), which folds non-ASCII letters too.
constexpr std::string_view kSchema = R"sql(
CREATE TABLE feed (
    id    INTEGER PRIMARY KEY,
    url   TEXT NOT NULL UNIQUE,
    name  TEXT,
    about TEXT
);
CREATE INDEX feed_by_name ON feed (name, url);
CREATE VIRTUAL TABLE feed_search USING fts5 (
    name, about, url,
    content = 'feed', content_rowid = 'id',
    tokenize = 'trigram'
);
CREATE TRIGGER feed_search_insert AFTER INSERT ON feed BEGIN
    INSERT INTO feed_search (rowid, name, about, url)
    VALUES (new.id, new.name, new.about, new.url);
END;
CREATE TRIGGER feed_search_delete AFTER DELETE ON feed BEGIN
    INSERT INTO feed_search (feed_search, rowid, name, about, url)
    VALUES ('delete', old.id, old.name, old.about, old.url);
END;
CREATE TRIGGER feed_search_update AFTER UPDATE ON feed BEGIN
    INSERT INTO feed_search (feed_search, rowid, name, about, url)
    VALUES ('delete', old.id, old.name, old.about, old.url);
    INSERT INTO feed_search (rowid, name, about, url)
    VALUES (new.id, new.name, new.about, new.url);
END;
)sql";

constexpr std::string_view kSave = R"sql(
INSERT INTO feed (url, name, about) VALUES (?1, ?2, ?3)
ON CONFLICT (url) DO UPDATE SET name = excluded.name, about = excluded.about
RETURNING url, name, about, typeof(name), typeof(about), typeof(url)
)sql";

// A search takes up to two steps, because what is quick depends on how many feeds match.
//
// First, walk feed_by_name from the start up to the feed at position Options::nameOrderWalk
// (kWalkEnd finds it: ?3, ?4 below) and stop at the ?2nd match. Text that many feeds contain
// ("news", "e") has its answer after a few dozen rows; text in fewer feeds costs a walk of the
// whole stretch, about a millisecond for the default. ?1 is the text, already folded. (The
// walk's bound cannot compare a feed without a name; the second step finds those, and no
// reader shows them anyway.)
constexpr std::string_view kWalkEnd = R"sql(
SELECT name, url FROM feed ORDER BY name, url LIMIT 1 OFFSET ?1
)sql";
constexpr std::string_view kSearchWalk = R"sql(
SELECT url, name, about, typeof(name), typeof(about), typeof(url)
FROM feed
WHERE (name, url) <= (?3, ?4) AND catalog_contains(?1, name, about, url)
ORDER BY name, url
LIMIT ?2
)sql";

// Then, for text of three or more characters, the trigram index: the text that got here is in
// few feeds, so fetching and sorting all of them is cheap. ?1 is an FTS5 phrase, which the
// index finds as a substring of any one column.
constexpr std::string_view kSearchIndexed = R"sql(
SELECT feed.url, feed.name, feed.about, typeof(feed.name), typeof(feed.about), typeof(feed.url)
FROM feed_search JOIN feed ON feed.id = feed_search.rowid
WHERE feed_search MATCH ?1
ORDER BY feed.name, feed.url
LIMIT ?2
)sql";

// Or, for shorter text, which has no trigram to look up, and for a catalog no longer than the
// walk, the whole table.
constexpr std::string_view kSearchAllFeeds = R"sql(
SELECT url, name, about, typeof(name), typeof(about), typeof(url)
FROM feed NOT INDEXED
WHERE catalog_contains(?1, name, about, url)
ORDER BY name, url
LIMIT ?2
)sql";

// Simple (one code point to one) Unicode case folding, the kind the trigram tokenizer applies,
// so that short and long search text ignore case alike. Bytes that are not UTF-8 are kept.
void foldCase(std::string_view text, std::string& folded) {
    folded.clear();
    folded.reserve(text.size());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = std::int32_t(text.size());
    for (std::int32_t i = 0; i < length;) {
        if (bytes[i] < 0x80) {
            const char c = char(bytes[i++]);
            folded.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
            continue;
        }
        const std::int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            folded.append(text.substr(std::size_t(start), std::size_t(i - start)));
            continue;
        }
        std::uint8_t buffer[U8_MAX_LENGTH];
        std::int32_t written = 0;
        [[maybe_unused]] UBool error = false;
        U8_APPEND(buffer, written, U8_MAX_LENGTH, u_foldCase(c, U_FOLD_CASE_DEFAULT), error);
        folded.append(reinterpret_cast<const char*>(buffer), std::size_t(written));
    }
}

// catalog_contains(folded, field...): whether any text field, folded, contains folded. One
// call per row, folding into a reused buffer, since on a whole-table scan the calls are most
// of the cost.
void sqlContains(sqlite3_context* context, int count, sqlite3_value** arguments) {
    const auto* needle = reinterpret_cast<const char*>(sqlite3_value_text(arguments[0]));
    if (needle == nullptr) {
        sqlite3_result_int(context, 0);
        return;
    }
    const std::string_view folded(needle, std::size_t(sqlite3_value_bytes(arguments[0])));
    thread_local std::string field;
    for (int i = 1; i < count; ++i) {
        if (sqlite3_value_type(arguments[i]) != SQLITE_TEXT) continue;
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(arguments[i]));
        foldCase({text, std::size_t(sqlite3_value_bytes(arguments[i]))}, field);
        if (field.find(folded) != std::string::npos) {
            sqlite3_result_int(context, 1);
            return;
        }
    }
    sqlite3_result_int(context, 0);
}

std::size_t codePointCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text) {
        if ((std::uint8_t(c) & 0xC0) != 0x80) ++count;
    }
    return count;
}

// text as one FTS5 phrase: inside double quotes everything is literal except the quote itself,
// written twice.
std::string ftsPhrase(std::string_view text) {
    std::string phrase = "\"";
    for (char c : text) {
        if (c == '"') phrase.push_back('"');
        phrase.push_back(c);
    }
    phrase.push_back('"');
    return phrase;
}

CatalogError failure(sqlite::Error error) { return CatalogError::failed(std::move(error.message)); }

std::optional<std::string> textColumn(const sqlite::Statement& row, int column, int typeColumn) {
    if (row.columnText(typeColumn) != "text") return std::nullopt;
    return std::string(row.columnText(column));
}

// Reads the columns every query above returns: url, name, about and their three types.
CatalogRecord recordFromRow(const sqlite::Statement& row) {
    return CatalogRecord{std::string(row.columnText(0)), textColumn(row, 1, 3),
                         textColumn(row, 2, 4), textColumn(row, 0, 5)};
}

// Resets a shared statement on every path out of a call, so it never keeps a read transaction
// open or carries an error into the next call.
class ResetOnExit {
public:
    explicit ResetOnExit(sqlite::Statement& statement) : statement_(statement) {}
    ~ResetOnExit() { statement_.reset(); }
    ResetOnExit(const ResetOnExit&) = delete;
    ResetOnExit& operator=(const ResetOnExit&) = delete;

private:
    sqlite::Statement& statement_;
};

// Appends the rows of statement, run with the bindings it has, to records.
std::expected<void, CatalogError> collect(sqlite::Statement& statement,
                                          std::vector<CatalogRecord>& records) {
    ResetOnExit resetOnExit(statement);
    for (;;) {
        auto row = statement.step();
        if (!row) return std::unexpected(failure(std::move(row.error())));
        if (!*row) return {};
        records.push_back(recordFromRow(statement));
    }
}

sqlite::Result<std::int64_t> pragmaValue(sqlite::Database& db, std::string_view pragma) {
    auto statement = db.prepare(fmt::format("PRAGMA {}", pragma));
    if (!statement) return std::unexpected(std::move(statement.error()));
    auto row = statement->step();
    if (!row) return std::unexpected(std::move(row.error()));
    return *row ? statement->columnInt(0) : 0;
}

sqlite::Result<void> seed(sqlite::Database& db) {
    auto insert = db.prepare(kSave);
    if (!insert) return std::unexpected(std::move(insert.error()));
    for (const auto& record : SqliteCatalog::seedRecords()) {
        insert->reset();
        insert->bind(1, *record.url).bind(2, *record.name).bind(3, *record.about);
        if (auto done = insert->run(); !done) return done;
    }
    return {};
}

// Creates and seeds the tables of a new file, in one transaction, so that two programs opening
// a new file at once seed it once; checks that an existing file is a catalog this version reads.
std::expected<void, CatalogError> prepareFile(sqlite::Database& db) {
    auto prepared = db.immediateTransaction([&]() -> sqlite::Result<std::optional<std::string>> {
        auto applicationId = pragmaValue(db, "application_id");
        if (!applicationId) return std::unexpected(std::move(applicationId.error()));
        auto version = pragmaValue(db, "user_version");
        if (!version) return std::unexpected(std::move(version.error()));
        if (*applicationId == kApplicationId) {
            if (*version > kSchemaVersion) {
                return fmt::format("was made by a newer version of Pressling (catalog version {})",
                                   *version);
            }
            return std::nullopt;
        }
        auto objects = db.prepare("SELECT count(*) FROM sqlite_schema");
        if (!objects) return std::unexpected(std::move(objects.error()));
        auto row = objects->step();
        if (!row) return std::unexpected(std::move(row.error()));
        if (*applicationId != 0 || objects->columnInt(0) != 0) {
            return std::string("is a SQLite database of something else, not a feed catalog");
        }
        if (auto made = db.execute(kSchema); !made) return std::unexpected(std::move(made.error()));
        if (auto seeded = seed(db); !seeded) return std::unexpected(std::move(seeded.error()));
        auto marked = db.execute(fmt::format("PRAGMA application_id = {}; PRAGMA user_version = {}",
                                             kApplicationId, kSchemaVersion));
        if (!marked) return std::unexpected(std::move(marked.error()));
        return std::nullopt;
    });
    if (!prepared) return std::unexpected(CatalogError::unavailable(prepared.error().message));
    if (*prepared) {
        return std::unexpected(
            CatalogError::unavailable(fmt::format("{}: {}", db.path().string(), **prepared)));
    }
    return {};
}

}  // namespace

struct SqliteCatalog::Connection {
    const Options options;
    std::mutex mutex{};
    sqlite::Database db;
    sqlite::Statement save;
    sqlite::Statement walkEnd;
    sqlite::Statement searchWalk;
    sqlite::Statement searchIndexed;
    sqlite::Statement searchAllFeeds;
    std::string foldedText{};  // reused between searches
};

SqliteCatalog::SqliteCatalog(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

SqliteCatalog::~SqliteCatalog() = default;

std::expected<std::unique_ptr<SqliteCatalog>, CatalogError> SqliteCatalog::open(
    const std::filesystem::path& path, Options options) {
    auto db = sqlite::Database::open(path);
    if (!db) return std::unexpected(CatalogError::unavailable(db.error().message));

    if (sqlite3_create_function_v2(db->handle(), "catalog_contains", -1,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   sqlContains, nullptr, nullptr, nullptr) != SQLITE_OK) {
        return std::unexpected(
            CatalogError::unavailable(db->lastError("cannot register catalog_contains").message));
    }
    // Searches read pages all over the file; mapping it spares a system call per page.
    if (auto mapped = db->execute("PRAGMA mmap_size = 268435456"); !mapped) {
        return std::unexpected(CatalogError::unavailable(mapped.error().message));
    }
    if (auto prepared = prepareFile(*db); !prepared) {
        return std::unexpected(std::move(prepared.error()));
    }

    auto save = db->prepare(kSave);
    auto walkEnd = db->prepare(kWalkEnd);
    auto searchWalk = db->prepare(kSearchWalk);
    auto searchIndexed = db->prepare(kSearchIndexed);
    auto searchAllFeeds = db->prepare(kSearchAllFeeds);
    for (const auto* prepared : {&save, &walkEnd, &searchWalk, &searchIndexed, &searchAllFeeds}) {
        if (!*prepared) {
            return std::unexpected(CatalogError::unavailable(prepared->error().message));
        }
    }
    auto connection = std::unique_ptr<Connection>(new Connection{
        .options = options,
        .db = std::move(*db),
        .save = std::move(*save),
        .walkEnd = std::move(*walkEnd),
        .searchWalk = std::move(*searchWalk),
        .searchIndexed = std::move(*searchIndexed),
        .searchAllFeeds = std::move(*searchAllFeeds),
    });
    return std::unique_ptr<SqliteCatalog>(new SqliteCatalog(std::move(connection)));
}

std::expected<CatalogRecord, CatalogError> SqliteCatalog::saveFeed(const std::string& url,
                                                                   const std::string& name,
                                                                   const std::string& about) {
    std::lock_guard lock(connection_->mutex);
    auto& statement = connection_->save;
    ResetOnExit resetOnExit(statement);
    statement.bind(1, url).bind(2, name).bind(3, about);
    auto row = statement.step();
    if (!row) return std::unexpected(failure(std::move(row.error())));
    if (!*row) {
        return std::unexpected(CatalogError::failed(
            fmt::format("{}: saving {} returned no record", connection_->db.path().string(), url)));
    }
    auto saved = recordFromRow(statement);
    // The change is committed when the statement runs to its end.
    if (auto done = statement.run(); !done) {
        return std::unexpected(failure(std::move(done.error())));
    }
    return saved;
}

std::expected<std::vector<CatalogRecord>, CatalogError> SqliteCatalog::searchFeeds(
    std::string_view text, int limit) {
    std::lock_guard lock(connection_->mutex);
    auto& folded = connection_->foldedText;
    foldCase(text, folded);
    std::vector<CatalogRecord> records;

    bool smallCatalog = false;
    if (connection_->options.nameOrderWalk > 0) {
        auto& end = connection_->walkEnd;
        ResetOnExit resetEnd(end);
        end.bind(1, connection_->options.nameOrderWalk);
        auto row = end.step();
        if (!row) return std::unexpected(failure(std::move(row.error())));
        if (!*row) {
            smallCatalog = true;
        } else if (!end.columnIsNull(0)) {
            auto& walk = connection_->searchWalk;
            walk.bind(1, folded).bind(2, std::int64_t{limit});
            walk.bind(3, end.columnText(0)).bind(4, end.columnText(1));
            if (auto done = collect(walk, records); !done) return std::unexpected(done.error());
            if (records.size() == std::size_t(limit)) return records;
            records.clear();
        }
    }

    const bool indexed = !smallCatalog && codePointCount(text) >= 3;
    auto& rest = indexed ? connection_->searchIndexed : connection_->searchAllFeeds;
    rest.bind(1, indexed ? ftsPhrase(text) : folded).bind(2, std::int64_t{limit});
    if (auto done = collect(rest, records); !done) return std::unexpected(done.error());
    return records;
}

std::vector<CatalogRecord> SqliteCatalog::seedRecords() {
    std::vector<CatalogRecord> records;
    std::string_view rest = resources::kCatalogSeedTsv;
    std::size_t lineNumber = 0;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        ++lineNumber;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty() || line.starts_with('#')) continue;

        const auto firstTab = line.find('\t');
        const auto secondTab = line.find('\t', firstTab == line.npos ? line.npos : firstTab + 1);
        if (secondTab == line.npos || line.find('\t', secondTab + 1) != line.npos) {
            log::warning(
                fmt::format("catalog seed line {} is not name, about and url", lineNumber));
            continue;
        }
        const std::string url(line.substr(secondTab + 1));
        records.push_back(
            CatalogRecord{url, std::string(line.substr(0, firstTab)),
                          std::string(line.substr(firstTab + 1, secondTab - firstTab - 1)), url});
    }
    return records;
}

}  // namespace pressling
