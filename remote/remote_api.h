#pragma once
// The web remote's requests: the page at / (its script and style at /app.js and /app.css), and
// under /api/v1 the status, the two previews, keys, commands, the threshold and answers, and the upgrade
// to the live WebSocket. Every request passes the same gate first, judged from its head alone
// before any body is read: the token (when one is set; the right one always passes, wrong ones
// from an address that keeps guessing, or from everywhere at too high a rate, wait), the host
// name (when none is: only this machine's names, so a foreign
// page cannot reach the player through its own host name), the page's origin for anything but
// reading; then the body limit. Refusals are counted. The page without a token is a form that
// asks for it; the script and style hold nothing secret and need no token.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/key_set.h"
#include "platform/http_server.h"
#include "core/question.h"
#include "remote/previews.h"
#include "remote/remote_hub.h"
#include "remote/token_throttle.h"

namespace kalvento {

// The question the player asks now and a way to answer it from the page.
class QuestionSeam {
public:
    virtual ~QuestionSeam() = default;
    // The question asked now, if any.
    virtual std::optional<AskedQuestion> current() const = 0;
    // Answers the question `serial`; what became of the answer.
    virtual Delivery answer(const std::string& text, uint64_t serial) = 0;
};

struct RemoteAccess {
    std::string token;  // required on every request when not empty
    KeySet keys = defaultRemoteKeys();
    // The commands POST /api/v1/command may run (`key K` also needs K in `keys`).
    std::set<std::string> commands;
};

struct RemoteCounts {
    std::atomic<int64_t> requests{0};
    std::atomic<int64_t> unauthorised{0};   // no token or a wrong one, or a foreign host name
    std::atomic<int64_t> throttled{0};      // refused unread: the address guessed too often
    std::atomic<int64_t> foreignOrigin{0};  // a POST or WebSocket from another site's page
    std::atomic<int64_t> tooLarge{0};
    std::atomic<int64_t> badRequest{0};  // not JSON, or not the fields asked for
    std::atomic<int64_t> notFound{0};    // unknown path or method
    std::atomic<int64_t> keys{0};
    std::atomic<int64_t> keysRefused{0};  // not on the allowed list, or the queue was full
    std::atomic<int64_t> commands{0};
    std::atomic<int64_t> commandsRefused{0};  // not on the allowed list, or the queue was full
};

class RemoteApi final : public HttpService {
public:
    static constexpr size_t kMaxAnswer = 250;

    RemoteApi(RemoteHub& hub, RemoteAccess access, QuestionSeam* questions = nullptr);

    std::optional<HttpResponse> screen(const HttpRequest& head) override;
    // The operator's requests: with a token, those that carry it; without, those from this
    // machine's own 127.0.0.1.
    bool mayUseReserve(const HttpRequest& head) const override;
    HttpResponse handle(const HttpRequest& request) override;

    // Server counts for the status (connections refused, clients dropped); unset: none.
    void setServerCounts(std::function<HttpServerCounts()> counts) { serverCounts_ = std::move(counts); }

    nlohmann::json statusJson() const;
    // One live update: the status and the motion samples since the last one.
    std::string liveMessage(const std::vector<MotionSample>& samples) const;
    const RemoteCounts& counts() const { return counts_; }

private:
    // The token check, with the guessing throttle; a refusal, or nullopt when it passes.
    std::optional<HttpResponse> checkToken(const HttpRequest& request);
    bool sameOrigin(const HttpRequest& request) const;
    HttpResponse route(const HttpRequest& request);
    HttpResponse postKey(const nlohmann::json& body);
    HttpResponse postCommand(const nlohmann::json& body);
    HttpResponse postThreshold(const nlohmann::json& body);
    HttpResponse postAnswer(const nlohmann::json& body);
    nlohmann::json questionJson() const;
    HttpResponse jpeg(const std::vector<uint8_t>& bytes, const char* missing);
    HttpResponse refuse(int status, const std::string& message, std::atomic<int64_t>& counter);

    RemoteHub& hub_;
    const RemoteAccess access_;
    QuestionSeam* questions_;
    PreviewEncoder previews_;
    RemoteCounts counts_;
    TokenThrottle throttle_;
    std::function<HttpServerCounts()> serverCounts_;
};

// The page served at /, its style (/app.css) and script (/app.js): nothing from elsewhere,
// nothing inline, so the page's policy lets no other script or style run.
const std::string& remotePage();
const std::string& remotePageStyle();
const std::string& remotePageScript();
// The page that asks for the token, served at / without one.
const std::string& tokenPage();

}  // namespace kalvento
