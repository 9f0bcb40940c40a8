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
#include <list>
#include <mutex>
#include <thread>

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

// Reads the body within HttpServer::kBodyDeadlineMs of the head; false when it came too
// slowly (what came is dropped).
bool readBody(mg_connection* conn, HttpRequest& request) {
    const long long declared = mg_get_request_info(conn)->content_length;
    if (declared > static_cast<long long>(HttpServer::kMaxBody)) {
        request.bodyTooLarge = true;
        return true;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(HttpServer::kBodyDeadlineMs);
    char buffer[1024];
    for (;;) {
        int n = mg_read(conn, buffer, sizeof buffer);
        if (n <= 0) return true;
        if (request.body.size() + static_cast<size_t>(n) > HttpServer::kMaxBody) {
            request.bodyTooLarge = true;
            request.body.clear();
            return true;
        }
        request.body.append(buffer, static_cast<size_t>(n));
        if (std::chrono::steady_clock::now() > deadline) {
            request.body.clear();
            return false;
        }
    }
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

// The socket of a connection of ours: the one whose local port is `localPort` and whose peer is
// the connection's client. civetweb does not give it out; a live connection owns its socket,
// so the descriptor stays valid while the connection's handler runs. -1 when none is found.
int socketOf(const mg_connection* conn, int localPort) {
    const mg_request_info* info = mg_get_request_info(conn);
    DIR* fds = opendir("/proc/self/fd");
    if (fds == nullptr) return -1;
    int found = -1;
    while (const dirent* entry = readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9' || fd == dirfd(fds)) continue;
        sockaddr_storage local{}, peer{};
        socklen_t localSize = sizeof local, peerSize = sizeof peer;
        std::string localText, peerText;
        int localBound = -1, peerPort = -1;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0 ||
            !addressOf(local, localText, localBound) || !addressOf(peer, peerText, peerPort))
            continue;
        if (localBound == localPort && peerPort == info->remote_port &&
            peerText == info->remote_addr) {
            found = fd;
            break;
        }
    }
    closedir(fds);
    return found;
}

struct Client {
    mg_connection* conn = nullptr;
    std::deque<std::string> backlog;
    bool closing = false;
    bool dropped = false;
    std::thread writer;
};

// Worker threads of civetweb: one for every request handled and every WebSocket client at
// once, and as many again for connections still sending their head, so that slow heads delay
// nobody (each is given up after the request timeout).
constexpr int kWorkerThreads = 2 * (HttpServer::kMaxConnections + HttpServer::kMaxClients);
// A head, and each wait for more of a body, must come within this; a WebSocket reader looks
// whether the server stops this often.
constexpr int kRequestTimeoutMs = 2000;
constexpr int kReaderPollMs = 200;

class CivetHttpServer final : public HttpServer {
public:
    explicit CivetHttpServer(HttpService& service) : service_(service) { mg_init_library(0); }
    ~CivetHttpServer() override {
        stopping_ = true;  // WebSocket readers end within kReaderPollMs
        if (context_) mg_stop(context_);  // closes every connection, calling the close handler
        mg_exit_library();
    }

    bool start(const std::string& host, int port, std::string& error) {
        const std::string ports = host + ":" + std::to_string(port);
        const std::string threads = std::to_string(kWorkerThreads);
        const std::string timeout = std::to_string(kRequestTimeoutMs);
        const char* options[] = {"listening_ports", ports.c_str(), "num_threads", threads.c_str(),
                                 "request_timeout_ms", timeout.c_str(), "websocket_timeout_ms",
                                 "10000", "enable_directory_listing", "no", "enable_keep_alive",
                                 "no", nullptr};
        mg_callbacks callbacks{};
        callbacks.log_message = [](const mg_connection*, const char*) { return 1; };
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

    static int answer(mg_connection* conn, const HttpResponse& response) {
        writeResponse(conn, response);
        return response.status;
    }

    // The head is judged before anything else: a refused request is answered at once, its
    // body unread, and holds no slot.
    static int onRequest(mg_connection* conn, void* self) {
        auto& server = *static_cast<CivetHttpServer*>(self);
        HttpRequest request = requestHead(conn);
        if (std::optional<HttpResponse> refused = server.service_.screen(request))
            return answer(conn, *refused);
        request.screened = true;
        if (!server.enter(server.requests_, kMaxConnections))
            return answer(conn, {503, "application/json", "{\"error\":\"busy\"}"});
        HttpResponse response;
        if (readBody(conn, request)) {
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
        HttpRequest request = requestHead(conn);
        request.webSocket = true;
        std::optional<HttpResponse> refused = server.service_.screen(request);
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
};

}  // namespace

std::unique_ptr<HttpServer> openCivetHttpServer(const std::string& host, int port,
                                                HttpService& service, std::string& error) {
    auto server = std::make_unique<CivetHttpServer>(service);
    if (!server->start(host, port, error)) return nullptr;
    return server;
}

}  // namespace kalvento
