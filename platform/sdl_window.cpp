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
    // State of the player window as the player sees it: created (by create() or the first
    // canvas) until destroy(). The SDL window itself is made when the first picture asks for
    // the window's pixels, at the size that picture wants, so it never appears at a wrong size.
    // It then stays for the whole run: a new size is a resize, never a new window.
    bool created = false;
    WindowMode mode = WindowMode::Normal;

    SDL_Window* window = nullptr;
    Uint32 windowId = 0;

    // The window's pixels when the window's format is not XRGB8888: composed here, converted
    // into the window at present().
    cv::Mat ownCanvas;
    std::function<void()> repaint;  // draws the window's pixels again

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
    // focus over, so a window made again never leaves the keyboard talking to nothing (on an
    // X server without a window manager nobody else would give it back).
    bool focusNextWindow = false;

    bool reportedFailure = false;
    bool fullscreen = false;  // the window covers its screen, whatever its mode
    int screen = 0;           // the screen the window opens on (SDL's display index)

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
        leftHeld = false;
    }

    bool openWindow(int width, int height) {
        Uint32 flags = SDL_WINDOW_HIDDEN;
        if (mode == WindowMode::Normal) flags |= SDL_WINDOW_RESIZABLE;
        int x = static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(screen));
        int y = x;
        SDL_Rect bounds;
        if (fullscreen && SDL_GetDisplayBounds(screen, &bounds) == 0) {
            // Frameless at the size of the screen, then fullscreen: without a window manager
            // nobody acts on the fullscreen request, and the window covers the screen anyway.
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

    // A normal or auto-sized window takes `size`; a fullscreen one keeps the screen's.
    void resize(cv::Size size) {
        if (window == nullptr || fullscreen || size.width <= 0 || size.height <= 0) return;
        // The window's size now, not the one last asked for: a person may have resized it.
        int width = 0, height = 0;
        SDL_GetWindowSize(window, &width, &height);
        if (size.width == width && size.height == height) return;
        SDL_SetWindowSize(window, size.width, size.height);
    }

    // The window's pixels as BGRA: the window's own buffer when it is XRGB8888 (B, G, R, X
    // in memory), else a buffer of ours converted at present().
    cv::Mat canvas(cv::Size wanted) {
        if (!created) {  // drawing without a window opens a normal one
            created = true;
            mode = WindowMode::Normal;
        }
        if (window == nullptr) {
            if (wanted.width <= 0 || wanted.height <= 0) return {};
            if (!openWindow(wanted.width, wanted.height)) return {};
        } else if (mode == WindowMode::AutoSize) {
            resize(wanted);
        }
        SDL_Surface* surface = SDL_GetWindowSurface(window);
        if (surface == nullptr) {
            reportOnce("cannot draw into the player window");
            return {};
        }
        const SDL_PixelFormat* format = surface->format;
        if (format->BytesPerPixel == 4 && format->Rmask == 0x00FF0000u &&
            format->Gmask == 0x0000FF00u && format->Bmask == 0x000000FFu)
            return cv::Mat(surface->h, surface->w, CV_8UC4, surface->pixels,
                           static_cast<size_t>(surface->pitch));
        ownCanvas.create(surface->h, surface->w, CV_8UC4);
        return ownCanvas;
    }

    // Puts the window's pixels on the screen (converting our own buffer into the window's
    // format first).
    void present() {
        if (window == nullptr) return;
        SDL_Surface* surface = SDL_GetWindowSurface(window);
        if (surface == nullptr) return;
        if (ownCanvas.cols == surface->w && ownCanvas.rows == surface->h &&
            !(surface->format->BytesPerPixel == 4 && surface->format->Rmask == 0x00FF0000u)) {
            if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
            SDL_ConvertPixels(surface->w, surface->h, SDL_PIXELFORMAT_BGRA32, ownCanvas.data,
                              static_cast<int>(ownCanvas.step[0]), surface->format->format,
                              surface->pixels, surface->pitch);
            if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
        }
        if (SDL_UpdateWindowSurface(window) != 0) reportOnce("cannot show the player window");
    }

    // A picture shown without a composer: stretched over the whole window.
    void show(const cv::Mat& image) {
        if (image.empty() || image.dims != 2 || image.depth() != CV_8U) return;
        cv::Mat target = canvas(image.size());
        if (target.empty()) return;
        cv::Mat bgra;
        if (image.channels() == 1)
            cv::cvtColor(image, bgra, cv::COLOR_GRAY2BGRA);
        else if (image.channels() == 3)
            cv::cvtColor(image, bgra, cv::COLOR_BGR2BGRA);
        else if (image.channels() == 4)
            bgra = image;
        else
            return;
        cv::resize(bgra, target, target.size(), 0, 0, cv::INTER_LINEAR);
        present();
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
                deliverMouse(kMouseMove, e.motion.x, e.motion.y);
                return kNoKey;
            case SDL_MOUSEBUTTONDOWN:
                handleButtonDown(e.button);
                return kNoKey;
            case SDL_MOUSEBUTTONUP:
                if (!isOurs(e.button.windowID) || e.button.button != SDL_BUTTON_LEFT) return kNoKey;
                leftHeld = false;
                deliverMouse(kMouseLeftUp, e.button.x, e.button.y);
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
                if (repaint) repaint();
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
                deliverMouse(kMouseLeftDown, e.x, e.y);
                break;
            case SDL_BUTTON_RIGHT:
                deliverMouse(kMouseRightDown, e.x, e.y);
                break;
            case SDL_BUTTON_MIDDLE:
                deliverMouse(kMouseMiddleDown, e.x, e.y);
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

std::string screenListText(const std::vector<ScreenInfo>& screens) {
    std::string text;
    for (const ScreenInfo& screen : screens) {
        if (!text.empty()) text += ", ";
        text += std::to_string(screen.number) + " (" + std::to_string(screen.width) + "x" +
                std::to_string(screen.height) + " at " + std::to_string(screen.x) + "," +
                std::to_string(screen.y) + ")";
    }
    return text;
}

std::vector<ScreenInfo> SdlWindow::screens() const {
    std::vector<ScreenInfo> found;
    const int count = SDL_GetNumVideoDisplays();
    for (int i = 0; i < count; ++i) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
        found.push_back(ScreenInfo{i, bounds.w, bounds.h, bounds.x, bounds.y});
    }
    return found;
}

std::unique_ptr<SdlWindow> SdlWindow::open(std::string& error, WindowPlace place,
                                           std::string* note) {
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
    window->impl_->fullscreen = place.fullscreen;
    const int count = SDL_GetNumVideoDisplays();
    if (place.screen >= 0 && place.screen < count) {
        window->impl_->screen = place.screen;
    } else if (note != nullptr) {
        *note = "there is no screen " + std::to_string(place.screen) +
                "; the screens found: " + screenListText(window->screens()) +
                ". The window opens on screen 0.";
    }
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

void SdlWindow::showPicture(const cv::Mat& picture, Mirror) {
    impl_->show(picture);
}

void SdlWindow::redraw() {
    if (impl_->repaint) impl_->repaint();
}

void SdlWindow::sizeToPicture(cv::Size picture) {
    impl_->resize(picture);
}

cv::Mat SdlWindow::canvas(cv::Size wanted) {
    return impl_->canvas(wanted);
}

void SdlWindow::present() {
    impl_->present();
}

void SdlWindow::onRepaint(std::function<void()> repaint) {
    impl_->repaint = std::move(repaint);
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
