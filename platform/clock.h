#pragma once
// Time for the turn timer and for real-time sleeps.

#include <cstdint>

namespace kalvento {

class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t nowMicros() = 0;    // monotonic, microseconds
    virtual int64_t wallSeconds() = 0;  // calendar time in seconds (random seed)
    virtual void sleepMillis(int ms) = 0;
};

class SteadyClock final : public Clock {
public:
    int64_t nowMicros() override;
    int64_t wallSeconds() override;
    void sleepMillis(int ms) override;
};

}  // namespace kalvento
