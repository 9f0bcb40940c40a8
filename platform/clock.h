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

// Time moves only when a test advances it or the player sleeps.
class FakeClock final : public Clock {
public:
    int64_t nowMicros() override { return micros_; }
    int64_t wallSeconds() override { return wall_; }
    void sleepMillis(int ms) override { micros_ += static_cast<int64_t>(ms) * 1000; }
    void advanceMicros(int64_t us) { micros_ += us; }
    void setWallSeconds(int64_t s) { wall_ = s; }

private:
    int64_t micros_ = 0;
    int64_t wall_ = 0;
};

}  // namespace kalvento
