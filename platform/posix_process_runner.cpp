#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>

#include "platform/own_files.h"
#include "platform/process_runner.h"

extern char** environ;

namespace kalvento {

namespace {

// The program file argv[0] names: itself when it holds a '/', else the first executable of
// that name in PATH; empty when there is none. Looked up before fork(): the child of a
// process with threads may call nothing that allocates.
std::string programFile(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string file = folder + "/" + name;
        if (::access(file.c_str(), X_OK) == 0) return file;
        start = end + 1;
    }
    return {};
}

// In the child: ends with the player (SIGTERM when the thread that started it ends, so an
// encoder never outlives a killed player), reads no input unless it is a terminal, and runs.
[[noreturn]] void execChild(const char* file, char* const* args, pid_t parent, bool nullInput) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);  // the player ended before prctl took effect
    if (nullInput) {
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull < 0 || ::dup2(devNull, STDIN_FILENO) < 0) ::_exit(127);
        if (devNull != STDIN_FILENO) ::close(devNull);
    }
    ::execve(file, args, environ);
    ::_exit(127);
}

// Waits for `pid`; its exit status as run() returns it.
int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return kProcessEndUnknown;  // e.g. ECHILD: SIGCHLD is ignored
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return kProcessEndUnknown;
}

// ffmpeg's name for the format of a movie file, from its extension ("" when not known).
std::string movieFormat(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const std::string extension = dot == std::string::npos ? "" : path.substr(dot + 1);
    if (extension == "mkv") return "matroska";
    for (const char* known : {"mp4", "avi", "mov"})
        if (extension == known) return extension;
    return {};
}

// A new file "output.tmpXXXXXX" beside `output`, held (see own_files.h); -1 on failure.
int createHeldTemporary(const std::string& output, std::string& name) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = output + ".tmp";
        for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) holdWhileWriting(fd);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

int PosixProcessRunner::run(const std::vector<std::string>& argv) {
    if (argv.empty()) return kProcessNotStarted;
    const std::string file = programFile(argv[0]);
    if (file.empty() || ::access(file.c_str(), X_OK) != 0) return kProcessNotStarted;
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    // The player's console questions read its standard input. When that is not a terminal
    // (answers piped or read from a file), a started program must not read it: the encoder
    // would swallow the answers meant for later questions and take letters such as 'q' as
    // its own commands. On a terminal the program shares it, so the user can talk to it.
    const bool nullInput = !::isatty(STDIN_FILENO);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) return kProcessNotStarted;
    if (pid == 0) execChild(file.c_str(), args.data(), parent, nullInput);
    const int status = waitFor(pid);
    return status == 127 && ::access(file.c_str(), X_OK) != 0 ? kProcessNotStarted : status;
}

int PosixProcessRunner::runWriting(const std::vector<std::string>& argv,
                                   const std::string& output) {
    const std::string format = movieFormat(output);
    std::string temporary;
    const int held = argv.empty() || argv.back() != output || format.empty()
                         ? -1
                         : createHeldTemporary(output, temporary);
    if (held < 0) return run(argv);  // no place for a temporary: written in place as asked
    std::vector<std::string> writing(argv.begin(), argv.end() - 1);
    writing.insert(writing.end(), {"-f", format, temporary});
    const int status = run(writing);
    if (status != 0 || ::rename(temporary.c_str(), output.c_str()) != 0) ::unlink(temporary.c_str());
    ::close(held);
    return status;
}

bool PosixProcessRunner::isExecutable(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

}  // namespace kalvento
