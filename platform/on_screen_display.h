#pragma once
// The on-screen display: what the player says, drawn over the picture in its window, for
// someone who cannot see a terminal (a person learning gestures metres away, a kiosk). It
// hears the console through a DisplayConsole, sees the keys through a DisplayWindow, asks the
// console questions in the window, and draws over the window's copy of every picture.
//
// Levels: 0 nothing; 1 banners (countdowns, STOP, Go!, camera ON/OFF, PAUSE!, ...), what a run
// does, notices and ERROR lines, questions, the help page, and with the motion display on the
// gesture gauge, gesture lines and position bar; 2 also every console message for a few
// seconds, fading, newest at the bottom; 3 also the per-turn status line and the prompt.

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/display_drawing.h"
#include "platform/question.h"
#include "platform/text_renderer.h"
#include "platform/window.h"

namespace kalvento {

inline constexpr int kDisplayLevels = 4;  // 0 .. 3
inline constexpr int kDefaultDisplayLevel = 1;

class OnScreenDisplay final : public Overlay, public AnswerSource {
public:
    // `screen` is the window drawn into, asked to draw again when the display changes between
    // pictures; `keys` gives the keys typed into the window while a question is answered there
    // (`answerInWindow`: no terminal, no scripted input). All must outlive the display.
    OnScreenDisplay(TextRenderer& text, Clock& clock, Window& screen, Window& keys, int level,
                    bool answerInWindow);

    // What the console said (any thread).
    void hear(Say what, std::string_view text);
    void hearError(std::string_view text);
    // A key the player read: the help page and the PAUSE! banner end with it.
    void keyRead(int key);

    // Micros until a banner held back behind a younger one is due (see kBannerHoldMicros), or
    // -1 when none waits.
    int64_t microsUntilHeldBanner() const;
    // Draws the window again when a held-back banner is due.
    void showHeldBannerIfDue();

    int level() const { return level_.load(); }
    void setLevel(int level);
    void cycleLevel() { setLevel((level() + 1) % kDisplayLevels); }

    // Overlay
    bool visible() override;
    // Lays what there is to show over `target`; each piece is composed once while it stays
    // the same (see composeCount).
    void drawOver(cv::Mat& target) override;
    // The help page, while it is up.
    cv::Rect opaqueArea(cv::Size window) override;

    // How many pieces (a line, a banner, the help page, a bar) were composed since the start.
    int64_t composeCount() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return tiles_.composeCount();
    }

    // AnswerSource
    void questionChanged(const AskedQuestion* question) override;
    bool answers() const override { return answerInWindow_; }
    std::optional<std::string> nextLine(const AskedQuestion& question, QuestionDesk& desk) override;

    // How long a message stays, and the last part of it in which it fades out.
    static constexpr int64_t kMessageMicros = 4000000;
    static constexpr int64_t kNoticeMicros = 8000000;
    static constexpr int64_t kBannerMicros = 2500000;
    static constexpr int64_t kFadeMicros = 1000000;
    // A banner stays at least this long before a different one takes its place, so that one
    // followed at once by another (Go! and the next countdown) can still be read; the newer
    // waits meanwhile (shorter than a countdown step of 600 ms, so no digit is lost). A banner
    // repeated every turn (STOP) counts from when it first showed.
    static constexpr int64_t kBannerHoldMicros = 400000;
    static constexpr size_t kMessageLines = 8;

private:
    struct Line {
        std::string text;
        int64_t since = 0;
        int64_t life = 0;  // micros it stays; 0 for ever
    };
    // Letter size and columns of the help page for a window size, worked out once per page.
    struct HelpLayout {
        cv::Size window;
        int size = 0;
        int columns = 1;
        int rows = 0;
    };
    // The gesture gauge: its clip count, and each bar's mark, 0 .. 18 (-1: none).
    struct Gauge {
        Line line;
        std::array<int, 4> marks{};
    };
    void layOutHelp(cv::Size window);
    static cv::Rect helpPageArea(cv::Size window);
    static Gauge gaugeOf(std::string_view text, int64_t now);

    // Takes in what was said; true when it should be on the screen before the next picture.
    bool hearLocked(Say what, std::string_view text, int64_t now);
    // An ordinary message: a line of the help page being printed, a notice when it holds
    // ERROR (true then), or a message of level 2.
    bool hearMessage(std::string_view text, int64_t now);
    // A banner said: shown now, or held back while the one on the screen is young.
    void hearBanner(std::string_view text, int64_t now);
    void addLines(std::deque<Line>& to, std::string_view text, int64_t now, int64_t life);
    void changed(bool redraw);
    double opacity(const Line& line, int64_t now) const;
    bool anythingLocked(int64_t now) const;
    // Lays the tile of `key` over `area` of `target`, composed by `compose` when not kept.
    void lay(cv::Mat& target, const std::string& key, cv::Rect area,
             const std::function<void(OverlayTile&)>& compose);
    void drawBacked(cv::Mat& target, const std::string& words, int size, cv::Point at, int pad,
                    cv::Scalar colour, double strength);
    void drawBanner(cv::Mat& target, int64_t now);
    // Returns the row below the last line drawn (above it with `fromBottom`).
    int drawLines(cv::Mat& target, const std::vector<std::pair<std::string, double>>& lines,
                  int size, cv::Point at, bool fromBottom);
    void drawQuestion(cv::Mat& target);
    void drawHelpPage(cv::Mat& target);
    void drawPositionBar(cv::Mat& target, int64_t now);
    void drawGauge(cv::Mat& target, cv::Point at, int64_t now);
    std::vector<std::pair<std::string, double>> bottomLines(int64_t now) const;
    std::vector<std::pair<std::string, double>> topLines(int64_t now) const;
    void forgetOld(int64_t now);

    TextRenderer& text_;
    Clock& clock_;
    Window& screen_;
    Window& keys_;
    const bool answerInWindow_;
    const std::thread::id owner_;  // the player's thread: only it draws
    std::atomic<int> level_;

    mutable std::mutex mutex_;
    std::optional<Line> banner_;
    bool bannerUntilKey_ = false;
    int64_t bannerShownAt_ = 0;
    std::optional<Line> heldBanner_;  // waits until banner_ has been up kBannerHoldMicros
    std::string caption_;
    std::deque<Line> notices_;   // level 1
    std::deque<Line> messages_;  // level 2
    std::deque<Line> motion_;    // gesture lines, level 1
    std::optional<Gauge> gauge_;
    std::optional<Line> positionBar_;
    double positionShare_ = 0.0;
    std::string status_;  // level 3
    std::string prompt_;
    bool collectingHelp_ = false;
    std::vector<std::string> helpPage_;
    std::vector<std::string> helpCollected_;
    std::vector<std::string> lastHelp_;  // the help page last printed
    HelpLayout helpLayout_;
    std::optional<std::string> question_;
    std::string typed_;
    TileShelf tiles_;    // what the last picture showed, composed
    cv::Rect promised_;  // the opaque area the window was last told of
};

// A console that prints through another and tells the display what it printed.
class DisplayConsole final : public Console {
public:
    DisplayConsole(Console& inner, OnScreenDisplay& display) : inner_(inner), display_(display) {}
    void out(std::string_view text) override;
    void err(std::string_view text) override;
    void write(Say what, std::string_view text) override;
    std::optional<std::string> readLine() override { return inner_.readLine(); }
    bool inputIsTerminal() const override { return inner_.inputIsTerminal(); }

private:
    Console& inner_;
    OnScreenDisplay& display_;
};

// The player's window with the display's key: F1 cycles the level and is not passed on; any
// other key read is shown to the display (it ends the help page).
class DisplayWindow final : public ForwardingWindow {
public:
    DisplayWindow(Window& inner, OnScreenDisplay& display)
        : ForwardingWindow(inner), display_(display) {}
    int waitKey(int ms) override;
    int peekKey(int ms) override;
    void delay(int ms) override;

private:
    // The inner window's key wait (`delay` without `wantKey`), broken where a held-back banner
    // falls due so that it shows on time although no picture comes meanwhile.
    int waitShowingBanners(int ms, bool wantKey);

    OnScreenDisplay& display_;
};

}  // namespace kalvento
