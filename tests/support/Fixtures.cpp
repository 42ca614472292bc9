#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace pressling::test {

std::filesystem::path fixturePath(std::string_view layer, std::string_view name) {
    return std::filesystem::path(PRESSLING_TEST_DATA_DIR) / layer / "data" / name;
}

std::string readFixture(std::string_view layer, std::string_view name) {
    const auto path = fixturePath(layer, name);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "missing fixture " << path;
        return {};
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pressling-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder under " + pattern);
    }
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TemporaryDirectory::write(std::string_view name,
                                                std::string_view content) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(content.data(), std::streamsize(content.size()));
    return file;
}

}  // namespace pressling::test
