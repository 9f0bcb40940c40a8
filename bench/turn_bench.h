#pragma once
// What the per-turn benchmarks share: the --turns option, the best of three timed rounds after
// a warm-up, and the turn's share of a 60 frames-per-second turn.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace kalvento::bench {

// The N of "--turns N" (at least 1), `defaultTurns` without it; -1 after printing the usage
// of `program` for anything else.
inline int turnsFromArguments(int argc, char** argv, int defaultTurns, const char* program) {
    int turns = defaultTurns;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--turns") == 0 && i + 1 < argc) {
            turns = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--turns N]\n", program);
            return -1;
        }
    }
    return turns;
}

// Runs `runTurns(200)` to warm buffers and caches, then `runTurns(turns)` three times; the
// fastest round's microseconds per turn and the sum of the checksums `runTurns` returned.
template <class RunTurns>
auto bestOfThreeRounds(int turns, RunTurns runTurns) {
    runTurns(200);
    double best = 1e9;
    decltype(runTurns(1)) checksum{};
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        checksum += runTurns(turns);
        const double us =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count() /
            turns;
        best = std::min(best, us);
    }
    return std::pair{best, checksum};
}

// "share of a 60 frames-per-second turn (16667 us): P %" and `goal` after it.
inline void printShareOf60FpsTurn(double usPerTurn, const char* goal) {
    const double turnAt60 = 1e6 / 60.0;
    std::printf("share of a 60 frames-per-second turn (%.0f us): %.2f %%%s\n", turnAt60,
                100.0 * usPerTurn / turnAt60, goal);
}

}  // namespace kalvento::bench
