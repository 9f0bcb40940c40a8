// Frame differencing and the playback step that moves through the clips with it.

#include <gtest/gtest.h>

#include <vector>

#include "core/player_state.h"
#include "ipc/shared_motion.h"
#include "motion/motion.h"
#include "support/injected.h"

namespace kalvento {
namespace {

using test::injectedAsKey;

TEST(FrameDifference, SumsEverySampledPixelOnly) {
    std::vector<uint8_t> a(kCamFrameBytes, 100), b(kCamFrameBytes, 100);
    EXPECT_EQ(frameDifference(a.data(), b.data(), 4), 0);
    b[0] = 90;                   // sampled (0, 0)
    b[4 * kCamWidth + 8] = 130;  // sampled (8, 4)
    b[1] = 0;                    // not sampled with step 4
    b[3 * kCamWidth] = 0;        // not sampled with step 4
    EXPECT_EQ(frameDifference(a.data(), b.data(), 4), 10 + 30);
    EXPECT_EQ(frameDifference(a.data(), b.data(), 1), 10 + 30 + 100 + 100);
    std::vector<uint8_t> black(kCamFrameBytes, 0), white(kCamFrameBytes, 255);
    EXPECT_EQ(frameDifference(black.data(), white.data(), 4), 4800 * 255);
    EXPECT_EQ(frameDifference(black.data(), white.data(), 0), 76800 * 255) << "step below 1";
}

TEST(MeasureMotion, PublishesWithTheCameraOpenAndFollowsOthersWhenClosed) {
    State state;
    MemorySharedBlock block;
    state.camera.CamActive = 1;
    state.camera.CamChan = 5;
    std::fill(state.camera.CamFramePair.begin() + kCamFrameBytes, state.camera.CamFramePair.end(),
              uint8_t{2});
    measureMotion(state, block);
    EXPECT_EQ(state.camera.DifferenceSum, 9600);
    EXPECT_EQ(webCamOf(block.bytes, 5), 9600);
    EXPECT_EQ(diffSumOf(block.bytes), 9600);

    State follower;
    follower.camera.CamActive = 0;
    follower.camera.VR_threshold = follower.camera.QBN_threshold;
    follower.camera.CamFramePair[10] = 9;
    follower.gesture.Grid[1][7] = 9;
    follower.gesture.GridCopy[7] = 9;
    measureMotion(follower, block);
    EXPECT_EQ(follower.camera.DifferenceSum, 9600);
    EXPECT_EQ(follower.camera.CamFramePair[10], 0) << "the pair is cleared without camera";
    EXPECT_EQ(follower.gesture.Grid[1][7], 0);
    EXPECT_EQ(follower.gesture.GridCopy[7], 0);
    follower.camera.VR_threshold = 9600;  // before the first turn's end: not followed
    measureMotion(follower, block);
    EXPECT_EQ(follower.camera.DifferenceSum, 0);
}

class PlaybackStepTest : public ::testing::Test {
protected:
    PlaybackStepTest() {
        state.contents.MaxCount = 100;
        state.camera.VR_threshold = 11500;
        state.playback.ReverseRun = 3;
        state.playback.RunReset = 1;
        state.playback.frame_no = 50.0;
    }
    void turns(std::initializer_list<int> amounts) {
        for (int amount : amounts) {
            state.camera.DifferenceSum = amount;
            playbackStep(state);
        }
    }
    State state;
};

TEST_F(PlaybackStepTest, FourMotionTurnsThenAQuietOneReverse) {
    turns({20000, 20000, 20000, 20000});
    EXPECT_EQ(state.playback.frame_no, 54.0);
    EXPECT_EQ(state.playback.MotionRun, 4);
    turns({5000});
    EXPECT_EQ(state.playback.ReplayDirection, 0);
    EXPECT_EQ(state.playback.MotionRun, 0);
    turns({20000});
    EXPECT_EQ(state.playback.frame_no, 53.0);
}

TEST_F(PlaybackStepTest, ShortRunsOnlyResetOrSurvive) {
    turns({20000, 20000, 5000});
    EXPECT_EQ(state.playback.frame_no, 52.0);
    EXPECT_EQ(state.playback.ReplayDirection, 1);
    EXPECT_EQ(state.playback.MotionRun, 0);
    turns({20000, 5000});
    EXPECT_EQ(state.playback.MotionRun, 1) << "a run of one survives a quiet turn";
    turns({20000, 5000});
    EXPECT_EQ(state.playback.MotionRun, 0);
    EXPECT_EQ(state.playback.ReplayDirection, 1);
    turns({0, -5});
    EXPECT_EQ(state.playback.frame_no, 54.0);
    EXPECT_EQ(state.playback.MotionRun, 0);
}

TEST_F(PlaybackStepTest, StopsAtTheEndsOfTheFolder) {
    state.playback.frame_no = 99.0;
    turns({20000});
    EXPECT_EQ(state.playback.frame_no, 99.0);
    state.playback.frame_no = 0.0;
    state.playback.ReplayDirection = 0;
    turns({20000});
    EXPECT_EQ(state.playback.frame_no, 0.0);
    state.contents.MaxCount = 0;
    state.playback.ReplayDirection = 1;
    turns({20000});
    EXPECT_EQ(state.playback.frame_no, 0.0) << "an empty folder never goes negative";
}

TEST_F(PlaybackStepTest, TheTwentyFirstCountedReversalAsksForARandomFolder) {
    state.selection.AutoJumpFlag = 1;
    for (int reversal = 1; reversal <= 20; ++reversal) {
        turns({20000, 20000, 20000, 20000, 5000});
        ASSERT_EQ(state.selection.MotionCount, reversal);
        ASSERT_EQ(injectedAsKey(state.playback), 0);
    }
    turns({20000, 20000, 20000, 20000, 5000});
    EXPECT_EQ(injectedAsKey(state.playback), 'j');
    EXPECT_EQ(state.selection.MotionCount, 0);
    state.selection.AutoJumpFlag = 0;
    state.playback.PendingKey = 0;
    turns({20000, 20000, 20000, 20000, 5000});
    EXPECT_EQ(state.selection.MotionCount, 0) << "reversals count only with AutoJumpFlag";
}

TEST_F(PlaybackStepTest, TwoClipFoldersMakeSureOfTheClipTheyTurnTo) {
    state.contents.MaxCount = 2;
    state.playback.frame_no = 0.0;
    state.camera.DifferenceSum = 0;
    EXPECT_EQ(playbackStep(state), 1) << "the first step handles the start direction";
    EXPECT_EQ(state.playback.SignalledDirection, 1);
    EXPECT_EQ(playbackStep(state), -1);
    turns({20000, 20000, 20000, 20000});
    state.camera.DifferenceSum = 5000;
    EXPECT_EQ(playbackStep(state), 0);
    EXPECT_EQ(state.playback.frame_no, 1.0) << "frame_no itself is not changed by it";
    state.contents.MaxCount = 3;
    turns({20000, 20000, 20000, 20000});
    state.camera.DifferenceSum = 5000;
    EXPECT_EQ(playbackStep(state), -1) << "only folders of two clips";
}

}  // namespace
}  // namespace kalvento
