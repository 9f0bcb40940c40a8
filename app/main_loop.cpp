// The main loop: initialisation, then one turn after another until the user quits from the
// pause.

#include <algorithm>
#include <cstring>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "app/player.h"
#include "core/input_queue.h"
#include "core/playback.h"
#include "app/startup.h"
#include "commands/command.h"
#include "commands/commands.h"
#include "commands/dispatch.h"
#include "core/decimal.h"
#include "core/paths.h"
#include "gesture/gesture_drive.h"
#include "gesture/learning.h"
#include "gesture/discrimination.h"
#include "gesture/recognition_reset.h"
#include "gesture/start_values.h"
#include "ipc/shared_motion.h"
#include "motion/camera_capture.h"
#include "motion/motion.h"

namespace kalvento {

namespace {

constexpr int kReplayPeriodReach = 22000;
constexpr int kMaxDirNum = 9999;

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
    startOnPlayFolder();
    scan();
    readParameters();
    takeStartingClip();
    showHelp();
    timer.restart();
    recogniser.learning.LearnTarget = -1;
    clearInjected(state.playback);
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
    setFolderIndex(state.contents, std::clamp(leadingNumber(folderText) - 1, 0, kMaxDirNum));
    io.console.print("\n***** Changed Contents Directory to [%c%3d] \n", 'S',
                     state.contents.DirNum + 1);
    scan();
    readParameters();
    PlaybackState& playback = state.playback;
    // A clip number beyond the folder starts at its last clip.
    int frame = std::clamp(leadingNumber(frameText), 0, state.contents.MaxCount - 1);
    setFramePosition(playback, frame);
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
        tellClipPosition();
    } else if (playback.MotionDisplayMode == 2) {
        int total = diffSumOf(state.SI);
        std::string line =
            strf(" %c [SI.DiffSum=%7d ] ", total > state.camera.QBN_threshold ? '*' : ' ', total);
        for (int slot = 0; slot < kWebCamSlots; ++slot) {
            int value = webCamOf(state.SI, slot);
            if (value >= 1) line += strf("[WebCam( %2d ) =%7d ] ", slot, value);
        }
        io.console.status( "%s\n", line.c_str());
        // Every turn is a reading, a still scene's too: the window's gauge and bar stay up.
        tellClipPosition();
        const int clip = clipIndexOf(playback.frame_no);
        io.console.gauge(GaugeReading{clip, state.contents.MaxCount, {}, std::max(0, total),
                                      state.camera.QBN_threshold},
                         "");
    }
}

// The window shows where the clip stands as a bar at every level.
void Player::tellClipPosition() {
    const int count = state.contents.MaxCount;
    io.console.position(
        count > 1 ? static_cast<double>(clipIndexOf(state.playback.frame_no)) / (count - 1) : 0.0);
}

bool Player::showClipAtPosition() {
    return clipStep_.run(state, clipCache);
}

bool Player::loadClipImage(const std::string& path, cv::Mat& into, cv::Size& whole) {
    return io.clips != nullptr ? io.clips->loadClip(path, into, whole)
                               : io.images.loadShown(path, clipStep_.pictureArea(), into, whole);
}

void Player::showCachedClip(int clip) {
    if (const cv::Mat* shown = clipCache.shown(clip)) showWithFlip(*shown);
}

void Player::planReadAhead() {
    if (io.clips == nullptr) return;
    if (std::optional<std::vector<std::string>> paths = clipStep_.readAheadPlan(state, clipCache))
        io.clips->plan(std::move(*paths));
}

// Capture, measure and let the engine move frame_no, unless a step key is already waiting.
void Player::runMotionEngine() {
    PlaybackState& playback = state.playback;
    if (injectedKeyIs(playback, 'z') || injectedKeyIs(playback, 'x') ||
        injectedCommandIs(playback, "step-backward") || injectedCommandIs(playback, "step-forward"))
        return;
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
// taking it: ESC (typed, or queued by a remote or a script) cancels the run and pauses; any other key waits for the first key stage after
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
    if ((io.window.peekKey(1) & 0xFF) == kKeyEsc)
        (void)io.window.waitKey(1);
    else if (!takeQueuedEscape())
        return;
    cancelLearning(recogniser, state.gesture);
    io.console.notice( "\n*** ESC: THE LEARNING RUN IS CANCELLED. ***\n");
    io.console.caption("");
    if (const KeyCommand* pause = findKeyCommand(kKeyEsc)) pause->run(*this, *pause);
}

// After the key stage: the turn's outputs are cleared and the automatic learning driver may
// start the next learning run, which runs in gesture turns.
void Player::endTurn() {
    clearInjected(state.playback);
    clearOutputs(recogniser.outputs);
    runLearningDriver(state, recogniser, *this);
    if (learningRunUnderWay(recogniser)) state.playback.PlayEngine = 0;
}

// --rotate and --fit, when given, outlast the parameter file read at start.
void Player::takeScreenOptions() {
    if (options_.rotation >= 0) state.playback.DisplayRotation = options_.rotation;
    if (options_.fit >= 0) state.playback.DisplayFit = options_.fit;
}

void Player::mainLoop() {
    // The follower of the command line shows in the first help page and outlasts the
    // parameter file read at start.
    if (options_.follow) state.gesture.GestureFollow = 1;
    takeScreenOptions();
    initialise();
    if (options_.follow) state.gesture.GestureFollow = 1;
    takeScreenOptions();
    startMicros_ = io.clock.nowMicros();
    if (options_.gesture)
        enterGestureModeAtStart();
    else if (options_.cameraOn)
        openCameraAtStart();
    sayCameraStandIn();
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
        serviceStep("");
        injectQueuedInput();
        dispatchTurnKey(*this);
        if (quitRequested) return;
        endTurn();
    }
}

}  // namespace kalvento
