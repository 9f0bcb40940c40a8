#include "core/events.h"

#include <algorithm>
#include <cstdarg>

#include "core/banners.h"

namespace kalvento {

namespace {

std::string formatted(const char* format, va_list args) {
    return vstrf(format, args);
}

}  // namespace

void Events::listen(EventListener* listener) {
    if (listener != nullptr) listeners_.push_back(listener);
}

void Events::stopListening(EventListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void Events::out(std::string_view text) {
    printer_.out(text);
    tell([&](EventListener& l) { l.message(text); });
}

void Events::err(std::string_view text) {
    printer_.err(text);
    tell([&](EventListener& l) { l.error(text); });
}

void Events::errorLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = formatted(format, args);
    va_end(args);
    printer_.out(text);
    tell([&](EventListener& l) { l.error(text); });
}

void Events::notice(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = formatted(format, args);
    va_end(args);
    printer_.out(text);
    tell([&](EventListener& l) { l.notice(text); });
}

void Events::banner(Banner banner, int indent) {
    const BannerArt& art = bannerArt(banner);
    const std::string margin(static_cast<size_t>(std::max(0, indent)), ' ');
    for (const char* row : art.rows) printer_.out(margin + row + "\n");
    tell([&](EventListener& l) { l.banner(banner); });
}

void Events::caption(std::string_view text) {
    tell([&](EventListener& l) { l.caption(text); });
}

void Events::setting(std::string english, std::string japanese) {
    const SettingChange change{std::move(english), std::move(japanese)};
    tell([&](EventListener& l) { l.setting(change); });
}

void Events::cameraMissing(const CameraMissing* missing) {
    tell([&](EventListener& l) { l.cameraMissing(missing); });
}

void Events::status(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = formatted(format, args);
    va_end(args);
    printer_.out(text);
    tell([&](EventListener& l) { l.status(text); });
}

void Events::links(const std::vector<std::string>& links) {
    tell([&](EventListener& l) { l.links(links); });
}

void Events::prompt(std::string_view text) {
    tell([&](EventListener& l) { l.prompt(text); });
}

void Events::gauge(const GaugeReading& reading, std::string_view line) {
    if (!line.empty()) printer_.out(line);
    tell([&](EventListener& l) { l.gauge(reading); });
}

void Events::gesture(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = formatted(format, args);
    va_end(args);
    printer_.out(text);
    tell([&](EventListener& l) { l.gesture(text); });
}

void Events::position(double share) {
    tell([&](EventListener& l) { l.position(share); });
}

void Events::helpPage(const std::vector<std::string>& japanese,
                      const std::vector<std::string>& english) {
    tell([&](EventListener& l) { l.helpPage(japanese, english); });
}

void Events::question(const QuestionShown* question) {
    tell([&](EventListener& l) { l.question(question); });
}

}  // namespace kalvento
