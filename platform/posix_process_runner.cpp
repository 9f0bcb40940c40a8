#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/process_runner.h"

extern char** environ;

namespace kalvento {

int PosixProcessRunner::run(const std::vector<std::string>& argv) {
    if (argv.empty()) return kProcessNotStarted;
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    // The player's console questions read its standard input. When that is not a terminal
    // (answers piped or read from a file), a started program must not read it: the encoder
    // would swallow the answers meant for later questions and take letters such as 'q' as
    // its own commands. On a terminal the program shares it, so the user can talk to it.
    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0) return kProcessNotStarted;
    if (!::isatty(STDIN_FILENO) &&
        ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0) {
        ::posix_spawn_file_actions_destroy(&actions);
        return kProcessNotStarted;
    }
    pid_t pid = 0;
    const int started = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return kProcessNotStarted;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return kProcessEndUnknown;  // e.g. ECHILD: SIGCHLD is ignored
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return kProcessEndUnknown;
}

bool PosixProcessRunner::isExecutable(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

}  // namespace kalvento
