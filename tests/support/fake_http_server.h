#pragma once
// A web server that serves nothing: it records what the program broadcasts, and a test sets
// how many WebSocket clients it has. Requests go to the service directly.

#include <mutex>
#include <string>
#include <vector>

#include "platform/http_server.h"

namespace kalvento::test {

class FakeHttpServer final : public HttpServer {
public:
    int port() const override { return 0; }
    void broadcast(const std::string& text) override {
        std::lock_guard lock(mutex_);
        sent_.push_back(text);
    }
    HttpServerCounts counts() const override {
        std::lock_guard lock(mutex_);
        return counts_;
    }
    void setClients(int clients) {
        std::lock_guard lock(mutex_);
        counts_.clients = clients;
    }
    std::vector<std::string> sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }

private:
    mutable std::mutex mutex_;
    HttpServerCounts counts_;
    std::vector<std::string> sent_;
};

// A request as a browser on this machine would send it.
inline HttpRequest localRequest(std::string method, std::string path, std::string body = "") {
    HttpRequest request;
    request.method = std::move(method);
    request.path = std::move(path);
    request.body = std::move(body);
    request.headers = {{"host", "127.0.0.1:8080"}};
    return request;
}

}  // namespace kalvento::test
