#pragma once
// The web remote as the program runs it: the hub the loop talks to, the request handling, the
// server and the live updates, built from the --http options. And the window the player reads
// its keys from when a remote is on: keys left by the remote come in where no key was typed.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/options.h"
#include "platform/console.h"
#include "platform/http_server.h"
#include "core/question.h"
#include "platform/window.h"
#include "remote/live_updates.h"
#include "remote/remote_api.h"
#include "remote/remote_hub.h"

namespace kalvento {

// Splits "[HOST:]PORT" (host 127.0.0.1 when left out; port 0 lets the system choose). False
// when the port is not a number from 0 to 65535 or the host is not one name or address (empty,
// a list of several, or characters no host name has): the remote listens on one address.
bool splitHttpAddress(const std::string& text, std::string& host, int& port);
// Whether `host` names this machine only, so that no token is needed.
bool isLoopbackHost(const std::string& host);

// The console questions as the web remote sees them: the prompt of the one asked now, and a
// line delivered as its answer.
class DeskQuestions final : public QuestionSeam {
public:
    explicit DeskQuestions(QuestionDesk& desk) : desk_(desk) {}
    std::optional<AskedQuestion> current() const override { return desk_.current(); }
    Delivery answer(const std::string& text, uint64_t serial) override {
        return desk_.deliver(text, serial);
    }

private:
    QuestionDesk& desk_;
};

class WebRemote {
public:
    // Starts the server on options.httpAddress. Prints the address, and a token it made up
    // (once, here) when the address is not this machine's only and none was given. Null with
    // the reason in `error` when it cannot listen. The page shows and answers the questions
    // of `questions`, which must outlive the remote.
    static std::unique_ptr<WebRemote> open(const Options& options, Console& console,
                                           QuestionDesk& questions, std::string& error);

    RemoteHub& hub() { return hub_; }
    int port() const { return server_->port(); }
    // Ready links to the page, one per address the remote is reached at (each address of the
    // machine for 0.0.0.0), with the token when there is one: for the window's display (level
    // 3) and a QR code.
    const std::vector<std::string>& links() const { return links_; }

private:
    RemoteHub hub_;
    std::unique_ptr<DeskQuestions> questions_;
    std::unique_ptr<RemoteApi> api_;
    std::unique_ptr<HttpServer> server_;
    std::unique_ptr<LiveUpdates> live_;
    std::vector<std::string> links_;
};

// The links to the page on `host`:`port`: one per address of `machine` for 0.0.0.0 (this
// machine's own when it has none), else the host's; each with "?token=" and the token
// percent-encoded when `token` is not empty.
std::vector<std::string> remoteLinks(const std::string& host, int port, const std::string& token,
                                     const std::vector<std::string>& machine);

// Passes everything to `inner`; a key read that finds no key takes the next key a remote
// left in `hub` instead, once one is attached. A read without a time limit then looks for
// remote keys every 50 ms. It stands under the on-screen display's window, so a remote key reaches
// the display as a typed one does (F1 changes the display's level).
class RemoteKeyWindow final : public ForwardingWindow {
public:
    explicit RemoteKeyWindow(Window& inner, RemoteHub* hub = nullptr)
        : ForwardingWindow(inner), hub_(hub) {}
    // The remote opens after the window stack is built; `hub` must outlive the key reads.
    void attach(RemoteHub& hub) { hub_ = &hub; }
    // Key `key`, typed or sent by a remote, runs `action` here and is not passed on (a key of
    // the window's own, as F1 is the display's).
    void takeOwnKey(int key, std::function<void()> action) {
        ownKey_ = key;
        ownAction_ = std::move(action);
    }

    int waitKey(int ms) override;
    int peekKey(int ms) override;

private:
    int takeRemoteKey() { return hub_ != nullptr ? hub_->takeKey() : 0; }

    // The key read, unless it is the window's own key (then kNoKey, its action run).
    int passOn(int key);

    RemoteHub* hub_;
    int held_ = 0;  // a remote key looked at by peekKey and not yet read
    int ownKey_ = -1;
    std::function<void()> ownAction_;
};

}  // namespace kalvento
