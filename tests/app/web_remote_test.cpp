#include "app/web_remote.h"

#include <gtest/gtest.h>

#include <opencv2/objdetect.hpp>

#include "app/link_code_overlay.h"
#include "platform/qr_code.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "display/on_screen_display.h"
#include "input/input_script.h"
#include "input/scripted_window.h"
#include "support/capture_console.h"
#include "support/recording_window.h"
#include "core/events.h"
#include "support/fake_clock.h"
#include "support/fake_http_server.h"

namespace kalvento {
namespace {

TEST(WebRemoteOptions, AddressesSplitIntoHostAndPort) {
    struct {
        const char* text;
        bool ok;
        const char* host;
        int port;
    } cases[] = {
        {"8080", true, "127.0.0.1", 8080},  {"0", true, "127.0.0.1", 0},
        {"0.0.0.0:80", true, "0.0.0.0", 80}, {"127.0.0.2:65535", true, "127.0.0.2", 65535},
        {"65536", false, "", 0},             {":80", false, "", 0},
        {"host:", false, "", 0},             {"80x", false, "", 0},
        {"-1", false, "", 0},                {"", false, "", 0},
        // One listener: a list, or anything but a host name or address, is refused.
        {"127.0.0.1:1,0.0.0.0:2", false, "", 0}, {"a b:80", false, "", 0},
        {"[::1]:80", true, "[::1]", 80},     {"[::1,x]:80", false, "", 0},
        {"cam-1.local:80", true, "cam-1.local", 80},
    };
    for (const auto& c : cases) {
        std::string host;
        int port = -1;
        ASSERT_EQ(splitHttpAddress(c.text, host, port), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(host, c.host) << c.text;
        EXPECT_EQ(port, c.port) << c.text;
    }
    EXPECT_TRUE(isLoopbackHost("127.0.0.1"));
    EXPECT_TRUE(isLoopbackHost("localhost"));
    EXPECT_FALSE(isLoopbackHost("127.0.0.2"));
    EXPECT_FALSE(isLoopbackHost("0.0.0.0"));
}

TEST(WebRemoteOptions, OneReadyLinkPerAddressOfTheMachine) {
    const std::vector<std::string> machine = {"192.168.1.20", "10.0.0.7"};
    EXPECT_EQ(remoteLinks("0.0.0.0", 8081, "p@ss+w/rd-0123456", machine),
              (std::vector<std::string>{"http://192.168.1.20:8081/?token=p%40ss%2Bw%2Frd-0123456",
                                        "http://10.0.0.7:8081/?token=p%40ss%2Bw%2Frd-0123456"}));
    EXPECT_EQ(remoteLinks("0.0.0.0", 80, "", {}), std::vector<std::string>{"http://127.0.0.1:80/"});
    EXPECT_EQ(remoteLinks("127.0.0.2", 80, "", machine),
              std::vector<std::string>{"http://127.0.0.2:80/"});
}

TEST(KeyRoadWindow, RemoteKeysComeThroughTheQueueWhereNoKeyWasTyped) {
    RecordingWindow typed;
    RemoteHub hub;
    InputQueue queue;
    KeyRoadWindow window(typed);
    hub.queueKey('y');
    EXPECT_EQ(window.waitKey(1), kNoKey);  // no remote attached yet
    EXPECT_EQ(window.waitKey(0), kNoKey);  // nor is an untimed read held for one
    EXPECT_EQ(typed.keyWaits(), 2);
    window.attach(hub);
    window.attach(queue);
    EXPECT_EQ(window.waitKey(1), 'y');
    EXPECT_EQ(window.lastSource(), InputSource::Web);
    EXPECT_EQ(window.waitKey(1), kNoKey);
    hub.queueKey('x');
    hub.queueKey('n');
    EXPECT_EQ(window.peekKey(1), 'x');
    EXPECT_EQ(window.peekKey(1), 'x');  // looked at, not taken
    EXPECT_EQ(window.waitKey(1), 'x');
    EXPECT_EQ(window.waitKey(1), 'n');
    EXPECT_EQ(window.waitKey(1), kNoKey);

    // A read without a time limit (the pause) waits for a remote key.
    std::thread later([&hub] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        hub.queueKey(13);
    });
    EXPECT_EQ(window.waitKey(0), 13);
    later.join();
    window.show(cv::Mat(2, 3, CV_8UC3, cv::Scalar(1, 2, 3)));
    EXPECT_EQ(typed.log().back(), "show 3x2");
}

// Typed keys (here the script's), OSC's, the web's and `key K` commands are read in the order
// they joined the one queue; other commands stay queued for the key stage.
TEST(KeyRoadWindow, EveryRoadIsReadInTheOrderOfTheQueue) {
    std::string error;
    auto events = parseInputScript("key a\nkey b\n", error);
    ASSERT_TRUE(events) << error;
    RecordingWindow screen;
    test::FakeClock clock;
    ScriptedWindow scripted(screen, *events, clock, false);
    RemoteHub hub;
    InputQueue queue;
    KeyRoadWindow window(scripted, &hub);
    window.attach(queue);
    queue.push(Input::Key(27, InputSource::Osc));
    queue.push(Input::Command("folder", {"3"}, InputSource::Osc));
    queue.push(Input::Command("key", {"ENTER"}, InputSource::Script));
    hub.queueKey('w');
    const std::vector<std::pair<int, InputSource>> expected = {
        {27, InputSource::Osc},  {13, InputSource::Script},   {'w', InputSource::Web},
        {'a', InputSource::Window}, {'b', InputSource::Window}};
    for (const auto& [key, source] : expected) {
        EXPECT_EQ(window.waitKey(1), key);
        EXPECT_EQ(window.lastSource(), source) << key;
    }
    EXPECT_EQ(queue.size(), 1u);
    EXPECT_TRUE(queue.takeCommand()->isCommand("folder"));
}

TEST(KeyRoadWindow, UnderTheDisplaysWindowF1FromAnyRoadChangesTheLevelAndIsNotPassedOn) {
    std::string error;
    std::optional<std::string> font = findDisplayFont(error);
    ASSERT_TRUE(font) << error;
    std::unique_ptr<TextRenderer> text = TextRenderer::open(*font, error);
    ASSERT_TRUE(text) << error;
    test::FakeClock clock;
    RecordingWindow screen;
    auto events = parseInputScript("key code 17\n", error);
    ASSERT_TRUE(events) << error;
    ScriptedWindow typed(screen, *events, clock, false);
    OnScreenDisplay display(*text, clock, screen, screen, 1, false);
    RemoteHub hub;
    InputQueue queue;
    KeyRoadWindow keyRoad(typed, &hub);
    keyRoad.attach(queue);
    keyRoad.takeOwnKey(kKeyDisplayLevel, [&display] { display.cycleLevel(); });
    DisplayWindow playerWindow(keyRoad, display);
    for (int key : {kKeyDisplayLevel, int{'x'}, kKeyDisplayLevel}) hub.queueKey(key);
    EXPECT_EQ(playerWindow.waitKey(0), 'x');
    EXPECT_EQ(display.level(), 2);
    EXPECT_EQ(playerWindow.peekKey(1), kNoKey);  // the road took the F1 looked at
    EXPECT_EQ(display.level(), 3);
    queue.push(Input::Command("key", {"F1"}, InputSource::Osc));
    EXPECT_EQ(playerWindow.waitKey(1), kNoKey) << "key F1 from OSC";
    EXPECT_EQ(display.level(), 0);
    EXPECT_EQ(playerWindow.waitKey(1), kNoKey) << "F1 typed";
    EXPECT_EQ(display.level(), 1);
    // Everything else goes through both wrappers to the screen.
    playerWindow.show(cv::Mat(4, 5, CV_8UC3, cv::Scalar(1, 2, 3)));
    EXPECT_EQ(screen.log().back(), "show 5x4");
    playerWindow.delay(3);
    EXPECT_EQ(screen.log().back(), "delay 3");
}

// A console where nobody types: each read waits a little and finds a blank line.
class SilentConsole final : public Console {
public:
    void out(std::string_view text) override {
        std::lock_guard lock(mutex);
        printed += text;
    }
    void err(std::string_view) override {}
    std::optional<std::string> readLine() override {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (++reads > 500) return std::nullopt;
        return "";
    }
    std::mutex mutex;
    std::string printed;
    std::atomic<int> reads{0};
};

// The window's way of answering: it looks for an answer delivered from the page.
class WindowAnswers final : public AnswerSource {
public:
    void questionChanged(const AskedQuestion*) override {}
    bool answers() const override { return true; }
    std::optional<std::string> nextLine(const AskedQuestion&, QuestionDesk& desk) override {
        for (;;) {
            if (std::optional<std::string> line = desk.takeDelivered()) return line;
            std::this_thread::yield();
        }
    }
};

TEST(DeskQuestions, ThePageSeesTheQuestionAndItsAnswerEndsIt) {
    SilentConsole silent;
    Events console(silent);
    QuestionDesk desk(console);
    WindowAnswers window;
    desk.setSource(&window);
    desk.setKey('A');  // asked by the command of key A, which the page may type
    DeskQuestions questions(desk);
    RemoteHub hub;
    std::string error;
    RemoteAccess access;
    access.keys = *parseKeyList("A", error);
    RemoteApi api(hub, access, &questions);
    EXPECT_EQ(api.statusJson()["question"], "");
    Question question;
    question.prompt = "  How many clips? ";
    question.blankLine = Question::BlankLine::Skipped;
    question.min = 1;
    question.max = 99;
    std::optional<int> answer;
    std::thread player([&] { answer = desk.askNumber(question); });
    while (api.statusJson()["question"] == "") std::this_thread::yield();
    EXPECT_EQ(api.statusJson()["question"], "How many clips?");
    EXPECT_EQ(api.handle(test::localRequest("POST", "/api/v1/answer", R"({"text":"12"})")).status,
              200);
    player.join();
    EXPECT_EQ(answer, 12);
    EXPECT_EQ(api.statusJson()["question"], "");
    EXPECT_EQ(api.handle(test::localRequest("POST", "/api/v1/answer", R"({"text":"13"})")).status,
              409);
    EXPECT_NE(silent.printed.find("How many clips? 12\n"), std::string::npos) << silent.printed;
}

}  // namespace
}  // namespace kalvento

namespace kalvento {
namespace {

// Key u, typed or sent from the page, shows the links as codes a phone reads back; again hides
// them. The display drawn before them stays.
TEST(LinkCodeOverlay, KeyUShowsTheLinksAsCodesThatReadBack) {
    RecordingWindow typed;
    RemoteHub hub;
    InputQueue queue;
    KeyRoadWindow window(typed, &hub);
    window.attach(queue);
    LinkCodeOverlay codes(nullptr);
    const std::string link = "http://192.168.1.20:8081/?token=p%40ss%2Bw%2Frd-0123456";
    codes.setLinks({link});
    int redraws = 0;
    window.takeOwnKey(kKeyLinkCodes, [&] {
        codes.toggle();
        ++redraws;
    });
    EXPECT_FALSE(codes.visible());
    hub.queueKey('u');
    hub.queueKey('x');
    EXPECT_EQ(window.waitKey(1), kNoKey) << "the window's own key is not passed on";
    EXPECT_EQ(window.waitKey(1), 'x');
    EXPECT_TRUE(codes.visible());
    EXPECT_EQ(redraws, 1);
    cv::Mat screen(600, 800, CV_8UC3, cv::Scalar(40, 90, 160));
    codes.drawOver(screen);
    // Debian's OpenCV finds codes but cannot decode them: the modules found at the corners it
    // finds are compared with the link's code instead.
    std::vector<cv::Point2f> corners;
    ASSERT_TRUE(cv::QRCodeDetector().detect(screen, corners));
    const std::vector<std::vector<bool>> modules = qrModules(link);
    ASSERT_FALSE(modules.empty());
    const float n = static_cast<float>(modules.size());
    int wrong = 0;
    for (size_t y = 0; y < modules.size(); ++y)
        for (size_t x = 0; x < modules.size(); ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / n, v = (static_cast<float>(y) + 0.5f) / n;
            const cv::Point2f at = corners[0] + u * (corners[1] - corners[0]) + v * (corners[3] - corners[0]);
            const bool dark = screen.at<cv::Vec3b>(cv::Point(at))[0] < 128;
            wrong += dark != modules[y][x];
        }
    EXPECT_EQ(wrong, 0);
    // u over OSC (and `key u`) takes the same road: it hides the codes, and shows them again.
    queue.push(Input::Key('u', InputSource::Osc));
    EXPECT_EQ(window.waitKey(1), kNoKey);
    EXPECT_FALSE(codes.visible());
    queue.push(Input::Command("key", {"u"}, InputSource::Script));
    EXPECT_EQ(window.peekKey(1), kNoKey);
    EXPECT_TRUE(codes.visible());
    EXPECT_EQ(redraws, 3);
    EXPECT_FALSE(codes.toggle());
    EXPECT_FALSE(codes.visible());
    LinkCodeOverlay none(nullptr);
    EXPECT_FALSE(none.toggle()) << "no link, nothing to show";
}

}  // namespace
}  // namespace kalvento
