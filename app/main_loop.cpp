// The main loop: initialisation, then one turn after another until the user quits from the
// pause.

#include <algorithm>
#include <cstring>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "app/player.h"
#include "app/startup.h"
#include "commands/command.h"
#include "commands/commands.h"
#include "commands/dispatch.h"
#include "core/decimal.h"
#include "core/paths.h"
#include "gesture/gesture_drive.h"
#include "gesture/learning.h"
#include "gesture/recognition.h"
#include "gesture/start_values.h"
#include "ipc/shared_motion.h"
#include "motion/camera_capture.h"
#include "motion/motion.h"

namespace kalvento {

namespace {

constexpr int kReplayPeriodReach = 22000;
constexpr int kMaxDirNum = 9999;
constexpr int kRepeatTurnsForKeyWait = 10;

// The integer at the start of `text`, as atoi reads it (0 when there is none).
int leadingNumber(const std::string& text) {
    size_t pos = 0;
    int value = 0;
    return parseDecimal(text, pos, value) ? value : 0;
}

}  // namespace

void Player::initialise() {
    io.console.print("\n");
    openSharedBlock();
    resetSharedMotion();
    setRecogniserStartValues(recogniser, state.gesture);
    CameraState& camera = state.camera;
    camera.VR_threshold = 153600 / (camera.PixelStep * camera.PixelStep);
    io.console.print("The system is starting up. This may take a while.\n\n");
    readParameters();
    scan();
    readParameters();
    takeStartingClip();
    showHelp();
    timer.restart();
    recogniser.learning.LearnTarget = -1;
    state.playback.PendingKey = 0;
}

// A first word that ends like S00003_00150.jpg selects the folder and the clip to start at.
void Player::takeStartingClip() {
    const CommandLineState& commandLine = state.commandLine;
    if (commandLine.ArgCount < 2) return;
    const std::string& word = commandLine.ArgText[1];
    std::optional<StartingClipText> start = startingClipOf(word);
    if (!start) return;
    io.console.print("\n***** Given File Name : [ %s ]\n", word.c_str());
    const std::string& folderText = start->folder;
    const std::string& frameText = start->frame;
    io.console.print("DirNumString=[ %s ]   FrameNumString=[ %s ]\n", folderText.c_str(),
                     frameText.c_str());
    // Folder numbers run from 1 to 10000; text that is no number reads as 0.
    state.contents.DirNum = std::clamp(leadingNumber(folderText) - 1, 0, kMaxDirNum);
    io.console.print("\n***** Changed Contents Directory to [%c%3d] \n", 'S',
                     state.contents.DirNum + 1);
    scan();
    readParameters();
    PlaybackState& playback = state.playback;
    // A clip number beyond the folder starts at its last clip.
    int frame = std::clamp(leadingNumber(frameText), 0, state.contents.MaxCount - 1);
    playback.frame_no = frame;
    io.console.print("\n***** Changed current frame_no = %f\n\n", playback.frame_no);
    if (playback.frame_no > 0) {
        playback.LastShownFrame = -1.0;
        playback.StartFrameNum = std::max(0, frame - kReplayPeriodReach);
        playback.EndFrameNum = std::min(frame + kReplayPeriodReach, state.contents.MaxCount - 1);
        io.console.print("SET REPLAY PERIOD : [ %6d ] <-> [%6d]\n", playback.StartFrameNum,
                         playback.EndFrameNum);
    }
}

void Player::beginTurn() {
    PlaybackState& playback = state.playback;
    playback.PromptText =
        folderName(state.contents.DirNum) + zeroFill(strf(":(%5d)>@", state.contents.MaxCount));
    std::replace(playback.PromptText.begin(), playback.PromptText.end(), '@', ' ');
    io.console.prompt(playback.PromptText);

    bool cameraOpen = state.camera.CamActive == 1;
    playback.ReverseRun = cameraOpen ? 3 : 5;
    playback.RunReset = cameraOpen ? 1 : 2;
    playback.StartFrameNum = 0;
    playback.EndFrameNum = 0;
    playback.WrapAroundFlag = 0;
    playback.JumpMode = 0;
    playback.IdleTurns = 0;
    playback.IdleLimit = 108000;
    playback.PlayStepMode = 1;

    static constexpr double kSpeedFactors[] = {0.1, 0.5, 1.0, 3.0, 6.0};
    if (playback.REPLAY_SPEED >= 1 && playback.REPLAY_SPEED <= 5)
        playback.SpeedFactor = kSpeedFactors[playback.REPLAY_SPEED - 1];
    playback.VR_step = playback.SpeedFactor;
    if (state.mouse.QuickAccessMode == 0) playback.PlayEngine = 1;

    if (playback.AutoReplayFlag == 0) {
        playback.f_rate = timer.rate();
        timer.restart();
    }
}

void Player::printStatus() {
    const PlaybackState& playback = state.playback;
    if (playback.MotionDisplayMode != 1 && playback.MotionDisplayMode != 2) return;
    readSharedMotion(*sharedBlock, state.SI);
    if (playback.MotionDisplayMode == 1) {
        io.console.status(
                       "[S%d] [%5d /%5d] [DifferenceSum=%7d (SI.DiffSum=%7d )] [VR_threshold= %d ] "
                       "[VR_step=%6.2f ] [f_rate=%6.2f [fps]]\n",
                       state.contents.DirNum + 1, clipIndexOf(playback.frame_no),
                       state.contents.MaxCount - 1, state.camera.DifferenceSum, diffSumOf(state.SI),
                       state.camera.VR_threshold, playback.VR_step, playback.f_rate);
        // The window shows where the clip stands as a bar at every level.
        const int count = state.contents.MaxCount;
        io.console.position(count > 1 ? static_cast<double>(clipIndexOf(playback.frame_no)) /
                                             (count - 1)
                                       : 0.0);
    } else if (playback.MotionDisplayMode == 2) {
        int total = diffSumOf(state.SI);
        std::string line =
            strf(" %c [SI.DiffSum=%7d ] ", total > state.camera.QBN_threshold ? '*' : ' ', total);
        for (int slot = 0; slot < kWebCamSlots; ++slot) {
            int value = webCamOf(state.SI, slot);
            if (value >= 1) line += strf("[WebCam( %2d ) =%7d ] ", slot, value);
        }
        io.console.status( "%s\n", line.c_str());
    }
}

bool Player::showClipAtPosition() {
    ContentsState& contents = state.contents;
    PlaybackState& playback = state.playback;
    int f = clipIndexOf(playback.frame_no);
    bool inFolder = f >= 0 && f < contents.MaxCount;
    if (f == clipIndexOf(playback.LastShownFrame)) {
        // After ten turns on the same clip the window gets one more moment for its events;
        // a key typed then is not used.
        const bool cached = inFolder && clipCache.find(f) != nullptr;
        if (++repeatTurns_ == kRepeatTurnsForKeyWait && cached) io.window.delay(1);
        // The meter follows the motion of every turn: the clip is shown again with the new bar.
        if (options_.meter && cached && playback.VR_step >= 0.0) showCachedClip(f);
        return true;
    }
    repeatTurns_ = 0;
    if (!inFolder) {
        // A position outside the folder shows nothing; it is remembered so it is not retried
        // every turn.
        playback.LastShownFrame = playback.frame_no;
        return true;
    }
    const FrameData& record = contents.FrameData[static_cast<size_t>(f)];
    if (clipCache.find(f) == nullptr && !fieldText(record.ClipPath).empty()) {
        const ClipLoad load = loadShownClip(f);
        if (load == ClipLoad::Rescanned) return false;
        if (load == ClipLoad::ShowNothing) return true;
    }
    std::string http(fieldText(record.http)), file(fieldText(record.file));
    if (!http.empty()) io.console.print("DISP: FrameData[ %5d ].http[2] = [%s]\n", f, http.c_str());
    if (!file.empty()) io.console.print("DISP: FrameData[ %5d ].file[3] = [%s]\n", f, file.c_str());
    if (playback.VR_step >= 0.0) showCachedClip(f);
    playback.LastShownFrame = playback.frame_no;
    return true;
}

Player::ClipLoad Player::loadShownClip(int clip) {
    PlaybackState& playback = state.playback;
    const int limit = playback.VR_step <= 0.0 ? 1 : playback.CamOnMemory;
    const bool ok = clipCache.load(clip, limit, [this](const std::string& path, cv::Mat& into) {
        return loadClipImage(path, into);
    });
    if (playback.PendingKey != '6') playback.PendingKey = 0;
    if (!ok) return clipLoadFailed(clip);
    rescannedAfterFailure_ = false;
    const cv::Mat& image = *clipCache.find(clip);
    const int x = static_cast<int>(image.cols * playback.frame_no / state.contents.MaxCount);
    clipCache.mark(clip, ClipMarker{x, state.mouse.QuickAccessMode == 0});
    return ClipLoad::Loaded;
}

Player::ClipLoad Player::clipLoadFailed(int clip) {
    PlaybackState& playback = state.playback;
    const FrameData& record = state.contents.FrameData[static_cast<size_t>(clip)];
    if (rescannedAfterFailure_) {
        // The folder was rescanned for a failed clip and this one fails too: show nothing,
        // keep the key stage reachable and do not rescan again until a clip loads.
        io.console.print("\n ***[ READ FAILED AGAIN ][ %s ]***\n",
                         std::string(fieldText(record.ClipPath)).c_str());
        playback.LastShownFrame = playback.frame_no;
        return ClipLoad::ShowNothing;
    }
    io.console.print(
        "\n ***[ READ FAILED! ][ NOW, RELOADING IMAGE FILES IN CONTENTS FOLDER ]***\n");
    scan();
    io.console.print("Done.\n\n");
    readFolderParameters();
    playback.LastShownFrame = -1.0;
    playback.PendingKey = 0;
    rescannedAfterFailure_ = true;
    return ClipLoad::Rescanned;
}

void Player::showCachedClip(int clip) {
    if (const cv::Mat* shown = clipCache.shown(clip, shownClip_)) showWithFlip(*shown);
}

bool Player::loadClipImage(const std::string& path, cv::Mat& into) {
    return io.clips != nullptr ? io.clips->loadClip(path, into) : io.images.loadColor(path, into);
}

void Player::planReadAhead() {
    if (io.clips == nullptr) return;
    const ContentsState& contents = state.contents;
    const PlaybackState& playback = state.playback;
    const int f = clipIndexOf(playback.frame_no);
    const int direction = playback.ReplayDirection == 1 ? 1 : -1;
    const PlanKey key{contents.DirNum, f, contents.MaxCount, direction, playback.PlayEngine,
                      playback.VR_step};
    if (key == planned_) return;
    planned_ = key;
    // Clips ahead in the direction of travel (both ways for the gesture drive, which may go
    // either way), then the clips just passed, which a reversal shows first. Clips the cache
    // holds are not loaded again and need no decode.
    constexpr int kAhead = 4;
    constexpr int kBehind = 2;
    constexpr int kMaxProbes = 64;
    const double step = playback.VR_step > 0.0 ? playback.VR_step : 1.0;
    const bool bothWays = playback.PlayEngine == 0;
    std::vector<int> ahead, behind;
    auto collect = [&](std::vector<int>& clips, int sign, int wanted) {
        for (int k = 1; k <= kMaxProbes && static_cast<int>(clips.size()) < wanted; ++k) {
            const double position = playback.frame_no + sign * k * step;
            if (!(position >= 0.0 && position < contents.MaxCount)) break;
            const int clip = clipIndexOf(position);
            if (clip == f || std::find(clips.begin(), clips.end(), clip) != clips.end()) continue;
            clips.push_back(clip);
        }
    };
    collect(ahead, direction, kAhead);
    collect(behind, -direction, bothWays ? kAhead : kBehind);
    std::vector<int> order;
    for (size_t i = 0; i < std::max(ahead.size(), behind.size()); ++i) {
        if (i < ahead.size()) order.push_back(ahead[i]);
        if (bothWays && i < behind.size()) order.push_back(behind[i]);
    }
    if (!bothWays) order.insert(order.end(), behind.begin(), behind.end());
    std::vector<std::string> paths;
    for (int clip : order) {
        const FrameData& record = contents.FrameData[static_cast<size_t>(clip)];
        if (clipCache.find(clip) != nullptr || fieldText(record.ClipPath).empty()) continue;
        paths.push_back(openablePath(fieldText(record.ClipPath)));
    }
    io.clips->plan(std::move(paths));
}

// Capture, measure and let the engine move frame_no, unless a step key is already waiting.
void Player::runMotionEngine() {
    PlaybackState& playback = state.playback;
    if (playback.PendingKey == 'z' || playback.PendingKey == 'x') return;
    QBN_Capture(state.camera, io, *sharedBlock);
    measureMotion(state, *sharedBlock);
    if (playback.PlayEngine == 1) {
        int clip = playbackStep(state);
        // In a folder of two clips every change of direction makes sure of the clip it
        // turns to.
        if (clip >= 0 && cacheClip(clip)) {
            io.window.delay(1);
            io.window.delay(1);
        }
    }
    if (playback.PlayEngine == 0) runGestureTurn();
}

// One DALMO turn: the recogniser, the drive's steps and the status of a decided phase.
void Player::runGestureTurn() {
    recogniser.features.rvSum = 0.0;
    RecogniserTurn turn{recogniser, state.gesture, state.camera, *this};
    DriveGRI(turn, recogniser.learning.LearnTarget);
    DriveView view{state.playback, state.contents.MaxCount, state.mouse.MouseReverseFlag,
                   state.camera, io.console};
    runGestureDriveSteps(recogniser, view);
    printGestureStatus(recogniser, view);
    sendOscGesture();
}

// A turn of a learning run ends after the recogniser. It still looks at the next key without
// taking it: ESC cancels the run and pauses; any other key waits for the first key stage after
// the run. Without camera pictures the run cannot see a motion and is cancelled.
void Player::learningTurnEnd() {
    const bool needsCamera = recogniserMode(recogniser) != RecogniserMode::Review;
    if (needsCamera && state.camera.CamActive == 0) {
        cancelLearning(recogniser, state.gesture);
        io.console.notice(
                       "\n*** NO CAMERA PICTURE: THE LEARNING RUN IS CANCELLED. ***\n\n");
        io.console.caption("");
        return;
    }
    if ((io.window.peekKey(1) & 0xFF) != kKeyEsc) return;
    (void)io.window.waitKey(1);
    cancelLearning(recogniser, state.gesture);
    io.console.notice( "\n*** ESC: THE LEARNING RUN IS CANCELLED. ***\n");
    io.console.caption("");
    if (const KeyCommand* pause = findKeyCommand(kKeyEsc)) pause->run(*this, *pause);
}

// After the key stage: the turn's outputs are cleared and the automatic learning driver may
// start the next learning run, which runs in gesture turns.
void Player::endTurn() {
    state.playback.PendingKey = 0;
    clearOutputs(recogniser.outputs);
    runLearningDriver(state, recogniser, *this);
    if (learningRunUnderWay(recogniser)) state.playback.PlayEngine = 0;
}

void Player::mainLoop() {
    initialise();
    startMicros_ = io.clock.nowMicros();
    if (options_.gesture)
        enterGestureModeAtStart();
    else if (options_.cameraOn)
        openCameraAtStart();
    if (options_.learnCount > 0) startGestureLearning(*this, options_.learnCount);
    for (;;) {
        beginTurn();
        retryLostCamera();
        receiveOsc();
        printOscCounts();
        applyRemoteThreshold();
        runMotionEngine();
        sendOscMotion();
        if (state.playback.PlayEngine == 1) {
            printStatus();
            timer.restart();
            if (state.playback.MotionDisplayMode == -1) state.playback.MotionDisplayMode = 0;
        }
        if (learningRunUnderWay(recogniser)) {
            learningTurnEnd();
            if (quitRequested) return;
            continue;
        }
        if (!showClipAtPosition()) continue;
        planReadAhead();
        sendOscClip();
        publishRemote();
        injectOscKey();
        dispatchTurnKey(*this);
        if (quitRequested) return;
        endTurn();
    }
}

}  // namespace kalvento
