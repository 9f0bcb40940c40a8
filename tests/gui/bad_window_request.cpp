// A request the X server must refuse with BadWindow, sent on a connection of its own: for
// the window probe, to show that an X error no longer ends the program.

#include <X11/Xlib.h>

namespace kalvento::test {

bool sendRequestForAMissingWindow() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.format = 32;
    // Resource ids have 29 bits; the server hands out none this high to a fresh client.
    const Window missing = 0x1FFFFFF0;
    event.xclient.window = missing;
    XSendEvent(display, missing, False, NoEventMask, &event);
    XSync(display, False);  // the error arrives here, before the connection is closed
    XCloseDisplay(display);
    return true;
}

}  // namespace kalvento::test
