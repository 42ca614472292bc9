#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace pressling::sqlite {

// The thinnest layer over SQLite that the stores need: a connection, prepared statements and
// transactions, with errors as values that name the file.
//
// Threads: a Database and the Statements prepared on it are used by one thread at a time (the
// connection is opened without SQLite's own mutex). Threads and processes that share a file
// each open their own Database; SQLite's file locks keep them consistent. Never carry a
// connection across fork(): the child opens its own.

struct Error {
    int code = 0;         // SQLite's primary result code (SQLITE_BUSY, SQLITE_CORRUPT, ...)
    std::string message;  // names the database file and what failed
};

template <typename T>
using Result = std::expected<T, Error>;

class Statement;

// One connection. Move-only; one thread at a time. A moved-from Database answers every call
// with SQLITE_MISUSE.
class Database {
public:
    struct Options {
        // WAL journal so readers never block the writer; other processes share the file.
        // Default: true. Off keeps the file's journal mode as it is (rollback journal for a new
        // file).
        bool wal = true;
        // How long a statement waits for another connection's lock before failing with BUSY.
        // Default: 5000 ms. 0 fails at once when the lock is taken.
        int busyTimeoutMs = 5000;
    };

    // Opens (creating if needed) the database file at path. Fails when the file cannot be
    // opened or is not a SQLite database ("file is not a database"), naming the file.
    //
    // Only the file itself is created: a missing parent folder is an error (SQLITE_CANTOPEN).
    // The file is read once before open returns, so a foreign or corrupt file fails here with
    // SQLITE_NOTADB and is left exactly as it was. An existing empty file is a valid empty
    // database.
    static Result<Database> open(const std::filesystem::path& path, Options options);
    static Result<Database> open(const std::filesystem::path& path) {
        return open(path, Options{});
    }

    Database(Database&&) noexcept;
    Database& operator=(Database&&) noexcept;
    // Closes the connection. Statements still alive keep it open until they are destroyed.
    ~Database();

    // Runs one or more statements without results (schema, pragmas). Stops at the first one
    // that fails; those before it have run.
    Result<void> execute(std::string_view sql);
    // Switches to the WAL journal, waiting up to busyTimeoutMs while other programs hold the
    // file; fails when the file keeps another mode (a read-only folder, say).
    Result<void> switchToWal(int busyTimeoutMs);
    // Copies what the WAL holds into the database file as far as the readers of other
    // connections allow, waiting for no lock (a passive checkpoint). Any connection on the file
    // may run it, on its own thread.
    Result<void> checkpoint();

    // Instead of checkpointing on its own once the WAL holds 1000 pages, this connection calls
    // afterCommit(pages in the WAL) after each of its commits, on the committing thread; the
    // caller checkpoints where it sees fit (on another connection's thread, say), or the WAL
    // keeps growing. A null afterCommit restores SQLite's own checkpoints.
    void replaceAutoCheckpoint(std::function<void(int walPages)> afterCommit);

    // Runs one statement and answers the first column of its first row, 0 without a row.
    Result<std::int64_t> queryInteger(std::string_view sql);
    // Prepares exactly one statement. Empty SQL, or SQL with more than white space and ';'
    // after the first statement, fails with SQLITE_MISUSE rather than silently running less.
    Result<Statement> prepare(std::string_view sql);

    // BEGIN IMMEDIATE ... COMMIT around body; ROLLBACK if body fails (returns an error).
    //
    // body() returns a Result<T>; its value is returned after a successful COMMIT, its error
    // after the ROLLBACK. BEGIN IMMEDIATE takes the write lock up front (waiting up to the busy
    // time-out, then failing with SQLITE_BUSY and without calling body), so a read inside body
    // cannot be invalidated by another writer before the commit: a read-modify-write inside
    // one call is atomic across threads and processes. A failed COMMIT rolls back and returns
    // its error. An exception from body rolls back and propagates. Transactions do not nest:
    // calling this inside body fails with SQLITE_ERROR.
    template <typename Body>
    auto immediateTransaction(Body&& body) -> decltype(body());

    // Rows changed by the last INSERT, UPDATE or DELETE on this connection.
    std::int64_t changes() const;
    // The rowid of the last successful INSERT on this connection; 0 if none.
    std::int64_t lastInsertRowId() const;

    const std::filesystem::path& path() const { return path_; }
    sqlite3* handle() const { return db_; }
    // An Error naming this file, from the connection's current error state: the message reads
    // "<file>: <what>: <SQLite's message>".
    Error lastError(std::string_view what) const;

private:
    Database(sqlite3* db, std::filesystem::path path) : db_(db), path_(std::move(path)) {}
    // Rolls back the open transaction, if there is one; the error of a failed ROLLBACK is
    // dropped since the caller is already reporting the error that led here.
    void rollbackQuietly() noexcept;
    Error misuse(std::string_view what) const;

    sqlite3* db_ = nullptr;
    std::filesystem::path path_;
    // Where SQLite's WAL hook calls; a stable address across moves.
    std::unique_ptr<std::function<void(int)>> afterCommit_;
};

// A prepared statement. Bind parameters are 1-based, columns 0-based. Move-only; used on the
// thread that uses its Database, and destroyed before or after it (either order is safe).
class Statement {
public:
    Statement(Statement&&) noexcept;
    Statement& operator=(Statement&&) noexcept;
    ~Statement();

    // Binding copies the value. A binding that fails (an index out of range, a value too big)
    // is reported by the next step or run, which then runs nothing. Empty text and empty blobs
    // bind as empty values, never as NULL.
    Statement& bind(int index, std::string_view text);
    Statement& bindBlob(int index, std::string_view bytes);
    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, int value) { return bind(index, std::int64_t{value}); }
    Statement& bind(int index, double value);
    Statement& bindNull(int index);

    // true: a row is available; false: done. Errors name the database file.
    Result<bool> step();
    // Steps to the end, for statements without results.
    Result<void> run();
    // Ready to run again with new bindings. Bindings are kept until bound again. Reset a
    // query that was not stepped to the end, or it keeps its read transaction open.
    void reset();

    // Column values of the current row. A NULL column reads as empty text or blob and as 0.
    std::string_view columnText(int column) const;  // valid until the next step or reset
    // The column's bytes exactly, NUL bytes included; valid until the next step or reset.
    std::string_view columnBlob(int column) const;
    std::int64_t columnInt(int column) const;
    double columnDouble(int column) const;
    bool columnIsNull(int column) const;

private:
    friend class Database;
    explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
    Error error(std::string_view what) const;
    void noteBindResult(int code);

    sqlite3_stmt* stmt_ = nullptr;
    // The first failed binding since the last step, reported by the next step.
    std::optional<Error> bindError_;
};

template <typename Body>
auto Database::immediateTransaction(Body&& body) -> decltype(body()) {
    using R = decltype(body());
    if (auto begun = execute("BEGIN IMMEDIATE"); !begun) {
        return R(std::unexpect, std::move(begun.error()));
    }
    std::optional<R> result;
    try {
        result.emplace(body());
    } catch (...) {
        rollbackQuietly();
        throw;
    }
    if (!result->has_value()) {
        rollbackQuietly();
        return std::move(*result);
    }
    if (auto committed = execute("COMMIT"); !committed) {
        rollbackQuietly();
        return R(std::unexpect, std::move(committed.error()));
    }
    return std::move(*result);
}

}  // namespace pressling::sqlite
