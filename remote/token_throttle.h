#pragma once
// Slows the guessing of the web token: an address that keeps sending wrong tokens has its
// wrong ones refused for a time that doubles with every further wrong one, and all addresses
// together may send only so many wrong tokens a second (a guesser with many addresses is slowed
// as well). The right token is never refused: the operator gets in while a page in the same
// browser guesses. Nothing waits: a refused request is answered at once (429 with the seconds
// to wait), so guessing holds neither a connection slot nor a server thread.

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
    // Wrong tokens a second from all addresses together, after a first burst of kWrongBurst.
    static constexpr int kWrongPerSecond = 10;
    static constexpr int kWrongBurst = 20;

    // How long a wrong token from `address` is still refused: the longer of the address's own
    // wait and the wait of all; zero: now.
    Clock::duration waitFor(const std::string& address, Clock::time_point now) const;
    // A wrong (or missing) token came from `address`.
    void failed(const std::string& address, Clock::time_point now);
    // The right token came from `address` at `now`: it starts afresh once it has sent no wrong
    // token for kLongestWait (a guessing page in the operator's browser shares the address).
    void succeeded(const std::string& address, Clock::time_point now);

private:
    struct Record {
        int failures = 0;
        Clock::time_point until{};
        Clock::time_point seen{};
    };
    static constexpr Clock::duration kWrongInterval =
        std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / kWrongPerSecond;

    mutable std::mutex mutex_;
    std::unordered_map<std::string, Record> records_;
    // The wrong tokens of all addresses as a schedule, one every kWrongInterval: when the one
    // after the last would be due. A wrong token waits while it lies more than the burst ahead.
    Clock::time_point wrongDue_{};
};

}  // namespace kalvento
