#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace pressling::test {
namespace {

void setVariable(const std::string& name, const std::optional<std::string>& value) {
    value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
}

std::filesystem::path fixturePath(std::string_view layer, std::string_view name) {
    return std::filesystem::path(PRESSLING_TEST_DATA_DIR) / layer / "data" / name;
}

}  // namespace

std::vector<std::string> fixtureNames(std::string_view layer, std::string_view extension) {
    std::vector<std::string> names;
    for (const auto& file : std::filesystem::directory_iterator(fixturePath(layer, ""))) {
        if (file.path().extension() == extension) names.push_back(file.path().stem().string());
    }
    return names;
}

std::string readFixture(std::string_view layer, std::string_view name) {
    std::ifstream in(fixturePath(layer, name), std::ios::binary);
    if (!in) ADD_FAILURE() << "missing fixture " << fixturePath(layer, name);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::pair<std::string, std::string>> readTable(std::string_view layer,
                                                           std::string_view name) {
    std::vector<std::pair<std::string, std::string>> rows;
    std::istringstream in(readFixture(layer, name));
    for (std::string line; std::getline(in, line);) {
        if (const auto tab = line.find('\t'); !line.starts_with('#') && tab != std::string::npos)
            rows.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return rows;
}

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "pressling-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder under " + pattern);
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TemporaryDirectory::write(std::string_view name,
                                                std::string_view content) const {
    const auto file = path_ / name;
    std::ofstream(file, std::ios::binary).write(content.data(), std::streamsize(content.size()));
    return file;
}

ScopedEnvironment::~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) setVariable(it->first, it->second);
}

void ScopedEnvironment::set(const std::string& name, const std::optional<std::string>& value) {
    if (std::ranges::find(saved_, name, &decltype(saved_)::value_type::first) == saved_.end()) {
        const char* before = std::getenv(name.c_str());
        saved_.emplace_back(name, before ? std::optional<std::string>(before) : std::nullopt);
    }
    setVariable(name, value);
}

}  // namespace pressling::test
