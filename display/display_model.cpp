#include "display/display_model.h"

#include <algorithm>
#include <cmath>

#include "core/banners.h"

namespace kalvento {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\a';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The lines of `text` that hold more than blanks, each without its outer blanks.
std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\n') {
            line += text[i];
            continue;
        }
        const std::string_view kept = trimmed(line);
        if (!kept.empty()) lines.emplace_back(kept);
        line.clear();
    }
    return lines;
}

int64_t earliest(int64_t a, int64_t b) {
    if (a < 0) return b;
    if (b < 0) return a;
    return std::min(a, b);
}

// The code point of the UTF-8 sequence at `text[i]`, moving `i` past it; a stray byte counts
// as itself.
char32_t nextCodePoint(std::string_view text, size_t& i) {
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length == 1 || i + static_cast<size_t>(length) > text.size()) return byte(i++);
    char32_t code = lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) code = (code << 6) | (byte(i + static_cast<size_t>(k)) & 0x3F);
    i += static_cast<size_t>(length);
    return code;
}

// What the keys do while a banner stands: under PAUSE! until a key, under FINISHED! as long
// as a notice.
struct BannerHint {
    Banner banner;
    const char* english;
    const char* japanese;
    bool untilKey;
};
constexpr BannerHint kBannerHints[] = {
    {Banner::Pause, "ENTER resumes, ESC quits", "ENTER で再開、ESC で終了", true},
    {Banner::Finished, "W saves the learned gestures; ESC ESC ends",
     "W で学習したジェスチャーを保存、ESC ESC で終了", false},
};

}  // namespace

bool holdsJapanese(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const char32_t code = nextCodePoint(text, i);
        if ((code >= 0x3000 && code <= 0x30FF) || (code >= 0x3400 && code <= 0x9FFF) ||
            (code >= 0xF900 && code <= 0xFAFF) || (code >= 0xFF00 && code <= 0xFFEF))
            return true;
    }
    return false;
}

std::string cameraSignOf(const CameraMissing& missing) {
    std::string sign = missing.neverOpened ? "NO CAMERA (never opened)" : "NO CAMERA";
    return sign + "  retries: " + std::to_string(missing.retries);
}

BannerShown bannerShownOf(Banner banner) {
    switch (banner) {
        case Banner::Stop:
            return {"STOP", BannerShown::Colour::Stop};
        case Banner::Go:
        case Banner::GoGo:
            return {bannerArt(banner).words, BannerShown::Colour::Go};
        case Banner::PauseOver:
            // Not "Go!": after a pause it must not look like the start of a learning run.
            return {"PLAY", BannerShown::Colour::Plain};
        default:
            return {bannerArt(banner).words, BannerShown::Colour::Plain};
    }
}

DisplayModel::DisplayModel(int level, HelpLanguage language)
    : level_(std::clamp(level, 0, kDisplayLevels - 1)), language_(language) {}

bool DisplayModel::speaks(std::string_view text) const {
    return language_ != HelpLanguage::English || !holdsJapanese(text);
}

void DisplayModel::addLines(std::deque<Timed>& to, std::string_view text, int64_t now,
                            int64_t life) {
    for (std::string& line : linesOf(text))
        if (speaks(line)) to.push_back(Timed{std::move(line), now, life});
    while (to.size() > kMessageLines) to.pop_front();
    ++version_;
}

void DisplayModel::message(std::string_view text, int64_t now) {
    addLines(messages_, text, now, kMessageMicros);
}

void DisplayModel::error(std::string_view text, int64_t now) {
    addLines(notices_, text, now, kNoticeMicros);
}

void DisplayModel::notice(std::string_view text, int64_t now) {
    addLines(notices_, text, now, kNoticeMicros);
}

void DisplayModel::banner(Banner which, int64_t now) {
    const bool untilKey = which == Banner::Pause;
    BannerEntry entry{bannerShownOf(which), now, untilKey ? 0 : kBannerMicros};
    if (banner_ && banner_->shown.words == entry.shown.words && !heldBanner_) {
        banner_->since = now;  // said again: it stays, and its hold counts from the first time
        return;
    }
    showHintOf(which, now);
    const bool young = banner_ && !bannerUntilKey_ && now - bannerShownAt_ < kBannerHoldMicros;
    ++version_;
    if (young && !untilKey) {
        heldBanner_ = std::move(entry);
        return;
    }
    showBanner(std::move(entry), untilKey, now);
}

void DisplayModel::showHintOf(Banner which, int64_t now) {
    for (const BannerHint& hint : kBannerHints) {
        if (hint.banner != which) continue;
        const char* words = language_ == HelpLanguage::English ? hint.english : hint.japanese;
        hint_ = Timed{words, now, hint.untilKey ? 0 : kNoticeMicros};
        ++version_;
    }
}

void DisplayModel::setting(const SettingChange& change, int64_t now) {
    const std::string& words =
        language_ == HelpLanguage::English || change.japanese.empty() ? change.english : change.japanese;
    if (words.empty()) return;
    BannerEntry entry{{words, BannerShown::Colour::Plain}, now, kBannerMicros};
    const bool young = banner_ && !bannerUntilKey_ && now - bannerShownAt_ < kBannerHoldMicros;
    ++version_;
    if (young && banner_->shown.words != words)
        heldBanner_ = std::move(entry);
    else
        showBanner(std::move(entry), false, now);
}

void DisplayModel::cameraMissing(const CameraMissing* missing) {
    std::optional<CameraMissing> now;
    if (missing != nullptr) now = *missing;
    if (now == cameraMissing_) return;
    cameraMissing_ = now;
    ++version_;
}

void DisplayModel::showBanner(BannerEntry entry, bool untilKey, int64_t now) {
    banner_ = std::move(entry);
    banner_->since = now;  // its time runs from when it shows
    bannerUntilKey_ = untilKey;
    bannerShownAt_ = now;
    heldBanner_.reset();
}

void DisplayModel::caption(std::string_view text) {
    caption_ = std::string(trimmed(text));
    // A run that ends leaves none of its countdown behind.
    if (caption_.empty()) heldBanner_.reset();
    ++version_;
}

void DisplayModel::status(std::string_view text) {
    status_ = std::string(trimmed(text));
    if (level_ >= 3) ++version_;
}

void DisplayModel::links(const std::vector<std::string>& links) {
    links_ = links;
    if (level_ >= 3) ++version_;
}

void DisplayModel::prompt(std::string_view text) {
    const std::string now(trimmed(text));
    if (now == prompt_) return;
    prompt_ = now;
    if (level_ >= 3) ++version_;
}

// Every reading keeps the gauge up for kMotionMicros, one that repeats the last as well: a
// still scene still gives readings. Only a changed one makes the display draw again.
void DisplayModel::gauge(const GaugeReading& reading, int64_t now) {
    if (gauge_ != reading) ++version_;
    gauge_ = reading;
    gaugeSince_ = now;
}

void DisplayModel::gesture(std::string_view text, int64_t now) {
    addLines(motion_, text, now, kMotionMicros);
    while (motion_.size() > kMotionLines) motion_.pop_front();
}

void DisplayModel::position(double share, int64_t now) {
    const double shown = std::clamp(share, 0.0, 1.0);
    if (position_ != shown) ++version_;
    position_ = shown;
    positionSince_ = now;
}

void DisplayModel::helpPage(const std::vector<std::string>& japanese,
                            const std::vector<std::string>& english, int64_t now) {
    japaneseHelp_ = japanese;
    englishHelp_ = english;
    helpShown_ = true;
    helpSince_ = now;
    ++version_;
}

void DisplayModel::question(const QuestionShown* question) {
    if (question != nullptr)
        question_ = QuestionShown{std::string(trimmed(question->prompt)), question->typed};
    else
        question_.reset();
    ++version_;
}

bool DisplayModel::keyRead() {
    const bool removed = helpShown_ || (banner_ && bannerUntilKey_) || (hint_ && hint_->life == 0);
    helpShown_ = false;
    if (hint_ && hint_->life == 0) hint_.reset();
    if (bannerUntilKey_) banner_.reset();
    bannerUntilKey_ = false;
    if (removed) ++version_;
    return removed;
}

void DisplayModel::setLevel(int level, int64_t now) {
    level_ = std::clamp(level, 0, kDisplayLevels - 1);
    // The new level shows for a moment, in place of any banner.
    showBanner(BannerEntry{{"OSD level " + std::to_string(level_), BannerShown::Colour::Plain},
                           now,
                           kLevelBannerMicros},
               false, now);
    ++version_;
}

double DisplayModel::strength(int64_t since, int64_t life, int64_t now) {
    if (life <= 0) return 1.0;
    const int64_t left = since + life - now;
    if (left <= 0) return 0.0;
    if (left >= kFadeMicros) return 1.0;
    const double share = static_cast<double>(left) / kFadeMicros;
    return std::ceil(share * kFadeSteps) / kFadeSteps;
}

// The next time after `now` at which strength() of a piece changes; -1 for never.
int64_t DisplayModel::nextStepOf(int64_t since, int64_t life, int64_t now) {
    if (life <= 0) return -1;
    const int64_t end = since + life;
    if (now >= end) return -1;
    const int64_t fadeStart = end - kFadeMicros;
    if (now < fadeStart) return fadeStart;
    // strength() steps down when the time left reaches a whole number of fade steps.
    const int64_t step = kFadeMicros / kFadeSteps;
    return end - (end - now - 1) / step * step;
}

void DisplayModel::advance(int64_t now) {
    const auto gone = [&](const Timed& line) { return strength(line.since, line.life, now) <= 0; };
    for (std::deque<Timed>* lines : {&notices_, &messages_, &motion_}) {
        while (!lines->empty() && gone(lines->front())) lines->pop_front();
    }
    if (heldBanner_ && (!banner_ || now - bannerShownAt_ >= kBannerHoldMicros))
        showBanner(std::move(*heldBanner_), false, now);
    if (banner_ && strength(banner_->since, banner_->life, now) <= 0) banner_.reset();
    if (hint_ && strength(hint_->since, hint_->life, now) <= 0) hint_.reset();
    if (gauge_ && strength(gaugeSince_, kMotionMicros, now) <= 0) gauge_.reset();
    if (position_ && strength(positionSince_, kMotionMicros, now) <= 0) position_.reset();
}

bool DisplayModel::anything() const {
    if (level_ <= 0) return false;
    if (banner_ || heldBanner_ || !caption_.empty() || !notices_.empty() || question_ ||
        helpShown_ || !motion_.empty() || position_ || gauge_ || hint_ || cameraMissing_)
        return true;
    if (level_ >= 2 && !messages_.empty()) return true;
    return level_ >= 3 && (!status_.empty() || !prompt_.empty() || !links_.empty());
}

const std::vector<std::string>& DisplayModel::pageLines() const {
    const bool english = language_ == HelpLanguage::English && !englishHelp_.empty();
    return english ? englishHelp_ : japaneseHelp_;
}

Scene DisplayModel::scene(int64_t now) const {
    Scene scene;
    scene.level = level_;
    if (level_ <= 0) return scene;
    if (banner_) {
        scene.banner = banner_->shown;
        scene.bannerStrength = strength(banner_->since, banner_->life, now);
    }
    scene.caption = speaks(caption_) ? caption_ : "";
    if (hint_) scene.hint = {hint_->text, strength(hint_->since, hint_->life, now)};
    if (cameraMissing_) scene.sign = cameraSignOf(*cameraMissing_);
    if (level_ >= 3) {
        if (!prompt_.empty() && speaks(prompt_)) scene.top.push_back({prompt_, 1.0});
        if (!status_.empty() && speaks(status_)) scene.top.push_back({status_, 1.0});
        for (const std::string& link : links_) scene.top.push_back({link, 1.0});
    }
    for (const Timed& line : motion_)
        scene.top.push_back({line.text, strength(line.since, line.life, now)});
    std::vector<const Timed*> bottom;
    for (const Timed& line : notices_) bottom.push_back(&line);
    if (level_ >= 2)
        for (const Timed& line : messages_) bottom.push_back(&line);
    std::stable_sort(bottom.begin(), bottom.end(),
                     [](const Timed* a, const Timed* b) { return a->since < b->since; });
    if (bottom.size() > kMessageLines) bottom.erase(bottom.begin(), bottom.end() - kMessageLines);
    for (const Timed* line : bottom)
        scene.bottom.push_back({line->text, strength(line->since, line->life, now)});
    if (gauge_) {
        scene.gauge = gauge_;
        scene.gaugeStrength = strength(gaugeSince_, kMotionMicros, now);
    }
    if (position_) {
        scene.position = position_;
        scene.positionStrength = strength(positionSince_, kMotionMicros, now);
    }
    if (helpShown_) {
        const std::vector<std::string>& lines = pageLines();
        const size_t pages = std::max<size_t>(1, (lines.size() + kHelpLinesPerPage - 1) / kHelpLinesPerPage);
        const size_t page = static_cast<size_t>((now - helpSince_) / kHelpPageMicros) % pages;
        const size_t first = page * kHelpLinesPerPage;
        const size_t last = std::min(lines.size(), first + kHelpLinesPerPage);
        scene.helpPage.assign(lines.begin() + static_cast<std::ptrdiff_t>(first),
                              lines.begin() + static_cast<std::ptrdiff_t>(last));
        scene.helpPageNumber = static_cast<int>(page) + 1;
        scene.helpPages = static_cast<int>(pages);
    }
    if (question_) scene.question = question_->prompt + " " + question_->typed + "_";
    return scene;
}

int64_t DisplayModel::nextChange(int64_t now) const {
    if (level_ <= 0) return -1;
    int64_t next = -1;
    for (const std::deque<Timed>* lines : {&notices_, &messages_, &motion_})
        for (const Timed& line : *lines) next = earliest(next, nextStepOf(line.since, line.life, now));
    if (banner_) next = earliest(next, nextStepOf(banner_->since, banner_->life, now));
    if (hint_) next = earliest(next, nextStepOf(hint_->since, hint_->life, now));
    if (heldBanner_) next = earliest(next, std::max(now + 1, bannerShownAt_ + kBannerHoldMicros));
    if (gauge_) next = earliest(next, nextStepOf(gaugeSince_, kMotionMicros, now));
    if (position_) next = earliest(next, nextStepOf(positionSince_, kMotionMicros, now));
    if (helpShown_ && pageLines().size() > kHelpLinesPerPage)
        next = earliest(next, helpSince_ + ((now - helpSince_) / kHelpPageMicros + 1) * kHelpPageMicros);
    return next;
}

int64_t DisplayModel::microsUntilHeldBanner(int64_t now) const {
    if (!heldBanner_) return -1;
    return std::max<int64_t>(0, bannerShownAt_ + kBannerHoldMicros - now);
}

}  // namespace kalvento
