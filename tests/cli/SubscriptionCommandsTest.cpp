// `list`, and the argument rules of every command.

#include "CliRunner.h"

#include <ranges>

namespace pressling {
namespace {

using test::contains;
using Subscriptions = test::CliTest;

TEST_F(Subscriptions, ListShowsThemByTitleWithErrorMarksAndEscapedControlCharacters) {
    storeList(R"([{"title":"beta","url":"https:\/\/b.example\/feed","error":false},)"
              R"({"title":"Alpha","url":"https:\/\/a.example\/feed","error":true},)"
              R"({"title":"alpha\n2\tforged\u001b[2J\\n","url":"https:\/\/c.example\/\tx"}])");
    EXPECT_EQ(cli({"list"}).out,
              "1\tAlpha\thttps://a.example/feed\terror\n"
              "2\talpha\\n2\\tforged\\x1b[2J\\\\n\thttps://c.example/\\tx\n"
              "3\tbeta\thttps://b.example/feed\n");
}

TEST_F(Subscriptions, WrongArgumentsPrintUsageAndExitTwo) {
    // One wrong use of each command; arguments separated by "|".
    // clang-format off
    const std::string_view wrong[] = {
        "", "frobnicate", "parse", "parse|a.xml|b.xml", "parse|--verbose|a.xml", "parse|a.xml|--url",
        "parse|--url|not a url|a.xml", "list|extra", "catalog", "catalog|find|x", "add",
        "add|not a url", "remove|zero", "remove|0", "refresh|now", "articles|--limit|0",
        "articles|--sort", "articles|--sort|name", "cleanup|all", "import", "export|a|b"};
    // clang-format on
    for (const std::string_view row : wrong) {
        std::vector<std::string_view> arguments;
        for (const auto part : std::views::split(row, '|')) arguments.emplace_back(part);
        const auto run = cli(arguments);
        EXPECT_TRUE(test::exitsWith(run, 2, "", "usage: pressling-cli")) << row;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(test::runCli({"--data-dir"}).status, 2);
    EXPECT_EQ(test::runCli({"--data-dir=", "list"}).status, 2);
}

}  // namespace
}  // namespace pressling
