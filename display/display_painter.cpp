#include "display/display_painter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kalvento {

namespace {

constexpr double kBacking = 0.55;  // how much the backing darkens the picture
const cv::Scalar kWhite(255, 255, 255);
const cv::Scalar kBarColour(0, 200, 0);
const cv::Scalar kPageColour(40, 24, 16);
const cv::Scalar kGaugeColour(0, 170, 255);
const cv::Scalar kOverColour(60, 60, 255);
const cv::Scalar kTrackColour(90, 90, 90);
constexpr int kGaugeBars = 4;

int lineSize(const cv::Mat& target) {
    return std::max(12, target.rows / 36);
}

// Lines a person reads from two metres away (notices, errors, messages, the key hints): a
// 30th of the height, never under kReadablePixels, however small the window.
constexpr int kReadablePixels = 24;
int readableSize(const cv::Mat& target) {
    return std::max(kReadablePixels, target.rows / 30);
}

// The length of the UTF-8 sequence that starts with `lead`.
size_t sequenceLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

cv::Scalar bannerColour(BannerShown::Colour colour) {
    switch (colour) {
        case BannerShown::Colour::Stop:
            return cv::Scalar(60, 60, 255);
        case BannerShown::Colour::Go:
            return cv::Scalar(90, 255, 90);
        case BannerShown::Colour::Plain:
            break;
    }
    return cv::Scalar(80, 230, 255);
}

// The gauge's clip count as the console prints it, "[   12/  100]".
std::string countText(int clip, int count) {
    char text[40];
    std::snprintf(text, sizeof text, "[%5d/%5d]", clip, count);
    return text;
}

// The gauge's words: its count, with the motion display also the motion amount and the
// threshold, "[   12/  100]  motion      0 / 36670".
std::string gaugeText(const GaugeReading& gauge) {
    std::string text = countText(gauge.clip, gauge.count);
    if (gauge.motion >= 0)
        text += "  motion " + std::to_string(gauge.motion) + " / " + std::to_string(gauge.threshold);
    return text;
}

std::string pageNumberText(int page, int pages) {
    return std::to_string(page) + " / " + std::to_string(pages);
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

const cv::Scalar& DisplayPainter::pageColour() {
    return kPageColour;
}

// `text` broken into lines no wider than `room` at `size`: at blanks where it can, inside a
// word (between whole characters) where a word alone is too wide.
const std::vector<std::string>& DisplayPainter::wrapped(const std::string& text, int size, int room) {
    const std::string key = keyOf({std::to_string(size), std::to_string(room), text});
    if (auto kept = wrapped_.find(key); kept != wrapped_.end()) return kept->second;
    if (wrapped_.size() > kKeptWraps) wrapped_.clear();
    if (text_.width(text, size) <= room) return wrapped_[key] = {text};
    std::vector<std::string> lines;
    std::string line;
    size_t lastBlank = std::string::npos;  // in `line`
    for (size_t i = 0; i < text.size();) {
        const size_t length = std::min(sequenceLength(static_cast<unsigned char>(text[i])),
                                       text.size() - i);
        const std::string next = line + text.substr(i, length);
        if (line.empty() || text_.width(next, size) <= room) {
            if (text[i] == ' ') lastBlank = line.size();
            line = next;
            i += length;
            continue;
        }
        if (lastBlank != std::string::npos && lastBlank > 0) {
            lines.push_back(line.substr(0, lastBlank));
            line = line.substr(lastBlank + 1);
        } else {
            lines.push_back(line);
            line.clear();
        }
        lastBlank = line.rfind(' ');
    }
    if (!line.empty()) lines.push_back(line);
    return wrapped_[key] = std::move(lines);
}

void DisplayPainter::lay(cv::Mat& target, const std::string& key, cv::Rect area,
                         const std::function<void(OverlayTile&)>& compose) {
    if (area.empty()) return;
    tiles_.tile(key, area.size(), target.channels(), compose).layOver(target, area.tl());
}

void DisplayPainter::paint(cv::Mat& target, const Scene& scene) {
    if (scene.level <= 0) return;
    const int unit = lineSize(target);
    if (scene.helpPages > 0) drawHelpPage(target, scene);
    const int below = drawLines(target, scene.top, unit, cv::Point(unit, unit / 2), false);
    if (scene.gauge) drawGauge(target, cv::Point(unit, below), *scene.gauge, scene.gaugeStrength);
    const int barSpace = scene.position ? unit * 2 : unit / 2;
    drawLines(target, scene.bottom, readableSize(target), cv::Point(unit, target.rows - barSpace),
              true);
    if (!scene.sign.empty()) drawSign(target, scene.sign);
    if (scene.position) drawPositionBar(target, *scene.position, scene.positionStrength);
    drawBanner(target, scene);
    if (scene.question) drawQuestion(target, *scene.question);
    tiles_.endPicture();
}

// A line of text on a dark backing `pad` wider on each side, both at `strength`.
void DisplayPainter::drawBacked(cv::Mat& target, const std::string& words, int size, cv::Point at,
                                int pad, cv::Scalar colour, double strength) {
    const cv::Mat& mask = text_.line(words, size);
    if (mask.empty() || strength <= 0.0) return;
    const cv::Rect area(at.x - pad, at.y, mask.cols + 2 * pad, mask.rows);
    const std::string key = keyOf({"line", std::to_string(size), std::to_string(pad),
                                   std::to_string(strength), std::to_string(colour[0]),
                                   std::to_string(colour[1]), std::to_string(colour[2]), words});
    lay(target, key, area, [&](OverlayTile& tile) {
        tile.fill(cv::Rect(cv::Point(0, 0), area.size()), cv::Scalar(0, 0, 0), kBacking * strength);
        tile.ink(mask, cv::Point(pad, 0), colour, strength);
    });
}

// Returns the row below the last line drawn (above it with `fromBottom`). A line wider than
// the picture goes on in the lines below it.
int DisplayPainter::drawLines(cv::Mat& target, const std::vector<ShownLine>& lines, int size,
                              cv::Point at, bool fromBottom) {
    const int pad = std::max(2, size / 5);
    const int room = std::max(size, target.cols - 2 * at.x);
    int y = at.y;
    for (size_t i = 0; i < lines.size(); ++i) {
        const ShownLine& line = fromBottom ? lines[lines.size() - 1 - i] : lines[i];
        const std::vector<std::string>& parts = wrapped(line.text, size, room);
        for (size_t k = 0; k < parts.size(); ++k) {
            const std::string& part = fromBottom ? parts[parts.size() - 1 - k] : parts[k];
            const cv::Mat& mask = text_.line(part, size);
            if (mask.empty()) continue;
            const int top = fromBottom ? y - mask.rows : y;
            drawBacked(target, part, size, cv::Point(at.x, top), pad, kWhite, line.strength);
            y = fromBottom ? top : top + mask.rows;
        }
    }
    return y;
}

void DisplayPainter::drawBanner(cv::Mat& target, const Scene& scene) {
    const int unit = lineSize(target);
    int below = target.rows / 6;  // where the caption goes without a banner
    if (scene.banner) {
        const std::string& words = scene.banner->words;
        int size = target.rows / 4;
        const int room = target.cols * 9 / 10;
        const int wide = text_.line(words, size).cols;
        if (wide > room) size = size * room / wide;
        const cv::Mat& mask = text_.line(words, size);
        const cv::Point at((target.cols - mask.cols) / 2, (target.rows * 2 / 5) - mask.rows / 2);
        drawBacked(target, words, size, at, unit, bannerColour(scene.banner->colour),
                   scene.bannerStrength);
        below = at.y + mask.rows + unit / 2;
    }
    if (!scene.hint.text.empty()) below = drawHint(target, scene.hint, below);
    if (scene.caption.empty()) return;
    const cv::Mat& mask = text_.line(scene.caption, unit * 3 / 2);
    drawBacked(target, scene.caption, unit * 3 / 2,
               cv::Point((target.cols - mask.cols) / 2, below), unit / 2, kWhite, 1.0);
}

// What the keys do, centred at row `top` and as wide as the picture allows; the row below it.
int DisplayPainter::drawHint(cv::Mat& target, const ShownLine& hint, int top) {
    const int unit = lineSize(target);
    int size = std::max(readableSize(target), unit * 3 / 2);
    const int room = target.cols * 9 / 10;
    const int wide = text_.width(hint.text, size);
    if (wide > room) size = std::max(12, size * room / wide);
    const cv::Mat& mask = text_.line(hint.text, size);
    drawBacked(target, hint.text, size, cv::Point((target.cols - mask.cols) / 2, top), unit / 2,
               kWhite, hint.strength);
    return top + mask.rows + unit / 2;
}

// A small lasting sign in the top right corner, white on red.
void DisplayPainter::drawSign(cv::Mat& target, const std::string& words) {
    const int unit = lineSize(target);
    const int size = std::max(16, unit);
    const cv::Mat& mask = text_.line(words, size);
    if (mask.empty()) return;
    const int pad = std::max(2, size / 4);
    const cv::Rect box(target.cols - mask.cols - 2 * pad - unit / 2, unit / 2, mask.cols + 2 * pad,
                       mask.rows + pad);
    lay(target, keyOf({"sign", std::to_string(size), words}), box, [&](OverlayTile& tile) {
        tile.fill(cv::Rect(cv::Point(0, 0), box.size()), cv::Scalar(20, 20, 190), 0.85);
        tile.ink(mask, cv::Point(pad, pad / 2), kWhite, 1.0);
    });
}

void DisplayPainter::drawQuestion(cv::Mat& target, const std::string& words) {
    const int unit = lineSize(target);
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
// share of the clips passed. It changes with every clip, so it is laid straight over the
// picture rather than composed.
void DisplayPainter::drawPositionBar(cv::Mat& target, double share, double strength) {
    const int unit = lineSize(target);
    if (strength <= 0.0) return;
    const cv::Rect track(target.cols / 20, target.rows - unit * 3 / 2, target.cols * 9 / 10, unit);
    const int done = static_cast<int>(track.width * std::clamp(share, 0.0, 1.0));
    layUniform(target, track, cv::Scalar(0, 0, 0), 0.7 * strength);
    layUniform(target, cv::Rect(track.x, track.y, done, track.height), kBarColour, strength);
}

// The gauge: the clip count (with the motion display, also the motion amount against the
// threshold), then its bars on a dark backing: for a gesture one for each of the phase, the
// acceleration, the width and the speed, filled as far as the gauge's mark; for the motion
// display one bar of the motion amount, its middle (a white tick) the threshold, red above it.
// The text is a composed piece; the bars change with every reading and are laid straight over
// the picture.
void DisplayPainter::drawGauge(cv::Mat& target, cv::Point at, const GaugeReading& gauge,
                               double strength) {
    const int unit = lineSize(target);
    const std::string count = gaugeText(gauge);
    const cv::Mat& mask = text_.line(count, unit);
    if (mask.empty() || strength <= 0.0) return;
    const int pad = std::max(2, unit / 5);
    const cv::Rect countArea(at.x - pad, at.y, pad * 2 + mask.cols, mask.rows);
    lay(target, keyOf({"gauge", std::to_string(unit), std::to_string(strength), count}), countArea,
        [&](OverlayTile& tile) {
            tile.fill(cv::Rect(cv::Point(0, 0), countArea.size()), cv::Scalar(0, 0, 0),
                      kBacking * strength);
            tile.ink(mask, cv::Point(pad, 0), kWhite, strength);
        });
    const int barWidth = unit * 4;
    const cv::Rect barsArea(countArea.br().x, at.y, pad + kGaugeBars * (barWidth + unit),
                            mask.rows);
    layUniform(target, barsArea, cv::Scalar(0, 0, 0), kBacking * strength);
    const int barHeight = std::max(4, mask.rows / 2);
    const cv::Rect firstBar(barsArea.x + unit / 2, at.y + (mask.rows - barHeight) / 2, barWidth,
                            barHeight);
    if (gauge.motion >= 0)
        drawMotionBar(target, cv::Rect(firstBar.tl(), cv::Size(kGaugeBars * (barWidth + unit) - unit,
                                                               barHeight)),
                      gauge, strength);
    else
        drawGestureBars(target, firstBar, gauge, strength);
}

void DisplayPainter::drawGestureBars(cv::Mat& target, cv::Rect bar, const GaugeReading& gauge,
                                     double strength) {
    constexpr int kReach = GaugeReading::kGaugeReach;
    const int gap = lineSize(target);
    for (int mark : gauge.marks) {
        layUniform(target, bar, kTrackColour, strength);
        const int shown = std::clamp(mark, 0, kReach);
        layUniform(target, cv::Rect(bar.x, bar.y, bar.width * (shown + 1) / (kReach + 1), bar.height),
                   kGaugeColour, strength);
        bar.x += bar.width + gap;
    }
}

void DisplayPainter::drawMotionBar(cv::Mat& target, cv::Rect bar, const GaugeReading& gauge,
                                   double strength) {
    layUniform(target, bar, kTrackColour, strength);
    // The threshold stands in the middle; twice the threshold fills the bar.
    const double reach = 2.0 * std::max(1, gauge.threshold);
    const double share = std::clamp(gauge.motion / reach, 0.0, 1.0);
    const cv::Scalar colour = gauge.motion > gauge.threshold ? kOverColour : kGaugeColour;
    layUniform(target, cv::Rect(bar.x, bar.y, static_cast<int>(bar.width * share), bar.height),
               colour, strength);
    const int tick = std::max(2, bar.height / 4);
    layUniform(target, cv::Rect(bar.x + bar.width / 2 - tick / 2, bar.y - tick, tick,
                                bar.height + 2 * tick),
               kWhite, strength);
}

cv::Rect DisplayPainter::helpPageArea(cv::Size window) {
    return cv::Rect(window.width / 40, window.height / 40, window.width * 19 / 20,
                    window.height * 19 / 20);
}

// The help page, an opaque page over the picture (cheaper to lay than a translucent one, and
// better read from afar): one page of lines in big letters, shrunk only where a line would
// not fit the width, and the page number when there are more.
void DisplayPainter::drawHelpPage(cv::Mat& target, const Scene& scene) {
    const cv::Rect page = helpPageArea(target.size());
    const int rows = static_cast<int>(DisplayModel::kHelpLinesPerPage) + 1;
    const int step = std::max(1, page.height / rows);
    int size = std::max(12, step * 10 / 13);
    int widest = 1;
    for (const std::string& line : scene.helpPage) widest = std::max(widest, text_.width(line, size));
    const int room = page.width - size;
    if (widest > room) size = std::max(6, size * room / widest);
    std::string key = keyOf({"help", std::to_string(size), std::to_string(scene.helpPageNumber)});
    for (const std::string& line : scene.helpPage) key += line + "\n";
    lay(target, key, page, [&](OverlayTile& tile) {
        tile.fill(cv::Rect(cv::Point(0, 0), page.size()), kPageColour, 1.0);
        for (size_t i = 0; i < scene.helpPage.size(); ++i)
            tile.ink(text_.line(scene.helpPage[i], size),
                     cv::Point(size / 2, static_cast<int>(i) * step), kWhite, 1.0);
        if (scene.helpPages > 1) {
            const std::string number = pageNumberText(scene.helpPageNumber, scene.helpPages);
            const cv::Mat& mask = text_.line(number, size);
            tile.ink(mask, cv::Point(page.width - mask.cols - size / 2, (rows - 1) * step),
                     cv::Scalar(180, 180, 180), 1.0);
        }
    });
}

}  // namespace kalvento
