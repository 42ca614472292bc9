#include "support/TemporaryPostgresSchema.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>

namespace pressling::test {
namespace {

struct ConnectionDeleter {
    void operator()(PGconn* connection) const { PQfinish(connection); }
};
using Connection = std::unique_ptr<PGconn, ConnectionDeleter>;

// Runs sql; on failure returns the server's message.
std::optional<std::string> run(PGconn* connection, const std::string& sql) {
    PGresult* result = PQexec(connection, sql.c_str());
    const auto status = PQresultStatus(result);
    PQclear(result);
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return std::nullopt;
    return std::string(PQerrorMessage(connection));
}

Connection connect(const std::string& url, std::string& error) {
    Connection connection(PQconnectdb(url.c_str()));
    if (PQstatus(connection.get()) != CONNECTION_OK) {
        error = PQerrorMessage(connection.get());
        return nullptr;
    }
    // Notices ("schema ... does not exist, skipping") are noise in test output.
    PQsetNoticeProcessor(
        connection.get(), [](void*, const char*) {}, nullptr);
    return connection;
}

}  // namespace

std::optional<std::string> testPostgresUrl() {
    const char* url = std::getenv("PRESSLING_TEST_POSTGRES");
    if (url == nullptr || *url == '\0') return std::nullopt;
    return std::string(url);
}

bool isTestPostgresRequired() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string_view(ci) == "true";
}

TemporaryPostgresSchema::TemporaryPostgresSchema(const std::string& serverUrl)
    : serverUrl_(serverUrl) {
    static std::atomic<int> counter{0};
    const std::string name =
        "pressling_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);

    std::string error;
    auto connection = connect(serverUrl_, error);
    if (!connection) {
        ADD_FAILURE() << "cannot connect to the test PostgreSQL server: " << error;
        return;
    }
    // Test processes start together under ctest -j: the lock keeps them from racing to
    // install the extension.
    for (const std::string& sql :
         {std::string("BEGIN"), std::string("SELECT pg_advisory_xact_lock(7151)"),
          std::string("CREATE EXTENSION IF NOT EXISTS pg_trgm SCHEMA public"),
          std::string("COMMIT"), "CREATE SCHEMA " + name}) {
        if (auto failed = run(connection.get(), sql)) {
            ADD_FAILURE() << "cannot prepare the test schema (" << sql << "): " << *failed;
            return;
        }
    }
    name_ = name;
    url_ = serverUrl_ + (serverUrl_.find('?') == std::string::npos ? "?" : "&") +
           "options=-c%20search_path%3D" + name_ + "%2Cpublic";
}

void TemporaryPostgresSchema::execute(const std::string& sql) const {
    std::string error;
    auto connection = connect(url_, error);
    if (!connection) {
        ADD_FAILURE() << "cannot connect to the test PostgreSQL server: " << error;
        return;
    }
    if (auto failed = run(connection.get(), sql)) ADD_FAILURE() << sql << ": " << *failed;
}

TemporaryPostgresSchema::~TemporaryPostgresSchema() {
    if (name_.empty()) return;
    std::string error;
    auto connection = connect(serverUrl_, error);
    if (!connection) {
        ADD_FAILURE() << "cannot connect to drop test schema " << name_ << ": " << error;
        return;
    }
    if (auto failed = run(connection.get(), "DROP SCHEMA IF EXISTS " + name_ + " CASCADE")) {
        ADD_FAILURE() << "cannot drop test schema " << name_ << ": " << *failed;
    }
}

}  // namespace pressling::test
