#include "app/web_remote.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <cstdio>
#include <random>

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

int RemoteKeyWindow::passOn(int key) {
    if (key != ownKey_ || !ownAction_) return key;
    ownAction_();
    return kNoKey;
}

int RemoteKeyWindow::waitKey(int ms) {
    // Without a remote a read is the inner window's own (one without a window and without a
    // time limit ends there at once rather than wait for ever).
    if (hub_ == nullptr) return passOn(inner().waitKey(ms));
    constexpr int kRemoteLookMs = 50;
    for (;;) {
        int key = kNoKey;
        if (held_ != 0) {
            key = held_;
            held_ = 0;
        } else if ((key = inner().waitKey(ms == 0 ? kRemoteLookMs : ms)) == kNoKey) {
            key = takeRemoteKey();
            if (key == 0) key = kNoKey;
        }
        if (key != kNoKey) key = passOn(key);
        if (key != kNoKey || ms != 0) return key;
    }
}

int RemoteKeyWindow::peekKey(int ms) {
    if (held_ != 0) return held_;
    const int key = inner().peekKey(ms);
    if (key != kNoKey) return key;
    held_ = takeRemoteKey();
    return held_ != 0 ? held_ : kNoKey;
}

}  // namespace kalvento
