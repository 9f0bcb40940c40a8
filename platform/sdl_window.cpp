// The player window on SDL2: one window whose own pixel buffer receives every picture, and a
// key wait that turns SDL's keyboard and mouse events into the one-byte key codes and mouse
// events of window.h. This is the only file of the program that talks to SDL.

#include "platform/sdl_window.h"

#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <opencv2/imgproc.hpp>
#include <string>

#include "platform/x_errors.h"

namespace kalvento {

namespace {

// Only one SdlWindow may hold SDL at a time: SDL_Quit in its destructor ends SDL for everyone.
bool g_sdl_taken = false;

// Decodes UTF-8 text into code points; a malformed byte becomes a code point outside ASCII
// so that it is never taken for a key.
template <typename Sink>
void forEachCodePoint(const char* text, Sink sink) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        const unsigned char lead = *p;
        int extra = 0;
        std::uint32_t cp = lead;
        if (lead >= 0xF0) {
            extra = 3;
            cp = lead & 0x07u;
        } else if (lead >= 0xE0) {
            extra = 2;
            cp = lead & 0x0Fu;
        } else if (lead >= 0xC0) {
            extra = 1;
            cp = lead & 0x1Fu;
        } else if (lead >= 0x80) {
            cp = 0xFFFD;  // stray continuation byte
        }
        ++p;
        for (int i = 0; i < extra; ++i) {
            if ((*p & 0xC0u) != 0x80u) {
                cp = 0xFFFD;
                break;
            }
            cp = (cp << 6) | (*p & 0x3Fu);
            ++p;
        }
        sink(cp);
    }
}

// The keys that come from SDL_KEYDOWN rather than from text input; kNoKey for all others.
int keyFromKeyDown(SDL_Keycode sym) {
    switch (sym) {
        case SDLK_ESCAPE:
            return kKeyEsc;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return kKeyEnter;
        case SDLK_TAB:
            return kKeyTab;
        case SDLK_BACKSPACE:
            return kKeyBackspace;
        // Arrow keys step through the clips like the step keys z and x.
        case SDLK_LEFT:
            return 'z';
        case SDLK_RIGHT:
            return 'x';
        case SDLK_F1:
            return kKeyDisplayLevel;
        default:
            return kNoKey;
    }
}

}  // namespace

struct SdlWindow::Impl {
    // State of the player window as the player sees it: created (by create() or an implicit
    // show()) until destroy(). The SDL window itself is made on the first show() after
    // creation, at the size of that image, so it never appears at a wrong size.
    bool created = false;
    WindowMode mode = WindowMode::Normal;

    SDL_Window* window = nullptr;
    Uint32 windowId = 0;
    int windowWidth = 0;  // last size requested for the window (auto-size mode follows images)
    int windowHeight = 0;

    // The picture last shown: a reference to the caller's pixels (not a copy), drawn again
    // when the window is exposed or resized. `view` is where it lies in the window, scaled to
    // fit and centred; mouse coordinates are mapped back through it into image pixels.
    cv::Mat shown;
    Mirror mirror = Mirror::None;  // how `shown` is mirrored on the screen
    SDL_Rect view{0, 0, 0, 0};
    cv::Mat scaled;    // reused for pictures that do not have the window's size
    cv::Mat mirrored;  // reused for mirrored pictures in a window of another pixel format

    Overlay* overlay = nullptr;  // the window's overlay, handed in at every draw

    MouseCallback callback = nullptr;
    void* callbackUser = nullptr;
    bool leftHeld = false;

    // Ctrl state as of the latest key event (press or release): text typed while Ctrl is
    // held is not a key. Followed through releases too, because a key the keyboard layer
    // cannot name (a keycode remapped on the fly) yields text without a key-down event.
    bool ctrlHeld = false;
    // Characters of a multi-character text event that wait for the next key reads.
    std::deque<int> pendingKeys;

    // Set when the window had the keyboard focus as it was destroyed: its successor takes the
    // focus over, so re-creating the window never leaves the keyboard talking to nothing (on
    // an X server without a window manager nobody else would give it back).
    bool focusNextWindow = false;

    bool reportedFailure = false;
    bool fullscreen = false;  // every window desktop fullscreen, whatever its mode

    ~Impl() { closeWindow(); }

    void reportOnce(const std::string& what) {
        if (reportedFailure) return;
        reportedFailure = true;
        std::fprintf(stderr, "%s: %s\n", what.c_str(), SDL_GetError());
    }

    void closeWindow() {
        if (window == nullptr) return;
        SDL_PumpEvents();  // brings the focus state up to date; pumped events stay queued
        focusNextWindow = SDL_GetKeyboardFocus() == window;
        SDL_DestroyWindow(window);
        window = nullptr;
        windowId = 0;
        windowWidth = windowHeight = 0;
        shown.release();
        view = SDL_Rect{0, 0, 0, 0};
        leftHeld = false;
    }

    bool openWindow(int width, int height) {
        Uint32 flags = SDL_WINDOW_HIDDEN;
        if (mode == WindowMode::Normal) flags |= SDL_WINDOW_RESIZABLE;
        int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
        SDL_Rect bounds;
        if (fullscreen && SDL_GetDisplayBounds(0, &bounds) == 0) {
            // Frameless at the size of the display, then fullscreen: without a window manager
            // nobody acts on the fullscreen request, and the window covers the display anyway.
            flags |= SDL_WINDOW_BORDERLESS;
            x = bounds.x;
            y = bounds.y;
            width = bounds.w;
            height = bounds.h;
        }
        window = SDL_CreateWindow(kWindowTitle, x, y, width, height, flags);
        if (window == nullptr) {
            reportOnce("cannot create the player window");
            return false;
        }
        windowId = SDL_GetWindowID(window);
        windowWidth = width;
        windowHeight = height;
        SDL_ShowWindow(window);
        if (fullscreen) SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        // SDL hides the cursor only over its own windows, so it shows again elsewhere.
        SDL_ShowCursor(fullscreen ? SDL_DISABLE : SDL_ENABLE);
        // Without a window manager SDL focuses every window it shows; with one, ask for it.
        if (focusNextWindow) {
            SDL_RaiseWindow(window);
            focusNextWindow = false;
        }
        SDL_StartTextInput();
        return true;
    }

    // Draws `shown` into the window's own pixel buffer and hands that to the display. A picture
    // of the window's size is converted (or copied) once, straight into the buffer, and a
    // mirrored one is then turned round in place there: OpenCV does both with vector
    // instructions, which measured 0.33 ms for 1920x1080 against 1.8 ms for a hand-written
    // single pass that mirrors while it converts, and 1.3 ms for mirroring into a copy first.
    // Only the bars beside a picture that does not cover the window are cleared.
    void draw() {
        if (window == nullptr || shown.empty()) return;
        SDL_Surface* surface = SDL_GetWindowSurface(window);
        if (surface == nullptr) {
            reportOnce("cannot draw into the player window");
            return;
        }
        view = fitInto(shown.cols, shown.rows, surface->w, surface->h);
        if (view.w <= 0 || view.h <= 0) return;
        const SDL_PixelFormat* format = surface->format;
        const bool xrgb = format->BytesPerPixel == 4 && format->Rmask == 0x00FF0000u &&
                          format->Gmask == 0x0000FF00u && format->Bmask == 0x000000FFu;
        const cv::Mat& source = fittedPicture(xrgb);
        clearBars(surface);
        Overlay* over = overlay != nullptr && overlay->visible() ? overlay : nullptr;
        if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
        if (xrgb)
            drawXrgb(surface, source, over);
        else
            drawOtherFormat(surface, source, over);
        if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
        if (SDL_UpdateWindowSurface(window) != 0) reportOnce("cannot show the player window");
    }

    // `shown` at the size of `view`; mirrored already unless the window is XRGB, where the
    // mirroring is done in the window's buffer.
    const cv::Mat& fittedPicture(bool xrgb) {
        const cv::Mat* source = &shown;
        if (view.w != shown.cols || view.h != shown.rows) {
            cv::resize(*source, scaled, cv::Size(view.w, view.h), 0, 0, cv::INTER_LINEAR);
            source = &scaled;
        }
        if (mirror != Mirror::None && !xrgb) {
            cv::flip(*source, mirrored, flipCodeOf(mirror));
            source = &mirrored;
        }
        return *source;
    }

    // An XRGB8888 window, in memory B, G, R, X: OpenCV's BGRA, written in place. What the
    // overlay covers with opaque pixels is left out.
    void drawXrgb(SDL_Surface* surface, const cv::Mat& source, Overlay* over) {
        cv::Mat target(surface->h, surface->w, CV_8UC4, surface->pixels,
                       static_cast<size_t>(surface->pitch));
        const cv::Rect inView(view.x, view.y, view.w, view.h);
        cv::Mat area = target(inView);
        cv::Rect hidden;
        if (over != nullptr) hidden = (over->opaqueArea(target.size()) & inView) - inView.tl();
        if (hidden.empty()) {
            convertInto(source, area, cv::Rect(0, 0, view.w, view.h));
        } else {
            const cv::Rect bands[4] = {
                {0, 0, view.w, hidden.y},
                {0, hidden.br().y, view.w, view.h - hidden.br().y},
                {0, hidden.y, hidden.x, hidden.height},
                {hidden.br().x, hidden.y, view.w - hidden.br().x, hidden.height},
            };
            for (const cv::Rect& band : bands)
                if (!band.empty()) convertInto(source, area, band);
        }
        if (over != nullptr) over->drawOver(target);
    }

    // Puts the part of `source` that `part` of `area` shows (mirrored as asked) there.
    void convertInto(const cv::Mat& source, cv::Mat& area, cv::Rect part) const {
        cv::Rect from = part;
        if (mirror == Mirror::LeftRight) from.x = area.cols - part.br().x;
        if (mirror == Mirror::UpsideDown) from.y = area.rows - part.br().y;
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
        if (mirror != Mirror::None) cv::flip(into, into, flipCodeOf(mirror));
    }

    // Any other window format: a BGR picture of the view's size, converted by SDL.
    void drawOtherFormat(SDL_Surface* surface, const cv::Mat& source, Overlay* over) {
        cv::Mat bgr;
        if (source.channels() == 1) {
            cv::cvtColor(source, bgr, cv::COLOR_GRAY2BGR);
        } else if (source.channels() == 4) {
            cv::cvtColor(source, bgr, cv::COLOR_BGRA2BGR);
        } else {
            bgr = over != nullptr ? source.clone() : source;
        }
        if (over != nullptr) over->drawOver(bgr);
        const SDL_PixelFormat* format = surface->format;
        auto* pixels = static_cast<unsigned char*>(surface->pixels) +
                       static_cast<size_t>(view.y) * static_cast<size_t>(surface->pitch) +
                       static_cast<size_t>(view.x) * format->BytesPerPixel;
        SDL_ConvertPixels(view.w, view.h, SDL_PIXELFORMAT_BGR24, bgr.data,
                          static_cast<int>(bgr.step[0]), format->format, pixels, surface->pitch);
    }

    // The largest rectangle of the picture's aspect ratio that fits the window, centred.
    static SDL_Rect fitInto(int width, int height, int windowW, int windowH) {
        if (width == windowW && height == windowH) return SDL_Rect{0, 0, width, height};
        const double scaleX = static_cast<double>(windowW) / width;
        const double scaleY = static_cast<double>(windowH) / height;
        SDL_Rect rect{0, 0, windowW, windowH};
        if (scaleX < scaleY) {
            rect.h = static_cast<int>(height * scaleX);
            rect.y = (windowH - rect.h) / 2;
        } else {
            rect.w = static_cast<int>(width * scaleY);
            rect.x = (windowW - rect.w) / 2;
        }
        return rect;
    }

    // Clears the parts of the window beside `view`.
    void clearBars(SDL_Surface* surface) const {
        const Uint32 black = SDL_MapRGB(surface->format, 0, 0, 0);
        const SDL_Rect bars[4] = {
            {0, 0, surface->w, view.y},
            {0, view.y + view.h, surface->w, surface->h - view.y - view.h},
            {0, view.y, view.x, view.h},
            {view.x + view.w, view.y, surface->w - view.x - view.w, view.h},
        };
        for (const SDL_Rect& bar : bars)
            if (bar.w > 0 && bar.h > 0) SDL_FillRect(surface, &bar, black);
    }

    // Window coordinates to image pixels (truncated towards zero, as SDL's logical size did).
    int imageX(int x) const {
        if (view.w <= 0 || shown.empty()) return x;
        return static_cast<int>((x - view.x) / (static_cast<double>(view.w) / shown.cols));
    }
    int imageY(int y) const {
        if (view.h <= 0 || shown.empty()) return y;
        return static_cast<int>((y - view.y) / (static_cast<double>(view.h) / shown.rows));
    }

    void show(const cv::Mat& image, Mirror mirrorAs) {
        if (image.empty() || image.dims != 2) return;
        const int type = image.type();
        if (type != CV_8UC3 && type != CV_8UC1 && type != CV_8UC4)
            return;  // not an 8-bit picture; nothing sensible to show
        const int width = image.cols;
        const int height = image.rows;

        if (!created) {  // showing without a window opens a normal one
            created = true;
            mode = WindowMode::Normal;
        }
        if (window == nullptr) {
            if (!openWindow(width, height)) return;
        } else if (mode == WindowMode::AutoSize && !fullscreen &&
                   (width != windowWidth || height != windowHeight)) {
            SDL_SetWindowSize(window, width, height);
            windowWidth = width;
            windowHeight = height;
        }
        // Pixels the image does not own (a header over foreign memory) may go away before the
        // next redraw: those are copied.
        shown = image.u != nullptr ? image : image.clone();
        mirror = mirrorAs;
        draw();
    }

    bool isOurs(Uint32 eventWindowId) const {
        return window != nullptr && eventWindowId == windowId;
    }

    void deliverMouse(int event, int x, int y) {
        if (callback != nullptr)
            callback(event, x, y, leftHeld ? kMouseFlagLeftHeld : 0, callbackUser);
    }

    // Handles one event. Returns the key it stands for, or kNoKey. Further characters of a
    // text event are queued for later key reads when `keepKeys` is set, dropped otherwise.
    int handle(const SDL_Event& e, bool keepKeys) {
        switch (e.type) {
            case SDL_QUIT:
                // The window's close button: the player treats it like ESC (pause, and quit
                // when pressed again in the pause). The window stays open until then.
                return kKeyEsc;
            case SDL_WINDOWEVENT:
                handleWindowEvent(e.window);
                return kNoKey;
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                ctrlHeld = (e.key.keysym.mod & KMOD_CTRL) != 0;
                return e.type == SDL_KEYDOWN ? keyFromKeyDown(e.key.keysym.sym) : kNoKey;
            case SDL_TEXTINPUT:
                return handleText(e.text, keepKeys);
            case SDL_MOUSEMOTION:
                if (!isOurs(e.motion.windowID)) return kNoKey;
                leftHeld = (e.motion.state & SDL_BUTTON_LMASK) != 0;
                deliverMouse(kMouseMove, imageX(e.motion.x), imageY(e.motion.y));
                return kNoKey;
            case SDL_MOUSEBUTTONDOWN:
                handleButtonDown(e.button);
                return kNoKey;
            case SDL_MOUSEBUTTONUP:
                if (!isOurs(e.button.windowID) || e.button.button != SDL_BUTTON_LEFT) return kNoKey;
                leftHeld = false;
                deliverMouse(kMouseLeftUp, imageX(e.button.x), imageY(e.button.y));
                return kNoKey;
            default:
                return kNoKey;
        }
    }

    // The window shown again or resized is drawn again; one that lost the focus holds no button.
    void handleWindowEvent(const SDL_WindowEvent& e) {
        if (!isOurs(e.windowID)) return;
        switch (e.event) {
            case SDL_WINDOWEVENT_EXPOSED:
            case SDL_WINDOWEVENT_SHOWN:
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                draw();
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                leftHeld = false;
                break;
            default:
                break;
        }
    }

    // The first printable ASCII character of typed text is the key; the others wait for the
    // next key reads when `keepKeys` is set.
    int handleText(const SDL_TextInputEvent& e, bool keepKeys) {
        if (ctrlHeld) return kNoKey;  // Ctrl+letter is no key
        int first = kNoKey;
        forEachCodePoint(e.text, [&](std::uint32_t cp) {
            if (cp < 32 || cp > 126) return;  // only printable ASCII is a key
            if (first == kNoKey) {
                first = static_cast<int>(cp);
            } else if (keepKeys) {
                pendingKeys.push_back(static_cast<int>(cp));
            }
        });
        return first;
    }

    void handleButtonDown(const SDL_MouseButtonEvent& e) {
        if (!isOurs(e.windowID)) return;
        if (e.button == SDL_BUTTON_LEFT) leftHeld = true;
        if (e.clicks >= 2) return;  // double clicks are not passed on
        switch (e.button) {
            case SDL_BUTTON_LEFT:
                deliverMouse(kMouseLeftDown, imageX(e.x), imageY(e.y));
                break;
            case SDL_BUTTON_RIGHT:
                deliverMouse(kMouseRightDown, imageX(e.x), imageY(e.y));
                break;
            case SDL_BUTTON_MIDDLE:
                deliverMouse(kMouseMiddleDown, imageX(e.x), imageY(e.y));
                break;
            default:
                break;
        }
    }

    // Runs the window's events for `ms` milliseconds (ms <= 0 with `wantKey`: until a key).
    // With `wantKey` it returns at the first key; otherwise keys are dropped. Events already
    // queued are handled before the deadline is looked at, so a slow caller never lets
    // pointer events pile up; events left queued at a return stay for the next call.
    int run(int ms, bool wantKey) {
        if (wantKey && !pendingKeys.empty()) {
            const int key = pendingKeys.front();
            pendingKeys.pop_front();
            return key;
        }
        const bool untilKey = wantKey && ms <= 0;
        const Uint64 deadline = SDL_GetTicks64() + static_cast<Uint64>(ms > 0 ? ms : 0);
        SDL_Event e;
        for (;;) {
            bool got = SDL_PollEvent(&e) != 0;
            if (!got) {
                if (untilKey) {
                    // Without a window no key can ever come: the wait ends as if the window
                    // had been closed, rather than hang or return no key to a caller that
                    // then asks again at once.
                    if (window == nullptr) return kKeyEsc;
                    got = SDL_WaitEvent(&e) != 0;
                } else {
                    const Uint64 now = SDL_GetTicks64();
                    if (now >= deadline) return kNoKey;
                    got = SDL_WaitEventTimeout(&e, static_cast<int>(deadline - now)) != 0;
                }
            }
            if (!got) continue;
            const int key = handle(e, wantKey);
            if (wantKey && key != kNoKey) return key;
            if (key == kKeyEsc) keep(key);  // a delay drops keys, but never ESC
        }
    }

    // A key read ahead for a later key read. ESC goes before the others: it pauses the player
    // and cancels a learning run, which must not wait behind keys typed earlier.
    void keep(int key) {
        if (key == kKeyEsc)
            pendingKeys.push_front(key);
        else
            pendingKeys.push_back(key);
    }

    // Handles the events queued now without waiting; their keys are kept.
    void pollKeepingKeys() {
        SDL_Event e;
        while (SDL_PollEvent(&e) != 0) {
            const int key = handle(e, true);
            if (key != kNoKey) keep(key);
        }
    }
};

SdlWindow::SdlWindow() : impl_(std::make_unique<Impl>()) {}

std::unique_ptr<SdlWindow> SdlWindow::open(std::string& error, bool fullscreen) {
    if (g_sdl_taken) {
        error = "the player window is already open";
        return nullptr;
    }
    // Ctrl+C in the terminal ends the player as usual instead of arriving as a close request.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A desktop compositor stays on for a window that is not full screen.
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // The window's pixels go to the X server as they are (shared memory), not through an
    // OpenGL texture: with Mesa's software rasteriser (Xvfb, machines without a GPU driver)
    // the texture path costs several more passes over every picture. The environment
    // variable SDL_FRAMEBUFFER_ACCELERATION still chooses otherwise.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Before SDL starts: SDL puts back the handler it found after each of its own checks.
    keepGoingOnXErrors();
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        error = std::string("no display: ") + SDL_GetError();
        SDL_Quit();
        return nullptr;
    }
    // Without a display SDL falls back to drivers that draw nowhere and never deliver a key;
    // the player would then wait for ever. They count only when asked for by name.
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string driverName = driver != nullptr ? driver : "";
    if ((driverName == "offscreen" || driverName == "dummy") &&
        SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
        error = "no display (SDL found only its \"" + driverName + "\" video driver)";
        SDL_Quit();
        return nullptr;
    }
    g_sdl_taken = true;
    SDL_StartTextInput();
    std::unique_ptr<SdlWindow> window(new SdlWindow());
    window->impl_->fullscreen = fullscreen;
    return window;
}

SdlWindow::~SdlWindow() {
    impl_.reset();  // the window goes before SDL does
    SDL_StopTextInput();
    SDL_Quit();
    g_sdl_taken = false;
}

void SdlWindow::create(WindowMode mode) {
    impl_->closeWindow();
    impl_->created = true;
    impl_->mode = mode;
    impl_->callback = nullptr;
    impl_->callbackUser = nullptr;
}

void SdlWindow::destroy() {
    impl_->closeWindow();
    impl_->created = false;
    impl_->callback = nullptr;
    impl_->callbackUser = nullptr;
}

void SdlWindow::showPicture(const cv::Mat& picture, Mirror mirror) {
    impl_->overlay = overlay();
    impl_->show(picture, mirror);
}

void SdlWindow::redraw() {
    impl_->overlay = overlay();
    impl_->draw();
}

cv::Size SdlWindow::pictureArea() const {
    if (impl_->window == nullptr) return {};
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(impl_->window, &width, &height);
    return {width, height};
}

void SdlWindow::setMouseCallback(MouseCallback callback, void* user) {
    impl_->callback = callback;
    impl_->callbackUser = user;
}

int SdlWindow::waitKey(int ms) {
    return impl_->run(ms, true);
}

int SdlWindow::peekKey(int ms) {
    if (impl_->pendingKeys.empty()) {
        const int key = impl_->run(ms, true);
        if (key == kNoKey) return kNoKey;
        impl_->pendingKeys.push_front(key);
    } else {
        // Keys typed after the one waiting are still taken in, so an ESC is seen.
        impl_->pollKeepingKeys();
    }
    return impl_->pendingKeys.front();
}

void SdlWindow::delay(int ms) {
    impl_->run(ms, false);
}

}  // namespace kalvento
