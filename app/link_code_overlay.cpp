#include "app/link_code_overlay.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "platform/qr_code.h"

namespace kalvento {

namespace {

constexpr size_t kMostLinks = 3;
constexpr int kQuietModules = 4;  // the light border a reader needs around a code

// Draws one code with its quiet zone into `area` of `target` (square, as large as fits), and
// its link under it.
void drawCode(cv::Mat& target, const std::vector<std::vector<bool>>& code, const std::string& link,
              const cv::Rect& area) {
    const int modules = static_cast<int>(code.size()) + 2 * kQuietModules;
    const int textHeight = std::max(14, area.height / 14);
    const int scale = std::max(1, std::min(area.width, area.height - textHeight) / modules);
    const int side = scale * modules;
    const cv::Point origin(area.x + (area.width - side) / 2, area.y);
    cv::rectangle(target, cv::Rect(origin, cv::Size(side, side)), cv::Scalar::all(255), cv::FILLED);
    for (size_t y = 0; y < code.size(); ++y)
        for (size_t x = 0; x < code.size(); ++x)
            if (code[y][x])
                cv::rectangle(target,
                              cv::Rect(origin.x + (static_cast<int>(x) + kQuietModules) * scale,
                                       origin.y + (static_cast<int>(y) + kQuietModules) * scale,
                                       scale, scale),
                              cv::Scalar::all(0), cv::FILLED);
    const double fontScale = std::max(0.4, textHeight / 30.0);
    int baseline = 0;
    cv::Size size = cv::getTextSize(link, cv::FONT_HERSHEY_SIMPLEX, fontScale, 1, &baseline);
    const cv::Point text(area.x + std::max(0, (area.width - size.width) / 2),
                         origin.y + side + size.height + 4);
    cv::rectangle(target, cv::Rect(text.x - 2, text.y - size.height - 4, size.width + 4,
                                   size.height + baseline + 8) & cv::Rect(0, 0, target.cols, target.rows),
                  cv::Scalar::all(0), cv::FILLED);
    cv::putText(target, link, text, cv::FONT_HERSHEY_SIMPLEX, fontScale, cv::Scalar::all(255), 1,
                cv::LINE_AA);
}

}  // namespace

void LinkCodeOverlay::setLinks(std::vector<std::string> links) {
    if (links.size() > kMostLinks) links.resize(kMostLinks);
    std::vector<std::vector<std::vector<bool>>> codes;
    for (const std::string& link : links) codes.push_back(qrModules(link));
    std::lock_guard lock(mutex_);
    links_ = std::move(links);
    codes_ = std::move(codes);
}

bool LinkCodeOverlay::toggle() {
    std::lock_guard lock(mutex_);
    shown_ = !shown_ && !links_.empty();
    return shown_;
}

bool LinkCodeOverlay::shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

bool LinkCodeOverlay::visible() {
    return shown() || (inner_ != nullptr && inner_->visible());
}

cv::Rect LinkCodeOverlay::opaqueArea(cv::Size window) {
    return inner_ != nullptr && !shown() ? inner_->opaqueArea(window) : cv::Rect();
}

void LinkCodeOverlay::drawOver(cv::Mat& target) {
    if (inner_ != nullptr && inner_->visible()) inner_->drawOver(target);
    std::lock_guard lock(mutex_);
    if (!shown_ || codes_.empty() || target.empty()) return;
    const int count = static_cast<int>(codes_.size());
    const int width = target.cols / count;
    const int side = std::min(width, target.rows) * 9 / 10;
    for (int i = 0; i < count; ++i) {
        if (codes_[static_cast<size_t>(i)].empty()) continue;
        const cv::Rect area(i * width + (width - side) / 2, (target.rows - side) / 2, side, side);
        drawCode(target, codes_[static_cast<size_t>(i)], links_[static_cast<size_t>(i)], area);
    }
}

}  // namespace kalvento
