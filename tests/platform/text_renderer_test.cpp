// Text rendered for the on-screen display: every glyph whole, the underscore below the
// baseline among them ("qbn_env.dat" must not read "qbn env.dat"), at the sizes the display
// uses.

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "platform/text_renderer.h"

namespace kalvento::test {
namespace {

TEST(TextRenderer, EveryGlyphIsDrawnWholeTheUnderscoreToo) {
    std::string error;
    std::optional<std::string> font = findDisplayFont(error);
    ASSERT_TRUE(font) << error;
    std::unique_ptr<TextRenderer> text = TextRenderer::open(*font, error);
    ASSERT_TRUE(text) << error;
    for (int size : {12, 24, 36, 60}) {
        const cv::Mat under = text->line("qbn_env.dat", size).clone();
        const cv::Mat blank = text->line("qbn env.dat", size).clone();
        ASSERT_FALSE(under.empty());
        ASSERT_EQ(under.size(), blank.size()) << size;
        cv::Mat diff;
        cv::absdiff(under, blank, diff);
        // The underscore is a stroke about as wide as a letter low in the line: a run of inked
        // pixels in a row of the lowest third (below the baseline), and nothing inked above.
        int widest = 0, highest = diff.rows;
        for (int y = 0; y < diff.rows; ++y) {
            int run = 0;
            for (int x = 0; x < diff.cols; ++x) {
                run = diff.at<uint8_t>(y, x) > 0 ? run + 1 : 0;
                widest = std::max(widest, run);
                if (run > 0) highest = std::min(highest, y);
            }
        }
        EXPECT_GE(widest, size / 3) << "size " << size << ": the underscore is not drawn";
        EXPECT_GE(highest, diff.rows * 2 / 3) << "size " << size;
    }
}

}  // namespace
}  // namespace kalvento::test
