#pragma once
// What the player touches outside itself, bundled: each piece is a small interface with a real
// implementation and, where tests need one, a fake.

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/file_ops.h"
#include "platform/image_loader.h"
#include "platform/window.h"

namespace kalvento {

// The mouse callback and its user data, registered again whenever the window is re-created.
struct MouseHook {
    MouseCallback callback = nullptr;
    void* user = nullptr;
};

struct Io {
    Window& window;
    Console& console;
    FileOps& files;
    Clock& clock;
    ImageLoader& images;
    MouseHook mouse;

    // Creates the player window and registers the mouse callback on it.
    void createWindow(WindowMode mode) {
        window.create(mode);
        window.setMouseCallback(mouse.callback, mouse.user);
    }
};

}  // namespace kalvento
