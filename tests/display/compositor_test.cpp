// Where a clip goes in the window: a table of clip and window sizes, quarter turns and fits,
// with the size a decoder may scale to; every window pixel over the picture maps back to the
// clip pixel drawn there, whatever the turn; and the composing window lays real pixels: the
// picture turned, mirrored and fitted, the overlay upright for the turned screen, the pointer
// back in the clip's own coordinates.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "display/composing_window.h"
#include "display/compositor.h"

namespace kalvento::test {
namespace {

struct LayoutCase {
    cv::Size clip;
    cv::Size window;
    int degrees;
    Fit fit;
    cv::Size upright;
    cv::Rect picture;
    cv::Size shown;  // in window pixels
};

TEST(Compositor, LaysOutEveryTurnAndFit) {
    const LayoutCase cases[] = {
        // The clip's own size: one pixel for one, whatever the fit.
        {{640, 480}, {640, 480}, 0, Fit::Contain, {640, 480}, {0, 0, 640, 480}, {640, 480}},
        {{640, 480}, {640, 480}, 0, Fit::Cover, {640, 480}, {0, 0, 640, 480}, {640, 480}},
        {{640, 480}, {480, 640}, 90, Fit::Contain, {640, 480}, {0, 0, 640, 480}, {480, 640}},
        {{640, 480}, {480, 640}, 270, Fit::Stretch, {640, 480}, {0, 0, 640, 480}, {480, 640}},
        {{640, 480}, {640, 480}, 180, Fit::Contain, {640, 480}, {0, 0, 640, 480}, {640, 480}},
        // A 1080p clip on a portrait screen: letter-boxed upright, filling it turned.
        {{1920, 1080}, {1080, 1920}, 0, Fit::Contain, {1080, 1920}, {0, 656, 1080, 607},
         {1080, 607}},
        {{1920, 1080}, {1080, 1920}, 90, Fit::Contain, {1920, 1080}, {0, 0, 1920, 1080},
         {1080, 1920}},
        {{1920, 1080}, {1080, 1920}, 0, Fit::Cover, {1080, 1920}, {-1166, 0, 3413, 1920},
         {3413, 1920}},
        {{1920, 1080}, {1080, 1920}, 0, Fit::Stretch, {1080, 1920}, {0, 0, 1080, 1920},
         {1080, 1920}},
        // A 4:3 clip on the 720x1280 screen turned: bars left and right of the turned view.
        {{640, 480}, {720, 1280}, 90, Fit::Contain, {1280, 720}, {160, 0, 960, 720}, {720, 960}},
        {{640, 480}, {720, 1280}, 90, Fit::Cover, {1280, 720}, {0, -120, 1280, 960}, {960, 1280}},
        {{640, 480}, {720, 1280}, 270, Fit::Stretch, {1280, 720}, {0, 0, 1280, 720}, {720, 1280}},
        {{640, 480}, {1280, 720}, 180, Fit::Contain, {1280, 720}, {160, 0, 960, 720}, {960, 720}},
        // Wider than the window: bars above and below.
        {{800, 200}, {400, 400}, 0, Fit::Contain, {400, 400}, {0, 150, 400, 100}, {400, 100}},
        {{800, 200}, {400, 400}, 90, Fit::Contain, {400, 400}, {0, 150, 400, 100}, {100, 400}},
        {{800, 200}, {400, 400}, 0, Fit::Cover, {400, 400}, {-600, 0, 1600, 400}, {1600, 400}},
        // A tall clip in a wide window, and a one-pixel one.
        {{100, 400}, {800, 200}, 0, Fit::Contain, {800, 200}, {375, 0, 50, 200}, {50, 200}},
        {{1, 1}, {300, 200}, 90, Fit::Contain, {200, 300}, {0, 50, 200, 200}, {200, 200}},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.clip << " in " << c.window << " turned "
                                        << c.degrees << " fit " << static_cast<int>(c.fit));
        const Orientation orientation{quarterTurnsOf(c.degrees), Mirror::None, c.fit};
        const Layout layout = layOut(c.clip, c.window, orientation);
        EXPECT_EQ(layout.upright, c.upright);
        EXPECT_EQ(layout.picture, c.picture);
        EXPECT_EQ(layout.visible, c.picture & cv::Rect(cv::Point(0, 0), c.upright));
        EXPECT_EQ(shownSize(c.clip, c.window, orientation), c.shown);
        // The visible part is the whole clip, or the middle that cover keeps.
        const cv::Rect area = clipAreaShown(c.clip, layout);
        EXPECT_EQ(c.fit == Fit::Cover ? area.size().area() <= c.clip.area()
                                      : area == cv::Rect(cv::Point(0, 0), c.clip),
                  true);
    }
}

TEST(Compositor, RefusesOtherTurnsAndEmptySizes) {
    for (int degrees : {-90, 45, 360, 1})
        EXPECT_EQ(quarterTurnsOf(degrees), -1) << degrees;
    EXPECT_TRUE(layOut({0, 10}, {100, 100}, {}).picture.empty());
    EXPECT_TRUE(layOut({10, 10}, {0, 100}, {}).visible.empty());
    EXPECT_EQ(clipPointOf({5, 7}, {0, 0}, {100, 100}, {}), cv::Point(5, 7));
}

// The window pixel a clip pixel's centre lands on, the forward way of the layout.
cv::Point windowPixelOf(cv::Point2d clipPixel, cv::Size clip, cv::Size window,
                        const Orientation& orientation) {
    const Layout layout = layOut(clip, window, orientation);
    const cv::Point upright(
        layout.picture.x + static_cast<int>((clipPixel.x + 0.5) * layout.picture.width / clip.width),
        layout.picture.y +
            static_cast<int>((clipPixel.y + 0.5) * layout.picture.height / clip.height));
    return uprightToWindow(upright, window, orientation.quarterTurns);
}

TEST(Compositor, MouseComesBackToTheClipPixelUnderItWhateverTheTurn) {
    const cv::Size clips[] = {{640, 480}, {1920, 1080}, {100, 400}};
    const cv::Size windows[] = {{640, 480}, {720, 1280}, {1280, 720}, {333, 999}};
    for (const cv::Size& clip : clips)
        for (const cv::Size& window : windows)
            for (int turns = 0; turns < 4; ++turns)
                for (Fit fit : {Fit::Contain, Fit::Cover, Fit::Stretch}) {
                    SCOPED_TRACE(testing::Message() << clip << window << turns
                                                    << static_cast<int>(fit));
                    const Orientation orientation{turns, Mirror::None, fit};
                    const Layout layout = layOut(clip, window, orientation);
                    // Clip pixels near the corners and the middle of what shows.
                    const cv::Rect area = clipAreaShown(clip, layout);
                    for (cv::Point2d at : {cv::Point2d(area.x + 2, area.y + 3),
                                           cv::Point2d(area.br().x - 3, area.br().y - 4),
                                           cv::Point2d(area.x + area.width / 2.0,
                                                       area.y + area.height / 3.0)}) {
                        const cv::Point2d pixel(std::floor(at.x), std::floor(at.y));
                        const cv::Point shownAt = windowPixelOf(pixel, clip, window, orientation);
                        ASSERT_TRUE(cv::Rect(cv::Point(0, 0), window).contains(shownAt));
                        const cv::Point back = clipPointOf(shownAt, clip, window, orientation);
                        // Within the pixels one window pixel covers.
                        const double tolerance =
                            1.0 + std::max(static_cast<double>(clip.width) / layout.picture.width,
                                           static_cast<double>(clip.height) /
                                               layout.picture.height);
                        EXPECT_NEAR(back.x, pixel.x, tolerance);
                        EXPECT_NEAR(back.y, pixel.y, tolerance);
                    }
                }
}

TEST(Compositor, ATurnedWindowPixelGoesBackAndForth) {
    const cv::Size window(7, 5);
    for (int turns = 0; turns < 4; ++turns) {
        const cv::Size upright = turnedSize(window, turns);
        for (int y = 0; y < upright.height; ++y)
            for (int x = 0; x < upright.width; ++x) {
                const cv::Point inWindow = uprightToWindow({x, y}, window, turns);
                ASSERT_TRUE(cv::Rect(cv::Point(0, 0), window).contains(inWindow)) << turns;
                EXPECT_EQ(windowToUpright(inWindow, window, turns), cv::Point(x, y)) << turns;
            }
    }
    // A quarter turn clockwise: the upright top-left corner is the window's top-right one.
    EXPECT_EQ(uprightToWindow({0, 0}, window, 1), cv::Point(6, 0));
    EXPECT_EQ(uprightToWindow({0, 0}, window, 3), cv::Point(0, 4));
}

TEST(Compositor, TurnsPixelsAsOpenCvDoes) {
    const cv::Size sizes[] = {{1, 1}, {7, 5}, {4, 9}, {61, 83}, {64, 48}};
    const cv::RotateFlags turns[] = {cv::ROTATE_90_CLOCKWISE, cv::ROTATE_180,
                                     cv::ROTATE_90_COUNTERCLOCKWISE};
    for (const cv::Size& size : sizes)
        for (int q = 1; q <= 3; ++q) {
            SCOPED_TRACE(testing::Message() << size << " turned " << q);
            cv::Mat upright(size, CV_8UC4);
            cv::randu(upright, 0, 256);
            cv::Mat want, window(turnedSize(size, q), CV_8UC4);
            cv::rotate(upright, want, turns[q - 1]);
            turnInto(upright, window, q);
            EXPECT_EQ(cv::norm(want, window, cv::NORM_INF), 0.0);
        }
}

// A window that only gives its pixels, as the SDL window does, and delivers pointer events
// in window pixels.
class CanvasWindow final : public Window {
public:
    explicit CanvasWindow(cv::Size size, bool keepsSize = false)
        : pixels_(size, CV_8UC4, cv::Scalar(9, 9, 9, 9)), keepsSize_(keepsSize) {}
    void create(WindowMode) override {}
    void destroy() override {}
    void setMouseCallback(MouseCallback callback, void* user) override {
        callback_ = callback;
        user_ = user;
    }
    int waitKey(int) override { return kNoKey; }
    int peekKey(int) override { return kNoKey; }
    void delay(int) override {}
    void sizeToPicture(cv::Size picture) override {
        if (!keepsSize_) pixels_.create(picture, CV_8UC4);
    }
    cv::Mat canvas(cv::Size) override { return pixels_; }
    void present() override { ++presents_; }
    void onRepaint(std::function<void()> repaint) override { repaint_ = std::move(repaint); }

    void pointAt(int x, int y) {
        if (callback_ != nullptr) callback_(kMouseMove, x, y, kMouseFlagLeftHeld, user_);
    }
    const cv::Mat& pixels() const { return pixels_; }
    int presents() const { return presents_; }
    void repaint() { repaint_(); }

private:
    void showPicture(const cv::Mat&, Mirror) override {}
    cv::Mat pixels_;
    bool keepsSize_;
    MouseCallback callback_ = nullptr;
    void* user_ = nullptr;
    int presents_ = 0;
    std::function<void()> repaint_;
};

// A clip of four coloured quadrants: blue top-left, green top-right, red bottom-left, white
// bottom-right, so every turn and mirror shows where its corners went.
cv::Mat quadrants(cv::Size size) {
    cv::Mat clip(size, CV_8UC3);
    const int w = size.width / 2, h = size.height / 2;
    clip(cv::Rect(0, 0, w, h)).setTo(cv::Scalar(255, 0, 0));
    clip(cv::Rect(w, 0, size.width - w, h)).setTo(cv::Scalar(0, 255, 0));
    clip(cv::Rect(0, h, w, size.height - h)).setTo(cv::Scalar(0, 0, 255));
    clip(cv::Rect(w, h, size.width - w, size.height - h)).setTo(cv::Scalar(255, 255, 255));
    return clip;
}

cv::Vec3b colourAt(const cv::Mat& bgra, cv::Point at) {
    const cv::Vec4b p = bgra.at<cv::Vec4b>(at);
    return {p[0], p[1], p[2]};
}

const cv::Vec3b kBlue(255, 0, 0), kGreen(0, 255, 0), kRed(0, 0, 255), kWhite(255, 255, 255),
    kBlack(0, 0, 0);

// A marker the overlay draws at the top-left of what it is given, wide and flat, so whether it
// was drawn upright shows in the turned window.
class MarkerOverlay final : public Overlay {
public:
    bool visible() override { return true; }
    void drawOver(cv::Mat& target) override {
        drawnOn = target.size();
        target(cv::Rect(0, 0, 40, 10)).setTo(cv::Scalar(0, 255, 255, 255));
    }
    cv::Size drawnOn;
};

TEST(ComposingWindow, TurnsMirrorsAndFitsThePicture) {
    struct Case {
        int degrees;
        Mirror mirror;
        // The colours of the window's four corners: top-left, top-right, bottom-left,
        // bottom-right.
        cv::Vec3b corners[4];
    };
    const Case cases[] = {
        {0, Mirror::None, {kBlue, kGreen, kRed, kWhite}},
        {90, Mirror::None, {kRed, kBlue, kWhite, kGreen}},
        {180, Mirror::None, {kWhite, kRed, kGreen, kBlue}},
        {270, Mirror::None, {kGreen, kWhite, kBlue, kRed}},
        {0, Mirror::LeftRight, {kGreen, kBlue, kWhite, kRed}},
        {90, Mirror::UpsideDown, {kBlue, kRed, kGreen, kWhite}},
    };
    const cv::Mat clip = quadrants({80, 60});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.degrees << " mirror " << static_cast<int>(c.mirror));
        // The window has the turned clip's shape at twice its size: no bars.
        const cv::Size window = turnedSize(cv::Size(160, 120), quarterTurnsOf(c.degrees));
        CanvasWindow canvas(window);
        ComposingWindow composer(canvas);
        composer.setRotation(c.degrees);
        composer.show(clip, c.mirror);
        const cv::Mat& px = canvas.pixels();
        const cv::Point corners[4] = {{1, 1}, {px.cols - 2, 1}, {1, px.rows - 2},
                                      {px.cols - 2, px.rows - 2}};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(colourAt(px, corners[i]), c.corners[i]) << i;
        EXPECT_GE(canvas.presents(), 1);
    }
}

TEST(ComposingWindow, FitsWithBarsCropsOrStretches) {
    const cv::Mat clip = quadrants({80, 60});
    // A 4:3 clip in a square window: contain leaves bars above and below, cover crops the
    // sides, stretch fills it.
    struct Case {
        Fit fit;
        cv::Vec3b top, left;  // the middle of the top row, the middle of the left column
    };
    for (const Case& c : {Case{Fit::Contain, kBlack, kBlue}, Case{Fit::Cover, kBlue, kBlue},
                          Case{Fit::Stretch, kBlue, kBlue}}) {
        SCOPED_TRACE(static_cast<int>(c.fit));
        CanvasWindow canvas({200, 200}, true);
        ComposingWindow composer(canvas);
        composer.setFit(c.fit);
        composer.show(clip);
        EXPECT_EQ(colourAt(canvas.pixels(), {60, 0}), c.top);
        EXPECT_EQ(colourAt(canvas.pixels(), {0, 60}), c.left);
        EXPECT_EQ(colourAt(canvas.pixels(), {199, 199}),
                  c.fit == Fit::Contain ? kBlack : kWhite);
    }
}

TEST(ComposingWindow, DrawsTheOverlayUprightForTheTurnedScreen) {
    CanvasWindow canvas({120, 160}, true);
    ComposingWindow composer(canvas);
    MarkerOverlay marker;
    composer.setOverlay(&marker);
    composer.setRotation(90);
    composer.show(quadrants({160, 120}));
    // Drawn on the upright window (wide), then turned with the picture: the marker stands
    // along the window's right edge, from the top.
    EXPECT_EQ(marker.drawnOn, cv::Size(160, 120));
    const cv::Vec3b yellow(0, 255, 255);
    EXPECT_EQ(colourAt(canvas.pixels(), {119, 0}), yellow);
    EXPECT_EQ(colourAt(canvas.pixels(), {110, 39}), yellow);
    EXPECT_NE(colourAt(canvas.pixels(), {109, 0}), yellow);
    EXPECT_NE(colourAt(canvas.pixels(), {119, 40}), yellow);
}

struct PointerLog {
    std::vector<cv::Point> points;
    static void take(int, int x, int y, int, void* self) {
        static_cast<PointerLog*>(self)->points.emplace_back(x, y);
    }
};

TEST(ComposingWindow, APointerDragAlongTheClipReadsTheSameWhateverTheTurn) {
    // A drag along the clip's width, from its left edge to its right edge as shown: in a
    // window turned a quarter that is from the top of the screen to its bottom.
    const cv::Mat clip = quadrants({200, 100});
    for (int degrees : {0, 90, 180, 270}) {
        SCOPED_TRACE(degrees);
        const int turns = quarterTurnsOf(degrees);
        const cv::Size window = turnedSize(cv::Size(400, 200), turns);
        CanvasWindow canvas(window, true);
        ComposingWindow composer(canvas);
        PointerLog log;
        composer.setMouseCallback(&PointerLog::take, &log);
        composer.setRotation(degrees);
        composer.show(clip);
        for (int x = 0; x < 400; x += 50) {
            const cv::Point at = uprightToWindow({x, 100}, window, turns);
            canvas.pointAt(at.x, at.y);
        }
        ASSERT_EQ(log.points.size(), 8u);
        for (size_t i = 0; i < log.points.size(); ++i) {
            EXPECT_EQ(log.points[i].x, static_cast<int>(i) * 25);
            EXPECT_EQ(log.points[i].y, 50);
        }
    }
}

TEST(ComposingWindow, ATurnResizesANormalWindowAndARepaintDrawsAgain) {
    CanvasWindow canvas({80, 60});
    ComposingWindow composer(canvas);
    composer.sizeToPicture({80, 60});
    composer.show(quadrants({80, 60}));
    composer.setRotation(90);
    EXPECT_EQ(canvas.pixels().size(), cv::Size(60, 80));
    EXPECT_EQ(colourAt(canvas.pixels(), {58, 1}), kBlue);
    const int before = canvas.presents();
    canvas.repaint();
    EXPECT_EQ(canvas.presents(), before + 1);
    composer.sizeToPicture({100, 50});
    EXPECT_EQ(canvas.pixels().size(), cv::Size(50, 100));
}

}  // namespace
}  // namespace kalvento::test
