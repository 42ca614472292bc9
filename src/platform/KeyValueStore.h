#pragma once

#include <expected>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pressling {

struct KeyValueStoreError {
    enum class Kind {
        unavailable,  // the store's file cannot be opened or created, is not a SQLite database,
                      // or there is no data folder to put it in
        busy,         // another connection held the write lock past the busy time-out
        failed,       // any other read or write failure (I/O, disk full, corruption, misuse)
        aborted,      // a transaction body returned this error of its own; nothing was written
    };
    Kind kind;
    // For people: names the store's file (or the folder that could not be made) and why.
    std::string message;
};

// The per-user key-value store: one blob per key, shared by every Pressling process of the
// user (pressling, feedgrab, pressling-cli). It lives in the SQLite file "kvstore.sqlite" in
// the data folder, in WAL mode with a busy time-out, so processes read while another writes
// and a writer waits for another rather than failing at once.
//
// Every successful write is committed, hence durable, when the call returns; there is no
// cache, so a value written by another process is seen by the next read.
//
// Threads: any thread may call any operation. A store owns one connection behind a mutex:
// calls from several threads take turns, each one whole. A process that forks opens its own
// store in the child; a store never crosses fork().
//
// A store that cannot be opened (a corrupt or foreign file, a folder that cannot be created)
// does not crash and never replaces the file: each operation fails with Kind::unavailable and
// a message naming the file, and tries to open it again, so a store whose file is repaired
// works from the next call.
class KeyValueStore {
public:
    class Transaction;

    // The store in the data folder (see DataFolder.h), created on the first call, in a
    // thread-safe way, and kept for the life of the process. When the data folder cannot be
    // created, the store's operations fail with Kind::unavailable and that message.
    static KeyValueStore& defaultStore();

    // A store in file, for tests and tools. Nothing is opened until the first operation; the
    // file's folder must exist by then (only the file is created).
    explicit KeyValueStore(std::filesystem::path file);
    ~KeyValueStore();
    KeyValueStore(const KeyValueStore&) = delete;
    KeyValueStore& operator=(const KeyValueStore&) = delete;

    // The store's file; empty for the default store when no data folder could be made.
    const std::filesystem::path& file() const;

    // The bytes stored under key, exactly as set (NUL bytes included), or nullopt when the key
    // has no value. An empty value is a value, not an absence. Fails with unavailable or
    // failed. The empty key is an ordinary key.
    std::expected<std::optional<std::string>, KeyValueStoreError> dataForKey(std::string_view key);

    // Stores bytes under key, replacing any value. Fails with unavailable, busy or failed, and
    // then the stored value is unchanged.
    std::expected<void, KeyValueStoreError> setData(std::string_view bytes, std::string_view key);

    // A flush point kept so callers read like the system store this replaces: every setData
    // that succeeded is already on disk, so there is nothing to do. Returns false only when
    // the store is unavailable.
    bool synchronize();

    // Atomic read-modify-write of one key. change receives the current value (nullopt when
    // absent) and returns the new value, or nullopt for "no change". Read, change and write
    // happen in one BEGIN IMMEDIATE transaction, so no other thread or process writes between
    // the read and the write: two processes updating the same key never lose each other's
    // change. Returns true when a value was written, false when change asked for none.
    //
    // change runs once per call, on the calling thread, with the store locked: it must not
    // call this store (such calls fail with Kind::failed rather than deadlock). Fails with
    // unavailable, busy (waiting for the write lock; change was not called) or failed; on
    // failure nothing was written. An exception from change rolls back and propagates.
    std::expected<bool, KeyValueStoreError> update(
        std::string_view key,
        const std::function<std::optional<std::string>(const std::optional<std::string>& current)>&
            change);

    // The general form of update: body reads and writes any keys through the Transaction, all
    // in one BEGIN IMMEDIATE transaction. The writes are committed when body returns a value
    // and rolled back when it returns an error, which is passed on (use Kind::aborted for a
    // reason of body's own). The same rules as update hold for threads, reentry, exceptions
    // and failures.
    std::expected<void, KeyValueStoreError> transaction(
        const std::function<std::expected<void, KeyValueStoreError>(Transaction&)>& body);

private:
    struct Impl;
    struct Unavailable {};
    KeyValueStore(Unavailable, std::string reason);
    std::unique_ptr<Impl> impl_;
};

// Reads and writes inside KeyValueStore::transaction. Valid only during the body's call; the
// reads see the transaction's own earlier writes.
class KeyValueStore::Transaction {
public:
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // As KeyValueStore::dataForKey and setData.
    std::expected<std::optional<std::string>, KeyValueStoreError> dataForKey(std::string_view key);
    std::expected<void, KeyValueStoreError> setData(std::string_view bytes, std::string_view key);

private:
    friend class KeyValueStore;
    explicit Transaction(KeyValueStore::Impl& store) : store_(store) {}
    KeyValueStore::Impl& store_;
};

}  // namespace pressling
