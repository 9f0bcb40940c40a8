#pragma once
// Open Sound Control over UDP, the protocol of show-control and visual software: messages out
// to one address, datagrams in on one port. The real port uses liblo to encode and to check
// what arrives; the fake records what was sent and serves what a test hands in.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalvento {

// One argument: an int32 ('i'), a float32 ('f') or a string ('s').
struct OscValue {
    char type = 'i';
    int32_t i = 0;
    float f = 0.0f;
    std::string s;

    static OscValue Int(int32_t value) { return {'i', value, 0.0f, {}}; }
    static OscValue Float(float value) { return {'f', 0, value, {}}; }
    static OscValue Str(std::string value) { return {'s', 0, 0.0f, std::move(value)}; }
};

struct OscMessage {
    std::string path;
    std::vector<OscValue> args;
};

// What one received datagram was. A message with argument types other than i, f and s is
// Malformed as well: nothing here acts on other types.
struct OscDatagram {
    enum Kind { Message, Malformed, Oversized };
    Kind kind = Malformed;
    OscMessage message;  // only for Message
};

// Datagrams larger than this are not read as messages.
inline constexpr size_t kMaxOscDatagram = 1024;

class OscPort {
public:
    virtual ~OscPort() = default;
    // Sends `message` to the send address; does nothing without one. Never blocks.
    virtual void send(const OscMessage& message) = 0;
    // The next datagram that arrived on the listening port, without waiting; nullopt when
    // none is there (or there is no listening port).
    virtual std::optional<OscDatagram> receive() = 0;
};

// Splits "HOST:PORT" (or "PORT" when `defaultHost` is given) into its parts. False when the
// port is not a number from 1 to 65535 or the host is empty.
bool splitOscAddress(const std::string& text, const char* defaultHost, std::string& host,
                     int& port);

// The port on UDP sockets. `sendTo` ("HOST:PORT") and `listenOn` ("[HOST:]PORT", host
// 127.0.0.1 when left out) may each be empty. Null, with the reason in `error`, when an
// address is malformed or the listening port cannot be bound.
std::unique_ptr<OscPort> openOscPort(const std::string& sendTo, const std::string& listenOn,
                                     std::string& error);

// Decodes one datagram (the part of openOscPort a fuzzer or a test can call directly).
OscDatagram decodeOscDatagram(const void* data, size_t size);

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

}  // namespace kalvento
