#include "readinglist/ReadingList.h"

#include "platform/DataFolder.h"
#include "platform/Sqlite.h"

#include <fmt/format.h>
#include <sqlite3.h>

#include <chrono>

namespace pressling {
namespace {

using Kind = ReadingListError::Kind;

constexpr int kSchemaVersion = 1;
constexpr char kSchema[] =
    "CREATE TABLE ReadingListItem (url TEXT PRIMARY KEY NOT NULL, title TEXT NOT NULL, "
    "previewText TEXT NOT NULL, dateAdded INTEGER NOT NULL);"
    "CREATE INDEX ReadingListItemByDate ON ReadingListItem (dateAdded);"
    "PRAGMA user_version = 1;";

ReadingListError failure(const sqlite::Error& error) {
    return {
        error.code == SQLITE_NOTADB || error.code == SQLITE_CANTOPEN || error.code == SQLITE_CORRUPT
            ? Kind::unavailable
            : Kind::failed,
        error.message};
}

// Opens file and makes sure it is a reading list, creating the schema in an empty file.
// Anything else is refused before a byte of it is written (the journal mode included).
std::expected<sqlite::Database, ReadingListError> openList(const std::filesystem::path& file) {
    auto db = sqlite::Database::open(file, {.wal = false, .busyTimeoutMs = 5000});
    if (!db) return std::unexpected(failure(db.error()));
    const auto refuse = [&](const std::string& why) {
        return std::unexpected(
            ReadingListError{Kind::unavailable, fmt::format("{}: {}", file.string(), why)});
    };
    auto version = db->queryInteger("PRAGMA user_version");
    if (!version) return std::unexpected(failure(version.error()));
    if (*version > kSchemaVersion) {
        return refuse("the reading list was written by a newer version of Pressling");
    }
    auto checked = db->immediateTransaction([&]() -> sqlite::Result<std::int64_t> {
        auto tables = db->queryInteger(
            "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND "
            "name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
        if (!tables) return tables;
        auto ours = db->queryInteger(
            "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND "
            "name = 'ReadingListItem'");
        if (!ours) return ours;
        if (*tables == 0) {
            if (auto created = db->execute(kSchema); !created) {
                return std::unexpected(std::move(created.error()));
            }
            return 1;
        }
        return *ours;
    });
    if (!checked) return std::unexpected(failure(checked.error()));
    if (*checked != 1) return refuse("not a reading list: a SQLite database of something else");
    if (auto wal = db->switchToWal(5000); !wal) return std::unexpected(failure(wal.error()));
    return std::move(*db);
}

std::int64_t millisecondsNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::expected<ReadingList, ReadingListError> ReadingList::defaultReadingList() {
    auto folder = dataFolder();
    if (!folder) return std::unexpected(ReadingListError{Kind::unavailable, folder.error()});
    return ReadingList(*folder / kReadingListFileName);
}

std::expected<void, ReadingListError> ReadingList::addReadingListItem(
    const Url& url, const std::string& title, const std::string& previewText) {
    // Only a web page is something to read later; a javascript:, file: or tag: URI opened from
    // the list would run or open something else.
    const std::string& text = url.absoluteString();
    if ((url.scheme() != "http" && url.scheme() != "https") ||
        text.size() <= url.scheme().size() + 3 || text.substr(url.scheme().size(), 3) != "://" ||
        text[url.scheme().size() + 3] == '/') {
        return std::unexpected(ReadingListError{
            Kind::invalidURL, fmt::format("{} is not the address of a web page", text)});
    }
    auto db = openList(file_);
    if (!db) return std::unexpected(std::move(db.error()));
    auto insert = db->prepare(
        "INSERT INTO ReadingListItem (url, title, previewText, dateAdded) VALUES (?1, ?2, ?3, ?4) "
        "ON CONFLICT (url) DO UPDATE SET title = excluded.title, "
        "previewText = excluded.previewText, dateAdded = excluded.dateAdded");
    if (!insert) return std::unexpected(failure(insert.error()));
    insert->bind(1, text).bind(2, title).bind(3, previewText).bind(4, millisecondsNow());
    if (auto done = insert->run(); !done) return std::unexpected(failure(done.error()));
    return {};
}

std::expected<bool, ReadingListError> ReadingList::removeItem(std::string_view url) {
    auto db = openList(file_);
    if (!db) return std::unexpected(std::move(db.error()));
    auto remove = db->prepare("DELETE FROM ReadingListItem WHERE url = ?1");
    if (!remove) return std::unexpected(failure(remove.error()));
    remove->bind(1, url);
    if (auto done = remove->run(); !done) return std::unexpected(failure(done.error()));
    return db->changes() > 0;
}

std::expected<std::vector<ReadingListItem>, ReadingListError> ReadingList::items() const {
    std::error_code missing;
    if (!std::filesystem::exists(file_, missing)) return std::vector<ReadingListItem>{};
    auto db = openList(file_);
    if (!db) return std::unexpected(std::move(db.error()));
    auto select = db->prepare(
        "SELECT url, title, previewText, dateAdded FROM ReadingListItem "
        "ORDER BY dateAdded DESC, rowid DESC");
    if (!select) return std::unexpected(failure(select.error()));
    std::vector<ReadingListItem> items;
    for (;;) {
        auto row = select->step();
        if (!row) return std::unexpected(failure(row.error()));
        if (!*row) break;
        items.push_back({std::string(select->columnText(0)), std::string(select->columnText(1)),
                         std::string(select->columnText(2)),
                         Date(std::chrono::milliseconds(select->columnInt(3)))});
    }
    return items;
}

}  // namespace pressling
