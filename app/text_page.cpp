#include "app/text_page.h"

#include <algorithm>

namespace kalvento {

namespace {

constexpr int kMargin = 40;

// The letter size at which the widest line fits `width` and all lines fit `height`.
int fittingLetterPixels(TextRenderer& text, const std::vector<std::string>& lines, cv::Size size) {
    int pixels = kPageLetterPixels;
    const int rows = std::max<int>(1, static_cast<int>(lines.size()));
    pixels = std::min(pixels, (size.height - 2 * kMargin) * 2 / (3 * rows));
    for (const std::string& line : lines) {
        const int width = text.width(line, pixels);
        if (width > size.width - 2 * kMargin && width > 0)
            pixels = std::max(8, pixels * (size.width - 2 * kMargin) / width);
    }
    return std::max(8, pixels);
}

// Paints `mask` (255 = ink) in `colour` into `page` with its top left corner at `at`, cut to
// the page.
void paintMask(cv::Mat& page, const cv::Mat& mask, cv::Point at, const cv::Vec3b& colour) {
    const cv::Rect area = cv::Rect(at, mask.size()) & cv::Rect(cv::Point(0, 0), page.size());
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x) {
            const int ink = mask.at<uint8_t>(y - at.y, x - at.x);
            cv::Vec3b& pixel = page.at<cv::Vec3b>(y, x);
            for (int c = 0; c < 3; ++c)
                pixel[c] = static_cast<uint8_t>((colour[c] * ink + pixel[c] * (255 - ink)) / 255);
        }
}

}  // namespace

cv::Mat drawTextPage(TextRenderer& text, const std::vector<std::string>& lines, cv::Size size) {
    cv::Mat page(size, CV_8UC3, cv::Scalar(60, 30, 20));
    const int pixels = fittingLetterPixels(text, lines, size);
    int y = kMargin;
    for (const std::string& line : lines) {
        const cv::Mat& mask = text.line(line, pixels);
        if (!mask.empty()) paintMask(page, mask, cv::Point(kMargin, y), cv::Vec3b(255, 255, 255));
        y += pixels * 3 / 2;
    }
    return page;
}

void showTextPage(TextRenderer& text, Window& window, const std::vector<std::string>& lines,
                  const std::function<void()>& service) {
    const cv::Mat page = drawTextPage(text, lines, cv::Size(1280, 720));
    window.show(page);
    // A key wait with no time limit ends on a key, ESC for a closed window, or nothing more
    // to come (kNoKey): only another key keeps the page up. With a service step the wait goes
    // in slices, the step between them.
    constexpr int kSliceMs = 50;
    for (;;) {
        const int key = window.waitKey(service ? kSliceMs : 0);
        if (key == kKeyEsc || (key == kNoKey && !service)) return;
        if (key == kNoKey) service();
    }
}

}  // namespace kalvento
