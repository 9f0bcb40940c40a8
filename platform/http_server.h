#pragma once
// The embedded web server: HTTP requests and WebSocket clients on one port. The server only
// moves bytes: every path goes to the program's HttpService (no files, no directory listing, no
// scripts); WebSocket clients get what the program broadcasts. The real server is civetweb; a
// test drives the service directly and records broadcasts with FakeHttpServer.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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
    bool screened = false;   // the service's screen passed it already
    std::string remoteAddress;  // the client's address, as text
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
    // Judges a request from its request line and headers alone, before its body is read or a
    // connection slot is taken: a response refuses it at once. nullopt lets it on to handle,
    // with `screened` set.
    virtual std::optional<HttpResponse> screen(const HttpRequest&) { return std::nullopt; }
    // Whether a request that passed the screen may also take the places kept in reserve (the
    // operator's requests: the busy server still answers them).
    virtual bool mayUseReserve(const HttpRequest&) const { return false; }
    // The answer to one request. For a WebSocket upgrade request, status 101 admits the client
    // and any other status refuses it with that response.
    virtual HttpResponse handle(const HttpRequest& request) = 0;
};

struct HttpServerCounts {
    int64_t refusedConnections = 0;  // over the connection limit, or idle too long among many
    int64_t slowBodies = 0;          // bodies that did not arrive within kBodyDeadline
    int64_t largeFrames = 0;         // WebSocket clients that sent a frame over kMaxFrame
    int64_t droppedClients = 0;      // WebSocket clients that read too slowly
    int clients = 0;                 // WebSocket clients open now
};

// Every answer of the server carries these: no other site's page may frame the remote (a click
// there would steer the player), and only the page's own script and style files run.
inline constexpr const char* kContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'";

class HttpServer {
public:
    // Request bodies larger than this are not read (bodyTooLarge is set instead).
    static constexpr size_t kMaxBody = 4096;
    // A body must have arrived this long after the head, however steadily it trickles in;
    // otherwise the request is answered 408 and its connection closed. A request that gives
    // two different lengths for its body is answered 400.
    static constexpr int kBodyDeadlineMs = 2000;
    // Requests handled at once; one more is answered 503 and closed. A request waiting for its
    // head (at most the server's request timeout) holds none, nor does a WebSocket client.
    static constexpr int kMaxConnections = 8;
    // Places beyond kMaxConnections for requests the service lets use the reserve.
    static constexpr int kReservedConnections = 4;
    // Connections that have not sent their head yet, from one address and in all: beyond these
    // the one that has waited longest is closed, so idle connections never hold every thread.
    static constexpr int kHeadsPerAddress = 6;
    static constexpr int kMaxHeads = 24;
    // WebSocket clients at once; one more is answered 503.
    static constexpr int kMaxClients = 8;
    // WebSocket frames from a client larger than this close its connection: the page sends
    // nothing but small control frames.
    static constexpr size_t kMaxFrame = 1024;
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
