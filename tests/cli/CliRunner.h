#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pressling::test {

// One finished run of pressling-cli.
struct CliRun {
    int status = -1;  // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs the pressling-cli under test with arguments (no shell interpretation) and, on top of
// this process's environment, the variables in environment. Waits for it to end.
CliRun runCli(const std::vector<std::string_view>& arguments,
              const std::map<std::string, std::string>& environment = {});

}  // namespace pressling::test
