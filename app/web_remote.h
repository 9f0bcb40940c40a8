#pragma once
// The web remote as the program runs it: the hub the loop talks to, the request handling, the
// server and the live updates, built from the --http options. And the window the player reads
// its keys from when a remote is on: keys left by the remote come in where no key was typed.

#include <functional>
#include <optional>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "app/options.h"
#include "platform/console.h"
#include "platform/http_server.h"
#include "core/input_queue.h"
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

// The player's key reads, one road for every source: a key typed into the window (or served by
// the script) joins the player's input queue, the keys the web remote left join it too, and a
// read takes the oldest key of the queue (OSC's and the `key K` commands' among them). The
// player's own keys (F1: the display's level; u: the links' codes) run their action here,
// whichever road they came by, and are not passed on. It stands under the on-screen display's
// window, so every key read reaches the display as a typed one does. Before a queue is
// attached keys pass through as typed (own keys aside).
class KeyRoadWindow final : public ForwardingWindow {
public:
    explicit KeyRoadWindow(Window& inner, RemoteHub* hub = nullptr)
        : ForwardingWindow(inner), hub_(hub) {}
    // The remote opens after the window stack is built; `hub` must outlive the key reads.
    void attach(RemoteHub& hub) { hub_ = &hub; }
    // The player's queue, made after the window stack; it must outlive the key reads.
    void attach(InputQueue& queue) { queue_ = &queue; }
    // Key `key`, from any road, runs `action` here and is not passed on.
    void takeOwnKey(int key, std::function<void()> action) {
        ownKeys_.emplace_back(key, std::move(action));
    }
    // Where the key last read came from.
    InputSource lastSource() const { return lastSource_; }

    int waitKey(int ms) override;
    int peekKey(int ms) override;

private:
    // The web remote's keys into the queue, as far as it has room.
    void gatherRemoteKeys();
    // The next key of the road: one looked at before, the oldest queued key, else the inner
    // window's within `ms` (through the queue); nullopt when none came.
    std::optional<Input> takeNextKey(int ms);
    bool isOwnKey(int key) const;
    // True (its action run) when `key` is an own key.
    bool runOwnKey(int key);

    RemoteHub* hub_;
    InputQueue* queue_ = nullptr;
    std::optional<Input> held_;  // a key looked at by peekKey and not yet read
    std::vector<std::pair<int, std::function<void()>>> ownKeys_;
    InputSource lastSource_ = InputSource::Window;
};

}  // namespace kalvento
