#pragma once
// A recogniser on its own, with the state record whose grids and camera frame pair it reads
// and a fake host: for the discrimination, learning and drive tests.

#include <gtest/gtest.h>

#include <memory>

#include "core/player_state.h"
#include "gesture/recogniser.h"
#include "gesture/recogniser_turn.h"
#include "platform/console.h"
#include "support/capture_console.h"
#include "support/fake_recogniser_host.h"

namespace kalvento::test {

class RecogniserFixture : public ::testing::Test {
protected:
    Recogniser& rec() { return *recogniser_; }
    RecogniserTurn& turn() { return turn_; }

    FakeRecogniserHost host;
    CaptureConsole& console = host.capture;
    std::unique_ptr<Recogniser> recogniser_ = std::make_unique<Recogniser>();
    std::unique_ptr<State> state_ = std::make_unique<State>();
    RecogniserTurn turn_{*recogniser_, state_->gesture, state_->camera, host};
};

}  // namespace kalvento::test
