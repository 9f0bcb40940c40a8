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

}  // namespace

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

void DisplayModel::addLines(std::deque<Timed>& to, std::string_view text, int64_t now,
                            int64_t life) {
    for (std::string& line : linesOf(text)) to.push_back(Timed{std::move(line), now, life});
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
    const bool young = banner_ && !bannerUntilKey_ && now - bannerShownAt_ < kBannerHoldMicros;
    ++version_;
    if (young && !untilKey) {
        heldBanner_ = std::move(entry);
        return;
    }
    showBanner(std::move(entry), untilKey, now);
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

void DisplayModel::gauge(const GaugeReading& reading, int64_t now) {
    gauge_ = reading;
    gaugeSince_ = now;
    ++version_;
}

void DisplayModel::gesture(std::string_view text, int64_t now) {
    addLines(motion_, text, now, kMotionMicros);
    while (motion_.size() > kMotionLines) motion_.pop_front();
}

void DisplayModel::position(double share, int64_t now) {
    position_ = std::clamp(share, 0.0, 1.0);
    positionSince_ = now;
    ++version_;
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
    const bool removed = helpShown_ || (banner_ && bannerUntilKey_);
    helpShown_ = false;
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
    if (gauge_ && strength(gaugeSince_, kMotionMicros, now) <= 0) gauge_.reset();
    if (position_ && strength(positionSince_, kMotionMicros, now) <= 0) position_.reset();
}

bool DisplayModel::anything() const {
    if (level_ <= 0) return false;
    if (banner_ || heldBanner_ || !caption_.empty() || !notices_.empty() || question_ ||
        helpShown_ || !motion_.empty() || position_ || gauge_)
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
    scene.caption = caption_;
    if (level_ >= 3) {
        if (!prompt_.empty()) scene.top.push_back({prompt_, 1.0});
        if (!status_.empty()) scene.top.push_back({status_, 1.0});
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
