#include "platform/x_errors.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>

namespace kalvento {

namespace {

// Xlib keeps one error handler for the whole process; the count of reports is with it.
std::atomic<int> g_reported{0};
constexpr int kMostReports = 5;

int reportXError(Display* display, XErrorEvent* event) {
    if (g_reported.fetch_add(1) < kMostReports) {
        char text[256] = "";
        XGetErrorText(display, event->error_code, text, sizeof text);
        std::fprintf(stderr, "X error ignored: %s (request %d.%d, resource 0x%lx)\n", text,
                     event->request_code, event->minor_code, event->resourceid);
    }
    return 0;
}

}  // namespace

void keepGoingOnXErrors() {
    XSetErrorHandler(reportXError);
}

}  // namespace kalvento
