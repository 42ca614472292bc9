// Where the data folder is: override, then PRESSLING_DATA_DIR, then XDG_DATA_HOME, then HOME;
// created on first use; a folder that cannot be made is named in the error.

#include "platform/DataFolder.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>

namespace pressling {
namespace {

namespace fs = std::filesystem;

// Sets the variables a test names, and restores every one of them (and clears the override)
// when the test ends, so no test sees another's environment or the user's real folders.
class DataFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"PRESSLING_DATA_DIR", "XDG_DATA_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
        }
        set("PRESSLING_DATA_DIR", std::nullopt);
        set("XDG_DATA_HOME", std::nullopt);
        set("HOME", (root.path() / "home").string());
    }

    void TearDown() override {
        setDataFolderOverride({});
        for (const auto& [name, value] : saved_) set(name.c_str(), value);
    }

    static void set(const char* name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }

    fs::path folder() {
        auto found = dataFolder();
        EXPECT_TRUE(found.has_value()) << found.error();
        return found.value_or(fs::path());
    }

    test::TemporaryDirectory root;

  private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST_F(DataFolderTest, shouldPreferEachSourceOverTheNext) {
    const fs::path own = root.path() / "own";
    const fs::path xdg = root.path() / "xdg";
    set("PRESSLING_DATA_DIR", own.string());
    set("XDG_DATA_HOME", xdg.string());
    setDataFolderOverride(root.path() / "override");
    EXPECT_EQ(folder(), root.path() / "override");

    setDataFolderOverride({});
    EXPECT_EQ(folder(), own);

    set("PRESSLING_DATA_DIR", std::nullopt);
    EXPECT_EQ(folder(), xdg / "pressling");

    set("XDG_DATA_HOME", std::nullopt);
    EXPECT_EQ(folder(), root.path() / "home" / ".local" / "share" / "pressling");
}

TEST_F(DataFolderTest, shouldTreatEmptyVariablesAsUnsetAndIgnoreARelativeXdgDataHome) {
    set("PRESSLING_DATA_DIR", "");
    set("XDG_DATA_HOME", "");
    EXPECT_EQ(folder(), root.path() / "home" / ".local" / "share" / "pressling");

    set("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(folder(), root.path() / "home" / ".local" / "share" / "pressling");
}

TEST_F(DataFolderTest, shouldCreateTheFolderWithItsParentsOnFirstUse) {
    const fs::path deep = root.path() / "a" / "b" / "c";
    set("PRESSLING_DATA_DIR", deep.string());
    ASSERT_FALSE(fs::exists(root.path() / "a"));
    EXPECT_EQ(folder(), deep);
    EXPECT_TRUE(fs::is_directory(deep));
    // A second call finds it there and leaves what it holds.
    root.write("a/b/c/kvstore.sqlite", "kept");
    EXPECT_EQ(folder(), deep);
    EXPECT_TRUE(fs::exists(deep / "kvstore.sqlite"));
}

TEST_F(DataFolderTest, shouldNameAFolderThatCannotBeCreated) {
    const fs::path blocker = root.write("blocker", "a file, not a folder");
    set("PRESSLING_DATA_DIR", blocker.string());
    auto taken = dataFolder();
    ASSERT_FALSE(taken.has_value());
    EXPECT_NE(taken.error().find(blocker.string()), std::string::npos) << taken.error();

    setDataFolderOverride(blocker / "inside");
    auto below = dataFolder();
    ASSERT_FALSE(below.has_value());
    EXPECT_NE(below.error().find((blocker / "inside").string()), std::string::npos)
        << below.error();
}

}  // namespace
}  // namespace pressling
