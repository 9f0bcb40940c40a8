#pragma once
// An OSC port that records what was sent and serves the datagrams a test hands in.

#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "platform/osc.h"

namespace kalvento::test {

class FakeOscPort final : public OscPort {
public:
    void send(const OscMessage& message) override { sent.push_back(message); }
    std::optional<OscDatagram> receive() override {
        if (incoming.empty()) return std::nullopt;
        OscDatagram datagram = std::move(incoming.front());
        incoming.pop_front();
        return datagram;
    }

    std::vector<OscMessage> sent;
    std::deque<OscDatagram> incoming;
};

}  // namespace kalvento::test
