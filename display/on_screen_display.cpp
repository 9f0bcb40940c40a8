#include "display/on_screen_display.h"

#include <algorithm>
#include <utility>

namespace kalvento {

OnScreenDisplay::OnScreenDisplay(TextRenderer& text, Clock& clock, Window& screen, Window& keys,
                                 int level, bool answerInWindow, HelpLanguage language)
    : clock_(clock),
      screen_(screen),
      keys_(keys),
      answerInWindow_(answerInWindow),
      owner_(std::this_thread::get_id()),
      level_(std::clamp(level, 0, kDisplayLevels - 1)),
      model_(level, language),
      painter_(text) {}

template <typename Change>
void OnScreenDisplay::update(Change&& change, bool urgent) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        change(model_, clock_.nowMicros());
    }
    // What a person must see at once (a banner, a notice, an error, a caption, a page) is
    // shown now, also where the player works on without a wait of the window (a quiet phase
    // paced by the clock); what changes every turn (gauge, bar, status, messages) shows with
    // the next picture or at the next wait (see DisplayWindow).
    if (urgent) refresh();
}

void OnScreenDisplay::message(std::string_view text) {
    update([&](DisplayModel& m, int64_t now) { m.message(text, now); });
}

void OnScreenDisplay::error(std::string_view text) {
    update([&](DisplayModel& m, int64_t now) { m.error(text, now); }, true);
}

void OnScreenDisplay::notice(std::string_view text) {
    update([&](DisplayModel& m, int64_t now) { m.notice(text, now); }, true);
}

void OnScreenDisplay::banner(Banner which) {
    update([&](DisplayModel& m, int64_t now) { m.banner(which, now); }, true);
}

void OnScreenDisplay::setting(const SettingChange& change) {
    update([&](DisplayModel& m, int64_t now) { m.setting(change, now); }, true);
}

void OnScreenDisplay::cameraMissing(const CameraMissing* missing) {
    update([&](DisplayModel& m, int64_t) { m.cameraMissing(missing); }, true);
}

void OnScreenDisplay::caption(std::string_view text) {
    update([&](DisplayModel& m, int64_t) { m.caption(text); }, true);
}

void OnScreenDisplay::status(std::string_view text) {
    update([&](DisplayModel& m, int64_t) { m.status(text); });
}

void OnScreenDisplay::links(const std::vector<std::string>& links) {
    update([&](DisplayModel& m, int64_t) { m.links(links); });
}

void OnScreenDisplay::prompt(std::string_view text) {
    update([&](DisplayModel& m, int64_t) { m.prompt(text); });
}

void OnScreenDisplay::gauge(const GaugeReading& reading) {
    update([&](DisplayModel& m, int64_t now) { m.gauge(reading, now); });
}

void OnScreenDisplay::gesture(std::string_view text) {
    update([&](DisplayModel& m, int64_t now) { m.gesture(text, now); });
}

void OnScreenDisplay::position(double share) {
    update([&](DisplayModel& m, int64_t now) { m.position(share, now); });
}

void OnScreenDisplay::helpPage(const std::vector<std::string>& japanese,
                               const std::vector<std::string>& english) {
    update([&](DisplayModel& m, int64_t now) { m.helpPage(japanese, english, now); }, true);
}

void OnScreenDisplay::question(const QuestionShown* shown) {
    update([&](DisplayModel& m, int64_t) {
        question_ = shown ? std::optional<QuestionShown>(*shown) : std::nullopt;
        m.question(shown);
    }, true);
}

void OnScreenDisplay::keyRead(int) {
    update([&](DisplayModel& m, int64_t) { (void)m.keyRead(); });
}

void OnScreenDisplay::cycleLevel() {
    update([&](DisplayModel& m, int64_t now) {
        m.cycleLevel(now);
        level_.store(m.level());
    });
}

void OnScreenDisplay::refresh() {
    if (std::this_thread::get_id() != owner_) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int64_t now = clock_.nowMicros();
        const bool timeChanged = drawnChange_ >= 0 && now >= drawnChange_;
        if (model_.version() == drawnVersion_ && !timeChanged) return;
        if (now - drawnAt_ < kRefreshMicros) return;  // microsUntilChange brings it back
        // Counted as drawn even if the window draws no overlay (drawOver counts it again).
        drawnVersion_ = model_.version();
        drawnChange_ = model_.nextChange(now);
        drawnAt_ = now;
    }
    ++refreshes_;
    screen_.redraw();
}

int64_t OnScreenDisplay::microsUntilChange() {
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t now = clock_.nowMicros();
    int64_t due = drawnChange_;
    if (model_.version() != drawnVersion_) due = now;  // an event not yet drawn
    if (due < 0) return -1;
    due = std::max(due, drawnAt_ + kRefreshMicros);
    return std::max<int64_t>(0, due - now);
}

bool OnScreenDisplay::visible() {
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t now = clock_.nowMicros();
    model_.advance(now);
    const bool anything = model_.anything();
    if (!anything) {
        painter_.nothingShown();
        drawnVersion_ = model_.version();
        drawnChange_ = -1;
        drawnAt_ = now;
    }
    return anything;
}

void OnScreenDisplay::drawOver(cv::Mat& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t now = clock_.nowMicros();
    model_.advance(now);
    const Scene scene = model_.scene(now);
    drawnVersion_ = model_.version();
    drawnChange_ = model_.nextChange(now);
    drawnAt_ = now;
    const cv::Rect promised = std::exchange(promised_, cv::Rect());
    // The window left out the picture under the page it was told of: a page that went since
    // (another thread changed the level) still leaves no hole.
    if (scene.helpPages == 0 && !promised.empty())
        target(promised & cv::Rect(cv::Point(0, 0), target.size()))
            .setTo(DisplayPainter::pageColour());
    painter_.paint(target, scene);
}

cv::Rect OnScreenDisplay::opaqueArea(cv::Size window) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Scene scene = model_.scene(clock_.nowMicros());
    promised_ = scene.helpPages == 0 ? cv::Rect() : DisplayPainter::helpPageArea(window);
    return promised_;
}

// Takes a key typed for `question`; true when it ends the line (ENTER).
bool OnScreenDisplay::typedKey(int key, const AskedQuestion&) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!question_) question_ = QuestionShown{};
    std::string& typed = question_->typed;
    if (key == kKeyBackspace) {
        // Whole UTF-8 characters go.
        while (!typed.empty() && (static_cast<unsigned char>(typed.back()) & 0xC0) == 0x80)
            typed.pop_back();
        if (!typed.empty()) typed.pop_back();
    } else if (key >= 32 && key <= 126) {
        typed += static_cast<char>(key);
    }
    model_.question(&*question_);
    return false;
}

std::optional<std::string> OnScreenDisplay::nextLine(const AskedQuestion& asked,
                                                     QuestionDesk& desk) {
    constexpr int kPollMs = 100;
    for (;;) {
        if (std::optional<std::string> delivered = desk.takeDelivered()) return delivered;
        desk.serve();
        refresh();
        const int64_t due = microsUntilChange();
        const int wait = due < 0 ? kPollMs : static_cast<int>(std::min<int64_t>(kPollMs, due / 1000 + 1));
        const int key = keys_.waitKey(wait);
        if (key == kNoKey) continue;
        if (key == kKeyEnter) {
            std::lock_guard<std::mutex> lock(mutex_);
            std::string line = question_ ? std::exchange(question_->typed, "") : "";
            if (question_) model_.question(&*question_);
            return line;
        }
        if (key == kKeyEsc) return std::nullopt;
        (void)typedKey(key, asked);
        refresh();
    }
}

int DisplayWindow::waitShowingChanges(int ms, bool wantKey) {
    const bool untilKey = wantKey && ms <= 0;
    for (;;) {
        display_.refresh();  // also when the loop waits a millisecond at a time
        const int64_t due = display_.microsUntilChange();
        const int step = due < 0 ? ms : static_cast<int>(due / 1000) + 1;
        if (due < 0 || (!untilKey && step >= ms)) {
            if (wantKey) return inner().waitKey(ms);
            inner().delay(ms);
            return kNoKey;
        }
        int key = kNoKey;
        if (wantKey)
            key = inner().waitKey(step);
        else
            inner().delay(step);
        if (key != kNoKey) return key;
        if (!untilKey) ms -= step;
    }
}

void DisplayWindow::delay(int ms) {
    (void)waitShowingChanges(ms, false);
}

int DisplayWindow::waitKey(int ms) {
    const int key = waitShowingChanges(ms, true);
    if (key != kNoKey) display_.keyRead(key);
    return key;
}

int DisplayWindow::peekKey(int ms) {
    display_.refresh();
    return inner().peekKey(ms);
}

}  // namespace kalvento
