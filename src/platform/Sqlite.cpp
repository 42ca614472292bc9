#include "platform/Sqlite.h"

#include <fmt/format.h>
#include <sqlite3.h>

#include <algorithm>
#include <cassert>
#include <chrono>
#include <thread>

namespace pressling::sqlite {
namespace {

// Whether another connection holds what the statement needed.
bool isBusy(const Error& error) { return error.code == SQLITE_BUSY || error.code == SQLITE_LOCKED; }

// Enough of a statement's text to recognise it in a message.
std::string excerpt(std::string_view sql) {
    constexpr std::size_t kLimit = 60;
    while (!sql.empty() && (sql.front() == ' ' || sql.front() == '\n' || sql.front() == '\t')) {
        sql.remove_prefix(1);
    }
    if (sql.size() <= kLimit) return std::string(sql);
    return std::string(sql.substr(0, kLimit)) + "...";
}

bool onlySpaceOrSemicolons(std::string_view text) {
    for (char c : text) {
        if (c != ';' && c != ' ' && c != '\n' && c != '\t' && c != '\r' && c != '\f') return false;
    }
    return true;
}

Error makeError(const std::filesystem::path& path, std::string_view what, int code,
                std::string_view detail) {
    return Error{code & 0xff, fmt::format("{}: {}: {}", path.string(), what, detail)};
}

// A pointer SQLite accepts for an empty value: a null pointer would bind NULL instead.
const char* nonNull(std::string_view bytes) { return bytes.data() ? bytes.data() : ""; }

}  // namespace

// --- Database ---------------------------------------------------------------------------------

Result<Database> Database::open(const std::filesystem::path& path, Options options) {
    sqlite3* raw = nullptr;
    // NOMUTEX: one thread at a time per connection, as documented; SQLite's per-connection
    // mutex would only cost time. No SQLITE_OPEN_URI, so a path is always a file name.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    const int opened = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    // From here on the connection is closed by the Database, also on every failure path.
    Database db(raw, path);
    if (raw == nullptr) {
        return std::unexpected(
            makeError(path, "cannot open database", SQLITE_NOMEM, sqlite3_errstr(SQLITE_NOMEM)));
    }
    if (opened != SQLITE_OK) return std::unexpected(db.lastError("cannot open database"));

    if (sqlite3_busy_timeout(raw, options.busyTimeoutMs < 0 ? 0 : options.busyTimeoutMs) !=
        SQLITE_OK) {
        return std::unexpected(db.lastError("cannot set the busy time-out"));
    }
    // sqlite3_open_v2 reads nothing; this reads the header, so a file that is not a database
    // fails now, at open, instead of at some later statement. It only reads: the file stays
    // as it was.
    if (!db.execute("PRAGMA schema_version")) {
        return std::unexpected(db.lastError("cannot open database"));
    }
    // A ":memory:" or temporary database has no file name and no WAL to switch to.
    const char* file = sqlite3_db_filename(raw, "main");
    if (options.wal && file != nullptr && *file != '\0') {
        if (auto switched = db.switchToWal(options.busyTimeoutMs); !switched) {
            return std::unexpected(std::move(switched.error()));
        }
    }
    return db;
}

Database::Database(Database&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)),
      path_(std::move(other.path_)),
      afterCommit_(std::move(other.afterCommit_)) {}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        if (db_ != nullptr) {
            if (afterCommit_) sqlite3_wal_hook(db_, nullptr, nullptr);
            sqlite3_close_v2(db_);
        }
        db_ = std::exchange(other.db_, nullptr);
        path_ = std::move(other.path_);
        afterCommit_ = std::move(other.afterCommit_);
    }
    return *this;
}

Database::~Database() {
    // close_v2 defers the close until the last statement is finalised, so statements may
    // outlive the Database without touching a freed connection.
    if (db_ == nullptr) return;
    // A statement that outlives this object must not call into the freed callback.
    if (afterCommit_) sqlite3_wal_hook(db_, nullptr, nullptr);
    sqlite3_close_v2(db_);
}

Result<void> Database::checkpoint() {
    if (db_ == nullptr) return std::unexpected(misuse("cannot checkpoint"));
    if (sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr) !=
        SQLITE_OK) {
        return std::unexpected(lastError("cannot checkpoint"));
    }
    return {};
}

void Database::replaceAutoCheckpoint(std::function<void(int walPages)> afterCommit) {
    if (db_ == nullptr) return;
    if (!afterCommit) {
        sqlite3_wal_autocheckpoint(db_, 1000);  // SQLite's default
        afterCommit_.reset();
        return;
    }
    afterCommit_ = std::make_unique<std::function<void(int)>>(std::move(afterCommit));
    sqlite3_wal_hook(
        db_,
        [](void* callback, sqlite3*, const char*, int pages) {
            (*static_cast<std::function<void(int)>*>(callback))(pages);
            return SQLITE_OK;
        },
        afterCommit_.get());
}

Error Database::misuse(std::string_view what) const {
    return makeError(path_, what, SQLITE_MISUSE, "the connection is closed");
}

Result<void> Database::execute(std::string_view sql) {
    if (db_ == nullptr) return std::unexpected(misuse("cannot execute " + excerpt(sql)));
    const std::string text(sql);  // sqlite3_exec needs a terminated string
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        return std::unexpected(lastError(fmt::format("cannot execute \"{}\"", excerpt(sql))));
    }
    return {};
}

Result<void> Database::switchToWal(int busyTimeoutMs) {
    // The switch needs the file to itself, and SQLite answers "busy" at once rather than
    // calling the busy handler when another program holds it (several programs opening a new
    // file at once), so a busy answer is tried again until the time-out has passed.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(busyTimeoutMs, 0));
    for (;;) {
        auto pragma = prepare("PRAGMA journal_mode=WAL");
        if (!pragma) return std::unexpected(std::move(pragma.error()));
        auto row = pragma->step();
        if (!row && isBusy(row.error()) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if (!row) return std::unexpected(std::move(row.error()));
        // The answer names the mode now in force: a file that cannot switch (a read-only
        // folder, say) keeps its mode and says so.
        if (!*row || pragma->columnText(0) != "wal") {
            return std::unexpected(makeError(
                path_, "cannot switch to WAL journal mode", SQLITE_ERROR,
                fmt::format("journal mode is \"{}\"", *row ? pragma->columnText(0) : "")));
        }
        return {};
    }
}

Result<std::int64_t> Database::queryInteger(std::string_view sql) {
    auto statement = prepare(sql);
    if (!statement) return std::unexpected(std::move(statement.error()));
    auto row = statement->step();
    if (!row) return std::unexpected(std::move(row.error()));
    return *row ? statement->columnInt(0) : 0;
}

Result<Statement> Database::prepare(std::string_view sql) {
    if (db_ == nullptr) return std::unexpected(misuse("cannot prepare " + excerpt(sql)));
    if (sql.empty()) {
        return std::unexpected(
            makeError(path_, "cannot prepare", SQLITE_MISUSE, "the text holds no statement"));
    }
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), int(sql.size()), &raw, &tail) != SQLITE_OK) {
        return std::unexpected(lastError(fmt::format("cannot prepare \"{}\"", excerpt(sql))));
    }
    Statement statement(raw);
    if (raw == nullptr) {
        return std::unexpected(
            makeError(path_, "cannot prepare", SQLITE_MISUSE, "the text holds no statement"));
    }
    const auto used = std::size_t(tail - sql.data());
    if (!onlySpaceOrSemicolons(sql.substr(used))) {
        return std::unexpected(makeError(path_, fmt::format("cannot prepare \"{}\"", excerpt(sql)),
                                         SQLITE_MISUSE, "the text holds more than one statement"));
    }
    return statement;
}

std::int64_t Database::changes() const { return db_ ? sqlite3_changes64(db_) : 0; }

std::int64_t Database::lastInsertRowId() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }

Error Database::lastError(std::string_view what) const {
    if (db_ == nullptr) return misuse(what);
    return makeError(path_, what, sqlite3_errcode(db_), sqlite3_errmsg(db_));
}

void Database::rollbackQuietly() noexcept {
    // After some errors (SQLITE_FULL, SQLITE_IOERR, ...) SQLite has already rolled back.
    if (db_ != nullptr && sqlite3_get_autocommit(db_) == 0) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

// --- Statement --------------------------------------------------------------------------------

Statement::Statement(Statement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), bindError_(std::move(other.bindError_)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        stmt_ = std::exchange(other.stmt_, nullptr);
        bindError_ = std::move(other.bindError_);
    }
    return *this;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Error Statement::error(std::string_view what) const {
    if (stmt_ == nullptr) {
        return Error{SQLITE_MISUSE, fmt::format("{}: the statement is not prepared", what)};
    }
    sqlite3* db = sqlite3_db_handle(stmt_);
    // The connection's own file name: unlike a pointer to the Database, it survives a move.
    const char* file = sqlite3_db_filename(db, "main");
    const std::string detail = fmt::format("{} \"{}\"", what, excerpt(sqlite3_sql(stmt_)));
    return makeError(file ? file : "", detail, sqlite3_errcode(db), sqlite3_errmsg(db));
}

void Statement::noteBindResult(int code) {
    if (code != SQLITE_OK && !bindError_) bindError_ = error("cannot bind a value of");
}

Statement& Statement::bind(int index, std::string_view text) {
    if (stmt_ == nullptr) return *this;
    noteBindResult(sqlite3_bind_text64(stmt_, index, nonNull(text), text.size(), SQLITE_TRANSIENT,
                                       SQLITE_UTF8));
    return *this;
}

Statement& Statement::bindBlob(int index, std::string_view bytes) {
    if (stmt_ == nullptr) return *this;
    noteBindResult(
        sqlite3_bind_blob64(stmt_, index, nonNull(bytes), bytes.size(), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::bind(int index, std::int64_t value) {
    if (stmt_ == nullptr) return *this;
    noteBindResult(sqlite3_bind_int64(stmt_, index, value));
    return *this;
}

Statement& Statement::bind(int index, double value) {
    if (stmt_ == nullptr) return *this;
    noteBindResult(sqlite3_bind_double(stmt_, index, value));
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (stmt_ == nullptr) return *this;
    noteBindResult(sqlite3_bind_null(stmt_, index));
    return *this;
}

Result<bool> Statement::step() {
    if (stmt_ == nullptr) return std::unexpected(error("cannot run"));
    if (bindError_) return std::unexpected(*std::exchange(bindError_, std::nullopt));
    switch (sqlite3_step(stmt_)) {
        case SQLITE_ROW:
            return true;
        case SQLITE_DONE:
            return false;
        default:
            return std::unexpected(error("cannot run"));
    }
}

Result<void> Statement::run() {
    for (;;) {
        auto row = step();
        if (!row) return std::unexpected(std::move(row.error()));
        if (!*row) return {};
    }
}

void Statement::reset() {
    // The error sqlite3_reset repeats was already reported by step.
    if (stmt_ != nullptr) sqlite3_reset(stmt_);
    bindError_.reset();
}

std::string_view Statement::columnText(int column) const {
    assert(stmt_ != nullptr);
    if (stmt_ == nullptr) return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (text == nullptr) return {};
    return {text, std::size_t(sqlite3_column_bytes(stmt_, column))};
}

std::string_view Statement::columnBlob(int column) const {
    assert(stmt_ != nullptr);
    if (stmt_ == nullptr) return {};
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    if (bytes == nullptr) return {};
    return {bytes, std::size_t(sqlite3_column_bytes(stmt_, column))};
}

std::int64_t Statement::columnInt(int column) const {
    assert(stmt_ != nullptr);
    return stmt_ ? sqlite3_column_int64(stmt_, column) : 0;
}

double Statement::columnDouble(int column) const {
    assert(stmt_ != nullptr);
    return stmt_ ? sqlite3_column_double(stmt_, column) : 0.0;
}

bool Statement::columnIsNull(int column) const {
    assert(stmt_ != nullptr);
    return stmt_ == nullptr || sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

}  // namespace pressling::sqlite
