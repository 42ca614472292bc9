#pragma once

#include <expected>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "subscriptions/CatalogDatabase.h"

namespace pressling {

// The shared catalog on a PostgreSQL server, for all users of that server, reached over libpq.
//
// The program only calls the two functions of resources/catalog-postgresql.sql
// (catalog_search, catalog_save), so its login role needs no rights on the table itself. On
// its first connection the catalog applies that schema if the functions are missing (in one
// transaction, under an advisory lock, so programs starting together apply it once); a role
// that may not create them gets the server's reason as an unavailable error.
//
// The database must be UTF-8 and the server must support ICU collations (case folding of
// non-ASCII text does not depend on the database's locale).
//
// Any thread, concurrently: calls are serialised on one connection, made on first use and
// made again after the server drops it. A call never waits longer than the connect time-out
// for a server that does not answer, or the statement time-out for one that does not finish.
class PostgresCatalog final : public CatalogDatabase {
public:
    struct Options {
        // How long to wait for the server to accept a connection (libpq connect_timeout; a
        // value in the connection URL wins). Default: 5 s. Longer only delays the error when
        // the server is down.
        int connectTimeoutSeconds = 5;
        // How long one statement may run on the server before it is cancelled
        // (statement_timeout). Default: 15000 ms. A search on a large catalog takes a few
        // milliseconds; this bounds a server that is stuck on locks.
        int statementTimeoutMs = 15000;
    };

    // A catalog on the server that conninfo names: a "postgresql://" URL or a libpq
    // "key=value" string. Does not connect: fails, with configuration, only when conninfo
    // cannot be parsed (libpq's reason; the conninfo itself is not repeated, as it may hold a
    // password).
    static std::expected<std::unique_ptr<PostgresCatalog>, CatalogError> open(
        const std::string& conninfo, Options options);
    static std::expected<std::unique_ptr<PostgresCatalog>, CatalogError> open(
        const std::string& conninfo) {
        return open(conninfo, Options{});
    }

    ~PostgresCatalog() override;

private:
    struct Connection;
    explicit PostgresCatalog(std::unique_ptr<Connection> connection);

    std::expected<CatalogRecord, CatalogError> saveFeed(const std::string& url,
                                                        const std::string& name,
                                                        const std::string& about) override;
    std::expected<std::vector<CatalogRecord>, CatalogError> searchFeeds(std::string_view text,
                                                                        int limit) override;

    std::unique_ptr<Connection> connection_;
};

}  // namespace pressling
