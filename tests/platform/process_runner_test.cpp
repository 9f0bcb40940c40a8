// Starting another program directly: its exit status, a program that cannot start, arguments
// that reach it untouched, and the standard input it gets when the player's own is not a
// terminal.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/process_runner.h"
#include "support/temp_dir.h"

namespace kalvento::test {
namespace {

// Points a standard stream at another descriptor for the life of the object.
class RedirectedFd {
public:
    RedirectedFd(int target, int replacement) : target_(target), saved_(::dup(target)) {
        ::dup2(replacement, target);
    }
    ~RedirectedFd() {
        ::dup2(saved_, target_);
        ::close(saved_);
    }
    RedirectedFd(const RedirectedFd&) = delete;
    RedirectedFd& operator=(const RedirectedFd&) = delete;

private:
    int target_;
    int saved_;
};

TEST(PosixProcessRunner, ReturnsTheExitStatusOrMinusOneWhenNothingStarts) {
    PosixProcessRunner runner;
    EXPECT_EQ(runner.run({"true"}), 0);
    EXPECT_EQ(runner.run({"false"}), 1);
    EXPECT_EQ(runner.run({"/no/such/program"}), -1);
    EXPECT_EQ(runner.run({"no-such-program-kalvento"}), -1);
    EXPECT_EQ(runner.run({}), -1);
    EXPECT_TRUE(runner.isExecutable("/bin/true"));
    EXPECT_FALSE(runner.isExecutable("/no/such/program"));
}

TEST(PosixProcessRunner, ProgramReapedElsewhereStillCountsAsStarted) {
    // With SIGCHLD ignored the kernel reaps the child itself and waitpid fails with ECHILD.
    struct sigaction ignore = {}, saved = {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGCHLD, &ignore, &saved), 0);
    PosixProcessRunner runner;
    const int ran = runner.run({"true"});
    const int missing = runner.run({"/no/such/program"});
    ::sigaction(SIGCHLD, &saved, nullptr);
    EXPECT_EQ(ran, kProcessEndUnknown);
    EXPECT_EQ(missing, kProcessNotStarted);
}

TEST(PosixProcessRunner, ArgumentsArriveAsGivenAndPipedInputStaysThePlayers) {
    ScopedTempDir dir;
    const std::string copied = dir / "copied";
    const std::string name = dir / "a b;\"c\" $(d) 'e'";
    writeFile(name, "content");

    // The player's standard input is a pipe holding an answer.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ASSERT_EQ(::write(pipeFds[1], "answer\n", 7), 7);
    ::close(pipeFds[1]);
    int status = 0;
    {
        RedirectedFd input(STDIN_FILENO, pipeFds[0]);
        PosixProcessRunner runner;
        // cp with a name no shell would leave whole; cat, reading its input, gets nothing.
        status = runner.run({"cp", name, copied});
        const int out = ::open((dir / "cat-out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(out, 0);
        std::fflush(stdout);
        {
            RedirectedFd output(STDOUT_FILENO, out);
            EXPECT_EQ(runner.run({"cat"}), 0);
        }
        ::close(out);
    }
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(copied), "content");
    EXPECT_EQ(readFile(dir / "cat-out"), "") << "the started program read the player's input";
    char left[16] = {};
    EXPECT_EQ(::read(pipeFds[0], left, sizeof left), 7);
    EXPECT_EQ(std::string(left), "answer\n");
    ::close(pipeFds[0]);
}

}  // namespace
}  // namespace kalvento::test
