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
    // Runs an encoder whose last argument is the file `output` it writes: it writes a
    // temporary file beside it instead, which takes the name `output` only when the encoder
    // ends with status 0, so an encoder that fails or is killed leaves the old `output`
    // whole. The status as run() gives it. (This default writes `output` in place.)
    virtual int runWriting(const std::vector<std::string>& argv, const std::string& output) {
        (void)output;
        return run(argv);
    }
    // True when `path` names an executable file.
    virtual bool isExecutable(const std::string& path) = 0;
};

// A started program ends with the player: it gets SIGTERM when the player's thread that
// started it ends, however it ends (a killed player leaves no encoder running on).
class PosixProcessRunner final : public ProcessRunner {
public:
    int run(const std::vector<std::string>& argv) override;
    int runWriting(const std::vector<std::string>& argv, const std::string& output) override;
    bool isExecutable(const std::string& path) override;
};

}  // namespace kalvento
