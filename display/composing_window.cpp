// Pictures composed into the window's own pixels: fitted, mirrored, overlaid and turned.

#include "display/composing_window.h"

#include <opencv2/imgproc.hpp>

namespace kalvento {

ComposingWindow::ComposingWindow(Window& inner) : ForwardingWindow(inner) {
    inner.onRepaint([this] { draw(); });
}

ComposingWindow::~ComposingWindow() {
    inner().onRepaint(nullptr);
}

void ComposingWindow::create(WindowMode mode) {
    shown_.release();
    inner().create(mode);
}

void ComposingWindow::destroy() {
    shown_.release();
    inner().destroy();
}

void ComposingWindow::setMouseCallback(MouseCallback callback, void* user) {
    callback_ = callback;
    callbackUser_ = user;
    inner().setMouseCallback(callback != nullptr ? &ComposingWindow::deliverMouse : nullptr, this);
}

void ComposingWindow::deliverMouse(int event, int x, int y, int flags, void* self) {
    auto& window = *static_cast<ComposingWindow*>(self);
    if (window.callback_ == nullptr) return;
    cv::Point point(x, y);
    if (!window.shown_.empty() && !window.windowSize_.empty())
        point = clipPointOf(point, window.shown_.size(), window.windowSize_, window.orientation_);
    window.callback_(event, point.x, point.y, flags, window.callbackUser_);
}

void ComposingWindow::redraw() {
    draw();
}

void ComposingWindow::sizeToPicture(cv::Size picture) {
    inner().sizeToPicture(turnedSize(picture, orientation_.quarterTurns));
}

void ComposingWindow::setRotation(int degrees) {
    const int turns = quarterTurnsOf(degrees);
    if (turns < 0 || turns == orientation_.quarterTurns) return;
    // A normal window turns with its picture (a fullscreen one stays as it is).
    if ((turns - orientation_.quarterTurns) % 2 != 0 && !windowSize_.empty())
        inner().sizeToPicture(cv::Size(windowSize_.height, windowSize_.width));
    orientation_.quarterTurns = turns;
    draw();
}

void ComposingWindow::setFit(Fit fit) {
    if (fit == orientation_.fit) return;
    orientation_.fit = fit;
    draw();
}

cv::Size ComposingWindow::pictureArea() const {
    return turnedSize(inner().pictureArea(), orientation_.quarterTurns);
}

bool ComposingWindow::pictureFillsArea() const {
    return orientation_.fit != Fit::Contain;
}

void ComposingWindow::showPicture(const cv::Mat& picture, Mirror mirror) {
    if (picture.empty() || picture.dims != 2) return;
    const int type = picture.type();
    if (type != CV_8UC3 && type != CV_8UC1 && type != CV_8UC4)
        return;  // not an 8-bit picture; nothing sensible to show
    // Pixels the picture does not own (a header over foreign memory) may go away before the
    // next redraw: those are copied.
    shown_ = picture.u != nullptr ? picture : picture.clone();
    orientation_.mirror = mirror;
    draw();
}

// An unturned window is composed straight into the window's pixels; a turned one upright
// into a buffer of its own, then turned into them in one pass.
void ComposingWindow::draw() {
    if (shown_.empty()) return;
    cv::Mat canvas = inner().canvas(turnedSize(shown_.size(), orientation_.quarterTurns));
    if (canvas.empty() || canvas.type() != CV_8UC4) return;
    windowSize_ = canvas.size();
    const Layout layout = layOut(shown_.size(), windowSize_, orientation_);
    if (layout.visible.empty()) return;
    if (orientation_.quarterTurns == 0) {
        composeUpright(canvas, layout);
    } else {
        upright_.create(layout.upright, CV_8UC4);
        composeUpright(upright_, layout);
        turnInto(upright_, canvas, orientation_.quarterTurns);
    }
    inner().present();
}

// The bars beside the picture black, the picture's visible part scaled into place (what the
// overlay covers with opaque pixels left out), then the overlay over the whole.
void ComposingWindow::composeUpright(cv::Mat& target, const Layout& layout) {
    const cv::Rect& view = layout.visible;
    const cv::Rect bars[4] = {
        {0, 0, target.cols, view.y},
        {0, view.br().y, target.cols, target.rows - view.br().y},
        {0, view.y, view.x, view.height},
        {view.br().x, view.y, target.cols - view.br().x, view.height},
    };
    for (const cv::Rect& bar : bars)
        if (!bar.empty()) target(bar).setTo(cv::Scalar::all(0));
    const cv::Rect from = clipAreaShown(shown_.size(), layout);
    const cv::Mat* source = &shown_;
    cv::Mat part = shown_(from);
    if (from.size() != view.size()) {
        cv::resize(part, scaled_, view.size(), 0, 0, cv::INTER_LINEAR);
        source = &scaled_;
    } else {
        source = &part;
    }
    Overlay* over = overlay() != nullptr && overlay()->visible() ? overlay() : nullptr;
    cv::Mat area = target(view);
    cv::Rect hidden;
    if (over != nullptr) hidden = (over->opaqueArea(target.size()) & view) - view.tl();
    if (hidden.empty()) {
        convertInto(*source, area, cv::Rect(0, 0, view.width, view.height));
    } else {
        const cv::Rect bands[4] = {
            {0, 0, view.width, hidden.y},
            {0, hidden.br().y, view.width, view.height - hidden.br().y},
            {0, hidden.y, hidden.x, hidden.height},
            {hidden.br().x, hidden.y, view.width - hidden.br().x, hidden.height},
        };
        for (const cv::Rect& band : bands)
            if (!band.empty()) convertInto(*source, area, band);
    }
    if (over != nullptr) over->drawOver(target);
}

// Puts the part of `source` that `part` of `area` shows (mirrored as asked) there: converted
// (or copied) straight into the window's pixels, then turned round in place, which OpenCV does
// with vector instructions faster than a single pass that mirrors while it converts.
void ComposingWindow::convertInto(const cv::Mat& source, cv::Mat& area, cv::Rect part) const {
    cv::Rect from = part;
    if (orientation_.mirror == Mirror::LeftRight) from.x = area.cols - part.br().x;
    if (orientation_.mirror == Mirror::UpsideDown) from.y = area.rows - part.br().y;
    cv::Mat into = area(part);
    switch (source.channels()) {
        case 1:
            cv::cvtColor(source(from), into, cv::COLOR_GRAY2BGRA);
            break;
        case 3:
            cv::cvtColor(source(from), into, cv::COLOR_BGR2BGRA);
            break;
        default:
            source(from).copyTo(into);
            break;
    }
    if (orientation_.mirror != Mirror::None)
        cv::flip(into, into, flipCodeOf(orientation_.mirror));
}

}  // namespace kalvento
