#include "subscriptions/CatalogDatabase.h"

#include <fmt/format.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdlib>

#include "platform/DataFolder.h"
#include "subscriptions/PostgresCatalog.h"
#include "subscriptions/SqliteCatalog.h"

namespace pressling {
namespace {

// PostgreSQL refuses invalid UTF-8 and cannot carry a NUL in a text parameter, and SQLite would
// store either without complaint: refusing both here keeps the two backends alike.
std::optional<std::string> textProblem(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = std::int32_t(text.size());
    if (std::size_t(length) != text.size()) return "is too long";
    for (std::int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) return "is not valid UTF-8";
        if (c == 0) return "holds a NUL character";
    }
    return std::nullopt;
}

std::expected<void, CatalogError> checkText(std::string_view what, std::string_view text) {
    if (auto problem = textProblem(text)) {
        return std::unexpected(CatalogError::invalidInput(fmt::format("{} {}", what, *problem)));
    }
    return {};
}

// Stands in for a catalog that could not be made, so that the reason reaches every caller
// through the error path it already has.
class UnusableCatalog final : public CatalogDatabase {
public:
    explicit UnusableCatalog(CatalogError error) : error_(std::move(error)) {}

private:
    std::expected<CatalogRecord, CatalogError> saveFeed(const std::string&, const std::string&,
                                                        const std::string&) override {
        return std::unexpected(error_);
    }
    std::expected<std::vector<CatalogRecord>, CatalogError> searchFeeds(std::string_view,
                                                                        int) override {
        return std::unexpected(error_);
    }

    const CatalogError error_;
};

std::unique_ptr<CatalogDatabase> makeProcessCatalog() {
    const char* variable = std::getenv("PRESSLING_CATALOG");
    std::string setting = variable != nullptr ? variable : "";
    if (setting.empty()) {
        auto folder = dataFolder();
        if (!folder) {
            return std::make_unique<UnusableCatalog>(CatalogError::configuration(
                fmt::format("no data folder for the feed catalog: {}", folder.error())));
        }
        setting = "sqlite:" + (*folder / "catalog.sqlite").string();
    }
    auto catalog = CatalogDatabase::open(setting);
    if (!catalog) return std::make_unique<UnusableCatalog>(std::move(catalog.error()));
    return std::move(*catalog);
}

}  // namespace

CatalogDatabase::~CatalogDatabase() = default;

std::expected<std::unique_ptr<CatalogDatabase>, CatalogError> CatalogDatabase::open(
    std::string_view setting) {
    constexpr std::string_view kSqlite = "sqlite:";
    if (setting.starts_with(kSqlite)) {
        const auto path = setting.substr(kSqlite.size());
        if (path.empty()) {
            return std::unexpected(
                CatalogError::configuration("the catalog setting \"sqlite:\" names no file"));
        }
        auto catalog = SqliteCatalog::open(std::filesystem::path(path));
        if (!catalog) return std::unexpected(std::move(catalog.error()));
        return std::unique_ptr<CatalogDatabase>(std::move(*catalog));
    }
    if (setting.starts_with("postgresql://") || setting.starts_with("postgres://")) {
        auto catalog = PostgresCatalog::open(std::string(setting));
        if (!catalog) return std::unexpected(std::move(catalog.error()));
        return std::unique_ptr<CatalogDatabase>(std::move(*catalog));
    }
    // Only the scheme goes into the message: the rest of a mistyped server URL may hold a
    // password.
    const auto scheme = setting.substr(0, std::min(setting.find(':'), std::size_t(20)));
    return std::unexpected(CatalogError::configuration(fmt::format(
        "the catalog setting \"{}...\" is not understood: use sqlite:PATH or postgresql://...",
        scheme)));
}

std::expected<CatalogRecord, CatalogError> CatalogDatabase::save(const CatalogRecord& record) {
    if (!record.name || !record.about || !record.url) {
        return std::unexpected(CatalogError::invalidInput(
            fmt::format("the catalog record {} lacks its {}", record.recordName,
                        !record.name    ? "name"
                        : !record.about ? "about"
                                        : "url")));
    }
    if (record.url->empty()) {
        return std::unexpected(CatalogError::invalidInput("a catalog record needs a url"));
    }
    if (*record.url != record.recordName) {
        return std::unexpected(CatalogError::invalidInput(
            fmt::format("the catalog record {} has the url {}: they must be the same",
                        record.recordName, *record.url)));
    }
    for (auto [what, text] : {std::pair{"the feed url", std::string_view(*record.url)},
                              std::pair{"the feed name", std::string_view(*record.name)},
                              std::pair{"the feed description", std::string_view(*record.about)}}) {
        if (auto checked = checkText(what, text); !checked) {
            return std::unexpected(std::move(checked.error()));
        }
    }
    return saveFeed(*record.url, *record.name, *record.about);
}

std::expected<std::vector<CatalogRecord>, CatalogError> CatalogDatabase::search(
    std::string_view text, int limit) {
    if (auto checked = checkText("the search text", text); !checked) {
        return std::unexpected(std::move(checked.error()));
    }
    if (limit < 1) return std::vector<CatalogRecord>{};
    return searchFeeds(text, std::min(limit, kMaxSearchResults));
}

CatalogDatabase& catalogDatabase() {
    // A function-local static is initialised exactly once even when first calls race: the
    // others wait for the first to finish. Never destroyed: a save or search still running on
    // the global queue when the process exits must not find its catalog gone.
    static CatalogDatabase* const catalog = makeProcessCatalog().release();
    return *catalog;
}

}  // namespace pressling
