// kalvento_bench_osd_overlay: what the on-screen display adds to the window's work for one
// 1920x1080 picture, against the conversion of the clip into the window's pixels that every
// picture costs anyway. Scenes: nothing to say, a notice kept up, a banner that fades out
// again and again, a new message every turn (level 2), the status line, prompt and a message
// changing every turn (level 3), the help page, and the gauge and position bar of `i` changing
// every turn; for each, microseconds per picture
// and the share of the conversion, and how many pieces were composed per picture. Times are
// the processor time of the one thread doing the work, all of OpenCV's work included.
//
// usage: kalvento_bench_osd_overlay [--turns N]

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "core/events.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "display/on_screen_display.h"
#include "platform/headless_window.h"
#include "support/recording_window.h"
#include "platform/text_renderer.h"
#include "support/fake_clock.h"
#include "turn_bench.h"

using namespace kalvento;

namespace {

class QuietConsole final : public Console {
public:
    void out(std::string_view) override {}
    void err(std::string_view) override {}
    std::optional<std::string> readLine() override { return std::nullopt; }
};

// The fastest of three rounds of `turns` turns after a warm-up, in microseconds of this
// thread's processor time per turn: other work on a shared machine counts less than in a
// wall-clock time.
template <class RunTurns>
double cpuMicrosPerTurn(int turns, RunTurns runTurns) {
    const auto cpuMicros = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
    };
    runTurns(50);
    double best = 1e12;
    for (int round = 0; round < 3; ++round) {
        const double start = cpuMicros();
        runTurns(turns);
        best = std::min(best, (cpuMicros() - start) / turns);
    }
    return best;
}

// The clip into the window as the window puts it there: all of it but what the display covers
// with opaque pixels.
void convertAround(const cv::Mat& clip, cv::Mat& window, cv::Rect hidden) {
    hidden &= cv::Rect(cv::Point(0, 0), window.size());
    if (hidden.empty()) {
        cv::cvtColor(clip, window, cv::COLOR_BGR2BGRA);
        return;
    }
    const cv::Rect bands[4] = {
        {0, 0, window.cols, hidden.y},
        {0, hidden.br().y, window.cols, window.rows - hidden.br().y},
        {0, hidden.y, hidden.x, hidden.height},
        {hidden.br().x, hidden.y, window.cols - hidden.br().x, hidden.height},
    };
    for (const cv::Rect& band : bands) {
        if (band.empty()) continue;
        cv::Mat into = window(band);
        cv::cvtColor(clip(band), into, cv::COLOR_BGR2BGRA);
    }
}

struct BenchScene {
    const char* name;
    int level;
    int64_t stepMicros;                           // how far the clock moves each turn
    std::function<void(Events&, int turn)> say;  // before the turn's picture
};

}  // namespace

int main(int argc, char** argv) {
    const int turns = bench::turnsFromArguments(argc, argv, 300, "kalvento_bench_osd_overlay");
    if (turns < 0) return 2;
    std::string error;
    const std::optional<std::string> font = findDisplayFont(error);
    std::unique_ptr<TextRenderer> text = font ? TextRenderer::open(*font, error) : nullptr;
    if (!text) {
        std::fprintf(stderr, "no font: %s\n", error.c_str());
        return 1;
    }
    cv::Mat clip(1080, 1920, CV_8UC3);
    cv::randu(clip, 0, 255);
    cv::Mat window(clip.size(), CV_8UC4);

    const auto convert = [&](int n) {
        int sum = 0;
        for (int i = 0; i < n; ++i) {
            cv::cvtColor(clip, window, cv::COLOR_BGR2BGRA);
            sum += window.ptr(i % window.rows)[0];
        }
        return sum;
    };
    cv::setNumThreads(1);  // all the work on this thread, whose processor time is measured
    const double conversion = cpuMicrosPerTurn(turns, convert);
    std::printf("conversion of a 1920x1080 clip into the window: %.0f us\n", conversion);

    const BenchScene scenes[] = {
        {"nothing to say", 1, 1000, [](Events&, int) {}},
        {"a notice kept up", 1, 1000,
         [](Events& c, int turn) {
             if (turn == 0) c.notice("*** The camera stopped giving frames ***\n");
         }},
        {"a banner, fading out, every 2.5 s", 1, 10000,
         [](Events& c, int turn) {
             if (turn % 250 == 0) c.banner(Banner::CameraOn);
         }},
        {"level 2, a new message every turn", 2, 1000,
         [](Events& c, int turn) { c.print("DISP: FrameData[ %4d ].http[2]\n", turn % 500); }},
        {"level 3, lines changing every turn", 3, 1000,
         [](Events& c, int turn) {
             c.prompt(strf("S001:(%05d)> ", turn % 500));
             c.status(" * [SI.DiffSum=%8d ] [%5d /  500]\n", turn * 37, turn % 500);
             c.print("DISP: FrameData[ %4d ].http[2]\n", turn % 500);
         }},
        {"the help page", 1, 1000,
         [](Events& c, int turn) {
             if (turn != 0) return;
             std::vector<std::string> lines;
             for (int i = 0; i < 44; ++i)
                 lines.push_back(strf("[%c]   Moves to the clip the key names, number %d",
                                      'a' + i % 26, i));
             c.helpPage(lines, lines);
         }},
        {"i on: gauge and bar every turn", 1, 1000,
         [](Events& c, int turn) {
             c.gauge(GaugeReading{turn % 500, 500, {turn % 19, 9, 4, (turn / 3) % 19}}, "");
             c.position((turn % 500) / 499.0);
         }},
    };
    // KALVENTO_BENCH_SCENE=words measures only the scenes whose names hold them (for a profiler).
    const char* only = std::getenv("KALVENTO_BENCH_SCENE");
    for (const BenchScene& scene : scenes) {
        if (only != nullptr && std::string(scene.name).find(only) == std::string::npos) continue;
        test::FakeClock clock;
        HeadlessWindow screen;
        OnScreenDisplay display(*text, clock, screen, screen, scene.level, false);
        QuietConsole quiet;
        Events console(quiet);
        console.listen(&display);
        int turn = 0;
        const auto run = [&](int n) {
            int sum = 0;
            for (int i = 0; i < n; ++i, ++turn) {
                scene.say(console, turn);
                clock.advanceMicros(scene.stepMicros);
                if (display.visible()) {
                    convertAround(clip, window, display.opaqueArea(window.size()));
                    display.drawOver(window);
                } else {
                    cv::cvtColor(clip, window, cv::COLOR_BGR2BGRA);
                }
                sum += window.ptr(turn % window.rows)[0];
            }
            return sum;
        };
        const int64_t composedBefore = display.composeCount();
        const double us = cpuMicrosPerTurn(turns, run) - conversion;
        const double composed =
            static_cast<double>(display.composeCount() - composedBefore) / (turn ? turn : 1);
        std::printf(
            "%-36s %7.0f us more per picture (%5.1f %% of the conversion), %.2f pieces "
            "composed per picture\n",
            scene.name, us, 100.0 * us / conversion, composed);
    }
    return 0;
}
