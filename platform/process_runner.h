#pragma once
// Starting another program (the movie encoder) directly with an argument vector: no shell
// ever sees a file name or a typed answer.

#include <string>
#include <vector>

namespace kalvento {

// ProcessRunner::run results besides an exit status.
inline constexpr int kProcessNotStarted = -1;
inline constexpr int kProcessEndUnknown = -2;  // it ran, but its exit status was lost

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Starts argv[0] (looked up in PATH when it holds no '/') with `argv`, standard output
    // and error inherited, and waits for it to end. Standard input is shared only when it is a
    // terminal; otherwise the program reads an empty input, so answers waiting for the
    // player's console questions stay the player's. Returns its exit status, 128 + the signal that
    // ended it, kProcessNotStarted when it could not be started, or kProcessEndUnknown when it
    // was started but its end could not be waited for (another part of the process reaped it).
    virtual int run(const std::vector<std::string>& argv) = 0;
    // True when `path` names an executable file.
    virtual bool isExecutable(const std::string& path) = 0;
};

class PosixProcessRunner final : public ProcessRunner {
public:
    int run(const std::vector<std::string>& argv) override;
    bool isExecutable(const std::string& path) override;
};

}  // namespace kalvento
