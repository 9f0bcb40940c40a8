#pragma once
// The player window on SDL2.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"

namespace kalvento {

// One screen of the display as SDL numbers them (0 first), with its place on the desktop.
struct ScreenInfo {
    int number = 0;
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
};

// "0 (1280x720 at 0,0), 1 (720x1280 at 1280,0)": the screens, for messages.
std::string screenListText(const std::vector<ScreenInfo>& screens);

// Where the player window opens: on which screen, and whether it covers it.
struct WindowPlace {
    int screen = 0;
    bool fullscreen = false;
};

// The player window on SDL2: it opens a window on a screen, shows the pixels composed into
// its buffer (canvas, present) and reads keys and the pointer (in window pixels). A picture
// shown straight to it is stretched over the window; the player's pictures are laid out by a
// composer in front of it.
class SdlWindow final : public Window {
public:
    // Starts SDL's video subsystem. Null, with the reason in `error`, when there is no display.
    // With `place.fullscreen` the window covers its screen and hides the mouse cursor while
    // the pointer is over it. A screen that does not exist is said in `note` (naming the
    // screens found), and the first is used.
    static std::unique_ptr<SdlWindow> open(std::string& error, WindowPlace place = {},
                                           std::string* note = nullptr);
    ~SdlWindow() override;

    // The screens SDL sees now.
    std::vector<ScreenInfo> screens() const;

    void create(WindowMode mode) override;
    void destroy() override;
    void setMouseCallback(MouseCallback callback, void* user) override;
    // Without a window on the screen (none created yet, or its image could not be shown) a
    // timed wait still takes its time, and a wait without time limit returns ESC at once, as
    // the window's close button does: no key can ever arrive.
    int waitKey(int ms) override;
    void delay(int ms) override;
    int peekKey(int ms) override;
    void redraw() override;
    void sizeToPicture(cv::Size picture) override;
    cv::Mat canvas(cv::Size wanted) override;
    void present() override;
    void onRepaint(std::function<void()> repaint) override;
    cv::Size pictureArea() const override;

    struct Impl;

private:
    SdlWindow();
    void showPicture(const cv::Mat& picture, Mirror mirror) override;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kalvento
