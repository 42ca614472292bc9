// `pressling-cli list` and `catalog search`, against a throwaway data folder.

#include "CliRunner.h"
#include "platform/KeyValueStore.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <sstream>

namespace pressling {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class CliWithDataFolder : public testing::Test {
protected:
    test::TemporaryDirectory data;

    void storeSubscriptions(std::string_view bytes) {
        KeyValueStore store(data.path() / "kvstore.sqlite");
        ASSERT_TRUE(store.setData(bytes, "storedRss").has_value());
    }

    test::CliRun cli(std::vector<std::string_view> arguments) {
        const std::string folder = data.path().string();
        arguments.insert(arguments.begin(), {"--data-dir", folder});
        return test::runCli(arguments, {{"PRESSLING_CATALOG", "sqlite:" + (data.path() / "catalog.sqlite").string()}});
    }
};

TEST_F(CliWithDataFolder, ListShowsSubscriptionsByTitleWithErrorMarks) {
    storeSubscriptions(R"([{"title":"beta","url":"https:\/\/b.example\/feed","error":false},)"
                       R"({"title":"Alpha","url":"https:\/\/a.example\/feed","error":true},)"
                       R"({"title":"alpha","url":"https:\/\/c.example\/feed"}])");
    const auto run = cli({"list"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(linesOf(run.out), (std::vector<std::string>{
                                    "1\tAlpha\thttps://a.example/feed\terror",
                                    "2\talpha\thttps://c.example/feed",
                                    "3\tbeta\thttps://b.example/feed",
                                }));
}

TEST_F(CliWithDataFolder, ListOfNothingIsEmpty) {
    const auto run = cli({"list"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST_F(CliWithDataFolder, CatalogSearchFindsSeededFeeds) {
    const auto run = cli({"catalog", "search", "news"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = linesOf(run.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_LE(lines.size(), 50u);
    for (const auto& line : lines) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line;
    }

    const auto none = cli({"catalog", "search", "zzqqxx-no-such-feed"});
    EXPECT_EQ(none.status, 0) << none.err;
    EXPECT_EQ(none.out, "");
}

TEST_F(CliWithDataFolder, WrongArgumentsExitTwo) {
    for (const auto& arguments : std::vector<std::vector<std::string_view>>{
             {"list", "extra"}, {"catalog"}, {"catalog", "find", "x"}, {"catalog", "search"}}) {
        const auto run = cli(arguments);
        EXPECT_EQ(run.status, 2) << arguments[0];
        EXPECT_NE(run.err.find("usage: pressling-cli"), std::string::npos) << run.err;
    }
    const auto noFolder = test::runCli({"--data-dir"});
    EXPECT_EQ(noFolder.status, 2);
}

}  // namespace
}  // namespace pressling
