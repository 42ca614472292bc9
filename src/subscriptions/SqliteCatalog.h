#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "subscriptions/CatalogDatabase.h"

namespace pressling {

// The embedded catalog: one SQLite file (by default catalog.sqlite in the data folder), shared
// by every program of the user that opens it.
//
// A new file starts with a few hundred well-known public feeds (news, technology, science,
// open source, culture), compiled into the program, so search finds something on first run.
// They are added once, when the file is created, in the same transaction that creates the
// tables: a feed deleted from the file later does not come back.
//
// Search first walks the feeds in name order, which answers at once for text that many feeds
// contain; text found in fewer goes to an FTS5 trigram index (three characters or more) or, when
// shorter, to a scan of the table. On 100 000 feeds a search takes at most about 5 ms, except
// rare one- or two-character text, which reads every row (about 50 ms); see
// bench/catalog_bench.cpp.
//
// Any thread, concurrently: calls are serialised on one connection. Other processes open their
// own connection to the same file; SQLite's locks (WAL mode, a busy time-out) keep them apart.
class SqliteCatalog final : public CatalogDatabase {
public:
    struct Options {
        // How many feeds, in name order, a search reads before it turns to the index (or, for
        // text under three characters, to a scan of the table). A catalog with no more feeds
        // than this is always scanned whole. Default: 2000, about a millisecond. More answers
        // text that fewer feeds contain from the walk, at a higher cost for text that is rare;
        // 0 goes to the index or the scan at once.
        std::int64_t nameOrderWalk = 2000;
    };

    // Opens the catalog file at path, creating and seeding it if it does not exist (its folder
    // must). Fails with unavailable, naming the file, when it cannot be opened or created, is
    // not a SQLite database, is a SQLite database of something else (it is left untouched), or
    // was made by a newer version of this program.
    static std::expected<std::unique_ptr<SqliteCatalog>, CatalogError> open(
        const std::filesystem::path& path, Options options);
    static std::expected<std::unique_ptr<SqliteCatalog>, CatalogError> open(
        const std::filesystem::path& path) {
        return open(path, Options{});
    }

    // The feeds a new catalog starts with, in the order the compiled-in list gives them. Lines
    // of that list that are not "name<TAB>about<TAB>url" are left out.
    static std::vector<CatalogRecord> seedRecords();

    ~SqliteCatalog() override;

private:
    struct Connection;
    explicit SqliteCatalog(std::unique_ptr<Connection> connection);

    std::expected<CatalogRecord, CatalogError> saveFeed(const std::string& url,
                                                        const std::string& name,
                                                        const std::string& about) override;
    std::expected<std::vector<CatalogRecord>, CatalogError> searchFeeds(std::string_view text,
                                                                        int limit) override;

    std::unique_ptr<Connection> connection_;
};

}  // namespace pressling
