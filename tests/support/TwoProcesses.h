#pragma once

#include <functional>
#include <string>

namespace pressling::test {

// What happened on each side of runInTwoProcesses.
struct TwoProcessOutcome {
    bool childSucceeded = false;
    bool parentSucceeded = false;
    std::string problem;  // set when the child could not be started or ended abnormally
};

// Forks; the child runs inChild and exits with its result, this process runs inParent. Both
// start at the same moment (the child waits on a pipe until the parent is ready), so their work
// overlaps as two programs' would. inChild must open its own resources (connections made before
// the fork are not the child's to use). Returns once the child has exited.
TwoProcessOutcome runInTwoProcesses(const std::function<bool()>& inChild,
                                    const std::function<bool()>& inParent);

}  // namespace pressling::test
