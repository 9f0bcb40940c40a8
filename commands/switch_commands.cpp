// On/off switches and levels of playback and pointer input: TAB, SPACE, m, M, w, @, [ and ],
// i, backquote (quick access mode), e (flip mode) and s / S (replay speed).

#include <climits>

#include <opencv2/core.hpp>

#include "commands/commands.h"
#include "commands/player_context.h"
#include "platform/console.h"

namespace kalvento {

namespace {

// 1 when the switch was 0, 0 otherwise.
int toggled(int flag) {
    return flag == 0 ? 1 : 0;
}

// Echo of a switch: the empty prompt line, the key line and the new value; the window says
// the switch (`english`) and its value.
void echoSwitch(PlayerContext& player, const char* keyLine, const char* name, int value,
                const char* english) {
    printPromptLine(player);
    printKeyLine(player, keyLine);
    printKeyLine(player, strf("（変数設定： %s = [ %s ]）\n", name, onOffText(value)));
    player.io.console.setting(strf("%s %s", english, value == 1 ? "on" : "off"),
                              strf("%s = %s", name, onOffText(value)));
}

constexpr int kSlowestSpeed = 1;
constexpr int kFastestSpeed = 5;

// Setting lines of the speed levels 1 .. 5.
constexpr const char* kSpeedLines[] = {
    "（変数設定： REPLAY_SPEED = [ VERY  SLOW ]  ( x 0.1 )）\n",
    "（変数設定： REPLAY_SPEED = [ S  L  O  W ]  ( x 0.5 )）\n",
    "（変数設定： REPLAY_SPEED = [ N O R M A L ] ( x 1.0 )）\n",
    "（変数設定： REPLAY_SPEED = [ F  A  S  T ]  ( x 3.0 )）\n",
    "（変数設定： REPLAY_SPEED = [ VERY  FAST ]  ( x 6.0 )）\n",
};

// The speed levels 1 .. 5 in the window's English.
constexpr const char* kSpeedWords[] = {"very slow (x 0.1)", "slow (x 0.5)", "normal (x 1.0)",
                                       "fast (x 3.0)", "very fast (x 6.0)"};

}  // namespace

void toggleAutoReplayCommand(PlayerContext& player, const KeyCommand&) {
    PlaybackState& playback = player.state.playback;
    playback.AutoReplayFlag = toggled(playback.AutoReplayFlag);
    playback.ReplayDirection = 1;
    echoSwitch(player,
               "キー入力[ TAB ]→ 自動再生機能（ベストエフォート 30[fps]）をオンオフします。\n",
               "AutoReplayFlag", playback.AutoReplayFlag, "automatic playback");
}

void toggleMouseInputCommand(PlayerContext& player, const KeyCommand&) {
    MouseState& mouse = player.state.mouse;
    mouse.MouseInputFlag = toggled(mouse.MouseInputFlag);
    echoSwitch(player, "キー入力[ SPACE ]→ マウス等からの入力のオンオフを切替えます。\n",
               "MouseInputFlag", mouse.MouseInputFlag, "mouse input");
}

void toggleMouseReverseCommand(PlayerContext& player, const KeyCommand&) {
    MouseState& mouse = player.state.mouse;
    mouse.MouseReverseFlag = toggled(mouse.MouseReverseFlag);
    echoSwitch(player, "キー入力[ m ]→ マウス等の入力時の逆方向再生モードをオンオフします。\n",
               "MouseReverseFlag", mouse.MouseReverseFlag, "mouse reverse");
}

void toggleMouseVertCommand(PlayerContext& player, const KeyCommand&) {
    MouseState& mouse = player.state.mouse;
    mouse.MouseVertFlag = toggled(mouse.MouseVertFlag);
    printPromptLine(player);
    printKeyLine(player, "キー入力[ M ]→ マウス等の入力時の [縦横モード] を切替えます。\n");
    printKeyLine(player, strf("（変数設定： MouseVertFlag = [ %s ]）\n", onOffText(mouse.MouseVertFlag)));
    player.io.console.setting(mouse.MouseVertFlag == 1 ? "mouse axis vertical" : "mouse axis horizontal",
                              mouse.MouseVertFlag == 1 ? "縦モード" : "横モード");
}

void toggleWalkerModeCommand(PlayerContext& player, const KeyCommand&) {
    PlaybackState& playback = player.state.playback;
    playback.SpeedFactor = 1.0;
    playback.VR_step = 1.0;
    playback.WalkerMode = toggled(playback.WalkerMode);
    echoSwitch(player,
               "キー入力[ w ]→ マウス等の入力時の [WalkerMode]（順方向再生で固定）を切替えます。\n",
               "WalkerMode", playback.WalkerMode, "walker mode");
}

void toggleAutoJumpCommand(PlayerContext& player, const KeyCommand&) {
    SelectionState& selection = player.state.selection;
    selection.AutoJumpFlag = toggled(selection.AutoJumpFlag);
    selection.MotionCount = 0;
    echoSwitch(player, "キー入力[ @ ]→ コンテンツフォルダのランダム選択機能をオンオフします。\n",
               "AutoJumpFlag", selection.AutoJumpFlag, "random folder selection");
}

void motionsBeforeJumpCommand(PlayerContext& player, const KeyCommand& command) {
    int& motions = player.state.selection.RFJ_parameter;
    if (command.param > 0) {
        if (motions < INT_MAX) ++motions;
    } else {
        --motions;
    }
    // At least one motion; a lower value can only have come from a parameter file.
    if (motions < 1) motions = 1;
    printKeyLine(
        player,
        "キー入力( [, ] )→ コンテンツフォルダのランダム選択までのモーション回数を調整します。\n");
    printKeyLine(player, strf("（変数設定： RFJ_parameter = [ %d ]）\n", motions));
    player.io.console.setting(strf("motions before a random folder %d", motions), strf("RFJ_parameter = %d", motions));
}

void toggleMotionDisplayCommand(PlayerContext& player, const KeyCommand&) {
    int& mode = player.state.playback.MotionDisplayMode;
    // The status line of every turn (mode 1) is left alone by this key, silently.
    if (mode == 1) return;
    printPromptLine(player);
    printKeyLine(player, "キー入力[ i ]→ 動き変化量の画面表示をオンオフします。\n");
    mode = mode == 0 ? 2 : 0;
    player.io.console.setting(mode == 2 ? "motion display on" : "motion display off", mode == 2 ? "動き変化量の表示 オン" : "動き変化量の表示 オフ");
}

void toggleQuickAccessCommand(PlayerContext& player, const KeyCommand&) {
    MouseState& mouse = player.state.mouse;
    mouse.QuickAccessMode = toggled(mouse.QuickAccessMode);
    printKeyLine(player, "キー入力[ SHIFT+@ ]→ クイックアクセスの際のモードを切替えます。\n");
    const char* modeText = mouse.QuickAccessMode == 1 ? "位置反映型（Access by Position）"
                                                      : "動き反映型（Access by Motion）";
    printKeyLine(player, strf("（変数設定： QUICK ACCESS MODE = [ %s ]）\n", modeText));
    player.io.console.setting(mouse.QuickAccessMode == 1 ? "quick access by position" : "quick access by motion", modeText);
    printPromptLine(player);
    // Every clip is loaded again from its file, and the current one is shown in the next turn.
    player.releaseImageCache();
    player.state.playback.LastShownFrame = -1.0;
}

// The key alternates between normal (0) and left-right reverse (1). Top-bottom reverse (2)
// stays a value of the parameter file only: from 2 the key goes back to normal, like from 1.
void flipModeCommand(PlayerContext& player, const KeyCommand&) {
    int& flip = player.state.playback.flip_mode;
    printPromptLine(player);
    printKeyLine(player, "キー入力[ e ]→ 左右反転の表示モードを切替えます。\n");
    const int next = flip + 1;
    flip = (next < 0 || next > 1) ? 0 : next;
    printKeyLine(player, flip == 0 ? "（変数設定： flip_mode = [ NORMAL ]）\n"
                                   : "（変数設定： flip_mode = [ LEFT-RIGHT REVERSE ]）\n");
    player.io.console.setting(flip == 0 ? "mirror off" : "mirror left-right", flip == 0 ? "flip_mode = NORMAL" : "flip_mode = LEFT-RIGHT REVERSE");
    const cv::Mat* clip = player.cachedCurrentClip();
    if (clip != nullptr) player.showWithFlip(*clip);
}

void replaySpeedCommand(PlayerContext& player, const KeyCommand& command) {
    int& level = player.state.playback.REPLAY_SPEED;
    printKeyLine(player, "キー入力[ s, S ]→ 再生速度を調整します。\n");
    if (command.param > 0)
        level = level < kFastestSpeed ? level + 1 : kFastestSpeed;
    else
        level = level > kSlowestSpeed ? level - 1 : kSlowestSpeed;
    // A level out of range (only a parameter file can give one) is brought back in as well.
    if (level < kSlowestSpeed) level = kSlowestSpeed;
    if (level > kFastestSpeed) level = kFastestSpeed;
    printKeyLine(player, kSpeedLines[level - kSlowestSpeed]);
    player.io.console.setting(std::string("playback speed ") + kSpeedWords[level - kSlowestSpeed], strf("REPLAY_SPEED = %d", level));
}

}  // namespace kalvento
