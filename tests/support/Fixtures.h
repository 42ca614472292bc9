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
// The names, less the extension, of the files in tests/<layer>/data ending in extension.
std::vector<std::string> fixtureNames(std::string_view layer, std::string_view extension);
// A table fixture's rows: each line not starting with '#' as {before, after} its first tab.
std::vector<std::pair<std::string, std::string>> readTable(std::string_view layer,
                                                           std::string_view name);

// A fresh folder under the system's temporary folder, removed with its contents at the end.
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

// Environment variables set (nullopt: unset) while the object lives, then put back; one thread.
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
