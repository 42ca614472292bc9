#include "support/TemporaryPostgresSchema.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <memory>

namespace pressling::test {
namespace {

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;

// A connection to url, or null after failing the current test (fatally: a set-up ends there).
Connection connect(const std::string& url, const std::string& doing) {
    Connection connection(PQconnectdb(url.c_str()), &PQfinish);
    if (PQstatus(connection.get()) != CONNECTION_OK) {
        [&] {
            FAIL() << "cannot connect to the test PostgreSQL server to " << doing << ": "
                   << PQerrorMessage(connection.get());
        }();
        return {nullptr, &PQfinish};
    }
    // Notices ("schema ... does not exist, skipping") are noise in test output.
    PQsetNoticeProcessor(
        connection.get(), [](void*, const char*) {}, nullptr);
    return connection;
}

// Runs each statement in turn; on the first failure, fails the current test and returns false.
bool run(PGconn* connection, std::initializer_list<std::string> statements) {
    for (const auto& sql : statements) {
        PGresult* result = PQexec(connection, sql.c_str());
        const auto status = PQresultStatus(result);
        PQclear(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            [&] { FAIL() << sql << ": " << PQerrorMessage(connection); }();
            return false;
        }
    }
    return true;
}

}  // namespace

TemporaryPostgresSchema::TemporaryPostgresSchema() {
    const char* server = std::getenv("PRESSLING_TEST_POSTGRES");
    if (!server || !*server) {
        const char* ci = std::getenv("CI");
        if (ci && std::string_view(ci) == "true")
            [] { FAIL() << "PRESSLING_TEST_POSTGRES is not set"; }();
        else
            [] { GTEST_SKIP() << "PRESSLING_TEST_POSTGRES is not set"; }();
        return;
    }
    serverUrl_ = server;
    static std::atomic<int> counter{0};
    const std::string name =
        "pressling_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    auto connection = connect(serverUrl_, "prepare the test schema");
    // Test processes start together under ctest -j: the lock keeps them from racing.
    if (!connection ||
        !run(connection.get(), {"BEGIN", "SELECT pg_advisory_xact_lock(7151)",
                                "CREATE EXTENSION IF NOT EXISTS pg_trgm SCHEMA public", "COMMIT",
                                "CREATE SCHEMA " + name}))
        return;
    name_ = name;
    url_ = serverUrl_ + (serverUrl_.find('?') == std::string::npos ? "?" : "&") +
           "options=-c%20search_path%3D" + name_ + "%2Cpublic";
}

void TemporaryPostgresSchema::execute(const std::string& sql) const {
    if (auto connection = connect(url_, "run " + sql)) run(connection.get(), {sql});
}

TemporaryPostgresSchema::~TemporaryPostgresSchema() {
    if (name_.empty()) return;
    if (auto connection = connect(serverUrl_, "drop test schema " + name_))
        run(connection.get(), {"DROP SCHEMA IF EXISTS " + name_ + " CASCADE"});
}

}  // namespace pressling::test
