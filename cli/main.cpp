// pressling-cli: the Pressling core without a screen, for scripts, servers and debugging feeds.
//
// Every command is a CLI11 subcommand here, with its arguments; after parsing, the one given
// runs. A new command is a subcommand with its options and one dispatch line below.

#include "CatalogCommand.h"
#include "FeedCommands.h"
#include "ListCommand.h"
#include "OpmlCommands.h"
#include "ParseCommand.h"
#include "ReadingListCommand.h"
#include "flows/OpenURL.h"
#include "platform/DataFolder.h"
#include "platform/Version.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <iostream>
#include <string_view>
#include <vector>

namespace {

using namespace pressling;

// Wrong arguments: what was wrong (CLI11 names the argument) and the usage of the command it
// was given to, on stderr; status 2. --help and --version print to stdout; status 0.
int reportParseError(const CLI::App& program, const CLI::ParseError& problem) {
    if (problem.get_exit_code() == 0) return program.exit(problem);
    const CLI::App* command = &program;
    std::string name = program.get_name();
    for (;;) {
        const auto given = command->get_subcommands();
        if (given.empty()) break;
        command = given.front();
        name += " " + command->get_name();
    }
    // CLI11 takes an unknown command for a missing one; say which word it did not know.
    const auto extra = command->remaining();
    const bool unknown = !extra.empty() && command->get_require_subcommand_min() > 0;
    std::cerr << "pressling-cli: "
              << (unknown ? "unknown command " + extra.front() : std::string(problem.what()))
              << '\n'
              << CLI::Formatter().make_usage(command, name)
              << "Run with --help for more information.\n";
    return 2;
}

const CLI::Validator kNotEmpty(
    [](const std::string& text) { return text.empty() ? std::string("is empty") : ""; }, "");
// CLI11's own number checks print their range in floating point.
const CLI::Validator kPositive(
    [](const std::string& text) {
        std::size_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        const bool positive = error == std::errc() && end == text.data() + text.size() && value > 0;
        return positive ? "" : "needs a whole number above 0, not " + text;
    },
    "");
const CLI::Validator kUrl(
    [](const std::string& text) { return Url::parse(text) ? "" : "not a URL: " + text; }, "URL");
// As the reader takes a URL another program hands it: feed: and the like become http.
const CLI::Validator kOpenedUrl(
    [](const std::string& text) { return normalizeOpenedURL(text) ? "" : "not a URL: " + text; },
    "URL");

}  // namespace

int main(int argc, char** argv) {
    CLI::App program{"The Pressling feed reader without a screen.", "pressling-cli"};
    program.set_version_flag("--version", "pressling-cli " + std::string(presslingVersion()));
    program.require_subcommand(1);
    std::string folder;
    program.add_option("--data-dir", folder, "Work on the data in DIR")
        ->option_text("DIR")
        ->check(kNotEmpty);

    auto* help = program.add_subcommand("help", "Show this help");

    cli::ParseOptions parse;
    auto* parseCommand =
        program.add_subcommand("parse", "Read one feed document and print it as JSON");
    parseCommand->add_flag("--check", parse.check,
                           "Print whether it is a feed, judged as subscribing judges it");
    parseCommand->add_option("--url", parse.url, "The address the document stands for")
        ->check(kUrl);
    parseCommand->add_option("SOURCE", parse.source, "A file, or an http(s) address")
        ->required()
        ->check(kNotEmpty);

    std::string added;
    auto* add = program.add_subcommand("add", "Check a feed and subscribe to it");
    add->add_option("URL", added, "The feed's address (feed: links too)")
        ->required()
        ->check(kOpenedUrl);

    bool listJson = false;
    auto* list = program.add_subcommand("list", "The subscriptions, by title");
    list->add_flag("--json", listJson, "One JSON array, for scripts");

    std::size_t position = 0;
    auto* remove = program.add_subcommand("remove", "Unsubscribe, and drop the feed's articles");
    remove->add_option("POSITION", position, "As list numbers them, from 1")
        ->required()
        ->check(kPositive);

    auto* refresh =
        program.add_subcommand("refresh", "Download every subscribed feed, store new articles");

    cli::ArticlesOptions articles;
    auto* articlesCommand =
        program.add_subcommand("articles", "The stored articles, newest first, by day");
    articlesCommand->add_option("--feed", articles.feed, "Only this feed's (its URL)")
        ->option_text("URL");
    articlesCommand->add_option("--search", articles.search, "Only those that contain TEXT")
        ->option_text("TEXT");
    articlesCommand->add_option("--limit", articles.limit, "At most N (default 50)")
        ->option_text("N")
        ->check(kPositive);
    articlesCommand->add_flag("--json", articles.json, "One JSON array, for scripts");

    auto* cleanup =
        program.add_subcommand("cleanup", "Drop the articles of feeds no longer subscribed");

    std::string searched;
    auto* catalog = program.add_subcommand("catalog", "The catalog of known feeds");
    catalog->require_subcommand(1);
    auto* search = catalog->add_subcommand("search", "The feeds whose name, text or URL hold TEXT");
    search->add_option("TEXT", searched, "What to look for (any letter case)")->required();

    std::string imported;
    auto* import = program.add_subcommand("import", "Subscribe to every feed of an OPML file");
    import->add_option("FILE", imported, "The OPML file")->required();

    std::optional<std::string> exported;
    auto* exportCommand = program.add_subcommand("export", "Write the subscriptions as OPML");
    exportCommand->add_option("FILE", exported, "Where to (replaced whole); stdout without it");

    // Reads its own arguments: all that follows its name is handed over as it is.
    auto* readingList = program.add_subcommand("reading-list", "The reading list, newest first");
    readingList->prefix_command()->footer(std::string("Usage: pressling-cli ") +
                                          std::string(cli::kReadingListUsage));

    try {
        program.parse(argc, argv);
    } catch (const CLI::ParseError& problem) {
        return reportParseError(program, problem);
    }
    if (!folder.empty()) setDataFolderOverride(std::filesystem::path(folder));

    if (*help) {
        // program.help() would describe the help command itself.
        std::cout << program.get_formatter()->make_help(&program, program.get_name(),
                                                        CLI::AppFormatMode::Normal);
        return 0;
    }
    if (*parseCommand) return cli::runParseCommand(parse);
    if (*add) return cli::runAddCommand(added);
    if (*list) return cli::runListCommand(listJson);
    if (*remove) return cli::runRemoveCommand(position);
    if (*refresh) return cli::runRefreshCommand();
    if (*articlesCommand) return cli::runArticlesCommand(articles);
    if (*cleanup) return cli::runCleanupCommand();
    if (*search) return cli::runCatalogCommand(searched);
    if (*import) return cli::runImportCommand(imported);
    if (*exportCommand) return cli::runExportCommand(exported);
    if (*readingList) {
        const std::vector<std::string> rest = readingList->remaining();
        const std::vector<std::string_view> arguments(rest.begin(), rest.end());
        return cli::runReadingListCommand(arguments);
    }
    return 2;  // require_subcommand(1) leaves no other case
}
