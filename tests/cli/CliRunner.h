#pragma once

// Runs pressling-cli as a script would, on a throwaway data folder and catalog of its own.

#include "platform/KeyValueStore.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pressling::test {

inline std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

inline std::string shellQuoted(std::string_view text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

// One finished run: exit status (-1 when it did not exit normally) and output.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs pressling-cli with arguments (quoted, never read by a shell) and environment added.
inline CliRun runCli(const std::vector<std::string_view>& arguments,
                     const std::map<std::string, std::string>& environment = {}) {
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

// Whether run ended with status and its output holds inOut and its error output inErr.
inline testing::AssertionResult exitsWith(const CliRun& run, int status, std::string_view inOut,
                                          std::string_view inErr = "") {
    if (run.status == status && contains(run.out, inOut) && contains(run.err, inErr))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "status " << run.status << "\nout: " << run.out << "\nerr: " << run.err;
}

class CliTest : public testing::Test {
protected:
    TemporaryDirectory data;
    CliRun cli(std::vector<std::string_view> arguments) const {
        const std::string folder = data.path().string();
        arguments.insert(arguments.begin(), {"--data-dir", folder});
        return runCli(arguments, {{"PRESSLING_CATALOG", "sqlite:" + folder + "/catalog.sqlite"}});
    }
    void storeList(std::string_view bytes) const {  // as the subscription list
        KeyValueStore store(data.path() / "kvstore.sqlite");
        ASSERT_TRUE(store.setData(bytes, "storedRss").has_value());
    }
};

}  // namespace pressling::test
