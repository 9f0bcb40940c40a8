#pragma once
// The web remote's requests: the page at /, and under /api/v1 the status, the two previews,
// keys, the threshold and answers, and the upgrade to the live WebSocket. Every request passes
// the same gate first: the token (when one is set), the host name (when none is: only this
// machine's names, so a foreign page cannot reach the player through its own host name), the
// page's origin for anything but reading, and the body limit. Refusals are counted.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/key_set.h"
#include "platform/http_server.h"
#include "remote/previews.h"
#include "remote/remote_hub.h"

namespace kalvento {

// The question the player asks now and a way to answer it from the page.
class QuestionSeam {
public:
    virtual ~QuestionSeam() = default;
    // The question asked now; "" when none is.
    virtual std::string currentQuestion() const = 0;
    // Answers it as a line typed at the console; false when no question waits.
    virtual bool answer(const std::string& text) = 0;
};

struct RemoteAccess {
    std::string token;  // required on every request when not empty
    KeySet keys = defaultRemoteKeys();
};

struct RemoteCounts {
    std::atomic<int64_t> requests{0};
    std::atomic<int64_t> unauthorised{0};   // no token or a wrong one, or a foreign host name
    std::atomic<int64_t> foreignOrigin{0};  // a POST or WebSocket from another site's page
    std::atomic<int64_t> tooLarge{0};
    std::atomic<int64_t> badRequest{0};  // not JSON, or not the fields asked for
    std::atomic<int64_t> notFound{0};    // unknown path or method
    std::atomic<int64_t> keys{0};
    std::atomic<int64_t> keysRefused{0};  // not on the allowed list, or the queue was full
};

class RemoteApi final : public HttpService {
public:
    static constexpr size_t kMaxAnswer = 250;

    RemoteApi(RemoteHub& hub, RemoteAccess access, QuestionSeam* questions = nullptr);

    HttpResponse handle(const HttpRequest& request) override;

    // Server counts for the status (connections refused, clients dropped); unset: none.
    void setServerCounts(std::function<HttpServerCounts()> counts) { serverCounts_ = std::move(counts); }

    nlohmann::json statusJson() const;
    // One live update: the status and the motion samples since the last one.
    std::string liveMessage(const std::vector<MotionSample>& samples) const;
    const RemoteCounts& counts() const { return counts_; }

private:
    bool authorised(const HttpRequest& request) const;
    bool sameOrigin(const HttpRequest& request) const;
    HttpResponse route(const HttpRequest& request);
    HttpResponse postKey(const nlohmann::json& body);
    HttpResponse postThreshold(const nlohmann::json& body);
    HttpResponse postAnswer(const nlohmann::json& body);
    HttpResponse jpeg(const std::vector<uint8_t>& bytes, const char* missing);
    HttpResponse refuse(int status, const std::string& message, std::atomic<int64_t>& counter);

    RemoteHub& hub_;
    const RemoteAccess access_;
    QuestionSeam* questions_;
    PreviewEncoder previews_;
    RemoteCounts counts_;
    std::function<HttpServerCounts()> serverCounts_;
};

// The page served at /: HTML, style and script in one document, nothing from elsewhere.
const std::string& remotePage();

}  // namespace kalvento
