#include "flows/FeedValidators.h"

#include "platform/KeyValueStore.h"
#include "platform/Log.h"
#include "platform/Sqlite.h"

#include <fmt/format.h>

namespace pressling {
namespace {

constexpr std::string_view kSchema = R"sql(
CREATE TABLE IF NOT EXISTS FeedValidator (
    url TEXT PRIMARY KEY,
    etag TEXT NOT NULL,
    lastModified TEXT NOT NULL,
    retryAfter INTEGER
);
)sql";

std::string describe(const sqlite::Error& error) { return error.message; }

}  // namespace

struct FeedValidators::Impl {
    sqlite::Database db;
};

FeedValidators::FeedValidators(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FeedValidators::FeedValidators(FeedValidators&&) noexcept = default;
FeedValidators& FeedValidators::operator=(FeedValidators&&) noexcept = default;
FeedValidators::~FeedValidators() = default;

std::expected<FeedValidators, std::string> FeedValidators::open(const KeyValueStore& listStore) {
    return open(listStore.file().parent_path() / kFeedValidatorsFileName);
}

std::expected<FeedValidators, std::string> FeedValidators::open(const std::filesystem::path& file) {
    auto db = sqlite::Database::open(file);
    if (!db) return std::unexpected(describe(db.error()));
    if (auto made = db->execute(kSchema); !made) return std::unexpected(describe(made.error()));
    return FeedValidators(std::make_unique<Impl>(Impl{std::move(*db)}));
}

std::expected<std::map<std::string, FeedValidator>, std::string> FeedValidators::load() {
    auto select =
        impl_->db.prepare("SELECT url, etag, lastModified, retryAfter FROM FeedValidator");
    if (!select) return std::unexpected(describe(select.error()));
    std::map<std::string, FeedValidator> entries;
    while (true) {
        auto row = select->step();
        if (!row) return std::unexpected(describe(row.error()));
        if (!*row) break;
        FeedValidator entry{std::string(select->columnText(1)), std::string(select->columnText(2)),
                            std::nullopt};
        if (!select->columnIsNull(3)) {
            entry.retryAfter = Date(std::chrono::milliseconds(select->columnInt(3)));
        }
        entries.emplace(std::string(select->columnText(0)), std::move(entry));
    }
    return entries;
}

std::expected<void, std::string> FeedValidators::store(
    const std::map<std::string, FeedValidator>& entries) {
    if (entries.empty()) return {};
    sqlite::Database& db = impl_->db;
    auto written = db.immediateTransaction([&]() -> sqlite::Result<void> {
        auto upsert = db.prepare(
            "INSERT OR REPLACE INTO FeedValidator (url, etag, lastModified, retryAfter) "
            "VALUES (?, ?, ?, ?)");
        if (!upsert) return std::unexpected(std::move(upsert.error()));
        auto remove = db.prepare("DELETE FROM FeedValidator WHERE url = ?");
        if (!remove) return std::unexpected(std::move(remove.error()));
        for (const auto& [url, entry] : entries) {
            if (entry == FeedValidator{}) {
                remove->reset();
                if (auto done = remove->bind(1, url).run(); !done) return done;
                continue;
            }
            upsert->reset();
            upsert->bind(1, url).bind(2, entry.etag).bind(3, entry.lastModified);
            if (entry.retryAfter) {
                upsert->bind(4, std::int64_t{entry.retryAfter->time_since_epoch().count()});
            } else {
                upsert->bindNull(4);
            }
            if (auto done = upsert->run(); !done) return done;
        }
        return {};
    });
    if (!written) return std::unexpected(describe(written.error()));
    return {};
}

std::expected<void, std::string> FeedValidators::forget(std::string_view url) {
    auto remove = impl_->db.prepare("DELETE FROM FeedValidator WHERE url = ?");
    if (!remove) return std::unexpected(describe(remove.error()));
    if (auto done = remove->bind(1, url).run(); !done)
        return std::unexpected(describe(done.error()));
    return {};
}

void forgetFeedValidators(std::string_view url, const KeyValueStore& listStore) {
    auto validators = FeedValidators::open(listStore);
    auto forgotten = validators
                         ? validators->forget(url)
                         : std::expected<void, std::string>(std::unexpect, validators.error());
    if (!forgotten) {
        log::warning(
            fmt::format("The saved validators of {} were not dropped: {}", url, forgotten.error()));
    }
}

}  // namespace pressling
