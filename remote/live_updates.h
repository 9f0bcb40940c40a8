#pragma once
// Pushes the live update (status and new motion samples) to the WebSocket clients ten times a
// second, on a thread of its own. The server queues each message per client and drops a client
// that falls behind, so this thread never waits for one.

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/http_server.h"
#include "remote/remote_api.h"

namespace kalvento {

class LiveUpdates {
public:
    static constexpr std::chrono::milliseconds kPeriod{100};

    // `api`, `hub` and `server` must outlive this object.
    LiveUpdates(RemoteApi& api, RemoteHub& hub, HttpServer& server);
    ~LiveUpdates();  // stops the thread

private:
    void run();

    RemoteApi& api_;
    RemoteHub& hub_;
    HttpServer& server_;
    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace kalvento
