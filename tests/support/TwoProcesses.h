#pragma once

#include <functional>
#include <string>

namespace pressling::test {

struct TwoProcessOutcome {
    bool childSucceeded = false;
    bool parentSucceeded = false;
    std::string problem;  // the child could not start or ended abnormally
};

// Forks; the child runs inChild (on its own resources, opened after the fork) and exits with
// its result while this process runs inParent. Returns once the child has exited.
TwoProcessOutcome runInTwoProcesses(const std::function<bool()>& inChild,
                                    const std::function<bool()>& inParent);

}  // namespace pressling::test
