// The on-screen display over a recording window: what shows at each level, that the caller's
// picture is never touched and nothing is drawn with nothing to say, that a text is rendered
// once, the help page, the F1 key, and a question answered with keys typed into the window.

#include <gtest/gtest.h>

#include <functional>

#include <opencv2/imgproc.hpp>

#include "platform/input_script.h"
#include "display/on_screen_display.h"
#include "platform/recording_window.h"
#include "platform/scripted_window.h"
#include "support/capture_console.h"
#include "support/fake_clock.h"

namespace kalvento::test {
namespace {

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

    void makeDisplay(int level, bool answerInWindow = false, Window* keys = nullptr) {
        window.setOverlay(nullptr);
        display = std::make_unique<OnScreenDisplay>(*text, clock, window, keys ? *keys : window,
                                                    level, answerInWindow);
        console = std::make_unique<DisplayConsole>(capture, *display);
        window.setOverlay(display.get());
    }

    // Pixels of the last shown picture that differ from the clip.
    int changedPixels() {
        window.show(clip);
        cv::Mat diff;
        cv::absdiff(window.lastShown(), original, diff);
        cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
        return cv::countNonZero(diff);
    }

    // Rows of the last shown picture that differ from the clip.
    int changedRows() {
        (void)changedPixels();
        int rows = 0;
        for (int y = 0; y < original.rows; ++y)
            if (cv::norm(window.lastShown().row(y), original.row(y), cv::NORM_INF) > 0) ++rows;
        return rows;
    }

    std::unique_ptr<TextRenderer> text;
    FakeClock clock;
    RecordingWindow window;
    CaptureConsole capture;
    std::unique_ptr<OnScreenDisplay> display;
    std::unique_ptr<DisplayConsole> console;
    cv::Mat clip, original;
};

TEST_F(OnScreenDisplayTest, NothingToSayOrLevelZeroLeavesTheShownPixelsThoseOfTheClip) {
    console->print("an ordinary message\n");
    console->say(Say::Status, "[S1] status\n");
    console->write(Say::Prompt, "S001:(00010)> ");
    EXPECT_FALSE(display->visible()) << "level 1 shows neither messages nor status lines";
    EXPECT_EQ(changedPixels(), 0);
    makeDisplay(0);
    console->write(Say::Banner, "STOP");
    console->printErr("ERROR: broken\n");
    EXPECT_EQ(changedPixels(), 0) << "level 0 shows nothing";
    EXPECT_EQ(capture.outText(), "an ordinary message\n[S1] status\n") << "printing is unchanged";
    EXPECT_EQ(capture.errText(), "ERROR: broken\n");
}

TEST_F(OnScreenDisplayTest, ABannerIsBigDrawnOverACopyAndGoesAfterItsTime) {
    console->write(Say::Banner, "STOP");
    EXPECT_GE(changedRows(), clip.rows / 6) << "a banner is at least a sixth of the height";
    EXPECT_EQ(cv::norm(clip, original, cv::NORM_INF), 0) << "the caller's clip is untouched";
    EXPECT_EQ(capture.outText(), "") << "a banner's words are not printed";
    clock.advanceMicros(OnScreenDisplay::kBannerMicros - OnScreenDisplay::kFadeMicros / 2);
    const int fading = changedPixels();
    EXPECT_GT(fading, 0) << "still there, fading";
    clock.advanceMicros(OnScreenDisplay::kFadeMicros);
    EXPECT_EQ(changedPixels(), 0) << "gone";
}

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

TEST_F(OnScreenDisplayTest, ABannerFollowedAtOnceByAnotherStaysLongEnoughToBeRead) {
    const auto alone = [&](const char* words) {
        makeDisplay(1);
        console->write(Say::Banner, words);
        (void)changedPixels();
        return window.lastShown().clone();
    };
    const cv::Mat go = alone("Go!"), five = alone("5"), stop = alone("STOP");
    const auto same = [](const cv::Mat& a, const cv::Mat& b) {
        return cv::norm(a, b, cv::NORM_INF) == 0;
    };
    makeDisplay(1);
    TickingWindow inner(clock);
    DisplayWindow playerWindow(inner, *display);

    for (int turn = 0; turn < 20; ++turn) {
        console->write(Say::Banner, "STOP");
        clock.advanceMicros(100000);
    }
    console->write(Say::Banner, "Go!");
    EXPECT_TRUE(same(window.lastShown(), go)) << "STOP said every turn for 2 s does not hold Go!";
    clock.advanceMicros(100000);
    console->write(Say::Banner, "5");
    (void)changedPixels();
    EXPECT_TRUE(same(window.lastShown(), go)) << "Go! stays while young; 5 waits";

    playerWindow.delay(960);
    EXPECT_EQ(inner.waits, (std::vector<int>{301, 659})) << "the wait breaks when 5 is due";
    EXPECT_TRUE(same(window.lastShown(), five)) << "5 shows without a new picture";
    clock.advanceMicros(OnScreenDisplay::kBannerMicros - OnScreenDisplay::kFadeMicros - 700000);
    (void)changedPixels();
    EXPECT_TRUE(same(window.lastShown(), five)) << "5's time runs from when it showed";

    console->write(Say::Banner, "4");
    console->write(Say::Banner, "PAUSE!");
    (void)changedPixels();
    EXPECT_FALSE(same(window.lastShown(), five)) << "PAUSE! is never held back";
    inner.waits.clear();
    playerWindow.delay(50);
    EXPECT_EQ(inner.waits, (std::vector<int>{50})) << "nothing held: one wait";
}

TEST_F(OnScreenDisplayTest, WhatEachLevelAddsTable) {
    struct Case {
        Say say;
        const char* text;
        int firstLevel;  // the lowest level that shows it
    };
    const Case cases[] = {
        {Say::Notice, "*** The camera stopped giving frames ***\n", 1},
        {Say::Message, "\nERROR: No answer was given. No movie is made.\n\n", 1},
        {Say::Caption, "Learning gesture A (standard)", 1},
        {Say::Gesture, "[A]   rv=  123   PHASE=  -1   SPEED=  10\n", 1},
        {Say::PositionBar, "0.500", 1},
        {Say::Message, "KEY FUNCTION : [n][ Move to Next Contents Folder ]\n", 2},
        {Say::Status, "[S1] [    3 /   10] [DifferenceSum=   0 ]\n", 3},
        {Say::Prompt, "S001:(00010)> ", 3},
        {Say::BannerRows, "   OOOOO    OOOOOOOO  \n", 4},
    };
    for (const Case& c : cases) {
        for (int level = 0; level <= 3; ++level) {
            makeDisplay(level);
            console->write(c.say, c.text);
            EXPECT_EQ(changedPixels() > 0, level >= c.firstLevel) << c.text << " level " << level;
        }
    }
}

TEST_F(OnScreenDisplayTest, MessagesFadeAndEachTextIsRenderedOnce) {
    makeDisplay(2);
    console->print("first message\nsecond message\n");
    const int shown = changedPixels();
    EXPECT_GT(shown, 0);
    const int64_t renders = text->renderCount();
    for (int i = 0; i < 20; ++i) (void)changedPixels();
    EXPECT_EQ(text->renderCount(), renders) << "no text is rendered again while it is unchanged";
    clock.advanceMicros(OnScreenDisplay::kMessageMicros - OnScreenDisplay::kFadeMicros / 2);
    const int fading = changedPixels();
    EXPECT_GT(fading, 0);
    EXPECT_EQ(text->renderCount(), renders) << "a fade blends the same text again";
    clock.advanceMicros(OnScreenDisplay::kFadeMicros);
    EXPECT_EQ(changedPixels(), 0);
    console->print("third message\n");
    (void)changedPixels();
    EXPECT_EQ(text->renderCount(), renders + 1);
}

TEST_F(OnScreenDisplayTest, APieceIsComposedOnceWhileWhatItShowsIsUnchanged) {
    makeDisplay(3);
    console->write(Say::Notice, "*** The camera stopped giving frames ***\n");
    console->write(Say::Caption, "Learning gesture A (standard)");
    console->write(Say::Prompt, "S001:(00010)> ");
    (void)changedPixels();
    const int64_t composed = display->composeCount();
    const int64_t renders = text->renderCount();
    EXPECT_EQ(composed, 3) << "the notice, the caption and the prompt";
    for (int i = 0; i < 10; ++i) {
        clock.advanceMicros(1000);
        (void)changedPixels();
    }
    EXPECT_EQ(display->composeCount(), composed) << "nothing changed: nothing composed";
    for (int i = 0; i < 10; ++i) {
        console->say(Say::Status, "[S1] [ %4d / 10]\n", i);
        (void)changedPixels();
        (void)changedPixels();
    }
    EXPECT_EQ(display->composeCount(), composed + 10) << "only the status line, once per change";
    EXPECT_EQ(text->renderCount(), renders + 10);
}

// Pixels of the last shown picture in exactly `bgr`.
int pixelsOf(const cv::Mat& shown, cv::Scalar bgr) {
    cv::Mat hits;
    cv::inRange(shown, bgr, bgr, hits);
    return cv::countNonZero(hits);
}

TEST_F(OnScreenDisplayTest, ThePositionBarAndTheGaugeAreFilledBars) {
    const cv::Scalar barGreen(0, 200, 0);
    console->write(Say::PositionBar, "0.250");
    (void)changedPixels();
    const int quarter = pixelsOf(window.lastShown(), barGreen);
    console->write(Say::PositionBar, "0.750");
    (void)changedPixels();
    const int threeQuarters = pixelsOf(window.lastShown(), barGreen);
    EXPECT_GT(quarter, clip.cols / 8 * 8) << "a bar, not a line of text";
    EXPECT_NEAR(threeQuarters, 3 * quarter, quarter / 20);

    // The gauge: '#' at 0 + p1, 20 + p2, 40 + p3, 60 + p4 and 81.
    const auto gauge = [](int p1, int p2, int p3, int p4) {
        std::string marks(103, '.');
        for (int at : {p1, 20 + p2, 40 + p3, 60 + p4, 81}) marks[static_cast<size_t>(at)] = '#';
        return "[   12/  100] " + marks + "\n";
    };
    const cv::Scalar gaugeOrange(0, 170, 255);
    console->write(Say::Gauge, gauge(0, 0, 0, 0));
    const int shown = changedPixels();
    const int least = pixelsOf(window.lastShown(), gaugeOrange);
    console->write(Say::Gauge, gauge(18, 18, 18, 18));
    (void)changedPixels();
    const int most = pixelsOf(window.lastShown(), gaugeOrange);
    console->write(Say::Gauge, gauge(9, 18, 0, 0));
    (void)changedPixels();
    const int some = pixelsOf(window.lastShown(), gaugeOrange);
    EXPECT_GT(shown, 0);
    const int fullBar = most / 4;  // marks 0 .. 18 fill 1 .. 19 nineteenths of a bar
    EXPECT_GT(fullBar, clip.cols / 20 * 4) << "bars, not letters";
    EXPECT_NEAR(least, 4 * fullBar / 19, fullBar / 10) << "each bar shows its first step";
    EXPECT_NEAR(some, fullBar * (10 + 19 + 1 + 1) / 19, fullBar / 10)
        << "each bar filled to its mark";
    EXPECT_EQ(capture.outText(), gauge(0, 0, 0, 0) + gauge(18, 18, 18, 18) + gauge(9, 18, 0, 0))
        << "the console prints the gauge as text";
    clock.advanceMicros(3000000);
    EXPECT_EQ(changedPixels(), 0) << "bar and gauge go when they are no longer said";
}

TEST_F(OnScreenDisplayTest, TheHelpPageStaysUntilTheNextKeyAndF1CyclesTheLevel) {
    std::string error;
    auto events = parseInputScript("key code 17\nkey x\nkey code 17\nkey code 17\n", error);
    ASSERT_TRUE(events) << error;
    RecordingWindow inner;
    ScriptedWindow keys(inner, *events, clock, true);
    DisplayWindow playerWindow(keys, *display);

    console->write(Say::HelpBegin, "");
    for (int i = 0; i < 60; ++i) console->print("KEY FUNCTION : [%c][ a key ]\n", 'a' + i % 26);
    console->write(Say::HelpEnd, "");
    EXPECT_EQ(changedPixels(), 0) << "a help list printed at start is no page";
    console->write(Say::HelpPage, "");
    EXPECT_GT(changedPixels(), clip.total() / 2) << "a page over the clip";
    // The window may leave out the picture where the page is opaque: what is drawn there does
    // not depend on the picture below, and outside the page the picture shows.
    const cv::Rect page = display->opaqueArea(clip.size());
    EXPECT_GT(page.area(), static_cast<int>(clip.total()) * 8 / 10);
    cv::Mat black(clip.size(), CV_8UC4, cv::Scalar::all(0));
    cv::Mat noise(clip.size(), CV_8UC4);
    cv::randu(noise, 0, 255);
    const cv::Mat noiseBefore = noise.clone();
    display->drawOver(black);
    display->drawOver(noise);
    EXPECT_EQ(cv::norm(black(page), noise(page), cv::NORM_INF), 0);
    EXPECT_EQ(cv::norm(noise.row(0), noiseBefore.row(0), cv::NORM_INF), 0);
    clock.advanceMicros(60000000);
    EXPECT_GT(changedPixels(), 0) << "the page does not fade";

    EXPECT_EQ(playerWindow.waitKey(0), 'x') << "F1 is not passed on";
    EXPECT_EQ(display->level(), 2);
    EXPECT_EQ(changedPixels(), 0) << "the key ended the page";
    EXPECT_TRUE(display->opaqueArea(clip.size()).empty());
    EXPECT_EQ(playerWindow.peekKey(1), kNoKey);
    EXPECT_EQ(playerWindow.waitKey(10), kNoKey);
    EXPECT_EQ(display->level(), 0) << "3 wraps round to 0";
}

TEST_F(OnScreenDisplayTest, AQuestionIsAnsweredWithKeysTypedIntoTheWindow) {
    std::string error;
    auto events = parseInputScript(
        "key 1\nkey x\nkey BS\nkey BS\nkey 2\nkey ENTER\n"
        "key 7\nkey ESC\n",
        error);
    ASSERT_TRUE(events) << error;
    RecordingWindow inner;
    ScriptedWindow keys(inner, *events, clock, true);
    makeDisplay(1, true, &keys);
    QuestionDesk desk(*console);
    desk.setSource(display.get());
    Question q;
    q.prompt = "*** How many motion clips do you want? : ";
    q.noAnswer = "\n*** No answer: no motion clip is made.\n";
    EXPECT_EQ(desk.askNumber(q), 2);
    EXPECT_EQ(capture.outText(), "*** How many motion clips do you want? : 2\n");
    EXPECT_EQ(desk.askNumber(q), std::nullopt) << "ESC gives up";
    EXPECT_EQ(changedPixels(), 0) << "no question is left on the screen";
}

TEST_F(OnScreenDisplayTest, TheQuestionAskedShowsInTheWindowWhileTheTerminalAnswers) {
    struct ShowingConsole final : public Console {
        std::function<void()> onRead;
        void out(std::string_view) override {}
        void err(std::string_view) override {}
        std::optional<std::string> readLine() override {
            onRead();
            return "5";
        }
    } terminal;
    int during = 0;
    terminal.onRead = [&] { during = changedPixels(); };
    DisplayConsole shown(terminal, *display);
    QuestionDesk desk(shown);
    desk.setSource(display.get());
    Question q;
    q.prompt = "*** How many gestures do you want to learn? (1-8) : ";
    EXPECT_EQ(desk.askNumber(q), 5);
    EXPECT_GT(during, 0);
    EXPECT_EQ(changedPixels(), 0);
}

}  // namespace
}  // namespace kalvento::test
