#pragma once
// The embedded web server: HTTP requests and WebSocket clients on one port. The server only
// moves bytes: every path goes to the program's HttpService (no files, no directory listing, no
// scripts); WebSocket clients get what the program broadcasts. The real server is civetweb; a
// test drives the service directly and records broadcasts with FakeHttpServer.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kalvento {

struct HttpRequest {
    std::string method;  // "GET", "POST", ...
    std::string path;    // decoded, without the query
    std::string query;   // the raw text after '?', empty when there is none
    std::string body;    // at most the server's body limit; see bodyTooLarge
    bool bodyTooLarge = false;
    bool webSocket = false;  // an upgrade request to a WebSocket
    // Header names in lower case, values as sent.
    std::vector<std::pair<std::string, std::string>> headers;

    // The value of header `name` (lower case); empty when it was not sent.
    std::string header(std::string_view name) const;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
};

// What the server asks of the program. Called on the server's threads, several at once; an
// implementation never waits for the player's loop.
class HttpService {
public:
    virtual ~HttpService() = default;
    // The answer to one request. For a WebSocket upgrade request, status 101 admits the client
    // and any other status refuses it with that response.
    virtual HttpResponse handle(const HttpRequest& request) = 0;
};

struct HttpServerCounts {
    int64_t refusedConnections = 0;  // over the connection limit
    int64_t droppedClients = 0;      // WebSocket clients that read too slowly
    int clients = 0;                 // WebSocket clients open now
};

class HttpServer {
public:
    // Request bodies larger than this are not read (bodyTooLarge is set instead).
    static constexpr size_t kMaxBody = 4096;
    // Connections served at once; one more is answered 503 and closed.
    static constexpr int kMaxConnections = 8;
    // Messages waiting for one WebSocket client; a client that falls further behind is dropped.
    static constexpr size_t kMaxBacklog = 32;

    virtual ~HttpServer() = default;
    // The listening port (the one the system chose when 0 was asked for).
    virtual int port() const = 0;
    // Queues `text` for every WebSocket client and returns at once.
    virtual void broadcast(const std::string& text) = 0;
    virtual HttpServerCounts counts() const = 0;
};

// Listens on `host`:`port` (port 0: any free port) and serves `service`, which must outlive
// the server. Null with the reason in `error` when it cannot listen.
std::unique_ptr<HttpServer> openCivetHttpServer(const std::string& host, int port,
                                                HttpService& service, std::string& error);

}  // namespace kalvento
