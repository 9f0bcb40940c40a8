// The OSC port on UDP sockets: liblo encodes the messages sent and checks and decodes the
// datagrams received; the sockets are plain non-blocking POSIX sockets so that the player's
// loop polls them without a thread. Only a send address given as a host name gets a thread:
// the resolver's, which may take as long as it likes.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <lo/lo.h>

#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

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

constexpr std::chrono::seconds kResolveRetry{2};

struct SocketAddress {
    sockaddr_storage bytes{};
    socklen_t length = 0;
};

// The first UDP address of `host`:`service`; nullopt with the resolver's reason in `error`.
// `flags` AI_NUMERICHOST asks no resolver.
std::optional<SocketAddress> lookUp(const std::string& host, const std::string& service,
                                    int flags, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV | flags;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (result != 0 || found == nullptr) {
        error = result == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(result);
        return std::nullopt;
    }
    SocketAddress address;
    std::memcpy(&address.bytes, found->ai_addr, found->ai_addrlen);
    address.length = found->ai_addrlen;
    ::freeaddrinfo(found);
    return address;
}

// Where the messages go. A host name is resolved once, by a thread of its own, so that no send
// ever waits for a resolver; a name that does not resolve is tried again every kResolveRetry.
// The thread and the port share this; everything but the names is guarded by `mutex`.
struct SendTarget {
    SendTarget(std::string host_, std::string service_)
        : host(std::move(host_)), service(std::move(service_)) {}
    const std::string host;
    const std::string service;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::optional<SocketAddress> address;
    std::vector<std::string> notices;
    std::atomic<bool> done{false};
};

void resolveInBackground(const std::shared_ptr<SendTarget>& target) {
    bool failed = false;
    for (;;) {
        std::string error;
        std::optional<SocketAddress> found = lookUp(target->host, target->service, 0, error);
        std::unique_lock<std::mutex> lock(target->mutex);
        if (found) {
            target->address = found;
            if (failed)
                target->notices.push_back("--osc-send: " + target->host +
                                          " resolves now; sending to it");
            break;
        }
        if (!failed)
            target->notices.push_back("--osc-send: " + target->host + " does not resolve (" +
                                      error + "); nothing is sent until it does (tried again every " +
                                      std::to_string(kResolveRetry.count()) + " s)");
        failed = true;
        if (target->wake.wait_for(lock, kResolveRetry, [&] { return target->stop; })) break;
    }
    target->done = true;
}

class UdpOscPort final : public OscPort {
public:
    ~UdpOscPort() override {
        if (target_) {
            {
                std::lock_guard<std::mutex> lock(target_->mutex);
                target_->stop = true;
            }
            target_->wake.notify_all();
            // A resolver that does not answer may hold the thread for its whole time-out:
            // the player does not wait for it.
            if (resolver_.joinable()) {
                if (target_->done)
                    resolver_.join();
                else
                    resolver_.detach();
            }
        }
        if (sendSocket_ >= 0) ::close(sendSocket_);
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
            target_ = std::make_shared<SendTarget>(host, std::to_string(port));
            std::string unused;
            target_->address = lookUp(host, target_->service, AI_NUMERICHOST, unused);
            if (!target_->address)
                resolver_ = std::thread([target = target_] { resolveInBackground(target); });
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
        if (!target_) return;
        std::optional<SocketAddress> to;
        {
            std::lock_guard<std::mutex> lock(target_->mutex);
            to = target_->address;
        }
        if (!to) return;  // not resolved (yet): lost like a message nobody receives
        const int family = to->bytes.ss_family;
        if (sendSocket_ < 0 || sendFamily_ != family) {
            if (sendSocket_ >= 0) ::close(sendSocket_);
            sendSocket_ = ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sendFamily_ = family;
            if (sendSocket_ < 0) return;
        }
        sendOn(sendSocket_, message, to->bytes, to->length);
    }

    void reply(const OscMessage& message) override {
        if (socket_ < 0 || senderLength_ == 0) {
            send(message);
            return;
        }
        sendOn(socket_, message, sender_, senderLength_);
    }

    std::vector<std::string> takeNotices() override {
        if (!target_) return {};
        std::lock_guard<std::mutex> lock(target_->mutex);
        return std::exchange(target_->notices, {});
    }

    std::optional<OscDatagram> receive() override {
        if (socket_ < 0) return std::nullopt;
        // An empty bundle yields nothing: the next datagram is read then.
        while (next_ == pending_.size()) {
            pending_.clear();
            next_ = 0;
            std::array<char, kMaxOscDatagram + 1> buffer{};
            sockaddr_storage from{};
            socklen_t fromLength = sizeof from;
            ssize_t size = ::recvfrom(socket_, buffer.data(), buffer.size(), MSG_TRUNC,
                                      reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (size < 0) return std::nullopt;  // nothing there (or an error: nothing to act on)
            sender_ = from;
            senderLength_ = fromLength <= sizeof from ? fromLength : 0;
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
    // Encodes `message` and sends it on `socket` to `to`. UDP: a message nobody receives is
    // lost, which is what a stream of states wants; a full socket buffer drops it rather than
    // holding the loop.
    static void sendOn(int socket, const OscMessage& message, const sockaddr_storage& to,
                       socklen_t length) {
        lo_message out = lo_message_new();
        for (const OscValue& value : message.args) {
            if (value.type == 'i')
                lo_message_add_int32(out, value.i);
            else if (value.type == 'f')
                lo_message_add_float(out, value.f);
            else
                lo_message_add_string(out, value.s.c_str());
        }
        size_t size = 0;
        void* data = lo_message_serialise(out, message.path.c_str(), nullptr, &size);
        lo_message_free(out);
        if (data == nullptr) return;
        ::sendto(socket, data, size, MSG_DONTWAIT | MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&to), length);
        std::free(data);
    }

    std::shared_ptr<SendTarget> target_;  // null without a send address
    std::thread resolver_;
    int sendSocket_ = -1;
    int sendFamily_ = AF_UNSPEC;
    int socket_ = -1;
    // The messages of the last datagram (more than one for a bundle) not yet handed out.
    std::vector<OscDatagram> pending_;
    size_t next_ = 0;
    sockaddr_storage sender_{};  // where the last datagram came from
    socklen_t senderLength_ = 0;
};

}  // namespace

std::unique_ptr<OscPort> openOscPort(const std::string& sendTo, const std::string& listenOn,
                                     std::string& error) {
    auto port = std::make_unique<UdpOscPort>();
    if (!port->open(sendTo, listenOn, error)) return nullptr;
    return port;
}

}  // namespace kalvento
