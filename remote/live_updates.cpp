#include "remote/live_updates.h"

namespace kalvento {

LiveUpdates::LiveUpdates(RemoteApi& api, RemoteHub& hub, HttpServer& server)
    : api_(api), hub_(hub), server_(server), thread_([this] { run(); }) {}

LiveUpdates::~LiveUpdates() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    thread_.join();
}

void LiveUpdates::run() {
    std::unique_lock lock(mutex_);
    while (!stop_.wait_for(lock, kPeriod, [this] { return stopping_; })) {
        lock.unlock();
        std::vector<MotionSample> samples = hub_.takeSamples();
        if (server_.counts().clients > 0) server_.broadcast(api_.liveMessage(samples));
        lock.lock();
    }
}

}  // namespace kalvento
