#include "app/web_remote.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "core/events.h"
#include "display/on_screen_display.h"
#include "platform/recording_window.h"
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

TEST(RemoteKeyWindow, RemoteKeysComeWhereNoKeyWasTyped) {
    RecordingWindow typed;
    RemoteHub hub;
    RemoteKeyWindow window(typed);
    hub.queueKey('y');
    EXPECT_EQ(window.waitKey(1), kNoKey);  // no remote attached yet
    EXPECT_EQ(window.waitKey(0), kNoKey);  // nor is an untimed read held for one
    EXPECT_EQ(typed.keyWaits(), 2);
    window.attach(hub);
    EXPECT_EQ(window.waitKey(1), 'y');
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

TEST(RemoteKeyWindow, UnderTheDisplaysWindowARemoteF1ChangesTheLevelAndIsNotPassedOn) {
    std::string error;
    std::optional<std::string> font = findDisplayFont(error);
    ASSERT_TRUE(font) << error;
    std::unique_ptr<TextRenderer> text = TextRenderer::open(*font, error);
    ASSERT_TRUE(text) << error;
    test::FakeClock clock;
    RecordingWindow screen;
    OnScreenDisplay display(*text, clock, screen, screen, 1, false);
    RemoteHub hub;
    RemoteKeyWindow remoteKeys(screen, &hub);
    DisplayWindow playerWindow(remoteKeys, display);
    for (int key : {kKeyDisplayLevel, int{'x'}, kKeyDisplayLevel, kKeyDisplayLevel}) hub.queueKey(key);
    EXPECT_EQ(playerWindow.waitKey(0), 'x');
    EXPECT_EQ(display.level(), 2);
    EXPECT_EQ(playerWindow.peekKey(1), kNoKey);  // the display took the F1 looked at
    EXPECT_EQ(display.level(), 3);
    EXPECT_EQ(playerWindow.waitKey(1), kNoKey);
    EXPECT_EQ(display.level(), 0);
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

TEST(DeskQuestions, ThePageSeesTheQuestionAndItsAnswerEndsIt) {
    SilentConsole silent;
    Events console(silent);
    QuestionDesk desk(console);
    DeskQuestions questions(desk);
    RemoteHub hub;
    RemoteApi api(hub, {}, &questions);
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
