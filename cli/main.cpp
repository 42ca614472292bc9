// pressling-cli: the Pressling core without a screen, for scripts, servers and debugging feeds.

#include "ParseCommand.h"

#include <iostream>
#include <string_view>
#include <vector>

namespace {

int usage() {
    std::cerr << "usage: pressling-cli " << pressling::cli::kParseUsage << '\n';
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string_view command = argv[1];
    const std::vector<std::string_view> arguments(argv + 2, argv + argc);
    if (command == "parse") return pressling::cli::runParseCommand(arguments);
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << "usage: pressling-cli " << pressling::cli::kParseUsage << '\n';
        return 0;
    }
    std::cerr << "pressling-cli: unknown command " << command << '\n';
    return usage();
}
