#pragma once
// The turn timer: restart, and the rate in turns per second since the restart.

#include "platform/clock.h"

namespace kalvento {

class TurnTimer {
public:
    explicit TurnTimer(Clock& clock) : clock_(clock), start_(clock.nowMicros()) {}
    void restart() { start_ = clock_.nowMicros(); }
    // 1 / seconds since the restart, capped at 999.0 (also when no time has passed).
    double rate() const {
        double seconds = static_cast<double>(clock_.nowMicros() - start_) / 1e6;
        if (seconds <= 1.0 / 999.0) return 999.0;
        return 1.0 / seconds;
    }

private:
    Clock& clock_;
    int64_t start_;
};

}  // namespace kalvento
