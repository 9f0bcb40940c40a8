#include "app/player.h"

#include <algorithm>
#include <utility>

#include <opencv2/core.hpp>

#include "app/shutdown.h"
#include "app/startup.h"
#include "commands/command.h"
#include "commands/help_screen.h"
#include "contents/scan.h"
#include "core/banners.h"
#include "core/exit.h"
#include "core/paths.h"
#include "core/playback.h"
#include "core/source_text.h"
#include "gesture/kb_files.h"
#include "gesture/learning.h"
#include "gesture/view_weights.h"
#include "input/mouse.h"
#include "ipc/shared_motion.h"
#include "motion/camera_capture.h"
#include "motion/motion.h"
#include "motion/motion_meter.h"
#include "display/on_screen_display.h"
#include "settings/camera_config.h"
#include "settings/parameter_file.h"

namespace kalvento {

namespace {
constexpr const char* kKeyAllocationPicture = "./keyallocation_01.jpg";
}  // namespace

Player::Player(Io& io_, Options options)
    : PlayerContext(io_),
      options_(std::move(options)),
      cameraSupervisor_(options_.cameraRetrySeconds),
      clipStep_(io.console, io.window,
                ClipStep::Hooks{[this](const std::string& path, cv::Mat& into, cv::Size& whole) {
                                    return loadClipImage(path, into, whole);
                                },
                                [this](int clip) { showCachedClip(clip); }, [this] { scan(); },
                                [this] { readFolderParameters(); },
                                [this](const PictureArea& area) {
                                    if (io.clips != nullptr) io.clips->showIn(area);
                                }},
                options_.meter) {
    io.mouse = MouseHook{&Player::onMouse, this};
    applyCameraOptions();
    clipCache.setBudget(options_.cacheBudgetBytes);
    if (io.osc)
        osc_ = std::make_unique<OscLink>(*io.osc, options_.oscKeys, options_.oscRateHz, &inputs,
                                         options_.oscCommands);
}

void Player::applyCameraOptions() {
    CameraState& camera = state.camera;
    camera.CameraSource = options_.cameraSource;
    const bool sized = options_.cameraWidth > 0;
    if (sized) {
        camera.CamWidth = options_.cameraWidth;
        camera.CamHeight = options_.cameraHeight;
    }
    // A camera asked for another size, and a source (whose size nobody asks), are scaled; a
    // camera device of its own keeps the size check.
    if (sized || !camera.CameraSource.empty())
        camera.CamFit = options_.cameraStretch ? FrameFit::Stretch : FrameFit::Crop;
    camera.CamLock = options_.cameraLock ? 1 : 0;
    camera.CamNormalize = options_.cameraNormalize ? 1 : 0;
}

void Player::onMouse(int event, int x, int y, int flags, void* user) {
    Player& player = *static_cast<Player*>(user);
    handleMouseEvent(player.state, player.io.console, event, x, y, flags);
}

void Player::scan() {
    clipStep_.scanned();
    // Decodes made before the scan are of files that may have changed or gone since.
    dropReadAhead();
    scanContents(state, clipCache, io);
}

void Player::readParameters() {
    ReadParameterFile(state, io.files, io.console);
    // The folder's gesture knowledge base, when all its files are there, is prepared for
    // recognition and the gesture drive takes over.
    if (ReadKB(recogniser, state.gesture, state.contents.DirNum + 1, io.files, *this,
               state.camera.CamBeep) == 0) {
        prepareKnowledgeBase(recogniser, state.gesture);
        state.playback.PlayEngine = 0;
    }
}

void Player::readFolderParameters() {
    std::string name = parameterFileName(state.contents.DirNum);
    if (!io.files.isReadableFile(name)) return;
    io.console.print("FILE [ %s ] exists!\n", name.c_str());
    readParameters();
}

void Player::showHelp() {
    resetSharedMotion();
    printHelpScreen(state, io.console);
}

void Player::resetSharedMotion() {
    if (sharedBlock)
        kalvento::resetSharedMotion(*sharedBlock, state.SI);
    else
        std::fill(state.SI.begin(), state.SI.begin() + kMotionBytes, uint8_t{0});
}

void Player::openSharedBlock() {
    SharedBlockFailure failure = SharedBlockFailure::None;
    uint32_t owner = 0;
    if (io.openSharedBlock)
        sharedBlock = io.openSharedBlock(options_.shmName, failure, owner);
    else
        sharedBlock = std::make_unique<MemorySharedBlock>();
    if (sharedBlock) return;
    if (failure == SharedBlockFailure::OtherOwner)
        io.console.printErr(
            "kalvento: the shared block /%s belongs to user %u; remove it or start with "
            "--shm-name\n",
            options_.shmName.c_str(), owner);
    io.console.print(failure == SharedBlockFailure::Open ? "共有メモリオープン失敗\n"
                                                         : "共有メモリマッピング失敗\n");
    throw PlayerExit{1, false};
}

void Player::releaseImageCache() {
    clipCache.flush();
}

void Player::dropReadAhead() {
    if (io.clips != nullptr) io.clips->forgetAll();
    clipStep_.forgetPlan();
}

void Player::releaseCameraForPause() {
    io.console.print("\nNOW, TURNING OFF THE CAMERA DEVICE. WAIT A MOMENT...\n");
    releaseCamera(io);
    io.console.print("Done.\n");
    io.console.print("\n");
    printBanner(io.console, Banner::CameraOff);
    io.console.print("\n");
}

void Player::reopenCameraAfterPause() {
    constexpr int kResumeSettleMs = 500;
    openCamera(state, io, kResumeSettleMs);
}

const cv::Mat* Player::cachedCurrentClip() const {
    return clipCache.shown(clipIndexOf(state.playback.frame_no));
}

bool Player::cacheClip(int clip) {
    // Outside the display's rules: the clip joins what the cache holds.
    return clipCache.load(clip, std::nullopt,
                          [this](const std::string& path, cv::Mat& into, cv::Size&) {
                              return io.images.loadColor(path, into);
                          });
}

void Player::captureFrame(bool measure) {
    // Without a shared block (a player that has not started its loop) the motion is measured
    // against a block of its own.
    MemorySharedBlock ownBlock;
    SharedBlock& block = sharedBlock ? *sharedBlock : ownBlock;
    QBN_Capture(state.camera, io, block);
    if (!measure) return;
    measureMotion(state, block);
}

const cv::Mat* Player::currentClip() {
    int clip = clipIndexOf(state.playback.frame_no);
    if (!cacheClip(clip)) return nullptr;
    return clipCache.shown(clip);
}

void Player::showWithFlip(const cv::Mat& image) {
    // The turn and the fit of the parameter file and of the commands reach the window here.
    io.window.setRotation(state.playback.DisplayRotation);
    io.window.setFit(static_cast<Fit>(state.playback.DisplayFit));
    const int flipMode = state.playback.flip_mode;
    const Mirror mirror = flipMode == 1   ? Mirror::LeftRight
                          : flipMode == 2 ? Mirror::UpsideDown
                                          : Mirror::None;
    if (!options_.meter || image.type() != CV_8UC3) {
        io.window.show(image, mirror);  // the window mirrors while it takes the pixels in
        return;
    }
    // The meter goes on a shown copy, never into the cached clip.
    if (mirror == Mirror::None) {
        image.copyTo(flipped_);
    } else {
        cv::flip(image, flipped_, flipCodeOf(mirror));
    }
    drawMotionMeter(flipped_, state.camera.DifferenceSum, state.camera.VR_threshold);
    io.window.show(flipped_);
}

namespace {

// Whether `input` is ESC: the key, or the command `key ESC`.
bool isEscape(const Input& input) {
    if (input.isKey()) return input.key == kKeyEsc;
    return input.isCommand("key") && input.args.size() == 1 &&
           keyArgumentCode(input.args[0]) == kKeyEsc;
}

}  // namespace

bool Player::escapeWaiting() {
    if ((io.window.peekKey(1) & 0xFF) == kKeyEsc) return true;
    if (!receivesRemotely()) return false;
    serviceStep(recogniserWaitName());
    return inputs.holds(isEscape);
}

bool Player::takeQueuedEscape() {
    return inputs.takeFirst(isEscape).has_value();
}

const char* Player::recogniserWaitName() const {
    const bool learning = learningRunUnderWay(recogniser) || recogniser.learning.AutoLearn != 0;
    return learning ? "learning" : "calibration";
}

void Player::waitWithWindow(int ms) {
    if (!receivesRemotely()) {
        io.window.delay(ms);
        return;
    }
    // The wait goes in slices, the service step before each and after the last.
    constexpr int kSliceMs = 50;
    for (int left = ms;;) {
        serviceStep(recogniserWaitName());
        if (left <= 0) break;
        const int slice = std::min(left, kSliceMs);
        io.window.delay(slice);
        left -= slice;
    }
}

void Player::startTurn() {
    timer.restart();
}

void Player::paceTurn(int turnsPerSecond) {
    if (turnsPerSecond <= 0) return;
    while (timer.rate() > turnsPerSecond) io.clock.sleepMillis(1);
}

void Player::runKeyAtStart(int key) {
    const KeyCommand* command = findKeyCommand(key);
    if (command == nullptr) return;
    if (command->title && state.playback.MotionDisplayMode != 0)
        io.console.print("%s\n", command->title);
    command->run(*this, *command);
}

void Player::startOnPlayFolder() {
    if (options_.playFolder > 0) setFolderIndex(state.contents, options_.playFolder - 1);
}

void Player::sayCameraStandIn() {
    if (!options_.cameraSourceLoop || options_.cameraSource.empty()) return;
    io.console.notice("*** The video %s stands in for the camera. For a real camera: kalvento "
                      "--camera N (kalvento --list-cameras lists them). ***\n",
                      withoutUserInfo(options_.cameraSource).c_str());
}

void Player::openCameraAtStart() {
    runKeyAtStart('q');
}

void Player::enterGestureModeAtStart() {
    runKeyAtStart('q');
    runKeyAtStart(';');
    if (state.playback.PlayEngine == 0) return;
    const int folder = state.contents.DirNum + 1;
    io.console.print(
        "*** --gesture: %s has no gesture knowledge base (%s .. %s): the player follows "
        "motion. ***\n",
        folderName(state.contents.DirNum).c_str(), kbFileName(folder, 1).c_str(),
        kbFileName(folder, 4).c_str());
}

void Player::retryLostCamera() {
    // A camera found again during a wait is switched on now, at the turn.
    if (std::exchange(cameraBackInWait_, false)) {
        openCameraAtStart();
    } else if (superviseCamera() == CameraSupervisor::Outcome::CameraBack) {
        openCameraAtStart();
    }
    tellCameraMissing();
}

void Player::superviseCameraInWait() {
    // Once found, the camera waits for the next turn; nothing more is tried meanwhile.
    if (cameraBackInWait_) return;
    cameraBackInWait_ = superviseCamera() == CameraSupervisor::Outcome::CameraBack;
    tellCameraMissing();
}

CameraSupervisor::Outcome Player::superviseCamera() {
    const CameraSupervisor::Outcome outcome =
        cameraSupervisor_.turn(state.camera, io.camera, io.clock.nowMicros());
    if (outcome == CameraSupervisor::Outcome::Started)
        io.console.notice("*** The camera %s: trying to open it again every %d s ***\n",
                          state.camera.CameraLost == 2 ? "did not open" : "stopped giving frames",
                          cameraSupervisor_.retrySeconds());
    return outcome;
}

// The window keeps a sign up while the camera asked for is missing, with the tries so far.
void Player::tellCameraMissing() {
    const CameraState& camera = state.camera;
    std::optional<CameraMissing> missing;
    if (camera.CamActive == 0 && camera.CameraLost != 0)
        missing = CameraMissing{cameraSupervisor_.retries(), camera.CameraLost == 2};
    if (missing == cameraMissingTold_) return;
    cameraMissingTold_ = missing;
    io.console.cameraMissing(missing ? &*missing : nullptr);
}

void Player::receiveOsc() {
    if (io.osc != nullptr)
        for (const std::string& notice : io.osc->takeNotices())
            io.console.printErr("kalvento: %s\n", printable(notice).c_str());
    if (osc_ && sharedBlock) osc_->receive(*sharedBlock, state.SI, io.clock.nowMicros());
}

void Player::sendOscMotion() {
    if (!osc_) return;
    const CameraState& camera = state.camera;
    osc_->sendMotion(io.clock.nowMicros(), camera.CamChan, camera.DifferenceSum,
                     diffSumOf(state.SI), camera.QBN_threshold);
}

void Player::sendOscGesture() {
    // The gesture mode reads camera frames; without them the recogniser has nothing to say.
    if (!osc_ || state.camera.CamActive != 1) return;
    const GestureOutputs& out = recogniser.outputs;
    osc_->sendGesture(out.GestureResult, std::string(fieldText(out.GestureName)), out.PHASE,
                      out.SPEED, out.ACCEL, out.WIDTH);
}

void Player::sendOscClip() {
    if (!osc_ || state.contents.MaxCount <= 0) return;
    osc_->sendClip(state.contents.DirNum + 1, clipIndexOf(state.playback.frame_no),
                   state.contents.MaxCount);
}


void Player::clearFilledSlots() {
    if (!sharedBlock) return;
    if (osc_) osc_->clearRemoteSlots(*sharedBlock, state.SI);
    if (state.camera.CamActive == 1) publishMotion(*sharedBlock, state.SI, state.camera.CamChan, 0);
}

void Player::injectQueuedInput() {
    injectNextQueued(state.playback, inputs);
}

void Player::printOscCounts() {
    if (!osc_ || !options_.oscStatus || !osc_->countsDue(io.clock.nowMicros())) return;
    const OscCounters& n = osc_->counters();
    io.console.print(
        "[OSC] keys=%lld motion=%lld dropped=%lld (malformed=%lld oversized=%lld unknown=%lld "
        "overflow=%lld refused=%lld)\n",
        static_cast<long long>(n.keys), static_cast<long long>(n.motions),
        static_cast<long long>(n.dropped()), static_cast<long long>(n.malformed),
        static_cast<long long>(n.oversized), static_cast<long long>(n.unknown),
        static_cast<long long>(n.overflow), static_cast<long long>(n.refused));
}

void Player::startUp() {
    printTitle(io.console);
    io.console.print("%s\n", io.files.currentDirectory().c_str());
    if (!storeCommandLine(options_.words, state.commandLine, io.console))
        throw PlayerExit{2, false};
    importCommandLineImages(state.commandLine, io, options_.startDirectory);
    random.seed(options_.seed ? *options_.seed : static_cast<uint32_t>(io.clock.wallSeconds()));
    io.createWindow(WindowMode::Normal);
    ReadCameraConfig(state, io.files, io.console);
    // --camera N chooses the camera as the d and D keys do: the file no longer overrides it.
    if (options_.cameraNumber) {
        state.camera.CamChan = *options_.cameraNumber;
        state.camera.IgnoreCamConfig = 1;
    }
    if (!io.images.loadColor(kKeyAllocationPicture, state.KeyAllocationImage))
        state.KeyAllocationImage.release();
}

int Player::run() {
    int status = 0;
    try {
        startUp();
        mainLoop();
        shutDown(state, io);
    } catch (const PlayerExit& exit) {
        if (exit.shutDown) shutDown(state, io);
        status = exit.status;
    }
    // What this player published goes with it.
    clearFilledSlots();
    return status;
}

}  // namespace kalvento
