// The player window on SDL2: one window, one streaming texture, and a key wait that turns
// SDL's keyboard and mouse events into the one-byte key codes and mouse events of window.h.
// This is the only file of the program that talks to SDL.

#include "platform/sdl_window.h"

#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <opencv2/imgproc.hpp>
#include <string>

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
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0;
    int textureHeight = 0;
    int windowWidth = 0;  // last size requested for the window (auto-size mode follows images)
    int windowHeight = 0;
    cv::Mat converted;  // reused for images that are not 3-channel BGR

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
        if (texture != nullptr) SDL_DestroyTexture(texture);
        if (renderer != nullptr) SDL_DestroyRenderer(renderer);
        SDL_DestroyWindow(window);
        texture = nullptr;
        renderer = nullptr;
        window = nullptr;
        windowId = 0;
        textureWidth = textureHeight = 0;
        windowWidth = windowHeight = 0;
        leftHeld = false;
    }

    bool openWindow(int width, int height) {
        // Hidden until the renderer exists: an OpenGL renderer may re-create the native
        // window, which must not happen to a window already on the screen.
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
        renderer = SDL_CreateRenderer(window, -1, 0);
        if (renderer == nullptr) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        if (renderer == nullptr) {
            reportOnce("cannot draw into the player window");
            SDL_DestroyWindow(window);
            window = nullptr;
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

    void present() {
        if (renderer == nullptr) return;
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        if (texture != nullptr) SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);
    }

    void show(const cv::Mat& image) {
        if (image.empty() || image.dims != 2) return;
        const cv::Mat* bgr = &image;
        switch (image.type()) {
            case CV_8UC3:
                break;
            case CV_8UC1:
                cv::cvtColor(image, converted, cv::COLOR_GRAY2BGR);
                bgr = &converted;
                break;
            case CV_8UC4:
                cv::cvtColor(image, converted, cv::COLOR_BGRA2BGR);
                bgr = &converted;
                break;
            default:
                return;  // not an 8-bit picture; nothing sensible to show
        }
        const int width = bgr->cols;
        const int height = bgr->rows;

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

        if (texture == nullptr || width != textureWidth || height != textureHeight) {
            if (texture != nullptr) SDL_DestroyTexture(texture);
            textureWidth = textureHeight = 0;
            texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_BGR24,
                                        SDL_TEXTUREACCESS_STREAMING, width, height);
            if (texture == nullptr) {
                reportOnce("cannot hold the image in the player window");
                return;
            }
            textureWidth = width;
            textureHeight = height;
            // Mouse coordinates arrive in image pixels whatever the window's size.
            SDL_RenderSetLogicalSize(renderer, width, height);
        }
        SDL_UpdateTexture(texture, nullptr, bgr->data, static_cast<int>(bgr->step[0]));
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
                if (!isOurs(e.window.windowID)) return kNoKey;
                switch (e.window.event) {
                    case SDL_WINDOWEVENT_EXPOSED:
                    case SDL_WINDOWEVENT_SHOWN:
                    case SDL_WINDOWEVENT_RESTORED:
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                        present();
                        break;
                    case SDL_WINDOWEVENT_FOCUS_LOST:
                        leftHeld = false;
                        break;
                    default:
                        break;
                }
                return kNoKey;

            case SDL_KEYDOWN:
            case SDL_KEYUP:
                ctrlHeld = (e.key.keysym.mod & KMOD_CTRL) != 0;
                return e.type == SDL_KEYDOWN ? keyFromKeyDown(e.key.keysym.sym) : kNoKey;

            case SDL_TEXTINPUT: {
                if (ctrlHeld) return kNoKey;  // Ctrl+letter is no key
                int first = kNoKey;
                forEachCodePoint(e.text.text, [&](std::uint32_t cp) {
                    if (cp < 32 || cp > 126) return;  // only printable ASCII is a key
                    if (first == kNoKey) {
                        first = static_cast<int>(cp);
                    } else if (keepKeys) {
                        pendingKeys.push_back(static_cast<int>(cp));
                    }
                });
                return first;
            }

            case SDL_MOUSEMOTION:
                if (!isOurs(e.motion.windowID)) return kNoKey;
                leftHeld = (e.motion.state & SDL_BUTTON_LMASK) != 0;
                deliverMouse(kMouseMove, e.motion.x, e.motion.y);
                return kNoKey;

            case SDL_MOUSEBUTTONDOWN:
                if (!isOurs(e.button.windowID)) return kNoKey;
                if (e.button.button == SDL_BUTTON_LEFT) leftHeld = true;
                if (e.button.clicks >= 2) return kNoKey;  // double clicks are not passed on
                switch (e.button.button) {
                    case SDL_BUTTON_LEFT:
                        deliverMouse(kMouseLeftDown, e.button.x, e.button.y);
                        break;
                    case SDL_BUTTON_RIGHT:
                        deliverMouse(kMouseRightDown, e.button.x, e.button.y);
                        break;
                    case SDL_BUTTON_MIDDLE:
                        deliverMouse(kMouseMiddleDown, e.button.x, e.button.y);
                        break;
                    default:
                        break;
                }
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
    // Smooth scaling when the window is resized away from the image size.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
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

void SdlWindow::show(const cv::Mat& bgr) {
    impl_->show(bgr);
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
    }
    return impl_->pendingKeys.front();
}

void SdlWindow::delay(int ms) {
    impl_->run(ms, false);
}

}  // namespace kalvento
