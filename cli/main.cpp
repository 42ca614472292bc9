// pressling-cli: the Pressling core without a screen, for scripts, servers and debugging feeds.

#include "CatalogCommand.h"
#include "FeedCommands.h"
#include "ListCommand.h"
#include "OpmlCommands.h"
#include "ParseCommand.h"
#include "ReadingListCommand.h"
#include "platform/DataFolder.h"

#include <iostream>
#include <string_view>
#include <vector>

namespace {

void printUsage(std::ostream& out) {
    using namespace pressling::cli;
    out << "usage: pressling-cli [--data-dir DIR] COMMAND ...\n"
        << "  pressling-cli " << kParseUsage << '\n'
        << "  pressling-cli " << kListUsage << '\n'
        << "  pressling-cli " << kCatalogUsage << '\n'
        << "  pressling-cli " << kAddUsage << '\n'
        << "  pressling-cli " << kRemoveUsage << '\n'
        << "  pressling-cli " << kRefreshUsage << '\n'
        << "  pressling-cli " << kArticlesUsage << '\n'
        << "  pressling-cli " << kCleanupUsage << '\n'
        << "  pressling-cli " << kImportUsage << '\n'
        << "  pressling-cli " << kExportUsage << '\n'
        << "  pressling-cli " << kReadingListUsage << '\n';
}

int usage(std::string_view problem) {
    std::cerr << "pressling-cli: " << problem << '\n';
    printUsage(std::cerr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> arguments(argv + 1, argv + argc);
    auto next = arguments.begin();
    if (next != arguments.end() && (*next == "--data-dir" || next->starts_with("--data-dir="))) {
        std::string_view folder;
        if (*next == "--data-dir") {
            if (++next == arguments.end()) return usage("--data-dir needs a folder");
            folder = *next;
        } else {
            folder = next->substr(std::string_view("--data-dir=").size());
        }
        if (folder.empty()) return usage("--data-dir needs a folder");
        pressling::setDataFolderOverride(std::filesystem::path(folder));
        ++next;
    }
    if (next == arguments.end()) return usage("missing COMMAND");
    const std::string_view command = *next++;
    const std::span<const std::string_view> rest(next, arguments.end());

    using namespace pressling::cli;
    if (command == "parse") return runParseCommand(rest);
    if (command == "list") return runListCommand(rest);
    if (command == "catalog") return runCatalogCommand(rest);
    if (command == "add") return runAddCommand(rest);
    if (command == "remove") return runRemoveCommand(rest);
    if (command == "refresh") return runRefreshCommand(rest);
    if (command == "articles") return runArticlesCommand(rest);
    if (command == "cleanup") return runCleanupCommand(rest);
    if (command == "import") return runImportCommand(rest);
    if (command == "export") return runExportCommand(rest);
    if (command == "reading-list") return runReadingListCommand(rest);
    if (command == "help" || command == "--help" || command == "-h") {
        printUsage(std::cout);
        return 0;
    }
    return usage("unknown command " + std::string(command));
}
