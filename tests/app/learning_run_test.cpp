// Learning runs in the main loop of an in-process player: the gesture turns of a run end
// before the display and the key stage, a key typed meanwhile waits for the first key stage
// after the run, ESC cancels the run, and a run without camera pictures gives up.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "core/banners.h"
#include "gesture/kb_files.h"
#include "gesture/learning.h"
#include "support/player_fixture.h"
#include "support/text.h"

namespace kalvento::test {
namespace {

// A camera picture: a white block on black whose left edge is at `x`.
cv::Mat blockAt(int x) {
    cv::Mat frame(kCamHeight, kCamWidth, CV_8UC3, cv::Scalar(0, 0, 0));
    cv::rectangle(frame, cv::Rect(x, 60, 80, 120), cv::Scalar(255, 255, 255), cv::FILLED);
    return frame;
}

class LearningRun : public PlayerFixture {
protected:
    LearningRun() { ws.addClipRange(1, 9); }
    // A player that learns `count` gestures from the start.
    Player& learner(int count) {
        Options options;
        options.learnCount = count;
        learner_ = std::make_unique<Player>(io, options);
        return *learner_;
    }
    void still(int frames, int x = 0) {
        for (int i = 0; i < frames; ++i) camera.frames.push_back(blockAt(x));
    }
    // A motion of `turns` moving pictures that ends where it stops.
    void sweep(int turns) {
        for (int i = 1; i <= turns; ++i) camera.frames.push_back(blockAt(i * 30));
    }
    std::unique_ptr<Player> learner_;
};

TEST_F(LearningRun, AKeyTypedDuringTheRunWaitsUntilTheLearningIsDone) {
    // Turn 1, then the quiet phase of the standard motion; its motion; the quiet phase of the
    // similar motion; its motion; the review replays the kept grids.
    still(31);
    sweep(5);
    still(40, 150);
    sweep(5);
    still(60, 150);
    // Three key stages pass between the runs (turn 1, after the standard motion, after the
    // review); W comes after them.
    script("idle 3\nkey W\n");
    Player& player = learner(1);

    ASSERT_EQ(player.run(), 0);

    const std::string& text = out();
    size_t finished =
        text.find("  OOOOOOO  OOOOOO  OO   OO  OOOOOO   OOOOO   OO   OO  OOOOOOO  OOOOOO   OO  \n");
    size_t written = text.find("\nWriteKB:\n");
    ASSERT_NE(finished, std::string::npos) << text;
    ASSERT_NE(written, std::string::npos);
    EXPECT_LT(finished, written);
    EXPECT_TRUE(files.isReadableFile(kbFileName(1, 4)));
    EXPECT_EQ(count(text, "   OOOOO                OO   OO  \n"), 1u) << "one similar run (Go!!)";
    const Recogniser& rec = player.recogniser;
    EXPECT_EQ(rec.kb.labels[0].MotionLength, 5);
    EXPECT_TRUE(rec.kb.exists(0, 0, 4));
    EXPECT_FALSE(rec.kb.exists(0, 0, 5));
    EXPECT_GT(rec.kb.SimilarFrames[0], 0);
    EXPECT_EQ(rec.learning.AutoLearn, 0);
    EXPECT_EQ(rec.learning.REVIEW_MODE, 0);
    EXPECT_EQ(player.state.playback.PlayEngine, 0);
}

TEST_F(LearningRun, EscCancelsTheRunDeletesItsMotionAndPauses) {
    still(31);
    sweep(3);  // the motion is under way when ESC is seen
    script("idle 1\nkey ESC\nkey ESC\n");
    Player& player = learner(2);

    ASSERT_EQ(player.run(), 0);

    const std::string& text = out();
    EXPECT_TRUE(contains(text, "\n*** ESC: THE LEARNING RUN IS CANCELLED. ***\n"));
    EXPECT_TRUE(contains(text, " OOOO    OOO   O   O   OOOO  OOOOO  O \n")) << "paused";
    const Recogniser& rec = player.recogniser;
    EXPECT_EQ(rec.kb.presentSamples(), 0);
    EXPECT_EQ(rec.learning.AutoLearn, 0);
    EXPECT_EQ(rec.learning.LearnTarget, -1);
    EXPECT_EQ(rec.params.SimilarRuns, 0);
}

TEST_F(LearningRun, EscInTheCountdownEndsItAtOnceAndCancelsTheRun) {
    still(31);
    script("idle 1\nkey ESC\nkey ESC\n");  // typed while the countdown shows 5
    Player& player = learner(1);

    ASSERT_EQ(player.run(), 0);

    const std::string& text = out();
    const auto art = [](Banner banner) {
        std::string rows;
        for (const char* row : bannerArt(banner).rows) rows += std::string(row) + "\n";
        return rows;
    };
    EXPECT_TRUE(contains(text, art(Banner::Digit5))) << "the 5 was shown";
    EXPECT_FALSE(contains(text, art(Banner::Digit4))) << "no 4: the countdown ended";
    EXPECT_FALSE(contains(text, art(Banner::Go)));
    EXPECT_FALSE(contains(text, "STOP YOUR BODY MOTION")) << "no quiet phase";
    EXPECT_EQ(count(text, "\n*** ESC: THE LEARNING RUN IS CANCELLED. ***\n"), 1u);
    EXPECT_EQ(player.recogniser.learning.LearnTarget, -1);
    EXPECT_EQ(player.recogniser.kb.presentSamples(), 0);
}

TEST_F(LearningRun, WithoutCameraPicturesTheRunIsCancelledAndThePlayerGoesOn) {
    camera.openable = false;
    script("idle 1\nkey l\n");
    Player& player = learner(1);

    ASSERT_EQ(player.run(), 0);

    const std::string& text = out();
    EXPECT_EQ(count(text, "NO CAMERA PICTURE: THE LEARNING RUN IS CANCELLED."), 1u);
    EXPECT_TRUE(contains(text, "KEY FUNCTION : [l][ Reset Frame Number ]") ||
                contains(text, "キー入力[ l ]"))
        << "the key stage is reached again";
    EXPECT_EQ(player.recogniser.learning.AutoLearn, 0);
    EXPECT_EQ(player.recogniser.learning.LearnTarget, -1);
}

TEST_F(LearningRun, LAsksForOneToEightGesturesAndStartsInGestureMode) {
    load();
    console.addInputLine("0");
    console.addInputLine("nine");
    console.addInputLine("9");
    console.addInputLine("3");
    press('L');
    EXPECT_EQ(count(out(), "*** How many gestures do you want to learn? (1-8) : "), 4u);
    EXPECT_EQ(count(out(), "*** Please answer with a number from 1 to 8.\n"), 3u);
    EXPECT_EQ(player.recogniser.learning.AutoLearn, 1);
    EXPECT_EQ(player.recogniser.learning.GestureMax, 2);
    EXPECT_EQ(player.state.playback.PlayEngine, 0);
    EXPECT_EQ(player.state.camera.CamActive, 1);
    EXPECT_EQ(camera.opens, 1);
}

TEST_F(LearningRun, LWithoutAnAnswerLearnsNothing) {
    load();
    press('L');
    EXPECT_TRUE(contains(out(), "*** No answer: no gesture is learned.\n"));
    EXPECT_EQ(player.recogniser.learning.AutoLearn, 0);
    EXPECT_EQ(player.state.playback.PlayEngine, 1);
    EXPECT_EQ(camera.opens, 0);
}

TEST_F(LearningRun, WWritesTheKnowledgeBaseUnlessTheDesignSaysNot) {
    load();
    player.state.playback.MotionDisplayMode = 1;
    press('W');
    EXPECT_TRUE(contains(out(), "KEY FUNCTION : [ Write Gesture Data ]\n"));
    EXPECT_TRUE(contains(out(), "\nWriteKB:\n"));
    for (int part = 1; part <= 4; ++part) {
        EXPECT_TRUE(files.isReadableFile(kbFileName(1, part))) << part;
        files.remove(kbFileName(1, part));
    }

    struct Case {
        int displayMode, similarRuns, review;
        bool title;
    } skipped[] = {{2, 0, 0, true}, {1, 1, 0, true}, {0, 0, 1, false}};
    for (const Case& c : skipped) {
        console.clear();
        player.state.playback.MotionDisplayMode = c.displayMode;
        player.recogniser.params.SimilarRuns = c.similarRuns;
        player.recogniser.learning.REVIEW_MODE = c.review;
        press('W');
        EXPECT_EQ(contains(out(), "KEY FUNCTION : [ Write Gesture Data ]\n"), c.title);
        EXPECT_FALSE(contains(out(), "WriteKB:")) << c.displayMode;
        EXPECT_FALSE(files.isReadableFile(kbFileName(1, 1)));
    }
}

}  // namespace
}  // namespace kalvento::test
