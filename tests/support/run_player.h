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
};

// Runs `program` with `args` in `cwd`, standard input read from `input`; kills it after
// `timeoutSeconds`.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& cwd, const std::string& input = "",
                     int timeoutSeconds = 120);

// Runs the player binary with --headless followed by `args` in `cwd`.
RunResult runPlayer(const std::vector<std::string>& args, const std::string& cwd,
                    const std::string& input = "");

// The lines of `text` (without their line ends).
std::vector<std::string> lines(const std::string& text);

// The path of the player binary under test.
std::string playerBinary();

}  // namespace kalvento::test
