// The on-screen display over a recording window, fed the player's events: what shows at each
// level, that the caller's picture is never touched, that a banner ends on the screen although
// no new picture comes, the held banner, F1 and its level banner, the help page in its
// language, the bar and the gauge, and a question answered with keys typed into the window.

#include <gtest/gtest.h>

#include <functional>

#include <opencv2/imgproc.hpp>

#include "display/on_screen_display.h"
#include "input/input_script.h"
#include "support/recording_window.h"
#include "input/scripted_window.h"
#include "support/capture_console.h"
#include "support/fake_clock.h"

namespace kalvento::test {
namespace {

// A window whose waits take their time on the fake clock; it logs how long each wait was.
class TickingWindow final : public Window {
public:
    explicit TickingWindow(FakeClock& clock) : clock_(clock) {}
    void create(WindowMode) override {}
    void destroy() override {}
    void setMouseCallback(MouseCallback, void*) override {}
    int waitKey(int ms) override { return wait(ms); }
    int peekKey(int ms) override { return wait(ms); }
    void delay(int ms) override { (void)wait(ms); }
    std::vector<int> waits;

private:
    int wait(int ms) {
        waits.push_back(ms);
        clock_.advanceMicros(static_cast<int64_t>(ms) * 1000);
        return kNoKey;
    }
    void showPicture(const cv::Mat&, Mirror) override {}
    FakeClock& clock_;
};

class OnScreenDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        std::optional<std::string> font = findDisplayFont(error);
        ASSERT_TRUE(font) << error;
        text = TextRenderer::open(*font, error);
        ASSERT_TRUE(text) << error;
        clip = cv::Mat(480, 640, CV_8UC3, cv::Scalar(40, 160, 90));
        original = clip.clone();
        makeDisplay(1);
    }

    void makeDisplay(int level, bool answerInWindow = false, Window* keys = nullptr,
                     HelpLanguage language = HelpLanguage::Japanese) {
        window.setOverlay(nullptr);
        if (display) console.stopListening(display.get());
        display = std::make_unique<OnScreenDisplay>(*text, clock, window, keys ? *keys : window,
                                                    level, answerInWindow, language);
        console.listen(display.get());
        window.setOverlay(display.get());
    }

    // Pixels of `shown` that differ from the clip.
    int changedIn(const cv::Mat& shown) {
        cv::Mat diff;
        cv::absdiff(shown, original, diff);
        cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
        return cv::countNonZero(diff);
    }
    // Pixels of a newly shown picture that differ from the clip.
    int changedPixels() {
        window.show(clip);
        return changedIn(window.lastShown());
    }

    std::unique_ptr<TextRenderer> text;
    FakeClock clock;
    RecordingWindow window;
    CaptureConsole console;
    std::unique_ptr<OnScreenDisplay> display;
    cv::Mat clip, original;
};

TEST_F(OnScreenDisplayTest, WhatEachLevelAddsTable) {
    struct Case {
        const char* what;
        std::function<void(Events&)> tell;
        int firstLevel;  // the lowest level that shows it
    };
    const Case cases[] = {
        {"notice", [](Events& e) { e.notice("*** The camera stopped giving frames ***\n"); }, 1},
        {"error line", [](Events& e) { e.errorLine("\nERROR: No movie is made.\n\n"); }, 1},
        {"error stream", [](Events& e) { e.printErr("kalvento: broken\n"); }, 1},
        {"banner", [](Events& e) { e.banner(Banner::Stop); }, 1},
        {"caption", [](Events& e) { e.caption("Learning gesture A (standard)"); }, 1},
        {"gesture", [](Events& e) { e.gesture("[A]   rv=  123   PHASE=  -1\n"); }, 1},
        {"position", [](Events& e) { e.position(0.5); }, 1},
        {"message", [](Events& e) { e.print("KEY FUNCTION : [n][ Next Folder ]\n"); }, 2},
        {"status", [](Events& e) { e.status("[S1] [    3 /   10]\n"); }, 3},
        {"prompt", [](Events& e) { e.prompt("S001:(00010)> "); }, 3},
        {"setting", [](Events& e) { e.setting("walker mode on", "WalkerMode = オン"); }, 1},
        {"missing camera",
         [](Events& e) {
             const CameraMissing missing{2, true};
             e.cameraMissing(&missing);
         },
         1},
        {"motion gauge", [](Events& e) { e.gauge(GaugeReading{0, 40, {}, 0, 500}, ""); }, 1},
    };
    for (const Case& c : cases) {
        for (int level = 0; level <= 3; ++level) {
            makeDisplay(level);
            c.tell(console);
            EXPECT_EQ(changedPixels() > 0, level >= c.firstLevel) << c.what << " level " << level;
        }
    }
    EXPECT_EQ(cv::norm(clip, original, cv::NORM_INF), 0) << "the caller's clip is untouched";
    EXPECT_NE(console.outText().find("ERROR: No movie is made."), std::string::npos);
    EXPECT_EQ(console.outText().find("Learning gesture"), std::string::npos)
        << "a caption is not printed";
}

// The rows and columns of `shown` that differ from `original`.
cv::Rect changedArea(const cv::Mat& shown, const cv::Mat& original) {
    cv::Mat diff;
    cv::absdiff(shown, original, diff);
    cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
    std::vector<cv::Point> points;
    cv::findNonZero(diff, points);
    return points.empty() ? cv::Rect() : cv::boundingRect(points);
}

TEST_F(OnScreenDisplayTest, ALongNoticeWrapsInsideASmallWindowAtAReadableSize) {
    console.notice("*** The video /home/visitor/kalvento/demo/camera.avi stands in for the camera. "
                   "For a real camera: kalvento --camera N (kalvento --list-cameras lists them). ***\n");
    window.show(clip);
    const cv::Rect area = changedArea(window.lastShown(), original);
    ASSERT_FALSE(area.empty());
    EXPECT_LT(area.br().x, clip.cols) << "nothing is cut at the right edge";
    EXPECT_LE(area.br().x, clip.cols - 480 / 36 + 24 / 5) << "it keeps the left margin on the right";
    EXPECT_GE(area.height, 3 * 24) << "three lines of at least 24 pixels in a 640 x 480 window";
    EXPECT_EQ(area.br().y, clip.rows - 480 / 36 / 2) << "they stand on the bottom margin";
}

TEST_F(OnScreenDisplayTest, ABannerEndsOnTheScreenWithoutANewPicture) {
    TickingWindow inner(clock);
    DisplayWindow playerWindow(inner, *display);
    window.show(clip);
    console.banner(Banner::CameraOff);
    console.notice("*** The camera stopped giving frames ***\n");
    for (int i = 0; i < 40; ++i) playerWindow.waitKey(1);  // the loop's waits show them
    EXPECT_GT(changedIn(window.lastShown()), clip.total() / 20);
    // Nobody types and no picture comes: the loop waits a millisecond at a time.
    for (int i = 0; i < 3000 && clock.nowMicros() < DisplayModel::kBannerMicros + 100000; ++i)
        playerWindow.waitKey(1);
    const int withNotice = changedIn(window.lastShown());
    EXPECT_GT(withNotice, 0) << "the notice stays 8 s";
    playerWindow.delay(static_cast<int>(DisplayModel::kNoticeMicros / 1000));
    playerWindow.waitKey(1);
    EXPECT_EQ(changedIn(window.lastShown()), 0) << "gone from the screen in time";
    EXPECT_LE(display->refreshCount(), 2 * DisplayModel::kFadeSteps + 4)
        << "the picture was shown again only when the display changed";
}

TEST_F(OnScreenDisplayTest, ABannerFollowedAtOnceByAnotherStaysLongEnoughToBeRead) {
    const auto alone = [&](Banner banner) {
        makeDisplay(1);
        console.banner(banner);
        (void)changedPixels();
        return window.lastShown().clone();
    };
    const cv::Mat go = alone(Banner::Go), five = alone(Banner::Digit5);
    const auto same = [](const cv::Mat& a, const cv::Mat& b) {
        return cv::norm(a, b, cv::NORM_INF) == 0;
    };
    makeDisplay(1);
    TickingWindow inner(clock);
    DisplayWindow playerWindow(inner, *display);
    for (int turn = 0; turn < 20; ++turn) {
        console.banner(Banner::Stop);
        clock.advanceMicros(100000);
    }
    console.banner(Banner::Go);
    (void)changedPixels();
    EXPECT_TRUE(same(window.lastShown(), go)) << "STOP said every turn for 2 s does not hold Go!";
    clock.advanceMicros(100000);
    console.banner(Banner::Digit5);
    (void)changedPixels();
    EXPECT_TRUE(same(window.lastShown(), go)) << "Go! stays while young; 5 waits";
    playerWindow.delay(960);
    EXPECT_EQ(inner.waits.front(), 301) << "the wait breaks when 5 is due";
    EXPECT_TRUE(same(window.lastShown(), five)) << "5 shows without a new picture";
}

TEST_F(OnScreenDisplayTest, F1NamesItsLevelAndTheHelpPageIsEnglishPagedAndEndsWithAKey) {
    std::string error;
    auto events = parseInputScript("key x\n", error);
    ASSERT_TRUE(events) << error;
    RecordingWindow inner;
    ScriptedWindow keys(inner, *events, clock, true);
    makeDisplay(1, false, nullptr, HelpLanguage::English);
    DisplayWindow playerWindow(keys, *display);
    std::vector<std::string> english(40, "[q_z]   a key");
    console.helpPage({"[ESC]　一時停止"}, english);
    const int page = changedPixels();
    EXPECT_GT(page, static_cast<int>(clip.total()) / 2) << "a page over the clip";
    const cv::Mat first = window.lastShown().clone();
    clock.advanceMicros(DisplayModel::kHelpPageMicros);
    (void)changedPixels();
    EXPECT_GT(cv::norm(first, window.lastShown(), cv::NORM_INF), 0) << "the next page";

    display->cycleLevel();  // F1, whichever road it came by (the player's key road runs it)
    EXPECT_EQ(playerWindow.waitKey(0), 'x');
    EXPECT_EQ(display->level(), 2);
    const int named = changedPixels();
    EXPECT_GT(named, 0) << "the new level is named";
    EXPECT_LT(named, page) << "the key ended the page";
    clock.advanceMicros(DisplayModel::kLevelBannerMicros);
    EXPECT_EQ(changedPixels(), 0) << "the level's name went";
}

// Pixels of the last shown picture in exactly `bgr`.
int pixelsOf(const cv::Mat& shown, cv::Scalar bgr) {
    cv::Mat hits;
    cv::inRange(shown, bgr, bgr, hits);
    return cv::countNonZero(hits);
}

TEST_F(OnScreenDisplayTest, ThePositionBarAndTheGaugeAreFilledBars) {
    const cv::Scalar barGreen(0, 200, 0);
    console.position(0.25);
    (void)changedPixels();
    const int quarter = pixelsOf(window.lastShown(), barGreen);
    console.position(0.75);
    (void)changedPixels();
    EXPECT_GT(quarter, clip.cols / 8 * 8) << "a bar, not a line of text";
    EXPECT_NEAR(pixelsOf(window.lastShown(), barGreen), 3 * quarter, quarter / 20);

    const cv::Scalar gaugeOrange(0, 170, 255);
    const auto gaugeOf = [&](std::array<int, 4> marks) {
        console.gauge(GaugeReading{12, 100, marks}, "[   12/  100] gauge\n");
        (void)changedPixels();
        return pixelsOf(window.lastShown(), gaugeOrange);
    };
    const int least = gaugeOf({0, 0, 0, 0});
    const int most = gaugeOf({18, 18, 18, 18});
    const int some = gaugeOf({9, 18, 0, 0});
    const int fullBar = most / 4;  // marks 0 .. 18 fill 1 .. 19 nineteenths of a bar
    EXPECT_GT(fullBar, clip.cols / 20 * 4) << "bars, not letters";
    EXPECT_NEAR(least, 4 * fullBar / 19, fullBar / 10);
    EXPECT_NEAR(some, fullBar * (10 + 19 + 1 + 1) / 19, fullBar / 10);
    EXPECT_EQ(console.outText(), "[   12/  100] gauge\n[   12/  100] gauge\n[   12/  100] gauge\n");
    clock.advanceMicros(3000000);
    EXPECT_EQ(changedPixels(), 0) << "bar and gauge go when they are no longer told";
}

TEST_F(OnScreenDisplayTest, AQuestionIsAnsweredWithKeysTypedIntoTheWindow) {
    std::string error;
    auto events = parseInputScript("key 1\nkey x\nkey BS\nkey BS\nkey 2\nkey ENTER\nkey 7\nkey ESC\n",
                                   error);
    ASSERT_TRUE(events) << error;
    RecordingWindow inner;
    ScriptedWindow keys(inner, *events, clock, true);
    makeDisplay(1, true, &keys);
    QuestionDesk desk(console);
    desk.setSource(display.get());
    Question q;
    q.prompt = "*** How many motion clips do you want? : ";
    q.noAnswer = "\n*** No answer: no motion clip is made.\n";
    EXPECT_EQ(desk.askNumber(q), 2);
    EXPECT_EQ(console.outText(), "*** How many motion clips do you want? : 2\n");
    EXPECT_EQ(desk.askNumber(q), std::nullopt) << "ESC gives up";
    EXPECT_EQ(changedPixels(), 0) << "no question is left on the screen";
}

}  // namespace
}  // namespace kalvento::test
