// The camera keys: q switches the camera on and off, d and D choose the camera number while it
// is closed, < and > size the clip image cache.

#include <algorithm>

#include "commands/commands.h"
#include "commands/player_context.h"
#include "motion/camera_capture.h"

namespace kalvento {

namespace {

constexpr int kMaxCamChan = 31;
constexpr int kCameraSettleMs = 1000;

}  // namespace

void cameraOnOffCommand(PlayerContext& player, const KeyCommand&) {
    State& state = player.state;
    player.resetSharedMotion();
    printPromptLine(player);
    printKeyLine(player, "キー入力[ q ]→ Webカメラをオンオフします。\n");
    if (state.camera.CamActive == 0)
        openCamera(state, player.io, kCameraSettleMs);
    else
        closeCamera(state.camera, player.io);
    state.camera.DifferenceSum = 0;
    state.camera.CamFrameSlot = 0;
    state.playback.MotionRun = 0;
    state.playback.ReplayDirection = 1;
    state.playback.PlayEngine = 1;
    state.playback.SpeedFactor = 1.0;
    state.playback.VR_step = 1.0;
}

void cameraNumberCommand(PlayerContext& player, const KeyCommand& command) {
    CameraState& camera = player.state.camera;
    if (camera.CamActive == 1) return;
    printKeyLine(player, command.param < 0
                             ? "キー入力[ d, D ]→ カメラ入力のID番号を減少させました。\n"
                             : "キー入力[ d, D ]→ カメラ入力のID番号を増加させました。\n");
    camera.CamChan = std::clamp(camera.CamChan + command.param, 0, kMaxCamChan);
    player.io.console.print("%s（変数設定： Camera ID number (CamChan) = [ %d ]）\n",
                            player.state.playback.PromptText.c_str(), camera.CamChan);
    player.io.console.setting(strf("camera number %d", camera.CamChan), strf("CamChan = %d", camera.CamChan));
    camera.IgnoreCamConfig = 1;
}

void imagesInMemoryCommand(PlayerContext& player, const KeyCommand& command) {
    int& onMemory = player.state.playback.CamOnMemory;
    printKeyLine(player, command.param < 0
                             ? "キー入力[ <, > ]→ オンメモリフレーム数を減少させました。\n"
                             : "キー入力[ <, > ]→ オンメモリフレーム数を増加させました。\n");
    // Only the file is held to 5400; the keys go as high as the user wants.
    onMemory = command.param < 0 ? std::max(1, onMemory - 1)
                                 : (onMemory < 2147483647 ? onMemory + 1 : onMemory);
    player.io.console.print("%s（変数設定： Number of On-Memory Frames (CamOnMemory) = [ %d ]）\n",
                            player.state.playback.PromptText.c_str(), onMemory);
    player.io.console.setting(strf("clips kept in memory %d", onMemory), strf("CamOnMemory = %d", onMemory));
    player.state.camera.IgnoreCamConfig = 1;
}

}  // namespace kalvento
