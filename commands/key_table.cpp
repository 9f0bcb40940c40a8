#include <array>

#include "app/player.h"
#include "commands/commands.h"

namespace kalvento {

namespace {

// One row per key that has a command, in code order.
constexpr KeyCommand kKeyTable[] = {
    {8, "KEY FUNCTION : [BS][ Initialize Window Size ]", initWindowSizeCommand},
    {9, "KEY FUNCTION : [TAB][ Toggle AutoReplayFlag ]", toggleAutoReplayCommand},
    {27, nullptr, pauseCommand},
    {32, "KEY FUNCTION : [SPACE][ Enable/Disable Mouse Input ]", toggleMouseInputCommand},
    {'!', nullptr, percentJumpCommand, 1},
    {'"', nullptr, percentJumpCommand, 2},
    {'#', nullptr, percentJumpCommand, 3},
    {'$', nullptr, percentJumpCommand, 4},
    {'%', nullptr, percentJumpCommand, 5},
    {'&', nullptr, percentJumpCommand, 6},
    {'\'', nullptr, percentJumpCommand, 7},
    {'(', nullptr, percentJumpCommand, 8},
    {')', nullptr, percentJumpCommand, 9},
    {'/', nullptr, stepBackwardCommand, kStepFast},
    {'0', nullptr, changeFolderCommand, 9},
    {'1', nullptr, changeFolderCommand, 0},
    {'2', nullptr, changeFolderCommand, 1},
    {'3', nullptr, changeFolderCommand, 2},
    {'4', nullptr, changeFolderCommand, 3},
    {'5', nullptr, changeFolderCommand, 4},
    {'6', nullptr, changeFolderCommand, 5},
    {'7', nullptr, changeFolderCommand, 6},
    {'8', nullptr, changeFolderCommand, 7},
    {'9', nullptr, changeFolderCommand, 8},
    {'<', "KEY FUNCTION : [<][ Decrease the Number of On-Memory Frames (CamOnMemory) ]",
     imagesInMemoryCommand, -1},
    {'>', "KEY FUNCTION : [>][ Increase the Number of On-Memory Frames (CamOnMemory) ]",
     imagesInMemoryCommand, +1},
    {'@', nullptr, toggleAutoJumpCommand},
    {'D', "KEY FUNCTION : [D][ Increase Camera ID number ]", cameraNumberCommand, +1},
    {'G', nullptr, noActionCommand},
    {'J', "KEY FUNCTION : [J][ Set frame_no at Random ]", randomClipCommand},
    {'M', "KEY FUNCTION : [M][ Toggle MouseVertFlag ]", toggleMouseVertCommand},
    {'N', "KEY FUNCTION : [n][ Move to Next Contents Folder ]", changeFolderCommand,
     kFolderMoveBase + 5},
    {'P', "KEY FUNCTION : [p][ Move to Previous Contents Folder ]", changeFolderCommand,
     kFolderMoveBase - 5},
    {'R', nullptr, firstFolderCommand},
    {'S', nullptr, replaySpeedCommand, -1},
    {'X', nullptr, stepForwardCommand, kStepFast},
    {'Z', nullptr, stepBackwardCommand, kStepFast},
    {'[', nullptr, motionsBeforeJumpCommand, +1},
    {'\\', nullptr, stepForwardCommand, kStepFast},
    {']', nullptr, motionsBeforeJumpCommand, -1},
    {'`', "KEY FUNCTION : [`][ Toggle quick access mode ]", toggleQuickAccessCommand},
    {'b', nullptr, noActionCommand},
    {'d', "KEY FUNCTION : [d][ Decrease Camera ID number ]", cameraNumberCommand, -1},
    {'e', "KEY FUNCTION : [e][ Change Flip Mode ]", flipModeCommand},
    {'i', nullptr, toggleMotionDisplayCommand},
    {'l', "KEY FUNCTION : [l][ Reset Frame Number ]", firstClipCommand},
    {'m', "KEY FUNCTION : [m][ Toggle MouseReverseFlag ]", toggleMouseReverseCommand},
    {'n', "KEY FUNCTION : [n][ Move to Next Contents Folder ]", changeFolderCommand,
     kFolderMoveBase + 1},
    {'p', "KEY FUNCTION : [p][ Move to Previous Contents Folder ]", changeFolderCommand,
     kFolderMoveBase - 1},
    {'q', "KEY FUNCTION : [q][ CAMERA ON/OFF CONTROL ]", cameraOnOffCommand},
    {'r', "KEY FUNCTION : [r][ Refresh Settings ]", refreshFolderCommand},
    {'s', nullptr, replaySpeedCommand, +1},
    {'w', "KEY FUNCTION : [w][ Toggle WalkerMode ]", toggleWalkerModeCommand},
    {'x', nullptr, stepForwardCommand, kStepNormal},
    {'y', nullptr, noActionCommand},
    {'z', nullptr, stepBackwardCommand, kStepNormal},
    {'|', nullptr, noActionCommand},
};

}  // namespace

std::span<const KeyCommand> keyTable() { return kKeyTable; }

const KeyCommand* findKeyCommand(int code) {
    static const std::array<const KeyCommand*, 256> byCode = [] {
        std::array<const KeyCommand*, 256> index{};
        for (const KeyCommand& row : kKeyTable) index[static_cast<size_t>(row.code)] = &row;
        return index;
    }();
    if (code < 0 || code > 255) return nullptr;
    return byCode[static_cast<size_t>(code)];
}

const char* onOffText(int flag) { return flag == 1 ? "オン" : "オフ"; }

void printPromptLine(Player& player) {
    player.io.console.print("%s\n", player.state.playback.PromptText.c_str());
}

void printKeyLine(Player& player, const std::string& text) {
    player.io.console.print("%s%s", player.state.playback.PromptText.c_str(), text.c_str());
}

void printTitleOf(Player& player, int code) {
    const KeyCommand* row = findKeyCommand(code);
    if (row && row->title && player.state.playback.MotionDisplayMode != 0)
        player.io.console.print("%s\n", row->title);
}

}  // namespace kalvento
