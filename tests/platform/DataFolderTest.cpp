// The data folder: override, PRESSLING_DATA_DIR, XDG_DATA_HOME, then HOME; made on first use.

#include "platform/DataFolder.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace pressling {
namespace {

namespace fs = std::filesystem;

// HOME points into the test's own folder; the variables and the override are put back after.
class DataFolderTest : public testing::Test {
protected:
    DataFolderTest() { environment.set("HOME", (root.path() / "home").string()); }
    ~DataFolderTest() override { setDataFolderOverride({}); }
    // nullptr unsets; "" and values starting with '.' are set as given; others are under root.
    void set(const char* name, const char* value) {
        if (!value) return environment.set(name, std::nullopt);
        environment.set(name, *value && *value != '.' ? (root.path() / value).string() : value);
    }
    test::TemporaryDirectory root;
    test::ScopedEnvironment environment;
};

TEST_F(DataFolderTest, FirstSourceThatIsSetWins) {
    // The override, PRESSLING_DATA_DIR and XDG_DATA_HOME (nullptr: unset), and the folder chosen.
    const struct {
        const char *override, *own, *xdg, *chosen;
    } rows[] = {
        {"override", "own", "xdg", "override"},
        {nullptr, "own", "xdg", "own"},
        {nullptr, nullptr, "xdg", "xdg/pressling"},
        {nullptr, nullptr, nullptr, "home/.local/share/pressling"},
        {nullptr, "", "", "home/.local/share/pressling"},             // empty counts as unset
        {nullptr, nullptr, "./data", "home/.local/share/pressling"},  // relative XDG is ignored
    };
    for (const auto& row : rows) {
        setDataFolderOverride(row.override ? root.path() / row.override : fs::path());
        set("PRESSLING_DATA_DIR", row.own);
        set("XDG_DATA_HOME", row.xdg);
        const auto folder = dataFolder();
        ASSERT_TRUE(folder) << folder.error();
        EXPECT_EQ(*folder, root.path() / row.chosen);
        EXPECT_TRUE(fs::is_directory(*folder)) << "not created with its parents";
    }
    // A second call finds the folder there and leaves what it holds.
    root.write("home/.local/share/pressling/kvstore.sqlite", "kept");
    EXPECT_EQ(dataFolder(), root.path() / "home/.local/share/pressling");
    EXPECT_TRUE(fs::exists(root.path() / "home/.local/share/pressling/kvstore.sqlite"));
}

TEST_F(DataFolderTest, NamesAFolderThatCannotBeCreated) {
    const fs::path blocker = root.write("blocker", "a file, not a folder");
    for (const fs::path& folder : {blocker, blocker / "inside"}) {
        setDataFolderOverride(folder);
        const auto found = dataFolder();
        ASSERT_FALSE(found) << folder;
        EXPECT_NE(found.error().find(folder.string()), std::string::npos) << found.error();
    }
}

}  // namespace
}  // namespace pressling
