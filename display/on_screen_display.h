#pragma once
// The on-screen display: what the player tells, drawn over the picture in its window, for
// someone who cannot see a terminal (a person learning gestures metres away, a kiosk). It
// hears the player's events as a listener, keeps what shows in a DisplayModel, draws it with
// a DisplayPainter over the window's copy of every picture, and has the window show the last
// picture again whenever what it shows changes between pictures (a banner fading or ending,
// a level, a gauge). Questions asked while nobody can type on a terminal are answered with
// keys typed into the window.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/event_listener.h"
#include "core/question.h"
#include "display/display_model.h"
#include "display/display_painter.h"
#include "platform/clock.h"
#include "platform/text_renderer.h"
#include "platform/window.h"

namespace kalvento {

class OnScreenDisplay final : public Overlay, public EventListener, public AnswerSource {
public:
    // `screen` is the window drawn into, asked to show its picture again when the display
    // changes between pictures; `keys` gives the keys typed into the window while a question
    // is answered there (`answerInWindow`: no terminal, no scripted input). All must outlive
    // the display.
    OnScreenDisplay(TextRenderer& text, Clock& clock, Window& screen, Window& keys, int level,
                    bool answerInWindow, HelpLanguage language = HelpLanguage::Japanese);

    // EventListener (any thread)
    void message(std::string_view text) override;
    void error(std::string_view text) override;
    void notice(std::string_view text) override;
    void banner(Banner banner) override;
    void setting(const SettingChange& change) override;
    void cameraMissing(const CameraMissing* missing) override;
    void caption(std::string_view text) override;
    void status(std::string_view text) override;
    void prompt(std::string_view text) override;
    void links(const std::vector<std::string>& links) override;
    void gauge(const GaugeReading& reading) override;
    void gesture(std::string_view text) override;
    void position(double share) override;
    void helpPage(const std::vector<std::string>& japanese,
                  const std::vector<std::string>& english) override;
    void question(const QuestionShown* question) override;

    // A key the player read: the help page and the PAUSE! banner end with it.
    void keyRead(int key);
    int level() const { return level_.load(); }
    // F1: the next level, named on the screen for a moment.
    void cycleLevel();

    // Shows the window's picture again when what the display shows changed since it was last
    // drawn (an event, or time: a fade step, a piece ending, a held banner due), at most once
    // a refresh period. Only the player's thread draws.
    void refresh();
    // Micros until refresh() has something to draw by time alone; -1 when nothing will change
    // until the next event.
    int64_t microsUntilChange();

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
        return painter_.composeCount();
    }
    // How many times the display asked the window to show its picture again.
    int64_t refreshCount() const { return refreshes_; }

    // AnswerSource
    bool answers() const override { return answerInWindow_; }
    std::optional<std::string> nextLine(const AskedQuestion& question, QuestionDesk& desk) override;

    // The shortest time between two pictures shown again for the display alone: the display's
    // refresh rate, 30 a second, enough for a smooth fade.
    static constexpr int64_t kRefreshMicros = 1000000 / 30;

private:
    // Runs `change` on the model under the lock; an `urgent` change is shown at once.
    template <typename Change>
    void update(Change&& change, bool urgent = false);
    bool typedKey(int key, const AskedQuestion& question);

    Clock& clock_;
    Window& screen_;
    Window& keys_;
    const bool answerInWindow_;
    const std::thread::id owner_;  // the player's thread: only it draws
    std::atomic<int> level_;

    mutable std::mutex mutex_;
    DisplayModel model_;
    DisplayPainter painter_;
    std::optional<QuestionShown> question_;
    uint64_t drawnVersion_ = ~uint64_t{0};  // the model's version when it was last drawn
    int64_t drawnChange_ = -1;              // when what was drawn then next changes by time
    int64_t drawnAt_ = INT64_MIN / 2;
    cv::Rect promised_;  // the opaque area the window was last told of
    int64_t refreshes_ = 0;
};

// The player's window with the display's part in it: every key read is shown to the display
// (it ends the help page; F1, the display's level key, is the player's key road's); and every
// wait breaks when the display changes, so the window shows it on time although no new
// picture comes meanwhile.
class DisplayWindow final : public ForwardingWindow {
public:
    DisplayWindow(Window& inner, OnScreenDisplay& display)
        : ForwardingWindow(inner), display_(display) {}
    int waitKey(int ms) override;
    int peekKey(int ms) override;
    void delay(int ms) override;

private:
    // The inner window's key wait (`delay` without `wantKey`), broken where the display
    // changes.
    int waitShowingChanges(int ms, bool wantKey);

    OnScreenDisplay& display_;
};

}  // namespace kalvento
