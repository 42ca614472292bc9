#pragma once

#include <string>

namespace pressling::test {

// A fresh schema (pg_trgm in "public") on the server at $PRESSLING_TEST_POSTGRES (from
// scripts/start-test-postgres.sh), dropped with its contents at the end.
class TemporaryPostgresSchema {
public:
    // Without that variable the current test is skipped, or failed on CI (CI=true), where a
    // server is started; failing to set the schema up fails the test. Check ok() and return.
    TemporaryPostgresSchema();
    ~TemporaryPostgresSchema();
    TemporaryPostgresSchema(const TemporaryPostgresSchema&) = delete;
    TemporaryPostgresSchema& operator=(const TemporaryPostgresSchema&) = delete;

    bool ok() const { return !name_.empty(); }
    const std::string& name() const { return name_; }
    // The server's URL with this schema first on the search_path ("public" after it, for pg_trgm).
    const std::string& url() const { return url_; }

    // Runs sql on a connection of its own, as another client would; failing fails the test.
    void execute(const std::string& sql) const;

private:
    std::string serverUrl_;
    std::string name_;
    std::string url_;
};

}  // namespace pressling::test
