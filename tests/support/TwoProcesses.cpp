#include "support/TwoProcesses.h"

#include <sys/wait.h>
#include <unistd.h>

namespace pressling::test {

TwoProcessOutcome runInTwoProcesses(const std::function<bool()>& inChild,
                                    const std::function<bool()>& inParent) {
    TwoProcessOutcome outcome;
    int start[2];
    if (::pipe(start) != 0) {
        outcome.problem = "cannot make a pipe";
        return outcome;
    }
    const pid_t child = ::fork();
    if (child == -1) {
        outcome.problem = "cannot fork";
        return outcome;
    }
    if (child == 0) {
        ::close(start[1]);
        char go = 0;
        const bool released = ::read(start[0], &go, 1) == 1;
        _exit(released && inChild() ? 0 : 1);
    }
    ::close(start[0]);
    const bool released = ::write(start[1], "g", 1) == 1;
    ::close(start[1]);
    outcome.parentSucceeded = released && inParent();
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        outcome.problem = "the child did not exit normally";
        return outcome;
    }
    outcome.childSucceeded = WEXITSTATUS(status) == 0;
    return outcome;
}

}  // namespace pressling::test
