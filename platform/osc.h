#pragma once
// Open Sound Control over UDP, the protocol of show-control and visual software: messages out
// to one address, datagrams in on one port. The real port uses liblo to encode and to check
// what arrives.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalvento {

// One argument: an int32 ('i'), a float32 ('f'), a string ('s'), a float64 ('d') or an int64
// ('h'). Show-control software sends numbers in any of the four number types.
struct OscValue {
    char type = 'i';
    int32_t i = 0;
    float f = 0.0f;
    std::string s;
    double d = 0.0;
    int64_t h = 0;

    static OscValue Int(int32_t value) { return {'i', value, 0.0f, {}}; }
    static OscValue Float(float value) { return {'f', 0, value, {}}; }
    static OscValue Str(std::string value) { return {'s', 0, 0.0f, std::move(value)}; }
    static OscValue Double(double value) { return {'d', 0, 0.0f, {}, value}; }
    static OscValue Int64(int64_t value) { return {'h', 0, 0.0f, {}, 0.0, value}; }
    bool isNumber() const { return type == 'i' || type == 'f' || type == 'd' || type == 'h'; }
    // A number of any type as a double (0.0 for a string).
    double number() const {
        switch (type) {
            case 'i': return i;
            case 'f': return f;
            case 'd': return d;
            case 'h': return static_cast<double>(h);
            default: return 0.0;
        }
    }
};

struct OscMessage {
    std::string path;
    std::vector<OscValue> args;
};

// What one received message was. A message with argument types other than i, f, s, d and h
// is Malformed as well: nothing here acts on other types.
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
    // The next message that arrived on the listening port, without waiting (the messages of a
    // bundle one after the other, at once whatever its time tag); nullopt when none is there
    // (or there is no listening port).
    virtual std::optional<OscDatagram> receive() = 0;
    // Sends `message` back to where the last received datagram came from (from the listening
    // port); to the send address when nothing came yet. Never blocks.
    virtual void reply(const OscMessage& message) { send(message); }
    // What the port has to say since it was last asked (a send address that does not resolve,
    // and when it does later), each said once.
    virtual std::vector<std::string> takeNotices() { return {}; }
};

// Splits "HOST:PORT" (or "PORT" when `defaultHost` is given) into its parts. False when the
// port is not a number from 1 to 65535 or the host is empty.
bool splitOscAddress(const std::string& text, const char* defaultHost, std::string& host,
                     int& port);

// The port on UDP sockets. `sendTo` ("HOST:PORT") and `listenOn` ("[HOST:]PORT", host
// 127.0.0.1 when left out) may each be empty. Null, with the reason in `error`, when an
// address is malformed or the listening port cannot be bound. A send host that is a name is
// resolved in the background: messages go out once it resolves, none wait for it.
std::unique_ptr<OscPort> openOscPort(const std::string& sendTo, const std::string& listenOn,
                                     std::string& error);

// Decodes one message (the part of openOscPort a fuzzer or a test can call directly).
OscDatagram decodeOscDatagram(const void* data, size_t size);

// Bundles nest at most this deep; a deeper one is Malformed.
inline constexpr int kMaxOscBundleDepth = 8;

// Decodes one datagram: a message, or a "#bundle" whose elements (messages and bundles,
// nested) are appended in their order. A bundle element that is not sound is one Malformed
// entry; a bundle whose framing is broken ends there with one Malformed entry.
void decodeOscPacket(const void* data, size_t size, std::vector<OscDatagram>& out);

}  // namespace kalvento
