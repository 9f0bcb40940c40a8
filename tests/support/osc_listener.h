#pragma once
// A UDP socket on 127.0.0.1 that collects the OSC messages a player sends to it, on a thread
// of its own, for end-to-end tests.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/osc.h"
#include "support/free_port.h"

namespace kalvento::test {

// Sends one datagram to `port` on 127.0.0.1.
inline void sendUdp(int port, const void* data, size_t size) {
    static int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<uint16_t>(port));
    ::sendto(fd, data, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

// Waits up to `limit` until the receive queue of the UDP socket bound to `port` on 127.0.0.1 is
// empty (its owner has read everything sent to it), as /proc/net/udp shows it. A datagram sent
// while the queue is still full of earlier ones would be dropped by the kernel.
inline bool waitForUdpQueueEmpty(int port, std::chrono::milliseconds limit) {
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        bool empty = true;
        if (std::FILE* table = std::fopen("/proc/net/udp", "r")) {
            char line[512];
            while (std::fgets(line, sizeof line, table)) {
                char address[64] = "", queues[64] = "";
                if (std::sscanf(line, "%*s %63s %*s %*s %63s", address, queues) != 2) continue;
                const char* colon = std::strchr(queues, ':');  // tx_queue:rx_queue, in hex
                if (address == std::string(local) && colon && std::strtoul(colon + 1, nullptr, 16))
                    empty = false;
            }
            std::fclose(table);
        }
        if (empty) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

class OscListener {
public:
    OscListener() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { collect(); });
    }
    ~OscListener() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    OscListener(const OscListener&) = delete;
    OscListener& operator=(const OscListener&) = delete;

    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

    // The messages of `path` received so far, in order.
    std::vector<OscMessage> messages(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<OscMessage> found;
        for (const OscMessage& message : messages_)
            if (message.path == path) found.push_back(message);
        return found;
    }
    size_t count(const std::string& path) { return messages(path).size(); }
    // The most messages of `path` that arrived within any one second.
    size_t mostInOneSecond(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::chrono::steady_clock::time_point> times;
        for (size_t i = 0; i < messages_.size(); ++i)
            if (messages_[i].path == path) times.push_back(times_[i]);
        size_t most = 0;
        for (size_t first = 0, last = 0; last < times.size(); ++last) {
            while (times[last] - times[first] >= std::chrono::seconds(1)) ++first;
            most = std::max(most, last - first + 1);
        }
        return most;
    }
    // The clip indexes of the /kalvento/clip messages received so far.
    std::vector<int> clips() {
        std::vector<int> clips;
        for (const OscMessage& message : messages("/kalvento/clip"))
            if (message.args.size() == 3) clips.push_back(message.args[1].i);
        return clips;
    }
    // Waits until at least `count` clips came in, for up to `limit`.
    bool waitForClips(size_t count, std::chrono::milliseconds limit) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (clips().size() >= count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Waits up to `limit` until a message of `path` came whose first argument is `value` (an
    // int32, or a string for `text`).
    bool waitFor(const std::string& path, int value, std::chrono::milliseconds limit) {
        return waitUntil(limit, [&](const OscMessage& m) {
            return m.path == path && !m.args.empty() && m.args[0].type == 'i' &&
                   m.args[0].i == value;
        });
    }
    bool waitForText(const std::string& path, const std::string& text,
                     std::chrono::milliseconds limit) {
        return waitUntil(limit, [&](const OscMessage& m) {
            return m.path == path && !m.args.empty() && m.args[0].type == 's' &&
                   m.args[0].s == text;
        });
    }
    // Waits up to `limit` until a message that `wanted` accepts came (at any time so far).
    template <typename Predicate>
    bool waitUntil(std::chrono::milliseconds limit, Predicate wanted) {
        auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                for (const OscMessage& message : messages_)
                    if (wanted(message)) return true;
            }
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    // Forgets what came so far.
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.clear();
        times_.clear();
    }
    // Sends one datagram to `port` on 127.0.0.1 from this listener's own socket, so that an
    // answer to the sender comes here.
    void sendFromHere(int port, const void* data, size_t size) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<uint16_t>(port));
        ::sendto(fd_, data, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

private:
    void collect() {
        char buffer[2048];
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            ssize_t size = ::recv(fd_, buffer, sizeof buffer, 0);
            if (size <= 0) continue;
            OscDatagram d = decodeOscDatagram(buffer, static_cast<size_t>(size));
            if (d.kind != OscDatagram::Message) continue;
            std::lock_guard<std::mutex> lock(mutex_);
            messages_.push_back(std::move(d.message));
            times_.push_back(std::chrono::steady_clock::now());
        }
    }

    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<OscMessage> messages_;
    std::vector<std::chrono::steady_clock::time_point> times_;  // when each message came
};

}  // namespace kalvento::test
