#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pressling::test {

// The bytes of tests/<layer>/data/<name>; fails the current test if the file is missing.
std::string readFixture(std::string_view layer, std::string_view name);
std::filesystem::path fixturePath(std::string_view layer, std::string_view name);
// The rows of a table fixture: each line not starting with '#' as what comes before its first tab
// (the expected answer) and what follows it (the input).
std::vector<std::pair<std::string, std::string>> readTable(std::string_view layer,
                                                           std::string_view name);

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes away. Never the user's data.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes content to path()/name and returns the full path.
    std::filesystem::path write(std::string_view name, std::string_view content) const;

private:
    std::filesystem::path path_;
};

// Environment variables set (or, given nullopt, unset) for as long as the object lives; the
// destructor puts back what each was before. Like setenv itself, only while no other thread
// reads the environment.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void set(const std::string& name, const std::optional<std::string>& value);

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace pressling::test
