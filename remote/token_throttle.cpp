#include "remote/token_throttle.h"

#include <algorithm>

namespace kalvento {

TokenThrottle::Clock::duration TokenThrottle::waitFor(const std::string& address,
                                                      Clock::time_point now) const {
    std::lock_guard lock(mutex_);
    Clock::duration wait = Clock::duration::zero();
    const auto found = records_.find(address);
    if (found != records_.end() && found->second.until > now) wait = found->second.until - now;
    const auto ahead = wrongDue_ - now - (kWrongBurst - 1) * kWrongInterval;
    return std::max(wait, ahead);
}

void TokenThrottle::failed(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    wrongDue_ = std::max(wrongDue_, now) + kWrongInterval;
    if (records_.size() >= kAddresses && !records_.contains(address)) {
        const auto oldest = std::min_element(records_.begin(), records_.end(),
                                             [](const auto& a, const auto& b) {
                                                 return a.second.seen < b.second.seen;
                                             });
        records_.erase(oldest);
    }
    Record& record = records_[address];
    record.seen = now;
    ++record.failures;
    const int over = record.failures - kFreeFailures;
    if (over <= 0) return;
    const auto wait = std::min<Clock::duration>(kFirstWait * (int64_t{1} << std::min(over - 1, 16)),
                                                kLongestWait);
    record.until = now + wait;
}

void TokenThrottle::succeeded(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    const auto found = records_.find(address);
    if (found != records_.end() && now - found->second.seen >= kLongestWait) records_.erase(found);
}

}  // namespace kalvento
