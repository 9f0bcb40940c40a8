#pragma once
// A clock whose time moves only when a test advances it or the player sleeps.

#include <cstdint>

#include "platform/clock.h"

namespace kalvento::test {

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

}  // namespace kalvento::test
