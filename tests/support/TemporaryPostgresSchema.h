#pragma once

#include <optional>
#include <string>

namespace pressling::test {

// $PRESSLING_TEST_POSTGRES (from scripts/start-test-postgres.sh); none when unset or empty.
std::optional<std::string> testPostgresUrl();

// Whether a missing test server fails rather than skips: on CI (CI=true), where one is started.
bool isTestPostgresRequired();

// A fresh schema on the test server (pg_trgm in "public"), dropped with its contents at the end.
class TemporaryPostgresSchema {
public:
    // serverUrl is a "postgresql://" URL; failures fail the current test, so check ok().
    explicit TemporaryPostgresSchema(const std::string& serverUrl);
    ~TemporaryPostgresSchema();
    TemporaryPostgresSchema(const TemporaryPostgresSchema&) = delete;
    TemporaryPostgresSchema& operator=(const TemporaryPostgresSchema&) = delete;

    bool ok() const { return !name_.empty(); }
    const std::string& name() const { return name_; }
    // serverUrl with this schema first on the search_path ("public" after it, for pg_trgm).
    const std::string& url() const { return url_; }

    // Runs sql on a connection of its own, as another client would; failing fails the test.
    void execute(const std::string& sql) const;

private:
    std::string serverUrl_;
    std::string name_;
    std::string url_;
};

}  // namespace pressling::test
