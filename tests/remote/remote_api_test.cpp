#include "remote/remote_api.h"
#include "remote/live_updates.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "support/fake_http_server.h"

namespace kalvento {
namespace {

using nlohmann::json;
using test::localRequest;

struct GateCase {
    const char* what;
    std::string token;  // the player's
    std::string host, origin, authorization, query;
    const char* method;
    const char* path;
    bool tooLarge;
    int status;
};

TEST(RemoteApi, GateRefusesWhatItMust) {
    const GateCase cases[] = {
        {"local read", "", "127.0.0.1:80", "", "", "", "GET", "/api/v1/status", false, 200},
        {"localhost", "", "localhost:8080", "", "", "", "GET", "/", false, 200},
        {"rebinding host name", "", "evil.example:80", "", "", "", "GET", "/api/v1/status", false, 401},
        {"no host at all", "", "", "", "", "", "GET", "/api/v1/status", false, 401},
        {"token missing", "s3cret", "10.0.0.5:80", "", "", "", "GET", "/api/v1/status", false, 401},
        {"token wrong", "s3cret", "10.0.0.5:80", "", "", "token=s3creT", "GET", "/api/v1/status", false, 401},
        {"token in query", "s3cret", "10.0.0.5:80", "", "", "a=1&token=s3cret", "GET", "/api/v1/status", false, 200},
        {"token as bearer", "s3cret", "10.0.0.5:80", "", "Bearer s3cret", "", "GET", "/api/v1/status", false, 200},
        {"token longer", "s3cret", "10.0.0.5:80", "", "Bearer s3cret1", "", "GET", "/", false, 401},
        {"own page posts", "", "127.0.0.1:80", "http://127.0.0.1:80", "", "", "POST", "/api/v1/key", false, 200},
        {"foreign page posts", "", "127.0.0.1:80", "http://evil.example", "", "", "POST", "/api/v1/key", false, 403},
        {"foreign page reads", "", "127.0.0.1:80", "http://evil.example", "", "", "GET", "/api/v1/status", false, 200},
        {"body too large", "", "127.0.0.1:80", "", "", "", "POST", "/api/v1/key", true, 413},
        {"unknown path", "", "127.0.0.1:80", "", "", "", "GET", "/etc/passwd", false, 404},
        {"upward path", "", "127.0.0.1:80", "", "", "", "GET", "/api/v1/../../x", false, 404},
        {"wrong method", "", "127.0.0.1:80", "", "", "", "DELETE", "/api/v1/status", false, 404},
        {"get on a post path", "", "127.0.0.1:80", "", "", "", "GET", "/api/v1/key", false, 404},
        {"the browser's icon", "", "127.0.0.1:80", "", "", "", "GET", "/favicon.ico", false, 204},
        {"the page's script", "s3cret", "10.0.0.5:80", "", "", "", "GET", "/app.js", false, 200},
        {"a script posts", "s3cret", "10.0.0.5:80", "", "", "", "POST", "/app.js", false, 401},
    };
    for (const GateCase& c : cases) {
        RemoteHub hub;
        RemoteAccess access;
        access.token = c.token;
        RemoteApi api(hub, access);
        HttpRequest request = localRequest(c.method, c.path, R"({"key":"x"})");
        request.headers = {{"host", c.host}};
        if (!c.origin.empty()) request.headers.push_back({"origin", c.origin});
        if (!c.authorization.empty()) request.headers.push_back({"authorization", c.authorization});
        request.query = c.query;
        request.bodyTooLarge = c.tooLarge;
        EXPECT_EQ(api.handle(request).status, c.status) << c.what;
    }
}

TEST(RemoteApi, RefusalsAreCountedInTheStatus) {
    RemoteHub hub;
    RemoteApi api(hub, {});
    HttpRequest foreign = localRequest("POST", "/api/v1/key", R"({"key":"x"})");
    foreign.headers.push_back({"origin", "http://evil.example"});
    api.handle(foreign);
    HttpRequest large = localRequest("POST", "/api/v1/key");
    large.bodyTooLarge = true;
    api.handle(large);
    api.handle(localRequest("GET", "/nothing"));
    api.handle(localRequest("POST", "/api/v1/key", "{not json"));
    api.handle(localRequest("POST", "/api/v1/key", R"({"key":"ESC"})"));
    const json http = api.statusJson()["http"];
    EXPECT_EQ(http["requests"], 5);
    EXPECT_EQ(http["foreignOrigin"], 1);
    EXPECT_EQ(http["tooLarge"], 1);
    EXPECT_EQ(http["notFound"], 1);
    EXPECT_EQ(http["badRequest"], 1);
    EXPECT_EQ(http["keysRefused"], 1);
}

TEST(RemoteApi, KeysAreQueuedUnderTheAllowList) {
    RemoteHub hub;
    RemoteApi api(hub, {});
    struct {
        const char* body;
        int status;
        int queued;
    } cases[] = {
        {R"({"key":"x"})", 200, 'x'},      {R"({"key":"TAB"})", 200, 9},
        {R"({"code":122})", 200, 'z'},     {R"({"key":"ESC"})", 403, 0},
        {R"({"key":"ENTER"})", 403, 0},    {R"({"code":27})", 403, 0},
        {R"({"key":"W"})", 403, 0},        {R"({"key":"xx"})", 400, 0},
        {R"({"key":"g"})", 403, 0},        {R"({"key":"F1"})", 403, 0},
        {R"({"key":";"})", 200, ';'},      {R"({"key":"SPACE"})", 200, ' '},
        {R"({"key":""})", 400, 0},         {R"({"code":0})", 400, 0},
        {R"({"code":255})", 400, 0},       {R"({"code":"x"})", 400, 0},
        {R"({"key":7})", 400, 0},          {R"(["x"])", 400, 0},
        {R"({"code":1e300})", 400, 0},     {"", 400, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(api.handle(localRequest("POST", "/api/v1/key", c.body)).status, c.status) << c.body;
        EXPECT_EQ(hub.takeKey(), c.queued) << c.body;
    }
    for (size_t i = 0; i < RemoteHub::kKeyQueueLimit; ++i)
        ASSERT_EQ(api.handle(localRequest("POST", "/api/v1/key", R"({"key":"x"})")).status, 200);
    EXPECT_EQ(api.handle(localRequest("POST", "/api/v1/key", R"({"key":"x"})")).status, 429);
}

TEST(RemoteApi, AnotherAllowListLetsEscThrough) {
    RemoteHub hub;
    std::string error;
    RemoteAccess access;
    access.keys = *parseKeyList("ESC,ENTER,F1", error);
    RemoteApi api(hub, access);
    EXPECT_EQ(api.handle(localRequest("POST", "/api/v1/key", R"({"key":"ESC"})")).status, 200);
    EXPECT_EQ(api.handle(localRequest("POST", "/api/v1/key", R"({"key":"x"})")).status, 403);
    EXPECT_EQ(api.handle(localRequest("POST", "/api/v1/key", R"({"key":"F1"})")).status, 200);
    EXPECT_EQ(hub.takeKey(), 27);
    EXPECT_EQ(hub.takeKey(), 17);
    EXPECT_EQ(api.statusJson()["keys"], json::array({"ENTER", "F1", "ESC"}));
    // Every key: the list names the codes a remote can type, 1..254.
    access.keys = *parseKeyList("all", error);
    const json all = RemoteApi(hub, access).statusJson()["keys"];
    ASSERT_EQ(all.size(), 254u);
    EXPECT_EQ(all.front(), "code 1");
    EXPECT_EQ(all.back(), "code 254");
}

TEST(RemoteApi, ThresholdValuesAreCheckedAndTheLatestWins) {
    RemoteHub hub;
    RemoteApi api(hub, {});
    for (const char* bad : {R"({"value":-1})", R"({"value":1.5})", R"({"value":"100"})",
                            R"({"value":4294967296})", R"({})", "[1]"})
        EXPECT_EQ(api.handle(localRequest("POST", "/api/v1/threshold", bad)).status, 400) << bad;
    EXPECT_FALSE(hub.takeThreshold());
    EXPECT_EQ(api.handle(localRequest("POST", "/api/v1/threshold", R"({"value":900})")).status, 200);
    EXPECT_EQ(api.handle(localRequest("POST", "/api/v1/threshold", R"({"value":0})")).status, 200);
    EXPECT_EQ(hub.takeThreshold(), 0);
    EXPECT_FALSE(hub.takeThreshold());
}

// A question of key `key` that takes numbers 1 .. 3 when it is open to answers from elsewhere.
class OneQuestion final : public QuestionSeam {
public:
    std::optional<AskedQuestion> current() const override {
        if (!asked) return std::nullopt;
        AskedQuestion question;
        question.prompt = "How many clips? ";
        question.key = key;
        question.serial = 7;
        question.takesDeliveries = open;
        return question;
    }
    Delivery answer(const std::string& text, uint64_t serial) override {
        if (!asked || serial != 7) return {Delivery::Outcome::NoQuestion, "no question"};
        if (!open) return {Delivery::Outcome::NotOpen, "answered at the console"};
        if (text != "1" && text != "2" && text != "3")
            return {Delivery::Outcome::Refused, "a number from 1 to 3"};
        answers.push_back(text);
        asked = false;
        return {Delivery::Outcome::Used, ""};
    }
    bool asked = true, open = true;
    int key = 'A';
    std::vector<std::string> answers;
};

TEST(RemoteApi, AnswersAreTakenOnlyWhenUsedAndOnlyForKeysTheListAllows) {
    RemoteHub hub;
    OneQuestion question;
    std::string error;
    RemoteAccess access;
    access.keys = *parseKeyList("x,A", error);
    RemoteApi api(hub, access, &question);
    EXPECT_EQ(api.statusJson()["question"], "How many clips?");
    EXPECT_EQ(api.statusJson()["answer"]["answerable"], true);
    const auto post = [&api](const std::string& body) {
        const HttpResponse response = api.handle(localRequest("POST", "/api/v1/answer", body));
        return std::make_pair(response.status, json::parse(response.body, nullptr, false));
    };
    for (const char* bad : {R"({"text":"1\n2"})", R"({"text":12})", R"({"text":"\u001b]0;x\u0007"})"})
        EXPECT_EQ(post(bad).first, 400) << bad;
    question.open = false;  // the console's input answers it
    EXPECT_EQ(post(R"({"text":"2"})"), std::make_pair(409, json({{"error", "answered at the console"}, {"used", false}})));
    question.open = true;
    EXPECT_EQ(post(R"({"text":"9"})"), std::make_pair(400, json({{"error", "a number from 1 to 3"}, {"used", false}})));
    question.key = 'L';  // not on the list
    EXPECT_EQ(post(R"({"text":"2"})").first, 403);
    EXPECT_EQ(api.statusJson()["answer"]["answerable"], false);
    question.key = 'A';
    EXPECT_EQ(post(R"({"text":"2"})"), std::make_pair(200, json({{"answered", "2"}, {"used", true}})));
    EXPECT_EQ(post(R"({"text":"3"})").first, 409);
    EXPECT_EQ(question.answers, std::vector<std::string>{"2"});
    EXPECT_EQ(api.statusJson()["question"], "");

    RemoteApi withoutQuestions(hub, {});
    EXPECT_EQ(withoutQuestions.handle(localRequest("POST", "/api/v1/answer", R"({"text":"1"})")).status,
              409);
}

// The token from the query is decoded; a wrong one slows its address down without waiting;
// the page without a token is a form asking for it, and its files need none.
TEST(RemoteApi, TokensAreDecodedGuessersWaitAndThePageAsksForTheToken) {
    RemoteHub hub;
    RemoteAccess access;
    access.token = "p@ss+w/rd&more=1";
    RemoteApi api(hub, access);
    const auto get = [&api](const std::string& path, const std::string& query, const char* from) {
        HttpRequest request = localRequest("GET", path);
        request.query = query;
        request.remoteAddress = from;
        return api.handle(request);
    };
    EXPECT_EQ(get("/api/v1/status", "token=p%40ss%2Bw%2Frd%26more%3D1", "10.0.0.1").status, 200);
    EXPECT_EQ(get("/api/v1/status", "token=p@ss+w/rd%26more%3d1", "10.0.0.1").status, 200);
    const HttpResponse page = get("/", "", "10.0.0.1");
    EXPECT_EQ(page.status, 401);
    EXPECT_EQ(page.contentType, "text/html; charset=utf-8");
    EXPECT_NE(page.body.find("name=\"token\""), std::string::npos);
    EXPECT_EQ(get("/app.js", "", "10.0.0.1").status, 200);
    EXPECT_EQ(get("/app.css", "", "10.0.0.1").contentType, "text/css; charset=utf-8");
    for (int i = 0; i < TokenThrottle::kFreeFailures; ++i)
        EXPECT_EQ(get("/api/v1/status", "token=guess" + std::to_string(i), "10.0.0.2").status, 401);
    EXPECT_EQ(get("/api/v1/status", "token=guess", "10.0.0.2").status, 401);
    const auto start = std::chrono::steady_clock::now();
    const HttpResponse slowed = get("/api/v1/status", "token=guess-again", "10.0.0.2");
    EXPECT_EQ(slowed.status, 429) << "the next guess waits its turn";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(get("/api/v1/status", "", "10.0.0.2").status, 401) << "no token is no guess";
    EXPECT_EQ(get("/api/v1/status", "token=p%40ss%2Bw%2Frd%26more%3D1", "10.0.0.2").status, 200)
        << "the right token never waits";
    EXPECT_EQ(get("/api/v1/status", "token=guess", "10.0.0.3").status, 401)
        << "other addresses are not slowed";
    EXPECT_EQ(api.statusJson()["http"]["throttled"], 1);
    // The operator's requests may use the reserved places; without a token, those of 127.0.0.1.
    HttpRequest operatorRequest = localRequest("GET", "/api/v1/status");
    operatorRequest.headers.emplace_back("authorization", "Bearer p@ss+w/rd&more=1");
    EXPECT_TRUE(api.mayUseReserve(operatorRequest));
    EXPECT_FALSE(api.mayUseReserve(localRequest("GET", "/app.js")));
    RemoteApi withoutToken(hub, RemoteAccess{});
    operatorRequest.remoteAddress = "127.0.0.1";
    EXPECT_TRUE(withoutToken.mayUseReserve(operatorRequest));
    operatorRequest.remoteAddress = "127.0.0.2";
    EXPECT_FALSE(withoutToken.mayUseReserve(operatorRequest));
}

TEST(TokenThrottle, TheWaitDoublesUpToItsLongestAndEndsWithTheRightToken) {
    TokenThrottle throttle;
    const auto t0 = TokenThrottle::Clock::time_point{} + std::chrono::hours(1);
    const auto wait = [&](const char* from) { return throttle.waitFor(from, t0); };
    for (int i = 0; i < TokenThrottle::kFreeFailures; ++i) throttle.failed("a", t0);
    EXPECT_EQ(wait("a"), TokenThrottle::Clock::duration::zero());
    throttle.failed("a", t0);
    EXPECT_EQ(wait("a"), TokenThrottle::kFirstWait);
    throttle.failed("a", t0);
    EXPECT_EQ(wait("a"), 2 * TokenThrottle::kFirstWait);
    for (int i = 0; i < 40; ++i) throttle.failed("a", t0);
    EXPECT_EQ(wait("a"), TokenThrottle::kLongestWait);
    EXPECT_EQ(throttle.waitFor("a", t0 + TokenThrottle::kLongestWait), TokenThrottle::Clock::duration::zero());
    throttle.succeeded("b", t0);  // an address that never guessed
    throttle.failed("b", t0 + TokenThrottle::kLongestWait);
    throttle.succeeded("a", t0);  // just after a wrong one, the right token forgives nothing
    EXPECT_EQ(wait("a"), TokenThrottle::kLongestWait);
    throttle.succeeded("a", t0 + TokenThrottle::kLongestWait);
    throttle.failed("a", t0 + TokenThrottle::kLongestWait);
    EXPECT_EQ(throttle.waitFor("a", t0 + TokenThrottle::kLongestWait), TokenThrottle::Clock::duration::zero());
    // Many addresses: the table stays bounded and forgets the oldest.
    for (int i = 0; i < 1000; ++i)
        for (int k = 0; k <= TokenThrottle::kFreeFailures; ++k)
            throttle.failed("10.1." + std::to_string(i), t0 + std::chrono::seconds(i));
    EXPECT_GT(throttle.waitFor("10.1.999", t0 + std::chrono::seconds(999)), TokenThrottle::Clock::duration::zero());
    EXPECT_EQ(throttle.waitFor("10.1.0", t0 + std::chrono::seconds(999)),
              TokenThrottle::Clock::duration::zero());
}

// Wrong tokens from all addresses together: a first burst, then so many a second; addresses
// that each guess little are slowed all the same.
TEST(TokenThrottle, AllAddressesTogetherGuessAtABoundedRate) {
    TokenThrottle throttle;
    const auto t0 = TokenThrottle::Clock::time_point{} + std::chrono::hours(1);
    const auto zero = TokenThrottle::Clock::duration::zero();
    for (int i = 0; i < TokenThrottle::kWrongBurst; ++i) {
        EXPECT_EQ(throttle.waitFor("10.2." + std::to_string(i), t0), zero) << i;
        throttle.failed("10.2." + std::to_string(i), t0);
    }
    const auto tenth = std::chrono::milliseconds(1000 / TokenThrottle::kWrongPerSecond);
    EXPECT_EQ(throttle.waitFor("10.3.0", t0), tenth) << "a new address waits for the whole";
    EXPECT_EQ(throttle.waitFor("10.3.0", t0 + tenth / 2), tenth / 2);
    EXPECT_EQ(throttle.waitFor("10.3.0", t0 + tenth), zero);
    throttle.failed("10.3.0", t0 + tenth);
    EXPECT_EQ(throttle.waitFor("10.3.1", t0 + tenth), tenth);
    // After a quiet second the rate's worth is there again, not more than the burst.
    const auto later = t0 + std::chrono::seconds(100);
    for (int i = 0; i < TokenThrottle::kWrongBurst; ++i) throttle.failed("10.4." + std::to_string(i), later);
    EXPECT_GT(throttle.waitFor("10.5.0", later), zero);
}

TEST(RemoteApi, StatusCarriesThePublishedValues) {
    RemoteHub hub;
    RemoteApi api(hub, {});
    RemoteStatus status;
    status.version = "KALVENTO PLAYER 1.0";
    status.folder = 3;
    status.folderName = "S003";
    status.clip = 7;
    status.clipCount = 20;
    status.cameraOn = true;
    status.cameraSource = "clip.mp4";
    status.differenceSum = 1234;
    status.diffSum = 2345;
    status.threshold = 11500;
    status.margin = 1.05;
    status.gestureEngine = true;
    status.gesture = {1, "A", 2, 3, 4, 5};
    status.osdLevel = 2;
    status.oscKeys = 9;
    hub.publish(status);
    HttpResponse response = api.handle(localRequest("GET", "/api/v1/status"));
    ASSERT_EQ(response.status, 200);
    EXPECT_EQ(response.contentType, "application/json");
    const json s = json::parse(response.body);
    EXPECT_EQ(s["version"], "KALVENTO PLAYER 1.0");
    EXPECT_EQ(s["folder"], json({{"number", 3}, {"name", "S003"}}));
    EXPECT_EQ(s["clip"], json({{"index", 7}, {"count", 20}}));
    EXPECT_EQ(s["camera"]["on"], true);
    EXPECT_EQ(s["camera"]["source"], "clip.mp4");
    EXPECT_EQ(s["motion"]["DifferenceSum"], 1234);
    EXPECT_EQ(s["motion"]["DiffSum"], 2345);
    EXPECT_EQ(s["motion"]["QBN_threshold"], 11500);
    EXPECT_DOUBLE_EQ(s["motion"]["margin"].get<double>(), 1.05);
    EXPECT_EQ(s["engine"], "gesture");
    EXPECT_EQ(s["gesture"]["name"], "A");
    EXPECT_EQ(s["gesture"]["width"], 5);
    EXPECT_EQ(s["osdLevel"], 2);
    EXPECT_EQ(s["osc"]["keys"], 9);
    EXPECT_EQ(s["turns"], 1) << "one status published: one turn";
}

TEST(RemoteApi, ThePageNeedsNothingFromElsewhere) {
    RemoteHub hub;
    RemoteApi api(hub, {});
    HttpResponse page = api.handle(localRequest("GET", "/"));
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(page.contentType, "text/html; charset=utf-8");
    for (const char* id : {"id=\"next-folder\"", "id=\"plot\"", "id=\"folder\"", "id=\"clip\"",
                           "id=\"answer\"", "id=\"slider\"", "src=\"/app.js\"", "href=\"/app.css\""})
        EXPECT_NE(page.body.find(id), std::string::npos) << id;
    EXPECT_NE(remotePageScript().find("/api/v1/ws"), std::string::npos);
    for (const char* outside : {"http://", "https://", "//cdn", "@import", "<style", "<script>", " style=", "onclick"})
        EXPECT_EQ(page.body.find(outside), std::string::npos) << outside;
    EXPECT_NE(remotePageStyle().find("min-height:44px"), std::string::npos) << "buttons a finger can hit";
    EXPECT_NE(remotePageScript().find("--http-keys list: "), std::string::npos) << "greyed buttons say why";
}

// Hands the loop's pictures to the hub while a request waits for one.
struct LoopStandIn {
    explicit LoopStandIn(RemoteHub& hub, cv::Mat clip, int flipMode)
        : thread([&hub, clip, flipMode, this] {
              while (!done) {
                  if (hub.wantsClipPicture()) hub.offerClipPicture(clip, flipMode, 1);
                  if (hub.wantsCameraPicture()) hub.noCameraPicture();
                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
              }
          }) {}
    ~LoopStandIn() {
        done = true;
        thread.join();
    }
    std::atomic<bool> done{false};
    std::thread thread;
};

TEST(RemoteApi, FrameIsTheShownClipMirroredAndScaled) {
    cv::Mat clip(720, 1280, CV_8UC3, cv::Scalar(0, 0, 0));
    clip(cv::Rect(0, 0, 640, 720)).setTo(cv::Scalar(255, 255, 255));  // white left half
    RemoteHub hub;
    RemoteApi api(hub, {});
    LoopStandIn loop(hub, clip, 1);
    HttpResponse frame = api.handle(localRequest("GET", "/api/v1/frame.jpg"));
    ASSERT_EQ(frame.status, 200);
    EXPECT_EQ(frame.contentType, "image/jpeg");
    cv::Mat decoded = cv::imdecode(std::vector<uint8_t>(frame.body.begin(), frame.body.end()),
                                   cv::IMREAD_COLOR);
    ASSERT_EQ(decoded.size(), cv::Size(640, 360));
    EXPECT_LT(cv::mean(decoded(cv::Rect(0, 0, 300, 360)))[0], 10.0);    // mirrored: dark left
    EXPECT_GT(cv::mean(decoded(cv::Rect(340, 0, 300, 360)))[0], 245.0);  // and white right
    HttpResponse camera = api.handle(localRequest("GET", "/api/v1/camera.jpg"));
    EXPECT_EQ(camera.status, 404);
}

TEST(RemotePreviews, SmallClipsKeepTheirSizeAndCellsAreMarked) {
    cv::Mat small(240, 320, CV_8UC3, cv::Scalar(0, 0, 0));
    EXPECT_EQ(clipPreview(small, 0).size(), small.size());
    EXPECT_EQ(clipPreview(small, 2).size(), small.size());
    CellGrid cells{};
    cells[static_cast<size_t>(10 * kGridColumns + 20)] = 5;  // row 10, column 20
    cells[0] = 7;                                            // a bright cell is not a change
    cv::Mat marked = cameraPreview(small, cells);
    EXPECT_EQ(marked.at<cv::Vec3b>(40, 80), cv::Vec3b(0, 0, 255));
    EXPECT_EQ(marked.at<cv::Vec3b>(0, 0), cv::Vec3b(0, 0, 0));
    EXPECT_EQ(small.at<cv::Vec3b>(40, 80), cv::Vec3b(0, 0, 0));  // the frame itself unchanged
}

// The loop draws every clip into one reused picture: the preview follows what it holds, as a
// new clip is shown there, and not the pixels of the first one handed over.
TEST(RemotePreviews, TheFrameFollowsAClipShownInAReusedPicture) {
    RemoteHub hub;
    PreviewEncoder encoder(hub);
    cv::Mat shown(48, 64, CV_8UC3, cv::Scalar(0, 0, 0));
    std::atomic<int> identity{1};
    std::atomic<bool> done{false};
    std::thread loop([&] {
        while (!done) {
            if (hub.wantsClipPicture()) hub.offerClipPicture(shown, 0, identity);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const auto brightness = [&encoder] {
        const std::vector<uint8_t> bytes = encoder.clipJpeg();
        return cv::mean(cv::imdecode(bytes, cv::IMREAD_GRAYSCALE))[0];
    };
    EXPECT_LT(brightness(), 10.0);
    done = true;
    loop.join();
    shown.setTo(cv::Scalar(255, 255, 255));  // the next clip, drawn into the same pixels
    identity = 2;
    done = false;
    std::thread next([&] {
        while (!done) {
            if (hub.wantsClipPicture()) hub.offerClipPicture(shown, 0, identity);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::this_thread::sleep_for(RemoteHub::kPreviewPeriod + std::chrono::milliseconds(50));
    EXPECT_GT(brightness(), 245.0);
    done = true;
    next.join();
}

TEST(RemotePreviews, ChangedCellsFollowTheRecognisersRuleOnGrayFrames) {
    std::vector<uint8_t> before(320 * 240, 100), after(320 * 240, 100);
    for (int y = 40; y < 44; ++y)
        for (int x = 80; x < 84; ++x) after[static_cast<size_t>(y * 320 + x)] = 200;  // cell (10, 20)
    after[0] = 130;  // a change of 30 in one cell: under the threshold 40
    const CellGrid cells = changedCells(before.data(), after.data(), 320, 240, 40);
    EXPECT_EQ(cells[static_cast<size_t>(10 * kGridColumns + 20)], 5);
    EXPECT_EQ(std::count(cells.begin(), cells.end(), 5), 1);
    cv::Mat gray(240, 320, CV_8UC1, after.data());
    const cv::Mat marked = cameraPreview(gray, cells);
    ASSERT_EQ(marked.type(), CV_8UC3) << "a gray camera frame is outlined in colour";
    EXPECT_EQ(marked.at<cv::Vec3b>(40, 80), cv::Vec3b(0, 0, 255));
}

TEST(RemoteHub, PicturesAreAskedForOnlyWhileWatchedAndAtMostFiveTimesASecond) {
    RemoteHub hub;
    EXPECT_FALSE(hub.wantsClipPicture());
    cv::Mat clip(10, 10, CV_8UC3, cv::Scalar(1, 2, 3));
    int offers = 0;
    std::atomic<bool> done{false};
    std::thread loop([&] {
        while (!done) {
            if (hub.wantsClipPicture()) {
                hub.offerClipPicture(clip, 0, 1);
                ++offers;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    int flipMode = -1;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(600))
        EXPECT_FALSE(hub.clipPicture(flipMode, std::chrono::milliseconds(500)).empty());
    done = true;
    loop.join();
    EXPECT_GE(offers, 2);
    EXPECT_LE(offers, 5);  // 600 ms at one per 200 ms, plus the first
}

TEST(RemoteHub, SamplesAreBoundedAndTakenOnce) {
    RemoteHub hub;
    for (size_t i = 0; i < RemoteHub::kSampleLimit + 10; ++i)
        hub.addSample({static_cast<double>(i), static_cast<int>(i), 0, 0});
    std::vector<MotionSample> samples = hub.takeSamples();
    ASSERT_EQ(samples.size(), RemoteHub::kSampleLimit);
    EXPECT_EQ(samples.front().own, 10);  // the oldest went first
    EXPECT_TRUE(hub.takeSamples().empty());
}

TEST(LiveUpdates, PushStatusAndSamplesTenTimesASecondToClients) {
    RemoteHub hub;
    RemoteApi api(hub, {});
    test::FakeHttpServer server;
    {
        LiveUpdates live(api, hub, server);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        EXPECT_TRUE(server.sent().empty());  // nobody listens
        server.setClients(1);
        hub.addSample({1.5, 100, 200, 300});
        std::this_thread::sleep_for(std::chrono::milliseconds(550));
    }
    const std::vector<std::string> sent = server.sent();
    ASSERT_GE(sent.size(), 3u);
    ASSERT_LE(sent.size(), 7u);
    const json first = json::parse(sent.front());
    EXPECT_EQ(first["type"], "status");
    EXPECT_EQ(first["samples"], json::array({json::array({1.5, 100, 200, 300})}));
    EXPECT_EQ(json::parse(sent.back())["samples"], json::array());
    EXPECT_EQ(first["clip"]["count"], 0);
}

}  // namespace
}  // namespace kalvento
