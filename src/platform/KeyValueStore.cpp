#include "platform/KeyValueStore.h"

#include "platform/DataFolder.h"
#include "platform/Sqlite.h"

#include <fmt/format.h>
#include <sqlite3.h>

#include <atomic>
#include <cassert>
#include <mutex>
#include <thread>

namespace pressling {
namespace {

using Kind = KeyValueStoreError::Kind;

constexpr char kFileName[] = "kvstore.sqlite";
constexpr int kBusyTimeoutMs = 5000;

constexpr char kSchema[] = "CREATE TABLE IF NOT EXISTS kv (key TEXT PRIMARY KEY, value BLOB)";
constexpr char kSelect[] = "SELECT value FROM kv WHERE key = ?1";
constexpr char kUpsert[] =
    "INSERT INTO kv (key, value) VALUES (?1, ?2) "
    "ON CONFLICT (key) DO UPDATE SET value = excluded.value";

bool isBusy(const sqlite::Error& error) {
    return error.code == SQLITE_BUSY || error.code == SQLITE_LOCKED;
}

KeyValueStoreError storeError(const sqlite::Error& error, std::string_view doing) {
    return {isBusy(error) ? Kind::busy : Kind::failed, fmt::format("{}: {}", doing, error.message)};
}

}  // namespace

struct KeyValueStore::Impl {
    std::filesystem::path file;
    // Why there is no file (no data folder); empty when file is set.
    std::string unavailableReason;

    std::mutex mutex;
    // The thread holding mutex, so a call from inside a transaction body fails instead of
    // deadlocking on the mutex it already holds.
    std::atomic<std::thread::id> owner{};

    // Declared before the statements, so they are finalised first.
    std::optional<sqlite::Database> db;
    std::optional<sqlite::Statement> select;
    std::optional<sqlite::Statement> upsert;

    // Held for the whole of one public operation.
    class Lock {
    public:
        explicit Lock(Impl& impl) : impl_(impl), lock_(impl.mutex) {
            impl_.owner.store(std::this_thread::get_id());
        }
        ~Lock() { impl_.owner.store(std::thread::id{}); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        Impl& impl_;
        std::lock_guard<std::mutex> lock_;
    };

    std::optional<KeyValueStoreError> refuseReentry() const {
        if (owner.load() != std::this_thread::get_id()) return std::nullopt;
        return KeyValueStoreError{
            Kind::failed,
            fmt::format("The key-value store {} was called from inside its own transaction; use "
                        "the Transaction passed to the body",
                        file.string())};
    }

    // Opens the connection unless it is open. A failure leaves nothing half-open, so the next
    // call tries again from the start.
    std::expected<void, KeyValueStoreError> ensureOpen() {
        if (db) return {};
        if (file.empty())
            return std::unexpected(KeyValueStoreError{Kind::unavailable, unavailableReason});
        auto unavailable = [](const sqlite::Error& error) {
            return std::unexpected(KeyValueStoreError{
                isBusy(error) ? Kind::busy : Kind::unavailable,
                fmt::format("Cannot open the key-value store: {}", error.message)});
        };
        auto opened = sqlite::Database::open(file, {.wal = true, .busyTimeoutMs = kBusyTimeoutMs});
        if (!opened) return unavailable(opened.error());
        if (auto created = opened->execute(kSchema); !created) return unavailable(created.error());
        auto selecting = opened->prepare(kSelect);
        if (!selecting) return unavailable(selecting.error());
        auto upserting = opened->prepare(kUpsert);
        if (!upserting) return unavailable(upserting.error());
        db = std::move(*opened);
        select = std::move(*selecting);
        upsert = std::move(*upserting);
        return {};
    }

    std::expected<std::optional<std::string>, KeyValueStoreError> read(std::string_view key) {
        assert(db && select);
        select->reset();
        select->bind(1, key);
        auto row = select->step();
        std::expected<std::optional<std::string>, KeyValueStoreError> result;
        if (!row) {
            result =
                std::unexpected(storeError(row.error(), fmt::format("Cannot read \"{}\"", key)));
        } else if (*row && !select->columnIsNull(0)) {
            result = std::string(select->columnBlob(0));
        } else {
            result = std::nullopt;
        }
        // Ends the statement's read, which would otherwise pin the WAL snapshot it saw.
        select->reset();
        return result;
    }

    std::expected<void, KeyValueStoreError> write(std::string_view bytes, std::string_view key) {
        assert(db && upsert);
        upsert->reset();
        upsert->bind(1, key).bindBlob(2, bytes);
        auto done = upsert->run();
        upsert->reset();
        if (!done) {
            return std::unexpected(
                storeError(done.error(), fmt::format("Cannot write \"{}\"", key)));
        }
        return {};
    }
};

KeyValueStore& KeyValueStore::defaultStore() {
    // Never destroyed: threads may still use the store while the process exits, and every
    // write was committed when it returned, so nothing is lost by skipping the close.
    static KeyValueStore* const store = [] {
        auto folder = dataFolder();
        if (!folder) return new KeyValueStore(Unavailable{}, folder.error());
        return new KeyValueStore(*folder / kFileName);
    }();
    return *store;
}

KeyValueStore::KeyValueStore(std::filesystem::path file) : impl_(std::make_unique<Impl>()) {
    impl_->file = std::move(file);
}

KeyValueStore::KeyValueStore(Unavailable, std::string reason) : impl_(std::make_unique<Impl>()) {
    impl_->unavailableReason = fmt::format("The key-value store is unavailable: {}", reason);
}

KeyValueStore::~KeyValueStore() = default;

const std::filesystem::path& KeyValueStore::file() const { return impl_->file; }

std::expected<std::optional<std::string>, KeyValueStoreError> KeyValueStore::dataForKey(
    std::string_view key) {
    if (auto refused = impl_->refuseReentry()) return std::unexpected(*refused);
    Impl::Lock lock(*impl_);
    if (auto opened = impl_->ensureOpen(); !opened) return std::unexpected(opened.error());
    return impl_->read(key);
}

std::expected<void, KeyValueStoreError> KeyValueStore::setData(std::string_view bytes,
                                                               std::string_view key) {
    if (auto refused = impl_->refuseReentry()) return std::unexpected(*refused);
    Impl::Lock lock(*impl_);
    if (auto opened = impl_->ensureOpen(); !opened) return std::unexpected(opened.error());
    // One statement outside a transaction commits on its own.
    return impl_->write(bytes, key);
}

bool KeyValueStore::synchronize() {
    if (impl_->refuseReentry()) return false;
    Impl::Lock lock(*impl_);
    return impl_->ensureOpen().has_value();
}

std::expected<void, KeyValueStoreError> KeyValueStore::transaction(
    const std::function<std::expected<void, KeyValueStoreError>(Transaction&)>& body) {
    if (auto refused = impl_->refuseReentry()) return std::unexpected(*refused);
    Impl::Lock lock(*impl_);
    if (auto opened = impl_->ensureOpen(); !opened) return std::unexpected(opened.error());

    // The body's own error travels beside SQLite's, which only serves to trigger the rollback.
    std::optional<KeyValueStoreError> bodyError;
    auto outcome = impl_->db->immediateTransaction([&]() -> sqlite::Result<void> {
        Transaction transaction(*impl_);
        if (auto done = body(transaction); !done) {
            bodyError = std::move(done.error());
            return std::unexpected(sqlite::Error{SQLITE_ABORT, "rolled back"});
        }
        return {};
    });
    if (bodyError) return std::unexpected(std::move(*bodyError));
    if (!outcome) {
        return std::unexpected(storeError(outcome.error(), "Cannot update the key-value store"));
    }
    return {};
}

std::expected<bool, KeyValueStoreError> KeyValueStore::update(
    std::string_view key,
    const std::function<std::optional<std::string>(const std::optional<std::string>& current)>&
        change) {
    bool written = false;
    auto done =
        transaction([&](Transaction& transaction) -> std::expected<void, KeyValueStoreError> {
            auto current = transaction.dataForKey(key);
            if (!current) return std::unexpected(std::move(current.error()));
            std::optional<std::string> next = change(*current);
            if (!next) return {};
            if (auto stored = transaction.setData(*next, key); !stored) return stored;
            written = true;
            return {};
        });
    if (!done) return std::unexpected(std::move(done.error()));
    return written;
}

std::expected<std::optional<std::string>, KeyValueStoreError>
KeyValueStore::Transaction::dataForKey(std::string_view key) {
    return store_.read(key);
}

std::expected<void, KeyValueStoreError> KeyValueStore::Transaction::setData(std::string_view bytes,
                                                                            std::string_view key) {
    return store_.write(bytes, key);
}

}  // namespace pressling
