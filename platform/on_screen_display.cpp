#include "platform/on_screen_display.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "platform/display_drawing.h"

namespace kalvento {

namespace {

constexpr int64_t kMotionMicros = 2000000;
constexpr size_t kMotionLines = 3;
constexpr double kBacking = 0.55;  // how much the backing darkens the picture
const cv::Scalar kWhite(255, 255, 255);
const cv::Scalar kBarColour(0, 200, 0);
const cv::Scalar kPageColour(40, 24, 16);
const cv::Scalar kGaugeColour(0, 170, 255);
constexpr int kGaugeBars = 4;
constexpr int kGaugeReach = 18;  // a mark of the gauge's text lies 0 .. 18 into its segment
constexpr size_t kGaugeSegment = 20;

std::string_view trimmed(std::string_view text) {
    const size_t begin = text.find_first_not_of(" \t\r\n\a");
    if (begin == std::string_view::npos) return {};
    const size_t end = text.find_last_not_of(" \t\r\n\a");
    return text.substr(begin, end - begin + 1);
}

// The lines of `text` that hold more than blanks, each without its outer blanks.
std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trimmed(text.substr(start, end - start));
        if (!line.empty()) lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

bool isErrorLine(const std::string& line) {
    return line.find("ERROR") != std::string::npos;
}

cv::Scalar bannerColour(const std::string& words) {
    if (words == "STOP") return cv::Scalar(60, 60, 255);
    if (words.rfind("Go!", 0) == 0) return cv::Scalar(90, 255, 90);
    return cv::Scalar(80, 230, 255);
}

}  // namespace

OnScreenDisplay::OnScreenDisplay(TextRenderer& text, Clock& clock, Window& screen, Window& keys,
                                 int level, bool answerInWindow)
    : text_(text),
      clock_(clock),
      screen_(screen),
      keys_(keys),
      answerInWindow_(answerInWindow),
      owner_(std::this_thread::get_id()),
      level_(std::clamp(level, 0, kDisplayLevels - 1)) {}

void OnScreenDisplay::setLevel(int level) {
    level_.store(std::clamp(level, 0, kDisplayLevels - 1));
    changed(true);
}

void OnScreenDisplay::hear(Say what, std::string_view text) {
    bool redraw = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        redraw = hearLocked(what, text, clock_.nowMicros());
    }
    changed(redraw);
}

void OnScreenDisplay::hearError(std::string_view text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        addLines(notices_, text, clock_.nowMicros(), kNoticeMicros);
    }
    changed(true);
}

bool OnScreenDisplay::hearLocked(Say what, std::string_view text, int64_t now) {
    bool urgent = what == Say::Notice || what == Say::Banner || what == Say::Caption ||
                  what == Say::HelpPage;
    switch (what) {
        case Say::Message:
            urgent = hearMessage(text, now);
            break;
        case Say::Notice:
            addLines(notices_, text, now, kNoticeMicros);
            break;
        case Say::Banner:
            if (collectingHelp_)
                helpCollected_.emplace_back(text);
            else
                hearBanner(text, now);
            break;
        case Say::Caption:
            caption_ = std::string(trimmed(text));
            break;
        case Say::Status:
            status_ = std::string(trimmed(text));
            break;
        case Say::Prompt:
            prompt_ = std::string(trimmed(text));
            break;
        case Say::Gauge:
            gauge_ = gaugeOf(text, now);
            break;
        case Say::Gesture:
            addLines(motion_, text, now, kMotionMicros);
            while (motion_.size() > kMotionLines) motion_.pop_front();
            break;
        case Say::PositionBar:
            positionShare_ = std::clamp(std::atof(std::string(text).c_str()), 0.0, 1.0);
            positionBar_ = Line{"", now, kMotionMicros};
            break;
        case Say::HelpBegin:
            collectingHelp_ = true;
            helpCollected_.clear();
            break;
        case Say::HelpEnd:
            collectingHelp_ = false;
            lastHelp_ = std::move(helpCollected_);
            helpCollected_.clear();
            break;
        case Say::HelpPage:
            helpPage_ = lastHelp_;
            helpLayout_ = HelpLayout{};
            break;
        case Say::BannerRows:
            break;  // the banner's words say it
    }
    while (messages_.size() > kMessageLines) messages_.pop_front();
    while (notices_.size() > kMessageLines) notices_.pop_front();
    return urgent && !collectingHelp_;
}

void OnScreenDisplay::hearBanner(std::string_view text, int64_t now) {
    const bool untilKey = text == "PAUSE!";
    Line line{std::string(text), now, untilKey ? 0 : kBannerMicros};
    if (banner_ && banner_->text == line.text && !heldBanner_) {
        banner_->since = now;  // said again: it stays, and its hold counts from the first time
        return;
    }
    const bool young = banner_ && !bannerUntilKey_ && now - bannerShownAt_ < kBannerHoldMicros;
    if (young && !untilKey) {
        heldBanner_ = std::move(line);
        return;
    }
    banner_ = std::move(line);
    bannerUntilKey_ = untilKey;
    bannerShownAt_ = now;
    heldBanner_.reset();
}

int64_t OnScreenDisplay::microsUntilHeldBanner() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!heldBanner_) return -1;
    return std::max<int64_t>(0, bannerShownAt_ + kBannerHoldMicros - clock_.nowMicros());
}

void OnScreenDisplay::showHeldBannerIfDue() {
    if (microsUntilHeldBanner() == 0) changed(true);
}

bool OnScreenDisplay::hearMessage(std::string_view text, int64_t now) {
    bool error = false;
    for (std::string& line : linesOf(text)) {
        if (collectingHelp_) {
            helpCollected_.push_back(std::move(line));
            continue;
        }
        const bool errorLine = isErrorLine(line);
        error = error || errorLine;
        (errorLine ? notices_ : messages_)
            .push_back(Line{std::move(line), now, errorLine ? kNoticeMicros : kMessageMicros});
    }
    return error;
}

// The gauge line "[clip/count] gauge": the count in words, and how far into each of the
// first four segments of the gauge its mark '#' lies.
OnScreenDisplay::Gauge OnScreenDisplay::gaugeOf(std::string_view text, int64_t now) {
    const size_t end = text.find("] ");
    const std::string_view marks = end == std::string_view::npos ? text : text.substr(end + 2);
    Gauge gauge;
    gauge.line =
        Line{std::string(trimmed(text.substr(0, end == std::string_view::npos ? 0 : end + 1))), now,
             kMotionMicros};
    for (size_t bar = 0; bar < gauge.marks.size(); ++bar) {
        const size_t at = bar * kGaugeSegment;
        const size_t mark = at < marks.size() ? marks.substr(at, kGaugeReach + 1).find('#')
                                              : std::string_view::npos;
        gauge.marks[bar] = mark == std::string_view::npos ? -1 : static_cast<int>(mark);
    }
    return gauge;
}

void OnScreenDisplay::addLines(std::deque<Line>& to, std::string_view text, int64_t now,
                               int64_t life) {
    for (std::string& line : linesOf(text)) to.push_back(Line{std::move(line), now, life});
}

void OnScreenDisplay::keyRead(int) {
    bool removed = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        removed = !helpPage_.empty() || (banner_ && bannerUntilKey_);
        helpPage_.clear();
        if (bannerUntilKey_) banner_.reset();
        bannerUntilKey_ = false;
    }
    changed(removed);
}

void OnScreenDisplay::changed(bool redraw) {
    if (redraw && std::this_thread::get_id() == owner_) screen_.redraw();
}

double OnScreenDisplay::opacity(const Line& line, int64_t now) const {
    if (line.life <= 0) return 1.0;
    const int64_t left = line.since + line.life - now;
    if (left <= 0) return 0.0;
    return left >= kFadeMicros ? 1.0 : static_cast<double>(left) / kFadeMicros;
}

void OnScreenDisplay::forgetOld(int64_t now) {
    const auto gone = [&](const Line& line) { return opacity(line, now) <= 0.0; };
    for (std::deque<Line>* lines : {&notices_, &messages_, &motion_})
        while (!lines->empty() && gone(lines->front())) lines->pop_front();
    if (heldBanner_ && (!banner_ || now - bannerShownAt_ >= kBannerHoldMicros)) {
        banner_ = std::move(heldBanner_);
        banner_->since = now;  // its time runs from when it shows
        bannerUntilKey_ = false;
        bannerShownAt_ = now;
        heldBanner_.reset();
    }
    if (banner_ && gone(*banner_)) banner_.reset();
    if (positionBar_ && gone(*positionBar_)) positionBar_.reset();
    if (gauge_ && gone(gauge_->line)) gauge_.reset();
}

bool OnScreenDisplay::anythingLocked(int64_t) const {
    const int shown = level();
    if (shown <= 0) return false;
    if (banner_ || heldBanner_ || !caption_.empty() || !notices_.empty() || question_ ||
        !helpPage_.empty() || !motion_.empty() || positionBar_ || gauge_)
        return true;
    if (shown >= 2 && !messages_.empty()) return true;
    return shown >= 3 && (!status_.empty() || !prompt_.empty());
}

bool OnScreenDisplay::visible() {
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t now = clock_.nowMicros();
    forgetOld(now);
    const bool anything = anythingLocked(now);
    if (!anything) tiles_.endPicture();  // a picture without the display keeps no tiles
    return anything;
}

void OnScreenDisplay::questionChanged(const AskedQuestion* question) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (question != nullptr)
            question_ = std::string(trimmed(question->prompt));
        else
            question_.reset();
        typed_.clear();
    }
    changed(true);
}

std::optional<std::string> OnScreenDisplay::nextLine(const AskedQuestion&, QuestionDesk& desk) {
    constexpr int kPollMs = 100;
    for (;;) {
        if (std::optional<std::string> delivered = desk.takeDelivered()) return delivered;
        const int key = keys_.waitKey(kPollMs);
        if (key == kNoKey) continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (key == kKeyEnter) {
                std::string line = std::move(typed_);
                typed_.clear();
                return line;
            }
            if (key == kKeyEsc) return std::nullopt;
            if (key == kKeyBackspace) {
                // Whole UTF-8 characters go.
                while (!typed_.empty() &&
                       (static_cast<unsigned char>(typed_.back()) & 0xC0) == 0x80)
                    typed_.pop_back();
                if (!typed_.empty()) typed_.pop_back();
            } else if (key >= 32 && key <= 126) {
                typed_ += static_cast<char>(key);
            }
        }
        if (key == kKeyDisplayLevel)
            cycleLevel();
        else
            changed(true);
    }
}

// --- Drawing ---------------------------------------------------------------------------------
// Sizes follow the window: a text line is a 36th of its height, a banner a quarter. Every
// piece is a tile composed once for what it shows (its words, size, colour and fading step)
// and laid over each picture while it stays the same.

namespace {

int lineSize(const cv::Mat& target) {
    return std::max(12, target.rows / 36);
}

// Fading goes in this many steps, so a fading line is composed a bounded number of times.
constexpr int kFadeSteps = 32;

double fadeStep(double strength) {
    return std::round(std::clamp(strength, 0.0, 1.0) * kFadeSteps) / kFadeSteps;
}

std::string keyOf(std::initializer_list<std::string_view> parts) {
    std::string key;
    for (std::string_view part : parts) {
        key += part;
        key += '\x1f';
    }
    return key;
}

}  // namespace

void OnScreenDisplay::lay(cv::Mat& target, const std::string& key, cv::Rect area,
                          const std::function<void(OverlayTile&)>& compose) {
    if (area.empty()) return;
    tiles_.tile(key, area.size(), target.channels(), compose).layOver(target, area.tl());
}

void OnScreenDisplay::drawOver(cv::Mat& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t now = clock_.nowMicros();
    const cv::Rect promised = std::exchange(promised_, cv::Rect());
    const bool page = level() > 0 && !helpPage_.empty();
    // The window left out the picture under the page it was told of: a page that went since
    // (another thread changed the level) still leaves no hole.
    if (!page && !promised.empty())
        target(promised & cv::Rect(cv::Point(0, 0), target.size())).setTo(kPageColour);
    if (level() <= 0) return;
    const int unit = lineSize(target);
    if (page) drawHelpPage(target);
    const int below = drawLines(target, topLines(now), unit, cv::Point(unit, unit / 2), false);
    if (gauge_) drawGauge(target, cv::Point(unit, below), now);
    const int barSpace = positionBar_ ? unit * 2 : unit / 2;
    drawLines(target, bottomLines(now), unit, cv::Point(unit, target.rows - barSpace), true);
    if (positionBar_) drawPositionBar(target, now);
    drawBanner(target, now);
    if (question_) drawQuestion(target);
    tiles_.endPicture();
}

// A line of text on a dark backing `pad` wider on each side, both at `strength`.
void OnScreenDisplay::drawBacked(cv::Mat& target, const std::string& words, int size, cv::Point at,
                                 int pad, cv::Scalar colour, double strength) {
    const cv::Mat& mask = text_.line(words, size);
    const double shown = fadeStep(strength);
    if (mask.empty() || shown <= 0.0) return;
    const cv::Rect area(at.x - pad, at.y, mask.cols + 2 * pad, mask.rows);
    const std::string key = keyOf({"line", std::to_string(size), std::to_string(pad),
                                   std::to_string(shown), std::to_string(colour[0]),
                                   std::to_string(colour[1]), std::to_string(colour[2]), words});
    lay(target, key, area, [&](OverlayTile& tile) {
        tile.fill(cv::Rect(cv::Point(0, 0), area.size()), cv::Scalar(0, 0, 0), kBacking * shown);
        tile.ink(mask, cv::Point(pad, 0), colour, shown);
    });
}

int OnScreenDisplay::drawLines(cv::Mat& target,
                               const std::vector<std::pair<std::string, double>>& lines, int size,
                               cv::Point at, bool fromBottom) {
    const int pad = std::max(2, size / 5);
    int y = at.y;
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto& [words, strength] = fromBottom ? lines[lines.size() - 1 - i] : lines[i];
        const cv::Mat& mask = text_.line(words, size);
        if (mask.empty()) continue;
        const int top = fromBottom ? y - mask.rows : y;
        drawBacked(target, words, size, cv::Point(at.x, top), pad, kWhite, strength);
        y = fromBottom ? top : top + mask.rows;
    }
    return y;
}

std::vector<std::pair<std::string, double>> OnScreenDisplay::topLines(int64_t now) const {
    std::vector<std::pair<std::string, double>> lines;
    if (level() >= 3) {
        if (!prompt_.empty()) lines.emplace_back(prompt_, 1.0);
        if (!status_.empty()) lines.emplace_back(status_, 1.0);
    }
    for (const Line& line : motion_) lines.emplace_back(line.text, opacity(line, now));
    return lines;
}

// Notices and, from level 2, messages, in the order they came, newest last.
std::vector<std::pair<std::string, double>> OnScreenDisplay::bottomLines(int64_t now) const {
    std::vector<const Line*> all;
    for (const Line& line : notices_) all.push_back(&line);
    if (level() >= 2)
        for (const Line& line : messages_) all.push_back(&line);
    std::stable_sort(all.begin(), all.end(),
                     [](const Line* a, const Line* b) { return a->since < b->since; });
    if (all.size() > kMessageLines) all.erase(all.begin(), all.end() - kMessageLines);
    std::vector<std::pair<std::string, double>> lines;
    for (const Line* line : all) lines.emplace_back(line->text, opacity(*line, now));
    return lines;
}

void OnScreenDisplay::drawBanner(cv::Mat& target, int64_t now) {
    const int unit = lineSize(target);
    int below = target.rows / 6;  // where the caption goes without a banner
    if (banner_) {
        int size = target.rows / 4;
        const int room = target.cols * 9 / 10;
        const int wide = text_.line(banner_->text, size).cols;
        if (wide > room) size = size * room / wide;
        const cv::Mat& mask = text_.line(banner_->text, size);
        const cv::Point at((target.cols - mask.cols) / 2, (target.rows * 2 / 5) - mask.rows / 2);
        drawBacked(target, banner_->text, size, at, unit, bannerColour(banner_->text),
                   opacity(*banner_, now));
        below = at.y + mask.rows + unit / 2;
    }
    if (caption_.empty()) return;
    const cv::Mat& mask = text_.line(caption_, unit * 3 / 2);
    drawBacked(target, caption_, unit * 3 / 2, cv::Point((target.cols - mask.cols) / 2, below),
               unit / 2, kWhite, 1.0);
}

void OnScreenDisplay::drawQuestion(cv::Mat& target) {
    const int unit = lineSize(target);
    const std::string words = *question_ + " " + typed_ + "_";
    int size = unit * 3 / 2;
    const int room = target.cols * 9 / 10;
    const int wide = text_.line(words, size).cols;
    if (wide > room) size = size * room / wide;
    const cv::Mat& mask = text_.line(words, size);
    const cv::Point at((target.cols - mask.cols) / 2, target.rows * 3 / 4 - mask.rows / 2);
    const cv::Rect box(at.x - unit, at.y - unit / 2, mask.cols + 2 * unit, mask.rows + unit);
    lay(target, keyOf({"question", std::to_string(size), std::to_string(unit), words}), box,
        [&](OverlayTile& tile) {
            tile.fill(cv::Rect(cv::Point(0, 0), box.size()), cv::Scalar(60, 20, 0), 0.8);
            tile.ink(mask, cv::Point(unit, unit / 2), kWhite, 1.0);
        });
}

// A bar over the bottom of the window: a dark track, filled from the left as far as the
// share of the clips passed.
void OnScreenDisplay::drawPositionBar(cv::Mat& target, int64_t now) {
    const int unit = lineSize(target);
    const double shown = fadeStep(opacity(*positionBar_, now));
    if (shown <= 0.0) return;
    const cv::Rect track(target.cols / 20, target.rows - unit * 3 / 2, target.cols * 9 / 10, unit);
    const int done = static_cast<int>(track.width * positionShare_);
    lay(target, keyOf({"bar", std::to_string(shown), std::to_string(done)}), track,
        [&](OverlayTile& tile) {
            tile.fill(cv::Rect(cv::Point(0, 0), track.size()), cv::Scalar(0, 0, 0), 0.7 * shown);
            tile.fill(cv::Rect(0, 0, done, track.height), kBarColour, shown);
        });
}

// The gesture gauge: the clip count, then a bar for each of the phase, the acceleration, the
// width and the speed, filled as far as the gauge's mark, on a dark backing.
void OnScreenDisplay::drawGauge(cv::Mat& target, cv::Point at, int64_t now) {
    const int unit = lineSize(target);
    const double shown = fadeStep(opacity(gauge_->line, now));
    const cv::Mat& count = text_.line(gauge_->line.text, unit);
    if (count.empty() || shown <= 0.0) return;
    const int pad = std::max(2, unit / 5);
    const int barWidth = unit * 4;
    const int barHeight = std::max(4, count.rows / 2);
    const int barTop = (count.rows - barHeight) / 2;
    std::string key =
        keyOf({"gauge", std::to_string(unit), std::to_string(shown), gauge_->line.text});
    for (int mark : gauge_->marks) key += std::to_string(mark) + ",";
    const cv::Rect area(at.x - pad, at.y, pad * 3 + count.cols + kGaugeBars * (barWidth + unit),
                        count.rows);
    lay(target, key, area, [&](OverlayTile& tile) {
        tile.fill(cv::Rect(cv::Point(0, 0), area.size()), cv::Scalar(0, 0, 0), kBacking * shown);
        tile.ink(count, cv::Point(pad, 0), kWhite, shown);
        int x = pad * 2 + count.cols + unit / 2;
        for (int mark : gauge_->marks) {
            const cv::Rect bar(x, barTop, barWidth, barHeight);
            tile.fill(bar, cv::Scalar(90, 90, 90), shown);
            if (mark >= 0)
                tile.fill(cv::Rect(x, barTop, barWidth * (mark + 1) / (kGaugeReach + 1), barHeight),
                          kGaugeColour, shown);
            x += barWidth + unit;
        }
    });
}

// The help page, an opaque page over the picture (cheaper to lay than a translucent one, and
// better read): one column of lines, or two when one does not fit; the letters shrink until
// every line fits its column.
void OnScreenDisplay::layOutHelp(cv::Size window) {
    if (helpLayout_.window == window && helpLayout_.size > 0) return;
    const int unit = std::max(12, window.height / 36);
    const int height = window.height * 19 / 20;
    const int width = window.width * 19 / 20;
    const int lines = std::max(1, static_cast<int>(helpPage_.size()));
    int size = std::min(unit, height * 10 / (lines * 13));
    const int columns = size < unit * 3 / 4 ? 2 : 1;
    const int rows = (lines + columns - 1) / columns;
    size = std::min(unit, height * 10 / (rows * 13));
    const int columnWidth = width / columns - size;
    int widest = 1;
    for (const std::string& line : helpPage_) widest = std::max(widest, text_.width(line, size));
    if (widest > columnWidth) size = std::max(6, size * columnWidth / widest);
    helpLayout_ = HelpLayout{window, size, columns, rows};
}

cv::Rect OnScreenDisplay::helpPageArea(cv::Size window) {
    return cv::Rect(window.width / 40, window.height / 40, window.width * 19 / 20,
                    window.height * 19 / 20);
}

cv::Rect OnScreenDisplay::opaqueArea(cv::Size window) {
    std::lock_guard<std::mutex> lock(mutex_);
    promised_ = level() <= 0 || helpPage_.empty() ? cv::Rect() : helpPageArea(window);
    return promised_;
}

void OnScreenDisplay::drawHelpPage(cv::Mat& target) {
    layOutHelp(target.size());
    const cv::Rect page = helpPageArea(target.size());
    const HelpLayout& layout = helpLayout_;
    std::string key = keyOf({"help", std::to_string(layout.size), std::to_string(layout.columns)});
    for (const std::string& line : helpPage_) key += line + "\n";
    lay(target, key, page, [&](OverlayTile& tile) {
        tile.fill(cv::Rect(cv::Point(0, 0), page.size()), kPageColour, 1.0);
        const int step = std::max(1, page.height / std::max(1, layout.rows));
        for (size_t i = 0; i < helpPage_.size(); ++i) {
            const int row = static_cast<int>(i) % layout.rows;
            const int column = static_cast<int>(i) / layout.rows;
            const cv::Point at(layout.size / 2 + column * (page.width / layout.columns),
                               row * step);
            tile.ink(text_.line(helpPage_[i], layout.size), at, kWhite, 1.0);
        }
    });
}

void DisplayConsole::out(std::string_view text) {
    inner_.out(text);
    display_.hear(Say::Message, text);
}

void DisplayConsole::err(std::string_view text) {
    inner_.err(text);
    display_.hearError(text);
}

void DisplayConsole::write(Say what, std::string_view text) {
    inner_.write(what, text);
    display_.hear(what, text);
}

int DisplayWindow::waitShowingBanners(int ms, bool wantKey) {
    for (;;) {
        display_.showHeldBannerIfDue();  // also when the loop waits a millisecond at a time
        const int64_t due = display_.microsUntilHeldBanner();
        const bool untilKey = wantKey && ms <= 0;
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
    (void)waitShowingBanners(ms, false);
}

int DisplayWindow::waitKey(int ms) {
    for (;;) {
        const int key = waitShowingBanners(ms, true);
        if ((key & 0xFF) == kKeyDisplayLevel) {
            display_.cycleLevel();
            if (ms > 0) return kNoKey;
            continue;
        }
        if (key != kNoKey) display_.keyRead(key);
        return key;
    }
}

int DisplayWindow::peekKey(int ms) {
    const int key = inner().peekKey(ms);
    if ((key & 0xFF) != kKeyDisplayLevel) return key;
    (void)inner().waitKey(1);
    display_.cycleLevel();
    return kNoKey;
}

}  // namespace kalvento
