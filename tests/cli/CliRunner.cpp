#include "CliRunner.h"

#include "support/Fixtures.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace pressling::test {
namespace {

std::string shellQuoted(std::string_view text) {
    std::string result = "'";
    for (char c : text) {
        if (c == '\'') {
            result += "'\\''";
        } else {
            result += c;
        }
    }
    return result + "'";
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

CliRun runCli(const std::vector<std::string_view>& arguments,
              const std::map<std::string, std::string>& environment) {
    TemporaryDirectory folder;
    std::string command;
    for (const auto& [name, value] : environment) command += name + "=" + shellQuoted(value) + " ";
    command += shellQuoted(PRESSLING_CLI);
    for (auto argument : arguments) command += " " + shellQuoted(argument);
    command += " >" + shellQuoted((folder.path() / "out").string()) + " 2>" +
               shellQuoted((folder.path() / "err").string()) + " </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(folder.path() / "out"),
            slurp(folder.path() / "err")};
}

}  // namespace pressling::test
