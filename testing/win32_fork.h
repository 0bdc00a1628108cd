// Forked copies of a test process: for what must run as another process or user.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace testing_support {

// Runs fn in a forked copy of this process: fn's result is the copy's exit status
// (-1 when it did not exit normally).
template <class Fn>
int InChild(Fn fn) {
    pid_t pid = fork();
    if (pid == 0) _exit(fn());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// InChild, in a copy that first gives up root for good when it has it (90 when it cannot).
template <class Fn>
int AsOrdinaryUser(Fn fn) {
    return InChild(
        [&] { return geteuid() == 0 && setresuid(65534, 65534, 65534) != 0 ? 90 : fn(); });
}

// Waits for forked copies; true when every one exited with status 0.
inline bool AllExitedWithZero(const std::vector<pid_t>& pids) {
    bool all = true;
    for (pid_t pid : pids) {
        int status = -1;
        waitpid(pid, &status, 0);
        all = all && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return all;
}

}  // namespace testing_support
