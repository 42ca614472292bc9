// `list`, and the arguments of every command: help, version and wrong uses.

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
    EXPECT_EQ(
        cli({"list", "--json"}).out,
        R"([{"position":1,"title":"Alpha","url":"https://a.example/feed","error":true},)"
        R"({"position":2,"title":"alpha\n2\tforged\u001b[2J\\n","url":"https://c.example/\tx",)"
        R"("error":null},{"position":3,"title":"beta","url":"https://b.example/feed",)"
        R"("error":false}])"
        "\n");
}

TEST_F(Subscriptions, HelpAndVersionGoToStdoutAndWrongArgumentsAreNamedWithExitTwo) {
    // Arguments separated by "|", exit status, what stdout holds, what stderr holds. CLI11 reads
    // the arguments; these rows are our own checks and one of each kind of its own.
    const struct {
        std::string_view arguments;
        int status;
        std::string_view out, err;
    } rows[] = {
        {"--version", 0, "pressling-cli 0.1.0\n", ""},
        {"help", 0, "Usage: pressling-cli [OPTIONS] SUBCOMMAND", ""},
        {"articles|--help", 0, "--json", ""},
        {"catalog|search|--help", 0, "Usage: pressling-cli catalog search [OPTIONS] TEXT", ""},
        {"", 2, "", "A subcommand is required"},
        {"frobnicate", 2, "", "unknown command frobnicate"},
        {"parse", 2, "", "SOURCE is required"},
        {"parse|--url|not a url|a.xml", 2, "", "--url: not a URL: not a url"},
        {"catalog|find|x", 2, "", "unknown command find"},
        {"add|not a url", 2, "", "URL: not a URL: not a url"},
        {"remove|zero", 2, "", "POSITION: needs a whole number above 0, not zero"},
        {"articles|--limit|0", 2, "", "--limit: needs a whole number above 0, not 0"},
        {"export|a|b", 2, "", "not expected: b"},
    };
    for (const auto& row : rows) {
        std::vector<std::string_view> arguments;
        for (const auto part : std::views::split(row.arguments, '|')) arguments.emplace_back(part);
        if (row.arguments.empty()) arguments.clear();
        const auto run = cli(arguments);
        EXPECT_TRUE(test::exitsWith(run, row.status, row.out, row.err)) << row.arguments;
        if (row.status == 2) {
            EXPECT_TRUE(contains(run.err, "Usage: pressling-cli")) << run.err;
        }
    }
    EXPECT_EQ(test::runCli({"--data-dir"}).status, 2);
    EXPECT_EQ(test::runCli({"--data-dir=", "list"}).status, 2);
}

}  // namespace
}  // namespace pressling
