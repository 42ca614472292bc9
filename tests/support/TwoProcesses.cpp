#include "support/TwoProcesses.h"

#include <sys/wait.h>
#include <unistd.h>

namespace pressling::test {

TwoProcessOutcome runInTwoProcesses(const std::function<bool()>& inChild,
                                    const std::function<bool()>& inParent) {
    int start[2];
    if (::pipe(start) != 0) return {.problem = "cannot make a pipe"};
    const pid_t child = ::fork();
    if (child == -1)
        return ::close(start[0]), ::close(start[1]), TwoProcessOutcome{.problem = "cannot fork"};
    if (child == 0) {
        // Released by the parent's byte, or by end of file should the parent fail.
        ::close(start[1]);
        char go = 0;
        _exit(::read(start[0], &go, 1) == 1 && inChild() ? 0 : 1);
    }
    ::close(start[0]);
    const bool released = ::write(start[1], "g", 1) == 1;
    ::close(start[1]);
    TwoProcessOutcome outcome;
    outcome.parentSucceeded = released && inParent();
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        outcome.problem = "the child did not exit normally";
    }
    outcome.childSucceeded = outcome.problem.empty() && WEXITSTATUS(status) == 0;
    return outcome;
}

}  // namespace pressling::test
