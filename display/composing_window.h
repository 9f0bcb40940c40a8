#pragma once
// The player's pictures laid into a window that only shows pixels: each picture is fitted,
// mirrored and turned as the orientation says, the overlay (the on-screen display) is drawn
// over it upright for the turned screen, and the whole goes into the inner window's own pixel
// buffer. Pointer positions come back from the window's pixels into the clip's, so the mouse
// commands work the same whatever the rotation.

#include <functional>

#include "display/compositor.h"
#include "platform/window.h"

namespace kalvento {

class ComposingWindow final : public ForwardingWindow {
public:
    // `inner` gives the pixel buffer (Window::canvas) and the pointer in window pixels.
    explicit ComposingWindow(Window& inner);
    ~ComposingWindow() override;

    void create(WindowMode mode) override;
    void destroy() override;
    void setMouseCallback(MouseCallback callback, void* user) override;
    void redraw() override;
    void sizeToPicture(cv::Size picture) override;
    void setRotation(int degrees) override;
    void setFit(Fit fit) override;
    // The window's area as the upright picture sees it (turned back by the rotation), and
    // whether the fit makes the picture reach its every edge.
    cv::Size pictureArea() const override;
    bool pictureFillsArea() const override;

    const Orientation& orientation() const { return orientation_; }

private:
    void showPicture(const cv::Mat& picture, Mirror mirror) override;
    // Composes the last picture into the inner window and shows it.
    void draw();
    void composeUpright(cv::Mat& target, const Layout& layout);
    void convertInto(const cv::Mat& source, cv::Mat& area, cv::Rect part) const;
    static void deliverMouse(int event, int x, int y, int flags, void* self);

    Orientation orientation_;
    cv::Mat shown_;       // the last picture: the caller's pixels, not a copy
    cv::Size windowSize_;  // the window's size when it was last drawn
    cv::Mat upright_;     // the composed window before it is turned (turned windows only)
    cv::Mat scaled_;      // the clip's shown part at its size in the window
    MouseCallback callback_ = nullptr;
    void* callbackUser_ = nullptr;
};

}  // namespace kalvento
