#pragma once
// Draws a scene of the on-screen display over a picture. Sizes follow the picture: a text
// line is a 36th of its height, a banner a quarter, the help page's lines a 24th. Every piece
// is a tile composed once for what it shows (its words, size, colour and fading step) and laid
// over each picture while it stays the same.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "display/display_drawing.h"
#include "display/display_model.h"
#include "platform/text_renderer.h"

namespace kalvento {

class DisplayPainter {
public:
    explicit DisplayPainter(TextRenderer& text) : text_(text) {}

    void paint(cv::Mat& target, const Scene& scene);
    // A picture without the display keeps no tiles.
    void nothingShown() { tiles_.endPicture(); }
    // The part of a window of `size` the help page covers (opaque).
    static cv::Rect helpPageArea(cv::Size window);
    static const cv::Scalar& pageColour();

    // How many pieces (a line, a banner, the help page, a bar) were composed since the start.
    int64_t composeCount() const { return tiles_.composeCount(); }

private:
    void lay(cv::Mat& target, const std::string& key, cv::Rect area,
             const std::function<void(OverlayTile&)>& compose);
    void drawBacked(cv::Mat& target, const std::string& words, int size, cv::Point at, int pad,
                    cv::Scalar colour, double strength);
    int drawLines(cv::Mat& target, const std::vector<ShownLine>& lines, int size, cv::Point at,
                  bool fromBottom);
    void drawBanner(cv::Mat& target, const Scene& scene);
    int drawHint(cv::Mat& target, const ShownLine& hint, int top);
    void drawSign(cv::Mat& target, const std::string& words);
    const std::vector<std::string>& wrapped(const std::string& text, int size, int room);
    void drawQuestion(cv::Mat& target, const std::string& words);
    void drawHelpPage(cv::Mat& target, const Scene& scene);
    void drawPositionBar(cv::Mat& target, double share, double strength);
    void drawGauge(cv::Mat& target, cv::Point at, const GaugeReading& gauge, double strength);
    void drawGestureBars(cv::Mat& target, cv::Rect bar, const GaugeReading& gauge, double strength);
    void drawMotionBar(cv::Mat& target, cv::Rect bar, const GaugeReading& gauge, double strength);

    static constexpr size_t kKeptWraps = 256;

    TextRenderer& text_;
    TileShelf tiles_;
    std::map<std::string, std::vector<std::string>> wrapped_;  // lines wrapped, by size and room
};

}  // namespace kalvento
