#pragma once
// Camera streams over HTTP on 127.0.0.1 for end-to-end tests: a video served as MJPEG by
// ffmpeg, and a server that accepts connections and never says a word.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/free_port.h"

extern char** environ;

namespace kalvento::test {

// Whether something listens on 127.0.0.1:`port` (read from /proc/net/tcp, without connecting,
// as ffmpeg's one-client server would take a test connection for its client).
inline bool listening(int port) {
    std::ifstream table("/proc/net/tcp");
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    std::string line;
    while (std::getline(table, line))
        if (line.find(wanted) != std::string::npos && line.find(" 0A ") != std::string::npos)
            return true;
    return false;
}

// ffmpeg serving `video` (looped, at its own rate, scaled to `size` when given as "WxH") as
// an MJPEG stream at url(), for one client.
class MjpegServer {
public:
    explicit MjpegServer(const std::string& video, const std::string& size = "")
        : port_(freeTcpPort()) {
        std::vector<std::string> args = {"ffmpeg", "-nostdin", "-loglevel", "error", "-re",
                                         "-stream_loop", "-1", "-i", video};
        if (!size.empty()) args.insert(args.end(), {"-s", size});
        args.insert(args.end(), {"-c:v", "mjpeg", "-q:v", "3", "-f", "mpjpeg", "-listen", "1",
                                 url()});
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        // Its complaint when the player hangs up is no news.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        int rc = ::posix_spawnp(&pid_, "ffmpeg", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            throw std::runtime_error("cannot start ffmpeg (Debian package ffmpeg)");
        for (int i = 0; i < 500 && !listening(port_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!listening(port_)) throw std::runtime_error("ffmpeg does not listen");
    }
    ~MjpegServer() { kill(); }
    MjpegServer(const MjpegServer&) = delete;
    MjpegServer& operator=(const MjpegServer&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/camera"; }
    int port() const { return port_; }
    // Stops ffmpeg where it stands: the connection stays, the frames stop.
    void stall() { ::kill(pid_, SIGSTOP); }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    int port_;
    pid_t pid_ = -1;
};

// Listens on 127.0.0.1:`port`, accepts every connection and keeps it open without a word.
class SilentServer {
public:
    explicit SilentServer(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd_, 16) != 0)
            throw std::runtime_error("cannot listen on port " + std::to_string(port));
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd ready{fd_, POLLIN, 0};
                if (::poll(&ready, 1, 50) == 1) clients_.push_back(::accept(fd_, nullptr, nullptr));
            }
        });
    }
    ~SilentServer() {
        stop_ = true;
        thread_.join();
        for (int client : clients_) ::close(client);
        ::close(fd_);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

private:
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::vector<int> clients_;  // touched by the thread only until it is joined
    std::thread thread_;
};

}  // namespace kalvento::test
