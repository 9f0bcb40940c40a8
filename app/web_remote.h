#pragma once
// The web remote as the program runs it: the hub the loop talks to, the request handling, the
// server and the live updates, built from the --http options. And the window the player reads
// its keys from when a remote is on: keys left by the remote come in where no key was typed.

#include <memory>
#include <string>

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
// when the port is not a number from 0 to 65535 or the host is empty.
bool splitHttpAddress(const std::string& text, std::string& host, int& port);
// Whether `host` names this machine only, so that no token is needed.
bool isLoopbackHost(const std::string& host);

// The console questions as the web remote sees them: the prompt of the one asked now, and a
// line delivered as its answer.
class DeskQuestions final : public QuestionSeam {
public:
    explicit DeskQuestions(QuestionDesk& desk) : desk_(desk) {}
    std::string currentQuestion() const override;
    bool answer(const std::string& text) override { return desk_.deliver(text); }

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

private:
    RemoteHub hub_;
    std::unique_ptr<DeskQuestions> questions_;
    std::unique_ptr<RemoteApi> api_;
    std::unique_ptr<HttpServer> server_;
    std::unique_ptr<LiveUpdates> live_;
};

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

    int waitKey(int ms) override;
    int peekKey(int ms) override;

private:
    int takeRemoteKey() { return hub_ != nullptr ? hub_->takeKey() : 0; }

    RemoteHub* hub_;
    int held_ = 0;  // a remote key looked at by peekKey and not yet read
};

}  // namespace kalvento
