#include "subscriptions/PostgresCatalog.h"

#include <fmt/format.h>
#include <libpq-fe.h>

#include <array>
#include <mutex>
#include <span>

#include "CatalogResources.h"  // generated: resources/catalog-postgresql.sql, compiled in
#include "platform/Log.h"

namespace pressling {
namespace {

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

struct ConnectionDeleter {
    void operator()(PGconn* connection) const { PQfinish(connection); }
};
using ConnectionHandle = std::unique_ptr<PGconn, ConnectionDeleter>;

// Serialises the first-time setup of programs that connect to a new catalog at once. Any
// constant does, as long as every client uses the same one.
constexpr long long kSchemaLockKey = 0x5072657373436174;  // "PressCat"

std::string withoutTrailingNewlines(const char* text) {
    std::string message = text != nullptr ? text : "";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
        message.pop_back();
    }
    return message.empty() ? std::string("no reason given") : message;
}

std::string connectionMessage(const PGconn* connection) {
    return withoutTrailingNewlines(PQerrorMessage(connection));
}

// libpq prints server notices to stderr by default; ours go through the one logging helper.
void logNotice(void*, const char* message) {
    log::warning(fmt::format("feed catalog server: {}", withoutTrailingNewlines(message)));
}

std::expected<void, std::string> command(PGconn* connection, const char* sql) {
    Result result(PQexec(connection, sql));
    const auto status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        return std::unexpected(connectionMessage(connection));
    }
    return {};
}

std::expected<bool, std::string> functionsExist(PGconn* connection) {
    Result result(PQexec(connection,
                         "SELECT to_regprocedure('catalog_search(text, integer)') IS NOT NULL "
                         "AND to_regprocedure('catalog_save(text, text, text)') IS NOT NULL"));
    if (!result || PQresultStatus(result.get()) != PGRES_TUPLES_OK ||
        PQntuples(result.get()) != 1) {
        return std::unexpected(connectionMessage(connection));
    }
    return std::string_view(PQgetvalue(result.get(), 0, 0)) == "t";
}

// Applies the compiled-in schema unless the two functions are already there. The second look,
// under the lock, stops a program that waited for another's setup from applying it again.
std::expected<void, std::string> ensureSchema(PGconn* connection) {
    auto exist = functionsExist(connection);
    if (!exist) return std::unexpected(std::move(exist.error()));
    if (*exist) return {};

    auto applied = [&]() -> std::expected<void, std::string> {
        if (auto begun = command(connection, "BEGIN"); !begun) return begun;
        // Each idempotent statement of the schema says what it skipped; nobody needs that.
        if (auto quiet = command(connection, "SET LOCAL client_min_messages = warning"); !quiet) {
            return quiet;
        }
        const auto lock = fmt::format("SELECT pg_advisory_xact_lock({})", kSchemaLockKey);
        if (auto locked = command(connection, lock.c_str()); !locked) return locked;
        auto existNow = functionsExist(connection);
        if (!existNow) return std::unexpected(std::move(existNow.error()));
        if (!*existNow) {
            const std::string schema(resources::kCatalogPostgresSchema);
            if (auto made = command(connection, schema.c_str()); !made) return made;
        }
        return command(connection, "COMMIT");
    }();
    if (!applied) (void)command(connection, "ROLLBACK");
    return applied;
}

std::optional<std::string> field(const PGresult* result, int row, int column) {
    if (PQgetisnull(result, row, column)) return std::nullopt;
    return std::string(PQgetvalue(result, row, column),
                       std::size_t(PQgetlength(result, row, column)));
}

// Reads a row of url, name, about: what both catalog functions return.
CatalogRecord recordFromRow(const PGresult* result, int row) {
    auto url = field(result, row, 0);
    return CatalogRecord{url.value_or(""), field(result, row, 1), field(result, row, 2),
                         std::move(url)};
}

}  // namespace

struct PostgresCatalog::Connection {
    std::mutex mutex{};
    const std::string conninfo;
    const Options options;
    ConnectionHandle handle{};  // none until the first call, and after the server dropped it
    bool schemaReady = false;

    // The open connection, connecting (and setting up the schema) first if needed.
    std::expected<PGconn*, CatalogError> connected();
    // Runs sql with text parameters and returns its rows. A connection the server dropped
    // since the last call (a restart, an idle time-out) is replaced and the call made once
    // more: both catalog functions may safely run twice.
    std::expected<Result, CatalogError> query(const char* sql,
                                              std::span<const char* const> parameters);
};

std::expected<PGconn*, CatalogError> PostgresCatalog::Connection::connected() {
    if (handle && PQstatus(handle.get()) == CONNECTION_OK) return handle.get();
    handle.reset();

    // Keywords after "dbname" override what its URL says; those before it are defaults the URL
    // may override.
    const std::string timeout = std::to_string(options.connectTimeoutSeconds);
    const std::array<const char*, 5> keywords{"connect_timeout", "fallback_application_name",
                                              "dbname", "client_encoding", nullptr};
    const std::array<const char*, 5> values{timeout.c_str(), "pressling", conninfo.c_str(), "UTF8",
                                            nullptr};
    ConnectionHandle fresh(PQconnectdbParams(keywords.data(), values.data(), 1));
    if (!fresh) return std::unexpected(CatalogError::unavailable("out of memory for a connection"));
    if (PQstatus(fresh.get()) != CONNECTION_OK) {
        return std::unexpected(CatalogError::unavailable(fmt::format(
            "cannot connect to the feed catalog server: {}", connectionMessage(fresh.get()))));
    }
    PQsetNoticeProcessor(fresh.get(), logNotice, nullptr);

    const auto timeLimit = fmt::format("SET statement_timeout = {}", options.statementTimeoutMs);
    if (auto set = command(fresh.get(), timeLimit.c_str()); !set) {
        return std::unexpected(CatalogError::unavailable(fmt::format(
            "cannot set up the connection to the feed catalog server: {}", set.error())));
    }
    if (!schemaReady) {
        if (auto ready = ensureSchema(fresh.get()); !ready) {
            return std::unexpected(CatalogError::unavailable(
                fmt::format("cannot set up the feed catalog on the server: {}", ready.error())));
        }
        schemaReady = true;
    }
    handle = std::move(fresh);
    return handle.get();
}

std::expected<Result, CatalogError> PostgresCatalog::Connection::query(
    const char* sql, std::span<const char* const> parameters) {
    for (int attempt = 1;; ++attempt) {
        auto connection = connected();
        if (!connection) return std::unexpected(std::move(connection.error()));
        Result result(PQexecParams(*connection, sql, int(parameters.size()), nullptr,
                                   parameters.data(), nullptr, nullptr, 0));
        if (result && PQresultStatus(result.get()) == PGRES_TUPLES_OK) return result;

        const std::string reason = connectionMessage(*connection);
        if (PQstatus(*connection) != CONNECTION_BAD) {
            return std::unexpected(
                CatalogError::failed(fmt::format("the feed catalog server failed: {}", reason)));
        }
        handle.reset();
        if (attempt == 2) {
            return std::unexpected(CatalogError::unavailable(
                fmt::format("lost the connection to the feed catalog server: {}", reason)));
        }
    }
}

PostgresCatalog::PostgresCatalog(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

PostgresCatalog::~PostgresCatalog() = default;

std::expected<std::unique_ptr<PostgresCatalog>, CatalogError> PostgresCatalog::open(
    const std::string& conninfo, Options options) {
    char* error = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(conninfo.c_str(), &error);
    if (parsed == nullptr) {
        auto message = fmt::format(
            "the catalog server address is not understood: {}",
            error != nullptr ? withoutTrailingNewlines(error) : std::string("out of memory"));
        PQfreemem(error);
        return std::unexpected(CatalogError::configuration(std::move(message)));
    }
    PQconninfoFree(parsed);
    auto connection =
        std::unique_ptr<Connection>(new Connection{.conninfo = conninfo, .options = options});
    return std::unique_ptr<PostgresCatalog>(new PostgresCatalog(std::move(connection)));
}

std::expected<CatalogRecord, CatalogError> PostgresCatalog::saveFeed(const std::string& url,
                                                                     const std::string& name,
                                                                     const std::string& about) {
    const std::array<const char*, 3> parameters{url.c_str(), name.c_str(), about.c_str()};
    std::lock_guard lock(connection_->mutex);
    auto result =
        connection_->query("SELECT url, name, about FROM catalog_save($1, $2, $3)", parameters);
    if (!result) return std::unexpected(std::move(result.error()));
    if (PQntuples(result->get()) != 1) {
        return std::unexpected(CatalogError::failed(fmt::format(
            "the feed catalog server saved {} records for {}", PQntuples(result->get()), url)));
    }
    return recordFromRow(result->get(), 0);
}

std::expected<std::vector<CatalogRecord>, CatalogError> PostgresCatalog::searchFeeds(
    std::string_view text, int limit) {
    const std::string query(text);
    const std::string count = std::to_string(limit);
    const std::array<const char*, 2> parameters{query.c_str(), count.c_str()};
    std::lock_guard lock(connection_->mutex);
    auto result =
        connection_->query("SELECT url, name, about FROM catalog_search($1, $2)", parameters);
    if (!result) return std::unexpected(std::move(result.error()));

    std::vector<CatalogRecord> records;
    const int rows = PQntuples(result->get());
    records.reserve(std::size_t(rows));
    for (int row = 0; row < rows; ++row) records.push_back(recordFromRow(result->get(), row));
    return records;
}

}  // namespace pressling
