#pragma once
// The player's pseudo-random generator: the classic linear congruential recurrence
// state = state * 214013 + 2531011 (mod 2^32), result = (state >> 16) & 0x7fff, so a seed
// gives the same sequence on every machine.

#include <cstdint>

namespace kalvento {

inline constexpr int kRandomMax = 0x7fff;

class Random {
public:
    void seed(uint32_t seed) { state_ = seed; }
    // Next value in 0 .. kRandomMax.
    int next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7fffu);
    }

private:
    uint32_t state_ = 1;
};

}  // namespace kalvento
