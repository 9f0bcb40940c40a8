#pragma once
// Runs the real player binary (or another program) and collects what it printed.

#include <string>
#include <vector>

namespace kalvento::test {

struct RunResult {
    int status = -1;  // exit status; 128 + signal when killed by a signal
    std::string out;
    std::string err;
    bool timedOut = false;
    double cpuSeconds = 0.0;  // user and system time the program used, all its threads
};

// Whether a program started by a test is checked for leaks (when the tests run under
// LeakSanitizer). Only runs that open a real window are not: SDL, X11 and their plug-ins
// leave allocations at exit that LeakSanitizer cannot attribute.
enum class LeakCheck { On, Off };

// Runs `program` with `args` in `cwd`, standard input read from `input`; kills it after
// `timeoutSeconds`. A leak found at its exit makes its status LeakSanitizer's exit code (23).
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& cwd, const std::string& input = "",
                     int timeoutSeconds = 120, LeakCheck leakCheck = LeakCheck::On);

// Runs the player binary with --headless followed by `args` in `cwd`.
RunResult runPlayer(const std::vector<std::string>& args, const std::string& cwd,
                    const std::string& input = "");

// The lines of `text` (without their line ends).
std::vector<std::string> lines(const std::string& text);

// The path of the player binary under test.
std::string playerBinary();

}  // namespace kalvento::test
