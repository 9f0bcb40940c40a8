#include <array>

#include "commands/commands.h"
#include "commands/player_context.h"

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
    {'*', nullptr, deleteFrameDataCommand},
    {'+', nullptr, writeParametersCommand},
    // ',' and '.' announce themselves only when the cursor moves.
    {',', nullptr, stepKeyFrameCommand, -1},
    {'.', nullptr, stepKeyFrameCommand, +1},
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
    {':', nullptr, writeFrameDataCommand},
    {';', nullptr, readParametersCommand},
    {'<', "KEY FUNCTION : [<][ Decrease the Number of On-Memory Frames (CamOnMemory) ]",
     imagesInMemoryCommand, -1},
    {'>', "KEY FUNCTION : [>][ Increase the Number of On-Memory Frames (CamOnMemory) ]",
     imagesInMemoryCommand, +1},
    {'@', nullptr, toggleAutoJumpCommand},
    // A announces itself at the start of every pass.
    {'A', nullptr, contentsStreamCommand},
    {'C', nullptr, insertFromStackCommand},
    {'D', "KEY FUNCTION : [D][ Increase Camera ID number ]", cameraNumberCommand, +1},
    {'E', nullptr, folderMovieCommand},
    {'F', "KEY FUNCTION : [F][ Increase Output Movie's FrameRate ]", movieFrameRateCommand, +1},
    {'G', nullptr, noActionCommand},
    {'H', "KEY FUNCTION : [H][ Set QBN_threshold (3) ]", thresholdMarginCommand, +1},
    {'I', "KEY FUNCTION : [ I ][ Create mp4 contents according to the motion sorting results ]",
     keyFrameClipsCommand},
    {'J', "KEY FUNCTION : [J][ Set frame_no at Random ]", randomClipCommand},
    {'K', nullptr, deleteKeyFrameCommand},
    {'L', "KEY FUNCTION : [L][ Learn Gestures ]", learnGesturesCommand},
    {'M', "KEY FUNCTION : [M][ Toggle MouseVertFlag ]", toggleMouseVertCommand},
    {'N', "KEY FUNCTION : [n][ Move to Next Contents Folder ]", changeFolderCommand,
     kFolderMoveBase + 5},
    {'O', nullptr, clearKeyFramesCommand},
    {'P', "KEY FUNCTION : [p][ Move to Previous Contents Folder ]", changeFolderCommand,
     kFolderMoveBase - 5},
    {'Q', nullptr, homeMovieCommand},
    {'R', nullptr, firstFolderCommand},
    {'S', nullptr, replaySpeedCommand, -1},
    {'T', "KEY FUNCTION : [T][ Take the Frame to Home Folder (In Consecutive Manner) ]",
     takeFrameAndStepCommand},
    {'U', "KEY FUNCTION : [U][ Copy All Frames to Home Folder ]", copyFolderToHomeCommand},
    {'V', "KEY FUNCTION : [V][ Increase QBN_threshold ]", thresholdStepCommand, +1},
    // W's title is the request's own line, "KEY FUNCTION : [ Write Gesture Data ]".
    {'W', nullptr, writeGestureDataCommand},
    {'X', nullptr, stepForwardCommand, kStepFast},
    {'Y', nullptr, homeSoundMovieCommand},
    {'Z', nullptr, stepBackwardCommand, kStepFast},
    {'[', nullptr, motionsBeforeJumpCommand, +1},
    {'\\', nullptr, stepForwardCommand, kStepFast},
    {']', nullptr, motionsBeforeJumpCommand, -1},
    {'^',
     "KEY FUNCTION : [ ^ ][ Create mp4 and avi files by exported image sequence in the contents "
     "folder ]",
     exportedFolderClipsCommand},
    {'`', "KEY FUNCTION : [`][ Toggle quick access mode ]", toggleQuickAccessCommand},
    {'b', nullptr, noActionCommand},
    {'c', nullptr, pushFrameCommand},
    {'d', "KEY FUNCTION : [d][ Decrease Camera ID number ]", cameraNumberCommand, -1},
    {'e', "KEY FUNCTION : [e][ Change Flip Mode ]", flipModeCommand},
    {'f', "KEY FUNCTION : [f][ Decrease Output Movie's FrameRate ]", movieFrameRateCommand, -1},
    {'g', "KEY FUNCTION : [g][ Set QBN_threshold (1) ]", autoThresholdCommand},
    {'h', "KEY FUNCTION : [h][ Set QBN_threshold (2) ]", thresholdMarginCommand, -1},
    {'i', nullptr, toggleMotionDisplayCommand},
    {'j', "KEY FUNCTION : [j][ Random Contents Selection ]", randomSelectionCommand},
    {'k', "KEY FUNCTION : [k][ Add clip_00000.jpg to Home Folder ]", addSeparatorCommand},
    {'l', "KEY FUNCTION : [l][ Reset Frame Number ]", firstClipCommand},
    {'m', "KEY FUNCTION : [m][ Toggle MouseReverseFlag ]", toggleMouseReverseCommand},
    {'n', "KEY FUNCTION : [n][ Move to Next Contents Folder ]", changeFolderCommand,
     kFolderMoveBase + 1},
    {'o', nullptr, setKeyFrameCommand},
    {'p', "KEY FUNCTION : [p][ Move to Previous Contents Folder ]", changeFolderCommand,
     kFolderMoveBase - 1},
    {'q', "KEY FUNCTION : [q][ CAMERA ON/OFF CONTROL ]", cameraOnOffCommand},
    {'r', "KEY FUNCTION : [r][ Refresh Settings ]", refreshFolderCommand},
    {'s', nullptr, replaySpeedCommand, +1},
    {'t', "KEY FUNCTION : [t][ Take the Frame to Home Folder ]", takeFrameCommand},
    {'v', "KEY FUNCTION : [v][ Decrease QBN_threshold ]", thresholdStepCommand, -1},
    {'w', "KEY FUNCTION : [w][ Toggle WalkerMode ]", toggleWalkerModeCommand},
    {'x', nullptr, stepForwardCommand, kStepNormal},
    {'y', nullptr, noActionCommand},
    {'z', nullptr, stepBackwardCommand, kStepNormal},
    {'{', "KEY FUNCTION : [ { ][ Set CopyStartFrameNum ]", rangeStartCommand},
    {'|', nullptr, noActionCommand},
    {'}', "KEY FUNCTION : [ } ][ Take and Renumber Multiple Frames (One Way Up or Down) ]",
     rangeMovieCommand},
};

}  // namespace

std::span<const KeyCommand> keyTable() {
    return kKeyTable;
}

const KeyCommand* findKeyCommand(int code) {
    static const std::array<const KeyCommand*, 256> byCode = [] {
        std::array<const KeyCommand*, 256> index{};
        for (const KeyCommand& row : kKeyTable) index[static_cast<size_t>(row.code)] = &row;
        return index;
    }();
    if (code < 0 || code > 255) return nullptr;
    return byCode[static_cast<size_t>(code)];
}

const char* onOffText(int flag) {
    return flag == 1 ? "オン" : "オフ";
}

void printPromptLine(PlayerContext& player) {
    player.io.console.print("%s\n", player.state.playback.PromptText.c_str());
}

void printKeyLine(PlayerContext& player, const std::string& text) {
    player.io.console.print("%s%s", player.state.playback.PromptText.c_str(), text.c_str());
}

void printTitleOf(PlayerContext& player, int code) {
    const KeyCommand* row = findKeyCommand(code);
    if (row && row->title && player.state.playback.MotionDisplayMode != 0)
        player.io.console.print("%s\n", row->title);
}

}  // namespace kalvento
