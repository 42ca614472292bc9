#pragma once

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pressling::test {

// One finished run of pressling-cli: exit status (-1 when it did not exit normally), output.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the pressling-cli under test with arguments (no shell interpretation) and, on top of
// this process's environment, the variables in environment.
CliRun runCli(const std::vector<std::string_view>& arguments,
              const std::map<std::string, std::string>& environment = {});
bool contains(std::string_view text, std::string_view part);
// Whether run ended with status and its output holds inOut and its error output inErr.
testing::AssertionResult exitsWith(const CliRun& run, int status, std::string_view inOut,
                                   std::string_view inErr = "");
std::string slurp(const std::filesystem::path& path);

// Runs the program on a throwaway data folder and catalog of its own.
class CliTest : public testing::Test {
protected:
    TemporaryDirectory data;
    CliRun cli(std::vector<std::string_view> arguments) const;
    void storeList(std::string_view bytes) const;  // as the subscription list
};

}  // namespace pressling::test
