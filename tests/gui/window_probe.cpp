// Opens the real player window on SDL (with the player's composer in front) and reports what it delivers, one line per event, for
// the window tests that drive it with xdotool under Xvfb:
//   key CODE              a key read returned CODE (no-key reads are not printed)
//   mouse EVENT X Y FLAGS the mouse callback ran
//   shown W H             a colour picture of that size was shown
//   shown gray W H        a one-channel picture of that size was shown
//   shown left-right W H / shown upside-down W H
//                         the colour picture was shown mirrored
//   delay start / delay done
//                         a 1500 ms delay (keys dropped) begins / ends
//
// Usage: kalvento_window_probe [--autosize] [--wait MS] [--dump FILE] [--x-error] W H [W2 H2 ...]
//
// Shows a generated W x H picture in a normal (or auto-sized) window and reads keys with
// waits of MS milliseconds (default 50; 0 = no time limit). The picture is a view into a
// wider image, so its rows are not packed. Keys with an action (printed before it runs):
//   n  shows the picture of the next size of the list (cycling)
//   g  shows the current picture in gray (one channel)
//   h / v  shows the current picture mirrored left to right / upside down
//   o  switches an overlay on or off ("patch on" / "patch off") and shows the current
//      picture: it covers a rectangle off the centre with one opaque colour, and tells the
//      window so, which then leaves the picture out there
//   c  re-creates the window the way the player does (destroy, settle, create, register the
//      callback again, settle, show)
//   d  a delay of 1500 ms
// With --x-error, after the first picture a request the X server refuses with BadWindow is
// sent on a connection of its own, and "x error survived" printed once the error has come
// back. Two ESC in a row end the program with status 0. With --dump, every show writes the BGR
// bytes the window should display (rows packed) to FILE, for comparison with a screen capture.

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <opencv2/imgproc.hpp>
#include <string>
#include <utility>
#include <vector>

#include "display/composing_window.h"
#include "platform/sdl_window.h"

namespace {

void printLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

void printLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::putchar('\n');
    std::fflush(stdout);  // the test reads the lines while the probe runs
}

void printMouse(int event, int x, int y, int flags, void*) {
    printLine("mouse %d %d %d %d", event, x, y, flags);
}

// A picture whose every pixel differs from its neighbours, so scaling mistakes would show.
// It is a view into a wider image (a few columns left and right), so its rows are not packed.
cv::Mat makePicture(int width, int height) {
    cv::Mat wide(height, width + 7, CV_8UC3, cv::Scalar(0, 0, 255));
    cv::Mat picture = wide(cv::Rect(3, 0, width, height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<unsigned char>(x * 255 / width),
                                                    static_cast<unsigned char>(y * 255 / height),
                                                    static_cast<unsigned char>((x ^ y) & 0xff));
        }
    }
    return picture;
}

// An opaque patch off the centre, so a window that leaves the picture out under it in the
// wrong place (a mirrored picture) shows.
class Patch final : public kalvento::Overlay {
public:
    static constexpr int kX = 20, kY = 30, kWidth = 100, kHeight = 60;
    bool visible() override { return true; }
    cv::Rect opaqueArea(cv::Size) override { return cv::Rect(kX, kY, kWidth, kHeight); }
    void drawOver(cv::Mat& target) override { paint(target); }
    static void paint(cv::Mat& target) {
        target(cv::Rect(kX, kY, kWidth, kHeight) & cv::Rect(0, 0, target.cols, target.rows))
            .setTo(cv::Scalar(0, 128, 255, 255));
    }
};

// Writes the BGR bytes of `shown` (gray expanded to three equal channels), rows packed.
bool dumpPicture(const std::string& file, const cv::Mat& shown) {
    cv::Mat bgr;
    if (shown.channels() == 1) {
        cv::cvtColor(shown, bgr, cv::COLOR_GRAY2BGR);
    } else {
        bgr = shown.clone();
    }
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) return false;
    const std::size_t bytes = bgr.total() * bgr.elemSize();
    const bool written = std::fwrite(bgr.data, 1, bytes, out) == bytes;
    return std::fclose(out) == 0 && written;
}

int usage() {
    std::fprintf(
        stderr,
        "usage: kalvento_window_probe [--autosize] [--wait MS] [--dump FILE] W H [W2 H2 ...]\n");
    return 2;
}

}  // namespace

namespace kalvento::test {
bool sendRequestForAMissingWindow();  // bad_window_request.cpp
}

int main(int argc, char** argv) {
    kalvento::WindowMode mode = kalvento::WindowMode::Normal;
    int waitMs = 50;
    std::string dumpFile;
    bool provokeXError = false;
    std::vector<std::pair<int, int>> sizes;
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        if (std::strcmp(argv[i], "--autosize") == 0) {
            mode = kalvento::WindowMode::AutoSize;
        } else if (std::strcmp(argv[i], "--wait") == 0 && i + 1 < argc) {
            waitMs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--dump") == 0 && i + 1 < argc) {
            dumpFile = argv[++i];
        } else if (std::strcmp(argv[i], "--x-error") == 0) {
            provokeXError = true;
        } else {
            return usage();
        }
    }
    for (; i + 1 < argc; i += 2) {
        const int width = std::atoi(argv[i]);
        const int height = std::atoi(argv[i + 1]);
        if (width <= 0 || height <= 0) return usage();
        sizes.emplace_back(width, height);
    }
    if (sizes.empty() || i != argc || waitMs < 0) return usage();

    std::setlocale(LC_ALL, "");  // as the player does; it changes how X11 carries the title

    std::string error;
    auto screen = kalvento::SdlWindow::open(error);
    if (!screen) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    // The player's pictures reach the window through the composer, as in the player.
    kalvento::ComposingWindow composer(*screen);
    kalvento::Window* window = &composer;

    std::size_t current = 0;
    cv::Mat picture = makePicture(sizes[0].first, sizes[0].second);
    Patch patch;
    bool patched = false;
    auto show = [&](const cv::Mat& shown, kalvento::Mirror mirror = kalvento::Mirror::None) {
        window->show(shown, mirror);
        cv::Mat expected = shown;
        if (mirror != kalvento::Mirror::None)
            cv::flip(shown, expected, kalvento::flipCodeOf(mirror));
        if (patched) {
            if (expected.channels() == 1)
                cv::cvtColor(expected, expected, cv::COLOR_GRAY2BGR);
            else
                expected = expected.clone();
            Patch::paint(expected);
        }
        if (!dumpFile.empty() && !dumpPicture(dumpFile, expected)) {
            std::fprintf(stderr, "cannot write %s\n", dumpFile.c_str());
            std::exit(1);
        }
        const char* kind = shown.channels() == 1                    ? "gray "
                           : mirror == kalvento::Mirror::LeftRight  ? "left-right "
                           : mirror == kalvento::Mirror::UpsideDown ? "upside-down "
                                                                    : "";
        printLine("shown %s%d %d", kind, shown.cols, shown.rows);
    };

    window->create(mode);
    window->setMouseCallback(printMouse, nullptr);
    show(picture);
    if (provokeXError && kalvento::test::sendRequestForAMissingWindow())
        printLine("x error survived");

    int escapes = 0;
    while (escapes < 2) {
        const int key = window->waitKey(waitMs);
        if (key == kalvento::kNoKey) continue;
        printLine("key %d", key);
        escapes = key == kalvento::kKeyEsc ? escapes + 1 : 0;
        switch (key) {
            case 'n':
                current = (current + 1) % sizes.size();
                picture = makePicture(sizes[current].first, sizes[current].second);
                show(picture);
                break;
            case 'g': {
                cv::Mat gray;
                cv::cvtColor(picture, gray, cv::COLOR_BGR2GRAY);
                show(gray);
                break;
            }
            case 'h':
                show(picture, kalvento::Mirror::LeftRight);
                break;
            case 'v':
                show(picture, kalvento::Mirror::UpsideDown);
                break;
            case 'o':
                patched = !patched;
                window->setOverlay(patched ? &patch : nullptr);
                printLine(patched ? "patch on" : "patch off");
                show(picture);
                break;
            case 'c':
                window->destroy();
                window->delay(100);
                window->create(mode);
                window->setMouseCallback(printMouse, nullptr);
                window->delay(100);
                show(picture);
                break;
            case 'd':
                printLine("delay start");
                window->delay(1500);
                printLine("delay done");
                break;
            default:
                break;
        }
    }
    return 0;
}
