#include "motion/motion.h"

#include <algorithm>
#include <cstdlib>

#include "core/input_queue.h"
#include "core/playback.h"
#include "core/player_state.h"
#include "ipc/shared_motion.h"

namespace kalvento {

int frameDifference(const uint8_t* a, const uint8_t* b, int pixelStep) {
    int step = std::max(1, pixelStep);
    int sum = 0;
    for (int y = 0; y < kCamHeight; y += step) {
        const uint8_t* rowA = a + y * kCamWidth;
        const uint8_t* rowB = b + y * kCamWidth;
        for (int x = 0; x < kCamWidth; x += step) sum += std::abs(rowA[x] - rowB[x]);
    }
    return sum;
}

void measureMotion(State& state, SharedBlock& block) {
    CameraState& camera = state.camera;
    camera.DifferenceSum = 0;
    if (camera.CamActive == 0) {
        if (camera.VR_threshold == camera.QBN_threshold) {
            readSharedMotion(block, state.SI);
            camera.DifferenceSum = diffSumOf(state.SI);
        }
        std::fill(camera.CamFramePair.begin(), camera.CamFramePair.end(), uint8_t{0});
        // Without a camera the recogniser's cell grids start again from black as well.
        for (CellGrid& grid : state.gesture.Grid) grid.fill(0);
        state.gesture.GridCopy.fill(0);
        return;
    }
    const uint8_t* pair = camera.CamFramePair.data();
    camera.DifferenceSum = frameDifference(pair, pair + kCamFrameBytes, camera.PixelStep);
    publishMotion(block, state.SI, camera.CamChan, camera.DifferenceSum);
}

int playbackStep(State& state) {
    PlaybackState& playback = state.playback;
    SelectionState& selection = state.selection;
    int maxCount = state.contents.MaxCount;
    int d = state.camera.DifferenceSum;
    if (d > state.camera.VR_threshold) {
        ++playback.MotionRun;
        if (playback.ReplayDirection == 1) {
            moveFramePosition(playback, playback.VR_step);
            if (clipIndexOf(playback.frame_no) >= maxCount) setFramePosition(playback, maxCount - 1);
        } else if (playback.ReplayDirection == 0) {
            moveFramePosition(playback, -(playback.VR_step));
        }
        if (playback.frame_no < 0.0) setFramePosition(playback, 0.0);
    } else if (d > 0) {
        if (playback.MotionRun > playback.ReverseRun) {
            playback.ReplayDirection = playback.ReplayDirection == 1 ? 0 : 1;
            if (selection.AutoJumpFlag == 1) ++selection.MotionCount;
        }
        if (playback.MotionRun > playback.RunReset) playback.MotionRun = 0;
    }
    if (selection.AutoJumpFlag == 1 && selection.MotionCount > selection.RFJ_parameter) {
        injectInput(playback, Input::Command("random-folder", {}, InputSource::Player));
        selection.MotionCount = 0;
    }
    if (playback.ReplayDirection != playback.SignalledDirection) {
        playback.SignalledDirection = playback.ReplayDirection;
        if (maxCount == 2 && (playback.ReplayDirection == 0 || playback.ReplayDirection == 1))
            return playback.ReplayDirection;
    }
    return -1;
}

}  // namespace kalvento
