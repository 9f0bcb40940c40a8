#pragma once
// Talking to a running player's web remote from a test: curl for ordinary requests, a raw
// socket for requests no well-behaved client sends.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "support/temp_dir.h"

namespace kalvento::test {

// A port no one listens on at this moment, on `host`.
inline int freeTcpPort(const char* host = "127.0.0.1") {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, host, &address.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

struct CurlResult {
    int status = 0;  // HTTP status; 0 when no answer came
    std::string body;
};

// Runs curl with `args` (already quoted for the shell) and returns the status and body.
inline CurlResult curl(const std::string& args) {
    ScopedTempDir temp;
    const std::string bodyPath = temp / "body";
    const std::string command =
        "curl -s -m 10 -o '" + bodyPath + "' -w '%{http_code}' " + args + " 2>/dev/null";
    CurlResult result;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char code[16] = {};
        if (std::fgets(code, sizeof code, pipe)) result.status = std::atoi(code);
        ::pclose(pipe);
    }
    result.body = readFile(bodyPath);
    return result;
}

// Sends `bytes` on a new connection and returns what came back until the server closed it
// (or `timeout` passed).
inline std::string sendRaw(int port, const std::string& bytes, const char* host = "127.0.0.1",
                           std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval tv{static_cast<time_t>(timeout.count() / 1000),
               static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, host, &address.sin_addr);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        ::shutdown(fd, SHUT_WR);
        char buffer[4096];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return answer;
}

// Waits until `url` answers (any status) or `limit` passes; false when it never did.
inline bool waitForServer(const std::string& url,
                          std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (curl("'" + url + "'").status != 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// An --input script that keeps a headless player turning for at least `seconds` (longer on a
// busy machine), after which it ends as every scripted run does.
inline std::string turningScript(int seconds) {
    std::string text;
    for (int i = 0; i < seconds * 50; ++i) text += "sleep 20\nidle 1\n";
    return text;
}

}  // namespace kalvento::test
