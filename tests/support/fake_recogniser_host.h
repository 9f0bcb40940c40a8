#pragma once
// A RecogniserHost for tests of the recogniser's runs without a player: a captured console,
// and counts of what was asked of the loop. captureFrame hands over to `onCapture` when one is
// set (a test fills the frame pair there).

#include <functional>
#include <vector>

#include <opencv2/core.hpp>

#include "gesture/recogniser_host.h"
#include "support/capture_console.h"

namespace kalvento::test {

class FakeRecogniserHost final : public RecogniserHost {
public:
    void captureFrame(bool measure) override {
        ++captures;
        if (measure) ++measuredCaptures;
        if (onCapture) onCapture(measure);
    }
    const cv::Mat* currentClip() override { return clip.empty() ? nullptr : &clip; }
    void showWithFlip(const cv::Mat&) override { ++shows; }
    void waitWithWindow(int ms) override { waits.push_back(ms); }
    bool escapeWaiting() override { return escape; }
    void startTurn() override { ++turnsStarted; }
    void paceTurn(int turnsPerSecond) override { paces.push_back(turnsPerSecond); }
    Events& console() override { return capture; }

    const std::string& out() const { return capture.outText(); }
    const std::string& err() const { return capture.errText(); }

    CaptureConsole capture;
    cv::Mat clip;  // the current clip; empty: none
    std::function<void(bool measure)> onCapture;
    int captures = 0;
    int measuredCaptures = 0;
    int shows = 0;
    int turnsStarted = 0;
    std::vector<int> waits;  // milliseconds of every waitWithWindow
    bool escape = false;     // what escapeWaiting says
    std::vector<int> paces;  // turnsPerSecond of every paceTurn
};

}  // namespace kalvento::test
