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
constexpr int kGaugeBars = 4;

int lineSize(const cv::Mat& target) {
    return std::max(12, target.rows / 36);
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
    drawLines(target, scene.bottom, unit, cv::Point(unit, target.rows - barSpace), true);
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

// Returns the row below the last line drawn (above it with `fromBottom`).
int DisplayPainter::drawLines(cv::Mat& target, const std::vector<ShownLine>& lines, int size,
                              cv::Point at, bool fromBottom) {
    const int pad = std::max(2, size / 5);
    int y = at.y;
    for (size_t i = 0; i < lines.size(); ++i) {
        const ShownLine& line = fromBottom ? lines[lines.size() - 1 - i] : lines[i];
        const cv::Mat& mask = text_.line(line.text, size);
        if (mask.empty()) continue;
        const int top = fromBottom ? y - mask.rows : y;
        drawBacked(target, line.text, size, cv::Point(at.x, top), pad, kWhite, line.strength);
        y = fromBottom ? top : top + mask.rows;
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
    if (scene.caption.empty()) return;
    const cv::Mat& mask = text_.line(scene.caption, unit * 3 / 2);
    drawBacked(target, scene.caption, unit * 3 / 2,
               cv::Point((target.cols - mask.cols) / 2, below), unit / 2, kWhite, 1.0);
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

// The gesture gauge: the clip count, then a bar for each of the phase, the acceleration, the
// width and the speed, filled as far as the gauge's mark, on a dark backing. The count is a
// composed piece; the bars change with every reading and are laid straight over the picture.
void DisplayPainter::drawGauge(cv::Mat& target, cv::Point at, const GaugeReading& gauge,
                               double strength) {
    const int unit = lineSize(target);
    const std::string count = countText(gauge.clip, gauge.count);
    const cv::Mat& mask = text_.line(count, unit);
    if (mask.empty() || strength <= 0.0) return;
    const int pad = std::max(2, unit / 5);
    const int barWidth = unit * 4;
    const int barHeight = std::max(4, mask.rows / 2);
    const int barTop = at.y + (mask.rows - barHeight) / 2;
    const cv::Rect countArea(at.x - pad, at.y, pad * 2 + mask.cols, mask.rows);
    lay(target, keyOf({"gauge", std::to_string(unit), std::to_string(strength), count}), countArea,
        [&](OverlayTile& tile) {
            tile.fill(cv::Rect(cv::Point(0, 0), countArea.size()), cv::Scalar(0, 0, 0),
                      kBacking * strength);
            tile.ink(mask, cv::Point(pad, 0), kWhite, strength);
        });
    const cv::Rect barsArea(countArea.br().x, at.y, pad + kGaugeBars * (barWidth + unit),
                            mask.rows);
    layUniform(target, barsArea, cv::Scalar(0, 0, 0), kBacking * strength);
    constexpr int kReach = GaugeReading::kGaugeReach;
    int x = barsArea.x + unit / 2;
    for (int mark : gauge.marks) {
        layUniform(target, cv::Rect(x, barTop, barWidth, barHeight), cv::Scalar(90, 90, 90),
                   strength);
        const int shown = std::clamp(mark, 0, kReach);
        layUniform(target, cv::Rect(x, barTop, barWidth * (shown + 1) / (kReach + 1), barHeight),
                   kGaugeColour, strength);
        x += barWidth + unit;
    }
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
