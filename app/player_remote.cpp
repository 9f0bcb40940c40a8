// What the player gives the remotes each turn and in every wait, and takes from them: the
// service step.

#include "app/options.h"
#include "app/player.h"
#include "commands/set_threshold.h"
#include "core/key_set.h"
#include "core/paths.h"
#include "core/source_text.h"
#include "ipc/shared_motion.h"
#include "display/on_screen_display.h"
#include "remote/previews.h"

namespace kalvento {

void Player::serviceStep(const char* waitingFor) {
    waitingFor_ = waitingFor;
    receiveOsc();
    publishRemote();
    takeRemoteCommands();
    sendOscState();
    if (*waitingFor == '\0') return;
    // The main loop supervises the camera and its display keeps its clock by itself; a wait
    // does both here.
    superviseCameraInWait();
    if (display_ != nullptr) display_->refresh();
}

void Player::setPaused(bool paused) {
    paused_ = paused;
    pausedClip_.release();
    if (paused)
        if (const cv::Mat* shown = cachedCurrentClip()) shown->copyTo(pausedClip_);
    waitingFor_ = paused ? "pause" : "";
    sendOscState();
}

bool Player::setDisplayLevel(int level) {
    if (display_ == nullptr) return false;
    // The display only cycles through its levels: at most one round reaches any of them.
    constexpr int kLevels = 4;
    for (int step = 0; step < kLevels && display_->level() != level; ++step)
        display_->cycleLevel();
    return display_->level() == level;
}

void Player::takeRemoteCommands() {
    if (remote_ == nullptr) return;
    while (std::optional<Input> command = remote_->takeCommand())
        if (!inputs.push(std::move(*command))) break;
}

void Player::sendOscState() {
    if (!osc_) return;
    PlayerReport report;
    report.folder = state.contents.DirNum + 1;
    report.clip = clipIndexOf(state.playback.frame_no);
    report.clipCount = state.contents.MaxCount;
    report.threshold = state.camera.QBN_threshold;
    report.osd = display_ != nullptr ? display_->level() : 0;
    report.camera = state.camera.CamActive;
    report.follow = state.gesture.GestureFollow;
    report.paused = paused_ ? 1 : 0;
    report.waiting = waitingFor_;
    osc_->sendState(report);
}

void Player::applyRemoteThreshold() {
    if (remote_ == nullptr) return;
    if (std::optional<int> value = remote_->takeThreshold()) setThreshold(*this, *value);
}

void Player::publishRemote() {
    if (remote_ == nullptr) return;
    const CameraState& camera = state.camera;
    const PlaybackState& playback = state.playback;
    RemoteStatus status;
    status.version = kVersionText;
    if (!status.version.empty() && status.version.back() == '\n') status.version.pop_back();
    const double seconds = static_cast<double>(io.clock.nowMicros() - startMicros_) / 1e6;
    status.uptimeSeconds = seconds;
    status.folder = state.contents.DirNum + 1;
    status.folderName = folderName(state.contents.DirNum);
    status.clip = clipIndexOf(playback.frame_no);
    status.clipCount = state.contents.MaxCount;
    status.cameraOn = camera.CamActive == 1;
    status.cameraSource = withoutUserInfo(camera.CameraSource);
    status.cameraChannel = camera.CamChan;
    status.differenceSum = camera.DifferenceSum;
    status.diffSum = diffSumOf(state.SI);
    status.threshold = camera.QBN_threshold;
    status.margin = camera.ThresholdMargin;
    status.gestureEngine = playback.PlayEngine == 0;
    status.autoReplay = playback.AutoReplayFlag != 0;
    status.flipMode = playback.flip_mode;
    const GestureOutputs& out = recogniser.outputs;
    status.gesture = {out.GestureResult, std::string(fieldText(out.GestureName)), out.PHASE,
                      out.SPEED,         out.ACCEL,
                      out.WIDTH};
    status.turnsPerSecond = playback.f_rate;
    status.paused = paused_;
    status.follow = state.gesture.GestureFollow == 1;
    status.waiting = waitingFor_;
    if (display_ != nullptr) {
        status.osdLevel = display_->level();
        status.osdKey = keyNameOf(kKeyDisplayLevel);
    }
    if (osc_) {
        status.oscKeys = osc_->counters().keys;
        status.oscMotions = osc_->counters().motions;
        status.oscDropped = osc_->counters().dropped();
    }
    remote_->publish(status);
    if (status.cameraOn || status.diffSum > 0)
        remote_->addSample({seconds, status.differenceSum, status.diffSum, status.threshold});
    offerRemotePictures();
}

void Player::offerRemotePictures() {
    if (remote_->wantsClipPicture()) {
        // While paused the cache is empty: the clip of the pause's start stands for it.
        const cv::Mat* shown = paused_ ? (pausedClip_.empty() ? nullptr : &pausedClip_)
                               : state.playback.VR_step >= 0.0 ? cachedCurrentClip()
                                                               : nullptr;
        // Which clip of which folder: the picture follows the shown clip whatever moved it.
        const int64_t identity =
            int64_t{state.contents.DirNum} * kMaxClips + clipIndexOf(state.playback.frame_no);
        if (shown != nullptr)
            remote_->offerClipPicture(*shown, state.playback.flip_mode, identity);
        else
            remote_->noClipPicture();
    }
    if (remote_->wantsCameraPicture()) {
        const CameraState& camera = state.camera;
        const uint8_t* pair = camera.CamFramePair.data();
        if (camera.CamActive == 1 && !camera.CamFrame.empty())
            remote_->offerCameraPicture(
                camera.CamFrame, changedCells(pair, pair + kCamFrameBytes, kCamWidth, kCamHeight,
                                              state.gesture.DThreshold));
        else
            remote_->noCameraPicture();
    }
}

}  // namespace kalvento
