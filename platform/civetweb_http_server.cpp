// The web server on civetweb: no document root, so nothing but our handlers answers. Each
// WebSocket client has a writer thread of its own with a short backlog, so a client that reads
// slowly falls behind alone and is dropped without holding up the others or the broadcaster.

#include <arpa/inet.h>
#include <civetweb.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "platform/connection_gate.h"
#include "platform/http_server.h"
#include "platform/websocket_frames.h"

namespace kalvento {

std::string HttpRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (key == name) return value;
    return {};
}

namespace {

const char* reasonOf(int status) {
    switch (status) {
        case 200: return "OK";
        case 204: return "No Content";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 409: return "Conflict";
        case 413: return "Payload Too Large";
        case 429: return "Too Many Requests";
        case 503: return "Service Unavailable";
        default: return "Error";
    }
}

// The server's threads give way to the player's loop: a page that is watched (previews to
// encode, updates to send) takes the time the loop leaves.
constexpr int kServerNice = 10;
void lowerThreadPriority() {
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kServerNice);
}

void writeResponse(mg_connection* conn, const HttpResponse& response) {
    mg_printf(conn,
              "HTTP/1.1 %d %s\r\nContent-Type: %s\r\nContent-Length: %zu\r\n"
              "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n"
              "Content-Security-Policy: %s\r\nX-Frame-Options: DENY\r\n"
              "Referrer-Policy: no-referrer\r\nConnection: close\r\n\r\n",
              response.status, reasonOf(response.status), response.contentType.c_str(),
              response.body.size(), kContentSecurityPolicy);
    if (!response.body.empty()) mg_write(conn, response.body.data(), response.body.size());
}

// The kernel holds this much unsent data of a connection at most (it doubles the number),
// instead of the megabytes it would grow to for a client that does not read: a WebSocket
// client that reads too slowly then falls behind its backlog within seconds and is dropped.
constexpr int kSendBufferBytes = 32 * 1024;

// Connections take their send buffer size from the listening socket. civetweb does not give
// its sockets out, so the listening one is found among the process's descriptors by its port.
void limitSendBuffers(int port) {
    const int last = static_cast<int>(sysconf(_SC_OPEN_MAX));
    for (int fd = 0; fd < last && fd < 65536; ++fd) {
        int listening = 0;
        socklen_t size = sizeof listening;
        if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || !listening)
            continue;
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) continue;
        int bound = -1;
        if (address.ss_family == AF_INET)
            bound = ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
        else if (address.ss_family == AF_INET6)
            bound = ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
        if (bound == port)
            (void)setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kSendBufferBytes, sizeof kSendBufferBytes);
    }
}

// The request line and headers; the body is read separately.
HttpRequest requestHead(const mg_connection* conn) {
    const mg_request_info* info = mg_get_request_info(conn);
    HttpRequest request;
    request.method = info->request_method ? info->request_method : "";
    request.path = info->local_uri ? info->local_uri : "";
    request.query = info->query_string ? info->query_string : "";
    request.remoteAddress = info->remote_addr;
    for (int i = 0; i < info->num_headers; ++i) {
        std::string name = info->http_headers[i].name ? info->http_headers[i].name : "";
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        request.headers.emplace_back(name,
                                     info->http_headers[i].value ? info->http_headers[i].value : "");
    }
    return request;
}

// The text form of a socket address and its port.
bool addressOf(const sockaddr_storage& address, std::string& text, int& port) {
    char name[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, name, sizeof name);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, name, sizeof name);
        port = ntohs(v6.sin6_port);
    } else {
        return false;
    }
    text = name;
    return true;
}

std::string peerText(const std::string& address, int port) {
    return address + ":" + std::to_string(port);
}

struct ServerSocket {
    int fd = -1;
    std::string address;  // the client's
    std::string peer;     // the client's address and port
};

// The connected sockets of this process whose local port is `localPort`: the server's
// connections, those still waiting in civetweb's queue among them.
std::vector<ServerSocket> serverSockets(int localPort) {
    std::vector<ServerSocket> found;
    DIR* fds = opendir("/proc/self/fd");
    if (fds == nullptr) return found;
    while (const dirent* entry = readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9' || fd == dirfd(fds)) continue;
        sockaddr_storage local{}, peer{};
        socklen_t localSize = sizeof local, peerSize = sizeof peer;
        std::string localText, peerAddress;
        int localBound = -1, peerPort = -1;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
            !addressOf(local, localText, localBound) || localBound != localPort ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0 ||
            !addressOf(peer, peerAddress, peerPort))
            continue;
        found.push_back({fd, peerAddress, peerText(peerAddress, peerPort)});
    }
    closedir(fds);
    return found;
}

// The socket of a connection of ours: the one whose peer is the connection's client. civetweb
// does not give it out; a live connection owns its socket, so the descriptor stays valid while
// the connection's handler runs. -1 when none is found.
int socketOf(const mg_connection* conn, int localPort) {
    const mg_request_info* info = mg_get_request_info(conn);
    const std::string peer = peerText(info->remote_addr, info->remote_port);
    for (const ServerSocket& socket : serverSockets(localPort))
        if (socket.peer == peer) return socket.fd;
    return -1;
}

// Whether a whole request head waits unread in `fd`.
bool headIsIn(int fd) {
    char buffer[8192];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_PEEK | MSG_DONTWAIT);
    return n > 0 && std::string_view(buffer, static_cast<size_t>(n)).find("\r\n\r\n") !=
                        std::string_view::npos;
}

// Whether `fd` is still the connection of `peer` (a descriptor closed meanwhile may have been
// given to a new connection).
bool isConnectionOf(int fd, const std::string& peer) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    std::string text;
    int port = -1;
    return getpeername(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0 &&
           addressOf(address, text, port) && peerText(text, port) == peer;
}

// Watches the server's sockets on a thread of its own, so that it works even while every
// server thread is taken: connections that wait for their head beyond the gate's bounds are
// closed (civetweb's read of them ends at once), and a body that has not come by its deadline
// has its reading ended, however steadily it trickles in.
class ConnectionWatch {
public:
    using Clock = std::chrono::steady_clock;

    explicit ConnectionWatch(std::function<void(int)> givenUp)
        : givenUp_(std::move(givenUp)), thread_([this] { run(); }) {}
    ~ConnectionWatch() { stop(); }

    // The server's port, once it listens; until then nothing is swept.
    void watchPort(int port) {
        std::lock_guard lock(mutex_);
        port_ = port;
    }

    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            wake_.notify_all();
        }
        if (thread_.joinable()) thread_.join();
    }
    // A connection came: the next sweep looks at the sockets.
    void arrived() {
        std::lock_guard lock(mutex_);
        woken_ = changed_ = true;
        wake_.notify_all();
    }
    // The head of `peer`'s request came; until `closed`, its connection is no longer waiting.
    void handling(const std::string& peer) {
        std::lock_guard lock(mutex_);
        handled_.insert(peer);
    }
    void closed(const std::string& peer) {
        std::lock_guard lock(mutex_);
        handled_.erase(peer);
    }
    // From now until endBody(`key`), the reading of `fd` ends at `deadline`.
    void startBody(const void* key, int fd, Clock::time_point deadline) {
        std::lock_guard lock(mutex_);
        bodies_[key] = {fd, deadline, false};
        changed_ = true;
        wake_.notify_all();
    }
    // True when the deadline ended the reading.
    bool endBody(const void* key) {
        std::lock_guard lock(mutex_);
        const auto found = bodies_.find(key);
        if (found == bodies_.end()) return false;
        const bool ended = found->second.ended;
        bodies_.erase(found);
        return ended;
    }

private:
    static constexpr auto kSweepGap = std::chrono::milliseconds(20);
    struct Body {
        int fd = -1;
        Clock::time_point deadline;
        bool ended = false;
    };
    struct Seen {
        std::string peer;
        Clock::time_point since;
    };

    void run() {
        std::unique_lock lock(mutex_);
        Clock::time_point lastSweep{};
        while (!stopping_) {
            const auto now = Clock::now();
            endOverdueBodies(now);
            if ((woken_ || watching_) && now >= lastSweep + kSweepGap) {
                woken_ = false;
                lastSweep = now;
                watching_ = sweep(now);
                continue;
            }
            auto until = now + std::chrono::seconds(1);
            for (const auto& [key, body] : bodies_)
                if (!body.ended) until = std::min(until, body.deadline);
            if (woken_ || watching_) until = std::min(until, lastSweep + kSweepGap);
            changed_ = false;
            wake_.wait_until(lock, until, [this] { return stopping_ || changed_; });
        }
    }

    // Under the lock. The socket's peer stays until the request ends, so the descriptor is
    // still this connection's.
    void endOverdueBodies(Clock::time_point now) {
        for (auto& [key, body] : bodies_)
            if (!body.ended && now >= body.deadline) {
                ::shutdown(body.fd, SHUT_RD);
                body.ended = true;
            }
    }

    // Under the lock. Whether any connection still waits for its head.
    bool sweep(Clock::time_point now) {
        if (port_ == 0) return false;
        const std::vector<ServerSocket> sockets = serverSockets(port_);
        std::map<int, Seen> seen;
        std::vector<WaitingConnection> waiting;
        for (const ServerSocket& socket : sockets) {
            const auto before = seen_.find(socket.fd);
            const bool known = before != seen_.end() && before->second.peer == socket.peer;
            seen[socket.fd] = {socket.peer, known ? before->second.since : now};
            if (handled_.contains(socket.peer)) continue;
            waiting.push_back({socket.fd, socket.address, seen[socket.fd].since, headIsIn(socket.fd)});
        }
        seen_ = std::move(seen);
        int closed = 0;
        for (int fd : connectionsToGiveUp(waiting, HttpServer::kHeadsPerAddress,
                                          HttpServer::kMaxHeads)) {
            if (!isConnectionOf(fd, seen_[fd].peer)) continue;
            ::shutdown(fd, SHUT_RDWR);
            ++closed;
        }
        if (closed > 0) givenUp_(closed);
        return !waiting.empty();
    }

    int port_ = 0;
    const std::function<void(int)> givenUp_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false, woken_ = false, changed_ = false, watching_ = false;
    std::set<std::string> handled_;
    std::map<const void*, Body> bodies_;
    std::map<int, Seen> seen_;
    std::thread thread_;  // last: starts when the rest is ready
};

// Why the body's length cannot be trusted: given twice with different values, or not as a
// number. Empty when it can.
std::string bodyLengthProblem(const HttpRequest& request) {
    std::string length;
    for (const auto& [name, value] : request.headers) {
        if (name != "content-length") continue;
        const size_t first = value.find_first_not_of(" \t");
        const size_t last = value.find_last_not_of(" \t");
        const std::string digits = first == std::string::npos ? "" : value.substr(first, last - first + 1);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
            return "the body length is not a number";
        if (!length.empty() && digits != length) return "the body length is given twice";
        length = digits;
    }
    return {};
}

// Reads the body within HttpServer::kBodyDeadlineMs of the head, whatever its pace: `watch`
// ends the socket's reading at the deadline. False when it came too slowly (what came is
// dropped).
bool readBody(mg_connection* conn, HttpRequest& request, ConnectionWatch& watch, int port) {
    const long long declared = mg_get_request_info(conn)->content_length;
    if (declared > static_cast<long long>(HttpServer::kMaxBody)) {
        request.bodyTooLarge = true;
        return true;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(HttpServer::kBodyDeadlineMs);
    const bool comes = declared > 0 || !request.header("transfer-encoding").empty();
    const int fd = comes ? socketOf(conn, port) : -1;
    if (fd >= 0) watch.startBody(conn, fd, deadline);
    char buffer[1024];
    for (int n; (n = mg_read(conn, buffer, sizeof buffer)) > 0;) {
        if (request.body.size() + static_cast<size_t>(n) > HttpServer::kMaxBody) {
            request.bodyTooLarge = true;
            request.body.clear();
            break;
        }
        request.body.append(buffer, static_cast<size_t>(n));
    }
    const bool ended = fd >= 0 && watch.endBody(conn);
    if (ended || std::chrono::steady_clock::now() > deadline) {
        request.body.clear();
        return false;
    }
    return true;
}

struct Client {
    mg_connection* conn = nullptr;
    std::deque<std::string> backlog;
    bool closing = false;
    bool dropped = false;
    std::thread writer;
};

// Worker threads of civetweb: one for every request handled and every WebSocket client at
// once, one for every connection the gate lets wait for its head, and some to spare for
// refusals and for taking up the next connection, so that idle connections delay nobody.
constexpr int kSpareThreads = 8;
constexpr int kWorkerThreads = HttpServer::kMaxConnections + HttpServer::kReservedConnections +
                               HttpServer::kMaxClients + HttpServer::kMaxHeads + kSpareThreads;
// Connections the system holds for the server before it takes them: room for hundreds that
// open at once, so none is turned away unseen while the gate closes the idle ones.
constexpr int kListenBacklog = 1024;
// A head, and each wait for more of a body, must come within this; a WebSocket reader looks
// whether the server stops this often.
constexpr int kRequestTimeoutMs = 2000;
constexpr int kReaderPollMs = 200;

class CivetHttpServer final : public HttpServer {
public:
    explicit CivetHttpServer(HttpService& service)
        : service_(service), watch_([this](int closed) {
              std::lock_guard lock(mutex_);
              counts_.refusedConnections += closed;
          }) {
        mg_init_library(0);
    }
    ~CivetHttpServer() override {
        stopping_ = true;  // WebSocket readers end within kReaderPollMs
        watch_.stop();  // shuts no socket from now on
        if (context_) mg_stop(context_);  // closes every connection, calling the close handler
        mg_exit_library();
    }

    bool start(const std::string& host, int port, std::string& error) {
        const std::string ports = host + ":" + std::to_string(port);
        const std::string threads = std::to_string(kWorkerThreads);
        const std::string timeout = std::to_string(kRequestTimeoutMs);
        const std::string backlog = std::to_string(kListenBacklog);
        const char* options[] = {"listening_ports", ports.c_str(), "num_threads", threads.c_str(),
                                 "request_timeout_ms", timeout.c_str(), "websocket_timeout_ms",
                                 "10000", "enable_directory_listing", "no", "enable_keep_alive",
                                 "no", "listen_backlog", backlog.c_str(), nullptr};
        mg_callbacks callbacks{};
        callbacks.log_message = [](const mg_connection*, const char*) { return 1; };
        callbacks.init_connection = &CivetHttpServer::onConnectionTaken;
        callbacks.connection_close = &CivetHttpServer::onConnectionClosing;
        callbacks.connection_closed = &CivetHttpServer::onConnectionClosed;
        callbacks.init_thread = [](const mg_context*, int) -> void* {
            lowerThreadPriority();
            return nullptr;
        };
        context_ = mg_start(&callbacks, this, options);
        if (context_ == nullptr) {
            error = "the web server cannot listen on " + ports;
            return false;
        }
        mg_set_request_handler(context_, "/", &CivetHttpServer::onRequest, this);
        mg_set_websocket_handler(context_, "/api/v1/ws", &CivetHttpServer::onConnect,
                                 &CivetHttpServer::onReady, &CivetHttpServer::onData,
                                 &CivetHttpServer::onClose, this);
        mg_server_port listening[2]{};
        if (mg_get_server_ports(context_, 2, listening) != 1) {
            error = "the web server listens on one address only";
            return false;
        }
        port_ = listening[0].port;
        limitSendBuffers(port_);
        watch_.watchPort(port_);
        return true;
    }

    int port() const override { return port_; }

    void broadcast(const std::string& text) override {
        std::lock_guard lock(mutex_);
        for (Client& client : clients_) {
            if (client.dropped || client.closing || !client.writer.joinable()) continue;
            if (client.backlog.size() >= kMaxBacklog) {
                client.dropped = true;
                client.backlog.clear();
                ++counts_.droppedClients;
            } else {
                client.backlog.push_back(text);
            }
        }
        wake_.notify_all();
    }

    HttpServerCounts counts() const override {
        std::lock_guard lock(mutex_);
        HttpServerCounts counts = counts_;
        counts.clients = static_cast<int>(clients_.size());
        return counts;
    }

private:
    // Takes one of `limit` places counted by `active`; false (counted) when all are taken.
    bool enter(int& active, int limit) {
        std::lock_guard lock(mutex_);
        if (active >= limit) {
            ++counts_.refusedConnections;
            return false;
        }
        ++active;
        return true;
    }
    void leave() {
        std::lock_guard lock(mutex_);
        --requests_;
    }
    void count(int64_t HttpServerCounts::*counter) {
        std::lock_guard lock(mutex_);
        ++(counts_.*counter);
    }

    // The head of a request that came: its connection no longer waits.
    HttpRequest headOf(const mg_connection* conn) {
        const mg_request_info* info = mg_get_request_info(conn);
        watch_.handling(peerText(info->remote_addr, info->remote_port));
        return requestHead(conn);
    }

    // The body's framing first, then the service's screen.
    std::optional<HttpResponse> screen(const HttpRequest& request) {
        const std::string problem = bodyLengthProblem(request);
        if (!problem.empty()) return HttpResponse{400, "application/json", "{\"error\":\"" + problem + "\"}"};
        return service_.screen(request);
    }

    static int answer(mg_connection* conn, const HttpResponse& response) {
        writeResponse(conn, response);
        return response.status;
    }

    // The head is judged before anything else: a refused request is answered at once, its
    // body unread, and holds no slot.
    static int onRequest(mg_connection* conn, void* self) {
        auto& server = *static_cast<CivetHttpServer*>(self);
        HttpRequest request = server.headOf(conn);
        if (std::optional<HttpResponse> refused = server.screen(request))
            return answer(conn, *refused);
        request.screened = true;
        const bool reserve = server.service_.mayUseReserve(request);
        if (!server.enter(server.requests_, kMaxConnections + (reserve ? kReservedConnections : 0)))
            return answer(conn, {503, "application/json", "{\"error\":\"busy\"}"});
        HttpResponse response;
        if (readBody(conn, request, server.watch_, server.port_)) {
            response = server.service_.handle(request);
            if (response.status == 101)
                response = {400, "application/json", "{\"error\":\"no upgrade\"}"};
        } else {
            server.count(&HttpServerCounts::slowBodies);
            response = {408, "application/json", "{\"error\":\"the body came too slowly\"}"};
        }
        server.leave();
        return answer(conn, response);
    }

    static int onConnect(const mg_connection* conn, void* self) {
        auto& server = *static_cast<CivetHttpServer*>(self);
        auto* writable = const_cast<mg_connection*>(conn);
        HttpRequest request = server.headOf(conn);
        request.webSocket = true;
        std::optional<HttpResponse> refused = server.screen(request);
        request.screened = true;
        const HttpResponse response = refused ? *refused : server.service_.handle(request);
        if (response.status != 101) {
            writeResponse(writable, response);
            return 1;
        }
        // The place is taken here and given back when civetweb has closed the connection,
        // which it reports for every connection, ready or not.
        if (!server.enter(server.clientCount_, kMaxClients)) {
            writeResponse(writable, {503, "application/json", "{\"error\":\"busy\"}"});
            return 1;
        }
        std::lock_guard lock(server.mutex_);
        Client& client = server.clients_.emplace_back();
        client.conn = writable;
        mg_set_user_connection_data(conn, &client);
        return 0;
    }

    // Runs on the connection's own thread: the client's frames are read here, not by civetweb
    // (which would hold a whole announced frame in memory), until the client closes, breaks
    // the rules or the server stops. The socket is then shut, so civetweb's own read ends.
    static void onReady(mg_connection* conn, void* self) {
        auto& server = *static_cast<CivetHttpServer*>(self);
        auto* client = static_cast<Client*>(mg_get_user_connection_data(conn));
        if (client == nullptr) return;
        {
            std::lock_guard lock(server.mutex_);
            client->writer = std::thread([&server, client] { server.writeLoop(*client); });
        }
        const int fd = socketOf(conn, server.port_);
        if (fd >= 0) server.readFrames(*client, fd);
        if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
    }

    void readFrames(Client& client, int fd) {
        WebSocketFrameReader reader(kMaxFrame);
        std::vector<WebSocketFrame> frames;
        char buffer[2048];
        while (!stopping_ && !dropped(client)) {
            pollfd wait{fd, POLLIN, 0};
            const int ready = ::poll(&wait, 1, kReaderPollMs);
            if (ready < 0 && errno != EINTR) return;
            if (ready <= 0) continue;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            frames.clear();
            if (!reader.feed(std::string_view(buffer, static_cast<size_t>(n)), frames)) {
                if (reader.problem() == WebSocketFrameReader::Problem::TooLarge)
                    count(&HttpServerCounts::largeFrames);
                mg_websocket_write(client.conn, MG_WEBSOCKET_OPCODE_CONNECTION_CLOSE, "\x03\xf1", 2);
                return;  // 1009: too big; a broken frame ends the connection the same way
            }
            for (const WebSocketFrame& frame : frames) {
                if (frame.opcode == WebSocketFrame::Close) {
                    mg_websocket_write(client.conn, MG_WEBSOCKET_OPCODE_CONNECTION_CLOSE, "", 0);
                    return;
                }
                if (frame.opcode == WebSocketFrame::Ping)
                    mg_websocket_write(client.conn, MG_WEBSOCKET_OPCODE_PONG,
                                       frame.payload.data(), frame.payload.size());
            }
        }
    }

    bool dropped(const Client& client) const {
        std::lock_guard lock(mutex_);
        return client.dropped;
    }

    // Frames are read in onReady; whatever civetweb still reads is not used.
    static int onData(mg_connection*, int, char*, size_t, void*) { return 0; }

    // A WebSocket ends in its close handler; one whose handshake failed after it was admitted
    // ends only when civetweb reports the connection closed. Either way its place goes back.
    static void onClose(const mg_connection* conn, void* self) {
        static_cast<CivetHttpServer*>(self)->release(conn);
    }
    static CivetHttpServer& serverOf(const mg_connection* conn) {
        return *static_cast<CivetHttpServer*>(mg_get_user_data(mg_get_context(conn)));
    }
    // A server thread took up a new connection; it has not read anything from it yet.
    static int onConnectionTaken(const mg_connection* conn, void** data) {
        *data = nullptr;
        serverOf(conn).watch_.arrived();
        return 0;
    }
    // Called before the socket is closed, with or without a request.
    static void onConnectionClosing(const mg_connection* conn) {
        if (const mg_request_info* info = mg_get_request_info(conn))
            serverOf(conn).watch_.closed(peerText(info->remote_addr, info->remote_port));
    }
    static void onConnectionClosed(const mg_connection* conn) {
        static_cast<CivetHttpServer*>(mg_get_user_data(mg_get_context(conn)))->release(conn);
    }

    void release(const mg_connection* conn) {
        auto* client = static_cast<Client*>(mg_get_user_connection_data(conn));
        if (client == nullptr) return;
        mg_set_user_connection_data(conn, nullptr);
        stopWriter(*client);
        std::lock_guard lock(mutex_);
        clients_.remove_if([client](const Client& c) { return &c == client; });
        --clientCount_;
    }

    void stopWriter(Client& client) {
        {
            std::lock_guard lock(mutex_);
            client.closing = true;
            wake_.notify_all();
        }
        if (client.writer.joinable()) client.writer.join();
    }

    void writeLoop(Client& client) {
        lowerThreadPriority();
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return client.closing || client.dropped || !client.backlog.empty(); });
            if (client.closing) return;
            if (client.dropped) break;
            std::string message = std::move(client.backlog.front());
            client.backlog.pop_front();
            lock.unlock();
            const int written = mg_websocket_write(client.conn, MG_WEBSOCKET_OPCODE_TEXT,
                                                   message.data(), message.size());
            lock.lock();
            if (written <= 0 && !client.closing && !client.dropped) {
                client.dropped = true;
                ++counts_.droppedClients;
            }
        }
        // Dropped: a close frame tells the client; its connection ends when it answers or when
        // it times out.
        lock.unlock();
        mg_websocket_write(client.conn, MG_WEBSOCKET_OPCODE_CONNECTION_CLOSE, "", 0);
        lock.lock();
        wake_.wait(lock, [&] { return client.closing; });
    }

    HttpService& service_;
    mg_context* context_ = nullptr;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::list<Client> clients_;
    int requests_ = 0;     // requests being handled
    int clientCount_ = 0;  // WebSocket clients admitted
    HttpServerCounts counts_;
    ConnectionWatch watch_;  // last: its thread starts when the rest is ready
};

}  // namespace

std::unique_ptr<HttpServer> openCivetHttpServer(const std::string& host, int port,
                                                HttpService& service, std::string& error) {
    auto server = std::make_unique<CivetHttpServer>(service);
    if (!server->start(host, port, error)) return nullptr;
    return server;
}

}  // namespace kalvento
