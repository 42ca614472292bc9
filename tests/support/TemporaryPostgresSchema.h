#pragma once

#include <optional>
#include <string>

namespace pressling::test {

// The PostgreSQL server the tests may use: the connection URL in $PRESSLING_TEST_POSTGRES, as
// printed by scripts/start-test-postgres.sh. None when the variable is unset or empty.
std::optional<std::string> testPostgresUrl();

// Whether a missing test server is a failure rather than a reason to skip: on CI (CI=true),
// where .ci/run starts one, a PostgreSQL test that quietly skipped would hide a broken setup.
bool isTestPostgresRequired();

// A fresh, empty schema on the test server, dropped with everything in it when the object goes
// away, so each test starts from nothing and tests running in parallel never meet. Makes sure
// pg_trgm is installed in "public" first. One thread; not copyable or movable.
class TemporaryPostgresSchema {
public:
    // serverUrl must be a "postgresql://" URL. Failures (no server, no rights) fail the current
    // test; check ok() before use.
    explicit TemporaryPostgresSchema(const std::string& serverUrl);
    ~TemporaryPostgresSchema();
    TemporaryPostgresSchema(const TemporaryPostgresSchema&) = delete;
    TemporaryPostgresSchema& operator=(const TemporaryPostgresSchema&) = delete;

    bool ok() const { return !name_.empty(); }
    const std::string& name() const { return name_; }
    // serverUrl with this schema first on the search_path ("public" after it, for pg_trgm).
    const std::string& url() const { return url_; }

    // Runs sql on a connection of its own, as another client would; a failure fails the
    // current test.
    void execute(const std::string& sql) const;

private:
    std::string serverUrl_;
    std::string name_;
    std::string url_;
};

}  // namespace pressling::test
