#pragma once
// A recogniser on its own, with the grids it reads, a camera frame pair and a host that
// records its waits: for the discrimination, learning and drive tests.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <opencv2/core.hpp>

#include "core/state.h"
#include "gesture/recogniser.h"
#include "gesture/recogniser_host.h"
#include "gesture/recognition.h"
#include "platform/console.h"

namespace kalvento::test {

// Records what a recogniser run asks of the player; captures do nothing (tests put pictures
// into the frame pair themselves).
class RecordingHost final : public RecogniserHost {
public:
    explicit RecordingHost(Console& console) : console_(console) {}
    void captureFrame(bool) override { ++captures; }
    const cv::Mat* currentClip() override { return nullptr; }
    void showWithFlip(const cv::Mat&) override { ++shows; }
    void waitWithWindow(int ms) override { waits.push_back(ms); }
    void startTurn() override {}
    void paceTurn(int) override {}
    Console& console() override { return console_; }

    int captures = 0;
    int shows = 0;
    std::vector<int> waits;

private:
    Console& console_;
};

class RecogniserFixture : public ::testing::Test {
protected:
    Recogniser& rec() { return *recogniser_; }
    RecogniserTurn& turn() { return turn_; }

    CaptureConsole console;
    RecordingHost host{console};
    std::unique_ptr<Recogniser> recogniser_ = std::make_unique<Recogniser>();
    std::unique_ptr<State> state_ = std::make_unique<State>();
    RecogniserTurn turn_{*recogniser_, state_->gesture, state_->camera, host};
};

}  // namespace kalvento::test
