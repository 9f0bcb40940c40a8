// The OSC port on UDP sockets: liblo encodes the messages sent and checks and decodes the
// datagrams received; the sockets are plain non-blocking POSIX sockets so that the player's
// loop polls them without a thread.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <lo/lo.h>

#include <array>
#include <charconv>
#include <cstring>

#include "platform/osc.h"

namespace kalvento {

bool splitOscAddress(const std::string& text, const char* defaultHost, std::string& host,
                     int& port) {
    size_t colon = text.rfind(':');
    std::string portText;
    if (colon == std::string::npos) {
        if (defaultHost == nullptr) return false;
        host = defaultHost;
        portText = text;
    } else {
        host = text.substr(0, colon);
        portText = text.substr(colon + 1);
    }
    if (host.empty() || portText.empty()) return false;
    int value = 0;
    auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), value);
    if (ec != std::errc() || end != portText.data() + portText.size() || value < 1 || value > 65535)
        return false;
    port = value;
    return true;
}

OscDatagram decodeOscDatagram(const void* data, size_t size) {
    OscDatagram datagram;
    if (size > kMaxOscDatagram) {
        datagram.kind = OscDatagram::Oversized;
        return datagram;
    }
    // liblo reads the bytes in place; it gets a copy it may scribble on.
    std::array<char, kMaxOscDatagram> copy{};
    std::memcpy(copy.data(), data, size);
    int result = 0;
    lo_message message = lo_message_deserialise(copy.data(), size, &result);
    if (message == nullptr) return datagram;
    const char* path = lo_get_path(copy.data(), static_cast<ssize_t>(size));
    const char* types = lo_message_get_types(message);
    lo_arg** argv = lo_message_get_argv(message);
    int argc = lo_message_get_argc(message);
    bool ok = path != nullptr && types != nullptr;
    for (int i = 0; ok && i < argc; ++i) {
        // The arguments lie in the datagram at 4-byte alignment, less than lo_arg asks for:
        // they are read bytewise.
        const char* at = reinterpret_cast<const char*>(argv[i]);
        int32_t number = 0;
        float real = 0.0f;
        switch (types[i]) {
            case 'i':
                std::memcpy(&number, at, sizeof number);
                datagram.message.args.push_back(OscValue::Int(number));
                break;
            case 'f':
                std::memcpy(&real, at, sizeof real);
                datagram.message.args.push_back(OscValue::Float(real));
                break;
            case 's':
                datagram.message.args.push_back(OscValue::Str(at));
                break;
            case 'd': {
                double value = 0.0;
                std::memcpy(&value, at, sizeof value);
                datagram.message.args.push_back(OscValue::Double(value));
                break;
            }
            case 'h': {
                int64_t value = 0;
                std::memcpy(&value, at, sizeof value);
                datagram.message.args.push_back(OscValue::Int64(value));
                break;
            }
            default:
                ok = false;
        }
    }
    if (ok) {
        datagram.kind = OscDatagram::Message;
        datagram.message.path = path;
    } else {
        datagram.message = {};
    }
    lo_message_free(message);
    return datagram;
}

namespace {

constexpr char kBundleTag[8] = {'#', 'b', 'u', 'n', 'd', 'l', 'e', '\0'};
constexpr size_t kBundleHeader = sizeof kBundleTag + 8;  // the tag, then the time tag

bool isBundle(const char* data, size_t size) {
    return size >= sizeof kBundleTag && std::memcmp(data, kBundleTag, sizeof kBundleTag) == 0;
}

// The elements of the bundle at `data`: each a big-endian int32 size, then that many bytes
// (a multiple of 4). The time tag is not looked at: everything acts at once.
void decodeBundle(const char* data, size_t size, int depth, std::vector<OscDatagram>& out) {
    if (depth > kMaxOscBundleDepth || size < kBundleHeader) {
        out.push_back({});
        return;
    }
    size_t at = kBundleHeader;
    while (at < size) {
        uint32_t length = 0;
        if (size - at < sizeof length) {
            out.push_back({});
            return;
        }
        std::memcpy(&length, data + at, sizeof length);
        length = ntohl(length);
        at += sizeof length;
        if (length == 0 || length % 4 != 0 || length > size - at) {
            out.push_back({});
            return;
        }
        if (isBundle(data + at, length))
            decodeBundle(data + at, length, depth + 1, out);
        else
            out.push_back(decodeOscDatagram(data + at, length));
        at += length;
    }
}

}  // namespace

void decodeOscPacket(const void* data, size_t size, std::vector<OscDatagram>& out) {
    const char* bytes = static_cast<const char*>(data);
    if (size <= kMaxOscDatagram && isBundle(bytes, size))
        decodeBundle(bytes, size, 1, out);
    else
        out.push_back(decodeOscDatagram(data, size));
}

namespace {

class UdpOscPort final : public OscPort {
public:
    ~UdpOscPort() override {
        if (target_ != nullptr) lo_address_free(target_);
        if (socket_ >= 0) ::close(socket_);
    }

    bool open(const std::string& sendTo, const std::string& listenOn, std::string& error) {
        if (!sendTo.empty()) {
            std::string host;
            int port = 0;
            if (!splitOscAddress(sendTo, nullptr, host, port)) {
                error = "--osc-send takes HOST:PORT";
                return false;
            }
            target_ = lo_address_new(host.c_str(), std::to_string(port).c_str());
            if (target_ == nullptr) {
                error = "cannot send to " + sendTo;
                return false;
            }
        }
        if (!listenOn.empty()) {
            std::string host;
            int port = 0;
            if (!splitOscAddress(listenOn, "127.0.0.1", host, port)) {
                error = "--osc-listen takes [HOST:]PORT";
                return false;
            }
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_DGRAM;
            hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
            addrinfo* found = nullptr;
            if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 ||
                found == nullptr) {
                error = "cannot listen on " + listenOn + ": unknown host";
                return false;
            }
            socket_ = ::socket(found->ai_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            bool bound = socket_ >= 0 && ::bind(socket_, found->ai_addr, found->ai_addrlen) == 0;
            freeaddrinfo(found);
            if (!bound) {
                error = "cannot listen on " + listenOn + ": " + std::strerror(errno);
                return false;
            }
        }
        return true;
    }

    void send(const OscMessage& message) override {
        if (target_ == nullptr) return;
        lo_message out = lo_message_new();
        for (const OscValue& value : message.args) {
            if (value.type == 'i')
                lo_message_add_int32(out, value.i);
            else if (value.type == 'f')
                lo_message_add_float(out, value.f);
            else
                lo_message_add_string(out, value.s.c_str());
        }
        // UDP: a message nobody receives is lost, which is what a stream of states wants.
        lo_send_message(target_, message.path.c_str(), out);
        lo_message_free(out);
    }

    std::optional<OscDatagram> receive() override {
        if (socket_ < 0) return std::nullopt;
        // An empty bundle yields nothing: the next datagram is read then.
        while (next_ == pending_.size()) {
            pending_.clear();
            next_ = 0;
            std::array<char, kMaxOscDatagram + 1> buffer{};
            ssize_t size = ::recv(socket_, buffer.data(), buffer.size(), MSG_TRUNC);
            if (size < 0) return std::nullopt;  // nothing there (or an error: nothing to act on)
            if (static_cast<size_t>(size) > kMaxOscDatagram) {
                OscDatagram datagram;
                datagram.kind = OscDatagram::Oversized;
                return datagram;
            }
            decodeOscPacket(buffer.data(), static_cast<size_t>(size), pending_);
        }
        return std::move(pending_[next_++]);
    }

private:
    lo_address target_ = nullptr;
    int socket_ = -1;
    // The messages of the last datagram (more than one for a bundle) not yet handed out.
    std::vector<OscDatagram> pending_;
    size_t next_ = 0;
};

}  // namespace

std::unique_ptr<OscPort> openOscPort(const std::string& sendTo, const std::string& listenOn,
                                     std::string& error) {
    auto port = std::make_unique<UdpOscPort>();
    if (!port->open(sendTo, listenOn, error)) return nullptr;
    return port;
}

}  // namespace kalvento
