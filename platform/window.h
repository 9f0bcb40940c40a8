#pragma once
// The player window: the four operations the player uses (create, show, mouse callback,
// key wait) plus destroy and the settling delays of window re-creation.

#include <functional>
#include <utility>

#include <opencv2/core/mat.hpp>

namespace kalvento {

// Title of the one player window; every place that draws or re-creates it uses this.
inline constexpr const char* kWindowTitle = "KALVENTO PLAYER  Ver.1.0";

// One-byte key codes the player dispatches on. A key wait returns kNoKey when nothing came.
inline constexpr int kNoKey = 255;
inline constexpr int kKeyEsc = 27;
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyTab = 9;
inline constexpr int kKeyBackspace = 8;
inline constexpr int kKeySpace = 32;
// F1: cycles the level of the on-screen display; the display takes it, the player never sees it.
inline constexpr int kKeyDisplayLevel = 17;

// Mouse events as the callback receives them.
enum MouseEventCode : int {
    kMouseMove = 0,
    kMouseLeftDown = 1,
    kMouseRightDown = 2,
    kMouseMiddleDown = 3,
    kMouseLeftUp = 4,
};
inline constexpr int kMouseFlagLeftHeld = 1;

// Receives pointer events in image coordinates; `user` is the pointer given at registration.
using MouseCallback = void (*)(int event, int x, int y, int flags, void* user);

// How a picture is mirrored on its way into the window (cv::flip's codes 1 and 0).
enum class Mirror {
    None,
    LeftRight,
    UpsideDown,
};

// The cv::flip code of a mirror other than None.
inline int flipCodeOf(Mirror mirror) {
    return mirror == Mirror::LeftRight ? 1 : 0;
}

// How a picture is fitted into a window of another shape: as large as fits, letter-boxed
// (contain), as small as covers the window, cropped (cover), or stretched to the window.
enum class Fit {
    Contain,
    Cover,
    Stretch,
};

// What is drawn over every picture the window shows (the on-screen display), at the window's
// own size, in the window's copy of the picture: the caller's pixels are never touched.
class Overlay {
public:
    virtual ~Overlay() = default;
    // False when there is nothing to draw: the picture then goes to the screen as it is.
    virtual bool visible() = 0;
    // Draws over `target`, an 8-bit BGR or BGRA picture of the whole window.
    virtual void drawOver(cv::Mat& target) = 0;
    // The part of a window of `size` that the next drawOver covers with opaque pixels, so the
    // window need not put the picture there first (empty: none). Asked on the thread that
    // draws, just before drawOver.
    virtual cv::Rect opaqueArea(cv::Size) { return {}; }
};

enum class WindowMode {
    Normal,    // resizable; opens at the size of the first image shown after creation
    AutoSize,  // takes the size of every image it shows; not resizable
};

class Window {
public:
    virtual ~Window() = default;

    // Creates the player window (replacing an existing one). The mouse callback is not kept
    // across re-creation: register it again afterwards.
    virtual void create(WindowMode mode) = 0;
    virtual void destroy() = 0;

    // Shows an 8-bit image: BGR, gray, or BGRX (4 channels, the fourth ignored), mirrored as
    // asked (the mirroring is part of the one pass that brings the pixels into the window).
    // The caller keeps ownership; a window may keep a reference to the pixels (not a copy)
    // until the next show, to draw them again when it is exposed or resized, so changes a
    // caller makes to them afterwards may appear then.
    void show(const cv::Mat& picture, Mirror mirror = Mirror::None) {
        showPicture(picture, mirror);
    }

    virtual void setMouseCallback(MouseCallback callback, void* user) = 0;

    // A key read: waits up to `ms` milliseconds (0 = no time limit) while the window handles
    // its events and delivers mouse events to the callback. Returns the first key code
    // (0..254) or kNoKey.
    virtual int waitKey(int ms) = 0;

    // Looks at the next key without taking it: waits up to `ms` milliseconds for one while the
    // window handles its events, and returns its code (0..254) or kNoKey. The key stays
    // pending for the next waitKey. Scripted input shows its next key event without serving
    // it (idle counts, mouse events and sleeps are left for the key reads).
    virtual int peekKey(int ms) = 0;

    // A pure delay of `ms` milliseconds during which the window handles its events; keys
    // pressed meanwhile are dropped, except ESC, which is kept for the next key read (before
    // other keys waiting). Scripted input is not consumed by it.
    virtual void delay(int ms) = 0;

    // Draws `overlay` over every picture from now on (null: nothing). It must outlive its use.
    void setOverlay(Overlay* overlay) { overlay_ = overlay; }
    // Shows the last picture again, with the overlay as it is now (it changed meanwhile).
    virtual void redraw() {}

    // A normal window takes the size at which a picture of `picture`'s size shows unscaled (it
    // is resized, never made again); a fullscreen one stays as it is.
    virtual void sizeToPicture(cv::Size) {}
    // Turns the pictures and what is drawn over them by `degrees` clockwise (0, 90, 180 or
    // 270; others are ignored), and fits them into the window as `fit` says, from the next
    // picture on. Windows that show nothing ignore both.
    virtual void setRotation(int) {}
    virtual void setFit(Fit) {}

    // For a window whose pictures are composed by the caller: its own pixels, 8-bit BGRA (the
    // fourth byte unused) at the window's size, written in place. Opens the window at
    // `wanted` when none is open yet (a fullscreen one at the screen's size; an auto-sized one
    // also takes `wanted` when open). Empty when nothing can be drawn. present() puts the
    // pixels on the screen.
    virtual cv::Mat canvas(cv::Size) { return {}; }
    virtual void present() {}
    // Called, during the window's waits, when its pixels must be drawn again (shown, exposed,
    // resized); null: nobody is told.
    virtual void onRepaint(std::function<void()>) {}
    // The size, in window pixels, of the area pictures are shown in; empty while no window is
    // on the screen and for a window that shows nothing (pictures are then decoded whole).
    virtual cv::Size pictureArea() const { return {}; }
    // Whether pictures reach every edge of that area (fitted to cover it or stretched) rather
    // than fitted whole into it.
    virtual bool pictureFillsArea() const { return false; }

protected:
    Overlay* overlay() const { return overlay_; }

private:
    Overlay* overlay_ = nullptr;

    virtual void showPicture(const cv::Mat& picture, Mirror mirror) = 0;
};

// A window in front of another that passes everything on to it. A wrapper that changes some
// operations (the keys read, the pictures shown) derives from it and overrides only those.
class ForwardingWindow : public Window {
public:
    explicit ForwardingWindow(Window& inner) : inner_(inner) {}

    void create(WindowMode mode) override { inner_.create(mode); }
    void destroy() override { inner_.destroy(); }
    void setMouseCallback(MouseCallback callback, void* user) override {
        inner_.setMouseCallback(callback, user);
    }
    int waitKey(int ms) override { return inner_.waitKey(ms); }
    int peekKey(int ms) override { return inner_.peekKey(ms); }
    void delay(int ms) override { inner_.delay(ms); }
    void redraw() override { inner_.redraw(); }
    void sizeToPicture(cv::Size picture) override { inner_.sizeToPicture(picture); }
    void setRotation(int degrees) override { inner_.setRotation(degrees); }
    void setFit(Fit fit) override { inner_.setFit(fit); }
    cv::Mat canvas(cv::Size wanted) override { return inner_.canvas(wanted); }
    void present() override { inner_.present(); }
    void onRepaint(std::function<void()> repaint) override { inner_.onRepaint(std::move(repaint)); }
    cv::Size pictureArea() const override { return inner_.pictureArea(); }
    bool pictureFillsArea() const override { return inner_.pictureFillsArea(); }

protected:
    Window& inner() const { return inner_; }

private:
    void showPicture(const cv::Mat& picture, Mirror mirror) override { inner_.show(picture, mirror); }

    Window& inner_;
};

}  // namespace kalvento
