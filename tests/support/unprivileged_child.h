#pragma once
// Runs a piece of a test in a child process that cannot write where its user may not: root,
// which writes into any folder, becomes the user nobody there first.

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace kalvento::test {

// The exit status of `body` run in a child process as an unprivileged user; 125 when root
// could not give up its rights, 126 when the child could not be made or waited for.
inline int runUnprivileged(const std::function<int()>& body) {
    pid_t child = ::fork();
    if (child < 0) return 126;
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(125);
        ::_exit(body());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 126;
    return WEXITSTATUS(status);
}

}  // namespace kalvento::test
