#include "remote/remote_api.h"

#include <algorithm>
#include <climits>

namespace kalvento {

namespace {

using nlohmann::json;

// A remote types the key codes 1..254, as a key read returns them (255 is no key).
bool isKeyCode(int64_t code) {
    return code >= 1 && code <= 254;
}

HttpResponse jsonResponse(int status, const json& body) {
    return {status, "application/json", body.dump(-1, ' ', false, json::error_handler_t::replace)};
}

// Compares without stopping at the first difference, so the time taken tells nothing.
bool sameSecret(const std::string& given, const std::string& wanted) {
    unsigned diff = given.size() != wanted.size();
    for (size_t i = 0; i < given.size(); ++i)
        diff |= static_cast<unsigned char>(given[i]) ^
                static_cast<unsigned char>(wanted[i % std::max<size_t>(1, wanted.size())]);
    return diff == 0;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX escapes decoded; a '+' stays a '+' (a token holds no blank, and a typed link keeps '+').
std::string percentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low < 0) {
            out += text[i];
            continue;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

// The value of `name` in a query string, decoded; "" when it is not there.
std::string queryValue(const std::string& query, const std::string& name) {
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) end = query.size();
        const std::string item = query.substr(start, end - start);
        if (item.compare(0, name.size() + 1, name + "=") == 0)
            return percentDecoded(item.substr(name.size() + 1));
        start = end + 1;
    }
    return {};
}

// The token a request carries: its Bearer authorization, else its query's token.
std::string givenToken(const HttpRequest& request) {
    const std::string authorization = request.header("authorization");
    if (authorization.rfind("Bearer ", 0) == 0) return authorization.substr(7);
    return queryValue(request.query, "token");
}

// Files of the page that hold nothing secret: the form that asks for the token needs them.
bool isPublicFile(const HttpRequest& request) {
    return request.method == "GET" && !request.webSocket &&
           (request.path == "/app.css" || request.path == "/app.js" ||
            request.path == "/favicon.ico");
}

bool isPagePath(const std::string& path) {
    return path == "/" || path == "/index.html";
}

// One line of printable text: no control characters.
bool isOneLine(const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

// The host part of a Host header ("127.0.0.1:8080" -> "127.0.0.1", "[::1]:80" -> "[::1]").
std::string hostName(const std::string& host) {
    if (!host.empty() && host[0] == '[') return host.substr(0, host.find(']') + 1);
    return host.substr(0, host.find(':'));
}

}  // namespace

RemoteApi::RemoteApi(RemoteHub& hub, RemoteAccess access, QuestionSeam* questions)
    : hub_(hub), access_(std::move(access)), questions_(questions), previews_(hub) {}

HttpResponse RemoteApi::refuse(int status, const std::string& message,
                               std::atomic<int64_t>& counter) {
    ++counter;
    return jsonResponse(status, {{"error", message}});
}

std::optional<HttpResponse> RemoteApi::checkToken(const HttpRequest& request) {
    if (access_.token.empty()) {
        // Without a token the player listens on this machine only; a page that reached it
        // under another host name (DNS rebinding) is not answered.
        const std::string name = hostName(request.header("host"));
        if (name == "127.0.0.1" || name == "localhost" || name == "[::1]") return std::nullopt;
        return refuse(401, "a valid token is needed", counts_.unauthorised);
    }
    if (isPublicFile(request)) return std::nullopt;
    // The right token passes whoever else guesses; only wrong ones are slowed.
    const std::string given = givenToken(request);
    const auto now = TokenThrottle::Clock::now();
    if (sameSecret(given, access_.token)) {
        throttle_.succeeded(request.remoteAddress, now);
        return std::nullopt;
    }
    // A first visit without a token is no guess; a wrong token is.
    const auto wait = given.empty() ? TokenThrottle::Clock::duration::zero()
                                    : throttle_.waitFor(request.remoteAddress, now);
    if (wait > TokenThrottle::Clock::duration::zero()) {
        const auto seconds = std::chrono::ceil<std::chrono::seconds>(wait).count();
        return refuse(429, "too many wrong tokens: try again in " + std::to_string(seconds) + " s",
                      counts_.throttled);
    }
    if (!given.empty()) throttle_.failed(request.remoteAddress, now);
    ++counts_.unauthorised;
    if (request.method == "GET" && isPagePath(request.path))
        return HttpResponse{401, "text/html; charset=utf-8", tokenPage()};
    return jsonResponse(401, {{"error", "a valid token is needed"}});
}

bool RemoteApi::mayUseReserve(const HttpRequest& head) const {
    if (access_.token.empty()) return head.remoteAddress == "127.0.0.1";
    return sameSecret(givenToken(head), access_.token);
}

bool RemoteApi::sameOrigin(const HttpRequest& request) const {
    const std::string origin = request.header("origin");
    return origin.empty() || origin == "http://" + request.header("host");
}

std::optional<HttpResponse> RemoteApi::screen(const HttpRequest& head) {
    ++counts_.requests;
    if (std::optional<HttpResponse> refused = checkToken(head)) return refused;
    const bool writes = head.method != "GET" && head.method != "HEAD";
    if ((writes || head.webSocket) && !sameOrigin(head))
        return refuse(403, "requests from another site's page are refused", counts_.foreignOrigin);
    return std::nullopt;
}

HttpResponse RemoteApi::handle(const HttpRequest& request) {
    if (!request.screened)
        if (std::optional<HttpResponse> refused = screen(request)) return *refused;
    if (request.bodyTooLarge) return refuse(413, "the body is larger than 4 KB", counts_.tooLarge);
    return route(request);
}

HttpResponse RemoteApi::route(const HttpRequest& request) {
    const std::string& path = request.path;
    const bool get = request.method == "GET";
    if (request.webSocket) {
        if (path == "/api/v1/ws") return {101, "", ""};
        return refuse(404, "no such WebSocket", counts_.notFound);
    }
    if (get && isPagePath(path)) return {200, "text/html; charset=utf-8", remotePage()};
    if (get && path == "/app.css") return {200, "text/css; charset=utf-8", remotePageStyle()};
    if (get && path == "/app.js")
        return {200, "text/javascript; charset=utf-8", remotePageScript()};
    if (get && path == "/favicon.ico") return {204, "image/x-icon", ""};  // browsers ask
    if (get && path == "/api/v1/status") return jsonResponse(200, statusJson());
    if (get && path == "/api/v1/frame.jpg") return jpeg(previews_.clipJpeg(), "no clip is shown");
    if (get && path == "/api/v1/camera.jpg")
        return jpeg(previews_.cameraJpeg(), "the camera is off");
    const bool post = request.method == "POST";
    const bool known = path == "/api/v1/key" || path == "/api/v1/threshold" ||
                       path == "/api/v1/answer" || path == "/api/v1/command";
    if (!post || !known) return refuse(404, "no such request", counts_.notFound);
    json body = json::parse(request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object())
        return refuse(400, "the body is not a JSON object", counts_.badRequest);
    if (path == "/api/v1/key") return postKey(body);
    if (path == "/api/v1/command") return postCommand(body);
    if (path == "/api/v1/threshold") return postThreshold(body);
    return postAnswer(body);
}

HttpResponse RemoteApi::postKey(const json& body) {
    int code = 0;
    if (body.contains("key") && body["key"].is_string())
        code = keyCodeOf(body["key"].get<std::string>());
    else if (body.contains("code") && body["code"].is_number_integer()) {
        const auto value = body["code"].get<int64_t>();
        code = isKeyCode(value) ? static_cast<int>(value) : 0;
    }
    if (code == 0)
        return refuse(400, "give {\"key\": \"x\"} or {\"code\": 1..254}", counts_.badRequest);
    if (!access_.keys.contains(code))
        return refuse(403, "the key " + keyNameOf(code) + " is not allowed", counts_.keysRefused);
    if (!hub_.queueKey(code)) return refuse(429, "too many keys are waiting", counts_.keysRefused);
    ++counts_.keys;
    return jsonResponse(200, {{"queued", keyNameOf(code)}});
}

// {"name": "folder", "args": [3]}: the arguments strings or numbers (a whole number written
// without a point), at most kMaxCommandArgs of them.
HttpResponse RemoteApi::postCommand(const json& body) {
    constexpr size_t kMaxCommandArgs = 8;
    constexpr size_t kMaxWord = 64;
    const char* usage = "give {\"name\": \"folder\", \"args\": [3]}";
    if (!body.contains("name") || !body["name"].is_string())
        return refuse(400, usage, counts_.badRequest);
    const std::string name = body["name"].get<std::string>();
    std::vector<std::string> args;
    if (body.contains("args")) {
        const json& given = body["args"];
        if (!given.is_array() || given.size() > kMaxCommandArgs)
            return refuse(400, usage, counts_.badRequest);
        for (const json& arg : given) {
            if (arg.is_string() && arg.get<std::string>().size() <= kMaxWord)
                args.push_back(arg.get<std::string>());
            else if (arg.is_number_integer())
                args.push_back(std::to_string(arg.get<int64_t>()));
            else
                return refuse(400, "each argument is a string or a whole number",
                              counts_.badRequest);
        }
    }
    if (name.size() > kMaxWord || access_.commands.count(name) == 0)
        return refuse(403, "the command " + (name.size() > kMaxWord ? std::string("given") : name) +
                               " is not allowed",
                      counts_.commandsRefused);
    if (name == "key") {
        const int code = args.size() == 1 ? keyArgumentCode(args[0]) : 0;
        if (code == 0) return refuse(400, "give {\"name\": \"key\", \"args\": [\"x\"]}",
                                     counts_.badRequest);
        if (!access_.keys.contains(code))
            return refuse(403, "the key " + keyNameOf(code) + " is not allowed",
                          counts_.commandsRefused);
    }
    if (!hub_.queueCommand(name, args))
        return refuse(429, "too many commands are waiting", counts_.commandsRefused);
    ++counts_.commands;
    return jsonResponse(200, {{"queued", name}, {"args", args}});
}

HttpResponse RemoteApi::postThreshold(const json& body) {
    if (!body.contains("value") || !body["value"].is_number_integer())
        return refuse(400, "give {\"value\": N}", counts_.badRequest);
    const auto value = body["value"].get<int64_t>();
    if (value < 0 || value > INT_MAX)
        return refuse(400, "the threshold is a whole number from 0 up", counts_.badRequest);
    hub_.setThreshold(static_cast<int>(value));
    return jsonResponse(200, {{"threshold", value}});
}

HttpResponse RemoteApi::postAnswer(const json& body) {
    if (!body.contains("text") || !body["text"].is_string())
        return refuse(400, "give {\"text\": \"...\"}", counts_.badRequest);
    const std::string text = body["text"].get<std::string>();
    if (text.size() > kMaxAnswer || !isOneLine(text))
        return refuse(400, "an answer is one line of at most 250 bytes without control characters",
                      counts_.badRequest);
    const std::optional<AskedQuestion> asked =
        questions_ != nullptr ? questions_->current() : std::nullopt;
    if (!asked) return jsonResponse(409, {{"error", "no question is being asked"}, {"used", false}});
    if (asked->key == 0 || !access_.keys.contains(asked->key))
        return jsonResponse(403, {{"error", "the question of key " + keyNameOf(asked->key) +
                                                " may only be answered when --http-keys has it"},
                                  {"used", false}});
    const Delivery delivery = questions_->answer(text, asked->serial);
    switch (delivery.outcome) {
        case Delivery::Outcome::Used:
            return jsonResponse(200, {{"answered", text}, {"used", true}});
        case Delivery::Outcome::Refused:
            return jsonResponse(400, {{"error", delivery.message}, {"used", false}});
        case Delivery::Outcome::NotOpen:
        case Delivery::Outcome::NoQuestion:
            break;
    }
    return jsonResponse(409, {{"error", delivery.message}, {"used", false}});
}

json RemoteApi::questionJson() const {
    const std::optional<AskedQuestion> asked =
        questions_ != nullptr ? questions_->current() : std::nullopt;
    if (!asked) return {{"prompt", ""}, {"answerable", false}};
    const bool allowed = asked->key != 0 && access_.keys.contains(asked->key);
    return {{"prompt", withoutBlanks(asked->prompt)},
            {"answerable", allowed && asked->takesDeliveries},
            {"key", asked->key != 0 ? keyNameOf(asked->key) : ""}};
}

HttpResponse RemoteApi::jpeg(const std::vector<uint8_t>& bytes, const char* missing) {
    if (bytes.empty()) return jsonResponse(404, {{"error", missing}});
    return {200, "image/jpeg", std::string(bytes.begin(), bytes.end())};
}

json RemoteApi::statusJson() const {
    const RemoteStatus s = hub_.status();
    json keys = json::array();
    for (int code : access_.keys.codes())
        if (isKeyCode(code)) keys.push_back(keyNameOf(code));
    const HttpServerCounts server = serverCounts_ ? serverCounts_() : HttpServerCounts{};
    return {
        {"version", s.version},
        {"uptime", s.uptimeSeconds},
        {"folder", {{"number", s.folder}, {"name", s.folderName}}},
        {"clip", {{"index", s.clip}, {"count", s.clipCount}}},
        {"camera", {{"on", s.cameraOn}, {"source", s.cameraSource}, {"channel", s.cameraChannel}}},
        {"motion",
         {{"DifferenceSum", s.differenceSum}, {"DiffSum", s.diffSum},
          {"QBN_threshold", s.threshold}, {"margin", s.margin}}},
        {"engine", s.gestureEngine ? "gesture" : "motion"},
        {"gesture",
         {{"result", s.gesture.result}, {"name", s.gesture.name}, {"phase", s.gesture.phase},
          {"speed", s.gesture.speed}, {"acceleration", s.gesture.accel}, {"width", s.gesture.width}}},
        {"autoReplay", s.autoReplay},
        {"flip", s.flipMode},
        {"turnsPerSecond", s.turnsPerSecond},
        {"turns", s.turns},
        {"osdLevel", s.osdLevel},
        {"paused", s.paused},
        {"follow", s.follow},
        {"waiting", s.waiting},
        {"osdKey", s.osdKey},
        {"question", questions_ != nullptr ? questionJson()["prompt"].get<std::string>() : s.question},
        {"answer", questionJson()},
        {"osc", {{"keys", s.oscKeys}, {"motion", s.oscMotions}, {"dropped", s.oscDropped}}},
        {"keys", keys},
        {"http",
         {{"requests", counts_.requests.load()}, {"unauthorised", counts_.unauthorised.load()},
          {"throttled", counts_.throttled.load()}, {"slowBodies", server.slowBodies},
          {"largeFrames", server.largeFrames},
          {"foreignOrigin", counts_.foreignOrigin.load()}, {"tooLarge", counts_.tooLarge.load()},
          {"badRequest", counts_.badRequest.load()}, {"notFound", counts_.notFound.load()},
          {"keys", counts_.keys.load()}, {"keysRefused", counts_.keysRefused.load()},
          {"commands", counts_.commands.load()},
          {"commandsRefused", counts_.commandsRefused.load()},
          {"refusedConnections", server.refusedConnections},
          {"droppedClients", server.droppedClients}, {"clients", server.clients}}},
    };
}

std::string RemoteApi::liveMessage(const std::vector<MotionSample>& samples) const {
    json message = statusJson();
    json list = json::array();
    for (const MotionSample& sample : samples)
        list.push_back({sample.seconds, sample.own, sample.shared, sample.threshold});
    message["type"] = "status";
    message["samples"] = std::move(list);
    return message.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace kalvento
