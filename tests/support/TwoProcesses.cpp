#include "support/TwoProcesses.h"

#include <sys/wait.h>
#include <unistd.h>

namespace pressling::test {

TwoProcessOutcome runInTwoProcesses(const std::function<bool()>& inChild,
                                    const std::function<bool()>& inParent) {
    const pid_t child = ::fork();
    if (child == -1) return {.problem = "cannot fork"};
    if (child == 0) _exit(inChild() ? 0 : 1);
    TwoProcessOutcome outcome{.parentSucceeded = inParent(), .problem = ""};
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        outcome.problem = "the child did not exit normally";
    }
    outcome.childSucceeded = outcome.problem.empty() && WEXITSTATUS(status) == 0;
    return outcome;
}

}  // namespace pressling::test
