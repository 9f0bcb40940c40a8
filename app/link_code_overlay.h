#pragma once
// The web remote's links as QR codes over the window, on request: a phone points its camera at
// the screen instead of typing an address and a token. It lays itself over the window after
// the on-screen display (which it wraps), so the window still has one overlay.

#include <mutex>
#include <string>
#include <vector>

#include "platform/window.h"

namespace kalvento {

// The key that shows and hides the codes, from any source (window, web page): u ("URL").
inline constexpr int kKeyLinkCodes = 'u';

class LinkCodeOverlay final : public Overlay {
public:
    // `inner` (the on-screen display, or null) is drawn first; it must outlive this overlay.
    explicit LinkCodeOverlay(Overlay* inner) : inner_(inner) {}

    // The links to show, at most the first three; each becomes a code with its text below.
    void setLinks(std::vector<std::string> links);
    // Shows the codes, or hides them; false when there is no link to show.
    bool toggle();
    bool shown() const;

    bool visible() override;
    void drawOver(cv::Mat& target) override;
    cv::Rect opaqueArea(cv::Size window) override;

private:
    Overlay* inner_;
    mutable std::mutex mutex_;
    std::vector<std::string> links_;
    std::vector<std::vector<std::vector<bool>>> codes_;
    bool shown_ = false;
};

}  // namespace kalvento
