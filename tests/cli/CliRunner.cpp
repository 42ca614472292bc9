#include "CliRunner.h"

#include "platform/KeyValueStore.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

namespace pressling::test {
namespace {

std::string shellQuoted(std::string_view text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

}  // namespace

CliRun runCli(const std::vector<std::string_view>& arguments,
              const std::map<std::string, std::string>& environment) {
    TemporaryDirectory folder;
    const auto out = folder.path() / "out", err = folder.path() / "err";
    std::string command;
    for (const auto& [name, value] : environment) command += name + "=" + shellQuoted(value) + " ";
    command += shellQuoted(PRESSLING_CLI);
    for (auto argument : arguments) command += " " + shellQuoted(argument);
    command += " >" + shellQuoted(out.string()) + " 2>" + shellQuoted(err.string()) + " </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

testing::AssertionResult exitsWith(const CliRun& run, int status, std::string_view inOut,
                                   std::string_view inErr) {
    if (run.status == status && contains(run.out, inOut) && contains(run.err, inErr)) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << "status " << run.status << "\nout: " << run.out << "\nerr: " << run.err;
}

CliRun CliTest::cli(std::vector<std::string_view> arguments) const {
    const std::string folder = data.path().string();
    arguments.insert(arguments.begin(), {"--data-dir", folder});
    return runCli(arguments, {{"PRESSLING_CATALOG", "sqlite:" + folder + "/catalog.sqlite"}});
}

void CliTest::storeList(std::string_view bytes) const {
    KeyValueStore store(data.path() / "kvstore.sqlite");
    ASSERT_TRUE(store.setData(bytes, "storedRss").has_value());
}

}  // namespace pressling::test
