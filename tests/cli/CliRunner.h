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

// Runs pressling-cli with arguments (no shell) and environment added to this process's.
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
