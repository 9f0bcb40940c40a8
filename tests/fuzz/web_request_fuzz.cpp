// The web remote's request handling: the fuzzer's bytes become a request (method, path, query,
// headers, body) for the handlers, with and without a token. Whatever comes, the answer is an
// HTTP status the handlers use, and nothing but the allowed keys reaches the key queue. With
// the flag 'f' the body is instead what a WebSocket client sends, read in pieces as the server
// reads it: no frame larger than the limit comes out and the reader holds no more than a frame.

#include <set>
#include <string_view>
#include <vector>
#include <string>

#include "platform/websocket_frames.h"
#include "remote/remote_api.h"

namespace {

// Splits the input at the first five newlines: method, path, query, header line, token flag;
// the rest is the body.
kalvento::HttpRequest requestOf(const std::string& bytes, bool& withToken) {
    std::string parts[5];
    size_t start = 0;
    for (std::string& part : parts) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        part = bytes.substr(start, end - start);
        start = std::min(bytes.size(), end + 1);
    }
    kalvento::HttpRequest request;
    request.method = parts[0];
    request.path = parts[1];
    request.query = parts[2];
    request.webSocket = !parts[4].empty() && parts[4][0] == 'w';
    withToken = !parts[4].empty() && parts[4][0] == 't';
    const size_t colon = parts[3].find(':');
    if (colon != std::string::npos)
        request.headers.push_back({parts[3].substr(0, colon), parts[3].substr(colon + 1)});
    request.headers.push_back({"host", "127.0.0.1:8080"});
    request.body = bytes.substr(start, kalvento::HttpServer::kMaxBody);
    request.bodyTooLarge = bytes.size() - start > kalvento::HttpServer::kMaxBody;
    return request;
}

// Feeds `bytes` in pieces whose sizes come from the bytes themselves.
void readFrames(const std::string& bytes) {
    using kalvento::HttpServer;
    kalvento::WebSocketFrameReader reader(HttpServer::kMaxFrame);
    std::vector<kalvento::WebSocketFrame> frames;
    for (size_t at = 0; at < bytes.size();) {
        const size_t piece = 1 + static_cast<unsigned char>(bytes[at]) % 64;
        const bool going = reader.feed(std::string_view(bytes).substr(at, piece), frames);
        if (reader.held() > 14 + HttpServer::kMaxFrame + piece) __builtin_trap();
        if (!going && reader.problem() == kalvento::WebSocketFrameReader::Problem::None)
            __builtin_trap();
        at += piece;
    }
    for (const kalvento::WebSocketFrame& frame : frames)
        if (frame.payload.size() > HttpServer::kMaxFrame) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kalvento;
    bool withToken = false;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (size > 0 && data[0] == 'f') {
        readFrames(bytes.substr(1));
        return 0;
    }
    HttpRequest request = requestOf(bytes, withToken);
    RemoteHub hub;
    RemoteAccess access;
    if (withToken) access.token = "secret";
    RemoteApi api(hub, access);
    // The pictures are not asked for: without a loop to hand them over the wait would be long.
    if (request.path.find(".jpg") != std::string::npos) return 0;
    const HttpResponse response = api.handle(request);
    static const std::set<int> statuses{101, 200, 204, 400, 401, 403, 404, 409, 413, 429};
    if (!statuses.count(response.status)) __builtin_trap();
    for (int key; (key = hub.takeKey()) != 0;)
        if (!access.keys.contains(key)) __builtin_trap();
    (void)api.statusJson().dump();
    return 0;
}
