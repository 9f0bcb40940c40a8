#pragma once
// Slows the guessing of the web token: an address that keeps sending wrong tokens is refused
// without a look at its token for a time that doubles with every further wrong one. Nothing
// waits: a refused request is answered at once (429 with the seconds to wait), so guessing
// holds neither a connection slot nor a server thread.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace kalvento {

class TokenThrottle {
public:
    using Clock = std::chrono::steady_clock;
    // Wrong tokens an address may send before it has to wait.
    static constexpr int kFreeFailures = 3;
    static constexpr std::chrono::milliseconds kFirstWait{250};
    static constexpr std::chrono::milliseconds kLongestWait{10000};
    // Addresses remembered at most; the one seen longest ago is forgotten first.
    static constexpr size_t kAddresses = 256;

    // How long `address` must still wait before its token is looked at; zero: now.
    Clock::duration waitFor(const std::string& address, Clock::time_point now) const;
    // A wrong (or missing) token came from `address`.
    void failed(const std::string& address, Clock::time_point now);
    // The right token came from `address`: it starts afresh.
    void succeeded(const std::string& address);

private:
    struct Record {
        int failures = 0;
        Clock::time_point until{};
        Clock::time_point seen{};
    };
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Record> records_;
};

}  // namespace kalvento
