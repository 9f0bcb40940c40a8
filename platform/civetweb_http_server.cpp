// The web server on civetweb: no document root, so nothing but our handlers answers. Each
// WebSocket client has a writer thread of its own with a short backlog, so a client that reads
// slowly falls behind alone and is dropped without holding up the others or the broadcaster.

#include <civetweb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <thread>

#include "platform/http_server.h"

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
              "Connection: close\r\n\r\n",
              response.status, reasonOf(response.status), response.contentType.c_str(),
              response.body.size());
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
    for (int i = 0; i < info->num_headers; ++i) {
        std::string name = info->http_headers[i].name ? info->http_headers[i].name : "";
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        request.headers.emplace_back(name,
                                     info->http_headers[i].value ? info->http_headers[i].value : "");
    }
    return request;
}

void readBody(mg_connection* conn, HttpRequest& request) {
    const long long declared = mg_get_request_info(conn)->content_length;
    if (declared > static_cast<long long>(HttpServer::kMaxBody)) {
        request.bodyTooLarge = true;
        return;
    }
    char buffer[1024];
    for (;;) {
        int n = mg_read(conn, buffer, sizeof buffer);
        if (n <= 0) return;
        if (request.body.size() + static_cast<size_t>(n) > HttpServer::kMaxBody) {
            request.bodyTooLarge = true;
            request.body.clear();
            return;
        }
        request.body.append(buffer, static_cast<size_t>(n));
    }
}

struct Client {
    mg_connection* conn = nullptr;
    std::deque<std::string> backlog;
    bool closing = false;
    bool dropped = false;
    std::thread writer;
};

class CivetHttpServer final : public HttpServer {
public:
    explicit CivetHttpServer(HttpService& service) : service_(service) { mg_init_library(0); }
    ~CivetHttpServer() override {
        if (context_) mg_stop(context_);  // closes every connection, calling the close handler
        mg_exit_library();
    }

    bool start(const std::string& host, int port, std::string& error) {
        const std::string ports = host + ":" + std::to_string(port);
        const std::string threads = std::to_string(kMaxConnections + 1);
        const char* options[] = {"listening_ports", ports.c_str(), "num_threads", threads.c_str(),
                                 "request_timeout_ms", "3000", "websocket_timeout_ms", "10000",
                                 "enable_websocket_ping_pong", "yes", "enable_directory_listing",
                                 "no", "enable_keep_alive", "no", nullptr};
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
        mg_server_port listening[1]{};
        if (mg_get_server_ports(context_, 1, listening) < 1) {
            error = "the web server has no listening port";
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
    // Takes a connection slot; false (counted) when all are in use.
    bool enter() {
        std::lock_guard lock(mutex_);
        if (active_ >= kMaxConnections) {
            ++counts_.refusedConnections;
            return false;
        }
        ++active_;
        return true;
    }
    void leave() {
        std::lock_guard lock(mutex_);
        --active_;
    }

    static int onRequest(mg_connection* conn, void* self) {
        auto& server = *static_cast<CivetHttpServer*>(self);
        if (!server.enter()) {
            writeResponse(conn, {503, "application/json", "{\"error\":\"busy\"}"});
            return 503;
        }
        HttpRequest request = requestHead(conn);
        readBody(conn, request);
        HttpResponse response = server.service_.handle(request);
        if (response.status == 101) response = {400, "application/json", "{\"error\":\"no upgrade\"}"};
        writeResponse(conn, response);
        server.leave();
        return response.status;
    }

    static int onConnect(const mg_connection* conn, void* self) {
        auto& server = *static_cast<CivetHttpServer*>(self);
        HttpRequest request = requestHead(conn);
        request.webSocket = true;
        HttpResponse response = server.service_.handle(request);
        if (response.status != 101) {
            writeResponse(const_cast<mg_connection*>(conn), response);
            return 1;
        }
        // The slot is taken here and given back when civetweb has closed the connection, which
        // it reports for every connection, ready or not.
        if (!server.enter()) {
            writeResponse(const_cast<mg_connection*>(conn),
                          {503, "application/json", "{\"error\":\"busy\"}"});
            return 1;
        }
        std::lock_guard lock(server.mutex_);
        Client& client = server.clients_.emplace_back();
        client.conn = const_cast<mg_connection*>(conn);
        mg_set_user_connection_data(conn, &client);
        return 0;
    }

    static void onReady(mg_connection* conn, void* self) {
        auto& server = *static_cast<CivetHttpServer*>(self);
        auto* client = static_cast<Client*>(mg_get_user_connection_data(conn));
        std::lock_guard lock(server.mutex_);
        if (client != nullptr) client->writer = std::thread([&server, client] { server.writeLoop(*client); });
    }

    // Messages from a client are not used; the connection stays open.
    static int onData(mg_connection*, int, char*, size_t, void*) { return 1; }

    // A WebSocket ends in its close handler; one whose handshake failed after it was admitted
    // ends only when civetweb reports the connection closed. Either way its slot goes back.
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
        --active_;
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
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::list<Client> clients_;
    int active_ = 0;
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
