#include "app/web_remote.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <cstdio>
#include <random>
#include <utility>

#include "platform/network_addresses.h"

namespace kalvento {

namespace {

// 128 random bits as 32 hexadecimal digits.
std::string makeToken() {
    std::random_device device;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(device()));
        token += part;
    }
    return token;
}

}  // namespace

bool splitHttpAddress(const std::string& text, std::string& host, int& port) {
    const size_t colon = text.rfind(':');
    host = colon == std::string::npos ? "127.0.0.1" : text.substr(0, colon);
    const std::string digits = colon == std::string::npos ? text : text.substr(colon + 1);
    unsigned value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    const bool bracketed = host.size() > 2 && host.front() == '[' && host.back() == ']';
    const char* allowed = bracketed ? "0123456789abcdefABCDEF:." : nullptr;
    const std::string name = bracketed ? host.substr(1, host.size() - 2) : host;
    const bool oneName = std::all_of(name.begin(), name.end(), [allowed](char c) {
        return allowed ? std::strchr(allowed, c) != nullptr
                       : std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
    });
    if (host.empty() || !oneName || digits.empty() || ec != std::errc() ||
        end != digits.data() + digits.size() || value > 65535)
        return false;
    port = static_cast<int>(value);
    return true;
}

bool isLoopbackHost(const std::string& host) {
    return host == "127.0.0.1" || host == "localhost";
}

std::unique_ptr<WebRemote> WebRemote::open(const Options& options, Console& console,
                                           QuestionDesk& questions, std::string& error) {
    std::string host;
    int port = 0;
    if (!splitHttpAddress(options.httpAddress, host, port)) {
        error = "--http takes [HOST:]PORT with a port from 0 to 65535";
        return nullptr;
    }
    RemoteAccess access;
    access.keys = options.httpKeys;
    access.commands = options.httpCommands;
    access.token = options.httpToken;
    const bool madeToken = access.token.empty() && !isLoopbackHost(host);
    if (madeToken) access.token = makeToken();

    auto remote = std::unique_ptr<WebRemote>(new WebRemote());
    remote->questions_ = std::make_unique<DeskQuestions>(questions);
    remote->api_ = std::make_unique<RemoteApi>(remote->hub_, access, remote->questions_.get());
    remote->server_ = openCivetHttpServer(host, port, *remote->api_, error);
    if (!remote->server_) return nullptr;
    HttpServer& server = *remote->server_;
    remote->api_->setServerCounts([&server] { return server.counts(); });
    remote->live_ = std::make_unique<LiveUpdates>(*remote->api_, remote->hub_, server);
    remote->links_ = remoteLinks(host, remote->port(), access.token, machineAddresses());
    // A token given by the operator stays out of the console (and so of the journal); one made
    // up here is printed, in the links a phone can open.
    const std::vector<std::string> printed =
        madeToken ? remote->links_ : remoteLinks(host, remote->port(), "", machineAddresses());
    for (const std::string& link : printed) console.print("Web remote: %s\n", link.c_str());
    if (madeToken) console.print("Web remote token: %s\n", access.token.c_str());
    return remote;
}

std::vector<std::string> remoteLinks(const std::string& host, int port, const std::string& token,
                                     const std::vector<std::string>& machine) {
    std::vector<std::string> hosts = {host};
    if (host == "0.0.0.0") hosts = machine.empty() ? std::vector<std::string>{"127.0.0.1"} : machine;
    std::string query;
    if (!token.empty()) {
        query = "?token=";
        for (unsigned char c : token) {
            if (std::isalnum(c) || std::strchr("-._~", c) != nullptr) {
                query += static_cast<char>(c);
            } else {
                char escape[4];
                std::snprintf(escape, sizeof escape, "%%%02X", c);
                query += escape;
            }
        }
    }
    std::vector<std::string> links;
    for (const std::string& name : hosts)
        links.push_back("http://" + name + ":" + std::to_string(port) + "/" + query);
    return links;
}

void KeyRoadWindow::gatherRemoteKeys() {
    if (hub_ == nullptr || queue_ == nullptr) return;
    while (queue_->size() < InputQueue::kLimit) {
        const int key = hub_->takeKey();
        if (key == 0) return;
        queue_->push(Input::Key(key, InputSource::Web));
    }
}

std::optional<Input> KeyRoadWindow::takeNextKey(int ms) {
    if (held_) return std::exchange(held_, std::nullopt);
    gatherRemoteKeys();
    if (queue_ != nullptr)
        if (std::optional<Input> queued = queue_->takeKey()) return queued;
    const int typed = inner().waitKey(ms);
    if (typed != kNoKey) {
        Input input = Input::Key(typed, InputSource::Window);
        // A typed key goes the same road: into the queue and out of it as its oldest key.
        if (queue_ == nullptr || !queue_->push(input)) return input;
        return queue_->takeKey();
    }
    // What was queued during the read (a script's command, a remote's key) waits for the next
    // read, as a key typed now would.
    return std::nullopt;
}

bool KeyRoadWindow::isOwnKey(int key) const {
    return std::any_of(ownKeys_.begin(), ownKeys_.end(),
                       [key](const auto& own) { return (key & 0xFF) == own.first; });
}

bool KeyRoadWindow::runOwnKey(int key) {
    for (auto& [own, action] : ownKeys_)
        if ((key & 0xFF) == own) {
            if (action) action();
            return true;
        }
    return false;
}

int KeyRoadWindow::waitKey(int ms) {
    // An untimed read without a remote is the inner window's own (one without a window ends
    // there at once rather than wait for ever); with a remote it looks for its keys every
    // 50 ms. An own key is run and the untimed read goes on.
    constexpr int kRemoteLookMs = 50;
    const bool sliced = ms == 0 && hub_ != nullptr;
    for (;;) {
        std::optional<Input> key = takeNextKey(sliced ? kRemoteLookMs : ms);
        if (key && !runOwnKey(key->key)) {
            lastSource_ = key->source;
            return key->key;
        }
        if (ms != 0 || (!sliced && !key)) return kNoKey;
    }
}

int KeyRoadWindow::peekKey(int ms) {
    if (!held_) {
        gatherRemoteKeys();
        if (queue_ != nullptr) held_ = queue_->takeKey();
    }
    if (held_) {
        if (!runOwnKey(held_->key)) return held_->key;
        held_.reset();
        return kNoKey;
    }
    const int key = inner().peekKey(ms);
    if (key == kNoKey || !isOwnKey(key)) return key;
    (void)inner().waitKey(1);
    runOwnKey(key);
    return kNoKey;
}

}  // namespace kalvento
