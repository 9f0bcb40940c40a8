#pragma once
// A page of big text in the player window, readable from a few metres: what the player says
// when it cannot start its work (no clips).

#include <functional>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "platform/text_renderer.h"
#include "platform/window.h"

namespace kalvento {

// A picture of `size` with `lines` drawn in white on a dark ground, one under the other, the
// letters as big as the widest line and the height allow (at most kPageLetterPixels).
inline constexpr int kPageLetterPixels = 56;
cv::Mat drawTextPage(TextRenderer& text, const std::vector<std::string>& lines, cv::Size size);

// Shows the page of `lines` in `window` (at 1280x720, scaled to the window) and waits until
// ESC is typed or the window is closed; any other key leaves the page up. `service`, when set,
// runs every 50 ms of the wait (the player's service step).
void showTextPage(TextRenderer& text, Window& window, const std::vector<std::string>& lines,
                  const std::function<void()>& service = nullptr);

}  // namespace kalvento
