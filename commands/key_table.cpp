#include <array>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "commands/commands.h"
#include "commands/player_context.h"
#include "core/key_set.h"

namespace kalvento {

namespace {

// One row per command: those bound to a key first, in code order, then those without one.
// {name, key, title, handler, param, arguments, what it does[, handler with arguments]}
constexpr KeyCommand kCommandTable[] = {
    {"window-size", 8, "KEY FUNCTION : [BS][ Initialize Window Size ]", initWindowSizeCommand, 0,
     "", "sizes the window to the shown clip"},
    {"auto-replay", 9, "KEY FUNCTION : [TAB][ Toggle AutoReplayFlag ]", toggleAutoReplayCommand,
     0, "", "turns the automatic replay without a camera on or off"},
    {"pause", 27, nullptr, pauseCommand, 0, "",
     "pauses; ENTER (or resume) goes on, ESC in the pause quits"},
    {"mouse-input", 32, "KEY FUNCTION : [SPACE][ Enable/Disable Mouse Input ]",
     toggleMouseInputCommand, 0, "", "turns the mouse input on or off"},
    {"jump-10", '!', nullptr, percentJumpCommand, 1, "", "jumps to 10 % of the folder"},
    {"jump-20", '"', nullptr, percentJumpCommand, 2, "", "jumps to 20 % of the folder"},
    {"jump-30", '#', nullptr, percentJumpCommand, 3, "", "jumps to 30 % of the folder"},
    {"jump-40", '$', nullptr, percentJumpCommand, 4, "", "jumps to 40 % of the folder"},
    {"jump-50", '%', nullptr, percentJumpCommand, 5, "", "jumps to 50 % of the folder"},
    {"jump-60", '&', nullptr, percentJumpCommand, 6, "", "jumps to 60 % of the folder"},
    {"jump-70", '\'', nullptr, percentJumpCommand, 7, "", "jumps to 70 % of the folder"},
    {"jump-80", '(', nullptr, percentJumpCommand, 8, "", "jumps to 80 % of the folder"},
    {"jump-90", ')', nullptr, percentJumpCommand, 9, "", "jumps to 90 % of the folder"},
    {"delete-frame-data", '*', nullptr, deleteFrameDataCommand, 0, "",
     "deletes the folder's frame data file"},
    {"write-parameters", '+', nullptr, writeParametersCommand, 0, "", "writes the parameter files"},
    // ',' and '.' announce themselves only when the cursor moves.
    {"previous-key-frame", ',', nullptr, stepKeyFrameCommand, -1, "",
     "goes to the previous key frame"},
    {"next-key-frame", '.', nullptr, stepKeyFrameCommand, +1, "", "goes to the next key frame"},
    {"folder-10", '0', nullptr, changeFolderCommand, 9, "", "goes to folder S010"},
    {"folder-1", '1', nullptr, changeFolderCommand, 0, "", "goes to folder S001"},
    {"folder-2", '2', nullptr, changeFolderCommand, 1, "", "goes to folder S002"},
    {"folder-3", '3', nullptr, changeFolderCommand, 2, "", "goes to folder S003"},
    {"folder-4", '4', nullptr, changeFolderCommand, 3, "", "goes to folder S004"},
    {"folder-5", '5', nullptr, changeFolderCommand, 4, "", "goes to folder S005"},
    {"folder-6", '6', nullptr, changeFolderCommand, 5, "", "goes to folder S006"},
    {"folder-7", '7', nullptr, changeFolderCommand, 6, "", "goes to folder S007"},
    {"folder-8", '8', nullptr, changeFolderCommand, 7, "", "goes to folder S008"},
    {"folder-9", '9', nullptr, changeFolderCommand, 8, "", "goes to folder S009"},
    {"write-frame-data", ':', nullptr, writeFrameDataCommand, 0, "",
     "writes the folder's frame data file"},
    {"read-parameters", ';', nullptr, readParametersCommand, 0, "",
     "reads the parameter files and the folder's gesture knowledge base"},
    {"fewer-cached-clips", '<',
     "KEY FUNCTION : [<][ Decrease the Number of On-Memory Frames (CamOnMemory) ]",
     imagesInMemoryCommand, -1, "", "keeps fewer clips in memory"},
    {"more-cached-clips", '>',
     "KEY FUNCTION : [>][ Increase the Number of On-Memory Frames (CamOnMemory) ]",
     imagesInMemoryCommand, +1, "", "keeps more clips in memory"},
    {"auto-jump", '@', nullptr, toggleAutoJumpCommand, 0, "",
     "turns the random folder after a number of motions on or off"},
    // A announces itself at the start of every pass.
    {"contents-stream", 'A', nullptr, contentsStreamCommand, 0, "",
     "copies folders picked at random to the home folder"},
    {"insert-from-stack", 'C', nullptr, insertFromStackCommand, 0, "",
     "takes a position from the stack back"},
    {"next-camera", 'D', "KEY FUNCTION : [D][ Increase Camera ID number ]", cameraNumberCommand,
     +1, "", "takes the next camera number"},
    {"folder-movie", 'E', nullptr, folderMovieCommand, 0, "",
     "makes a movie of the current folder"},
    {"faster-movie-rate", 'F', "KEY FUNCTION : [F][ Increase Output Movie's FrameRate ]",
     movieFrameRateCommand, +1, "", "raises the frame rate of the movies made"},
    {"no-action", 'G', nullptr, noActionCommand, 0, "", "does nothing"},
    {"threshold-margin-up", 'H', "KEY FUNCTION : [H][ Set QBN_threshold (3) ]",
     thresholdMarginCommand, +1, "", "widens the threshold's margin over the measured motion"},
    {"key-frame-clips", 'I',
     "KEY FUNCTION : [ I ][ Create mp4 contents according to the motion sorting results ]",
     keyFrameClipsCommand, 0, "", "makes a movie ending at each key frame"},
    {"random-clip", 'J', "KEY FUNCTION : [J][ Set frame_no at Random ]", randomClipCommand, 0, "",
     "goes to a clip picked at random"},
    {"delete-key-frame", 'K', nullptr, deleteKeyFrameCommand, 0, "", "deletes a key frame"},
    {"learn-gestures", 'L', "KEY FUNCTION : [L][ Learn Gestures ]", learnGesturesCommand, 0, "",
     "asks how many gestures to learn and learns them"},
    {"mouse-vertical", 'M', "KEY FUNCTION : [M][ Toggle MouseVertFlag ]", toggleMouseVertCommand,
     0, "", "reads the mouse up and down instead of left and right, or back"},
    {"next-folder-5", 'N', "KEY FUNCTION : [n][ Move to Next Contents Folder ]",
     changeFolderCommand, kFolderMoveBase + 5, "", "goes five folders on"},
    {"clear-key-frames", 'O', nullptr, clearKeyFramesCommand, 0, "", "clears every key frame"},
    {"previous-folder-5", 'P', "KEY FUNCTION : [p][ Move to Previous Contents Folder ]",
     changeFolderCommand, kFolderMoveBase - 5, "", "goes five folders back"},
    {"home-movie", 'Q', nullptr, homeMovieCommand, 0, "", "makes a movie of the home folder"},
    {"first-folder", 'R', nullptr, firstFolderCommand, 0, "", "goes back to folder S001"},
    {"slower", 'S', nullptr, replaySpeedCommand, -1, "", "lowers the speed level"},
    {"take-frame-and-step", 'T',
     "KEY FUNCTION : [T][ Take the Frame to Home Folder (In Consecutive Manner) ]",
     takeFrameAndStepCommand, 0, "", "copies the shown clip to the home folder and steps on"},
    {"copy-folder-to-home", 'U', "KEY FUNCTION : [U][ Copy All Frames to Home Folder ]",
     copyFolderToHomeCommand, 0, "", "copies the whole folder to the home folder"},
    {"threshold-up", 'V', "KEY FUNCTION : [V][ Increase QBN_threshold ]", thresholdStepCommand,
     +1, "", "raises the motion threshold"},
    // W's title is the request's own line, "KEY FUNCTION : [ Write Gesture Data ]".
    {"write-gesture-data", 'W', nullptr, writeGestureDataCommand, 0, "",
     "writes the learned gesture knowledge base"},
    {"step-forward-fast", 'X', nullptr, stepForwardCommand, kStepFast, "",
     "steps forward a thirtieth of the folder"},
    {"home-sound-movie", 'Y', nullptr, homeSoundMovieCommand, 0, "",
     "makes a movie of the home folder with a sound file"},
    {"step-backward-fast", 'Z', nullptr, stepBackwardCommand, kStepFast, "",
     "steps back a thirtieth of the folder"},
    {"more-motions-before-jump", '[', nullptr, motionsBeforeJumpCommand, +1, "",
     "raises the motions counted before the random folder"},
    {"fewer-motions-before-jump", ']', nullptr, motionsBeforeJumpCommand, -1, "",
     "lowers the motions counted before the random folder"},
    {"exported-folder-clips", '^',
     "KEY FUNCTION : [ ^ ][ Create mp4 and avi files by exported image sequence in the contents "
     "folder ]",
     exportedFolderClipsCommand, 0, "", "makes movies of each exported folder"},
    {"quick-access", '`', "KEY FUNCTION : [`][ Toggle quick access mode ]",
     toggleQuickAccessCommand, 0, "", "switches the mouse between position and motion access"},
    {"push-frame", 'c', nullptr, pushFrameCommand, 0, "", "puts the position on the stack"},
    {"previous-camera", 'd', "KEY FUNCTION : [d][ Decrease Camera ID number ]",
     cameraNumberCommand, -1, "", "takes the previous camera number"},
    {"flip", 'e', "KEY FUNCTION : [e][ Change Flip Mode ]", flipModeCommand, 0, "",
     "changes the mirror: none, left-right, upside down"},
    {"slower-movie-rate", 'f', "KEY FUNCTION : [f][ Decrease Output Movie's FrameRate ]",
     movieFrameRateCommand, -1, "", "lowers the frame rate of the movies made"},
    {"auto-threshold", 'g', "KEY FUNCTION : [g][ Set QBN_threshold (1) ]", autoThresholdCommand,
     0, "", "sets the motion threshold from the scene at rest"},
    {"threshold-margin-down", 'h', "KEY FUNCTION : [h][ Set QBN_threshold (2) ]",
     thresholdMarginCommand, -1, "", "narrows the threshold's margin over the measured motion"},
    {"motion-display", 'i', nullptr, toggleMotionDisplayCommand, 0, "",
     "changes the console's motion display"},
    {"random-folder", 'j', "KEY FUNCTION : [j][ Random Contents Selection ]",
     randomSelectionCommand, 0, "", "goes to a folder picked at random"},
    {"add-separator", 'k', "KEY FUNCTION : [k][ Add clip_00000.jpg to Home Folder ]",
     addSeparatorCommand, 0, "", "adds the home folder's clip_00000.jpg as a separator"},
    {"first-clip", 'l', "KEY FUNCTION : [l][ Reset Frame Number ]", firstClipCommand, 0, "",
     "goes to the first clip"},
    {"mouse-reverse", 'm', "KEY FUNCTION : [m][ Toggle MouseReverseFlag ]",
     toggleMouseReverseCommand, 0, "", "reverses the mouse's direction, or back"},
    {"next-folder", 'n', "KEY FUNCTION : [n][ Move to Next Contents Folder ]", changeFolderCommand,
     kFolderMoveBase + 1, "", "goes to the next folder"},
    {"set-key-frame", 'o', nullptr, setKeyFrameCommand, 0, "", "makes the shown clip a key frame"},
    {"previous-folder", 'p', "KEY FUNCTION : [p][ Move to Previous Contents Folder ]",
     changeFolderCommand, kFolderMoveBase - 1, "", "goes to the previous folder"},
    {"camera-toggle", 'q', "KEY FUNCTION : [q][ CAMERA ON/OFF CONTROL ]", cameraOnOffCommand, 0,
     "", "turns the camera on or off"},
    {"refresh-folder", 'r', "KEY FUNCTION : [r][ Refresh Settings ]", refreshFolderCommand, 0, "",
     "scans the folder again and reads its parameters"},
    {"faster", 's', nullptr, replaySpeedCommand, +1, "", "raises the speed level"},
    {"take-frame", 't', "KEY FUNCTION : [t][ Take the Frame to Home Folder ]", takeFrameCommand, 0,
     "", "copies the shown clip to the home folder"},
    {"threshold-down", 'v', "KEY FUNCTION : [v][ Decrease QBN_threshold ]", thresholdStepCommand,
     -1, "", "lowers the motion threshold"},
    {"walker-mode", 'w', "KEY FUNCTION : [w][ Toggle WalkerMode ]", toggleWalkerModeCommand, 0, "",
     "turns the forward-only walker mode on or off"},
    {"step-forward", 'x', nullptr, stepForwardCommand, kStepNormal, "",
     "steps forward by the speed level's step"},
    {"step-backward", 'z', nullptr, stepBackwardCommand, kStepNormal, "",
     "steps back by the speed level's step"},
    {"range-start", '{', "KEY FUNCTION : [ { ][ Set CopyStartFrameNum ]", rangeStartCommand, 0, "",
     "marks the start of a range"},
    {"range-movie", '}',
     "KEY FUNCTION : [ } ][ Take and Renumber Multiple Frames (One Way Up or Down) ]",
     rangeMovieCommand, 0, "", "copies the range to the home folder, renumbered"},
    // Commands without a key.
    {"folder", 0, nullptr, nullptr, 0, "N", "goes to contents folder N (3 for S003)",
     folderValueCommand},
    {"clip", 0, nullptr, nullptr, 0, "N", "shows clip N (0 the first) of the folder",
     clipValueCommand},
    {"threshold", 0, nullptr, nullptr, 0, "N",
     "sets the motion threshold to N and writes the threshold file", thresholdValueCommand},
    {"osd", 0, nullptr, nullptr, 0, "N", "sets the window's display level (0 .. 3)",
     osdValueCommand},
    {"camera", 0, nullptr, nullptr, 0, "on|off", "turns the camera on or off",
     cameraValueCommand},
    {"follow", 0, nullptr, nullptr, 0, "on|off",
     "turns the follower (the clip follows the position within the motion) on or off",
     followValueCommand},
    {"rotate", 0, nullptr, nullptr, 0, "N",
     "turns the picture and the display N degrees clockwise (0, 90, 180, 270)",
     rotateValueCommand},
    {"fit", 0, nullptr, nullptr, 0, "MODE",
     "fits the picture into the window: contain (whole), cover (filled) or stretch",
     fitValueCommand},
    {"resume", 0, nullptr, resumeCommand, 0, "", "ends the pause (as ENTER in the pause)"},
    {"key", 0, nullptr, nullptr, 0, "K",
     "presses key K as typed (a character, ESC, ENTER, TAB, BS, SPACE, COMMA, F1 or a code)",
     keyValueCommand},
};

// Keys bound to a command that has its own key already.
struct ExtraKey {
    int code;
    const char* command;
};
constexpr ExtraKey kExtraKeys[] = {
    {'/', "step-backward-fast"}, {'\\', "step-forward-fast"}, {'b', "no-action"},
    {'y', "no-action"},          {'|', "no-action"},
};

constexpr size_t keyRowCount() {
    size_t count = 0;
    while (count < std::size(kCommandTable) && kCommandTable[count].code != 0) ++count;
    return count;
}

}  // namespace

std::span<const KeyCommand> commandTable() {
    return kCommandTable;
}

std::span<const KeyCommand> keyTable() {
    return std::span<const KeyCommand>(kCommandTable, keyRowCount());
}

const KeyCommand* findKeyCommand(int code) {
    static const std::array<const KeyCommand*, 256> byCode = [] {
        std::array<const KeyCommand*, 256> index{};
        for (const KeyCommand& row : keyTable()) index[static_cast<size_t>(row.code)] = &row;
        for (const ExtraKey& extra : kExtraKeys)
            index[static_cast<size_t>(extra.code)] = findCommand(extra.command);
        return index;
    }();
    if (code < 0 || code > 255) return nullptr;
    return byCode[static_cast<size_t>(code)];
}

const KeyCommand* findCommand(const std::string& name) {
    for (const KeyCommand& row : kCommandTable)
        if (name == row.name) return &row;
    return nullptr;
}

std::vector<int> keysOf(const KeyCommand& command) {
    std::vector<int> keys;
    if (command.code != 0) keys.push_back(command.code);
    for (const ExtraKey& extra : kExtraKeys)
        if (std::string_view(extra.command) == command.name) keys.push_back(extra.code);
    return keys;
}

size_t argumentCount(const KeyCommand& command) {
    size_t count = 0;
    bool inWord = false;
    for (const char* c = command.args; *c != '\0'; ++c) {
        const bool space = *c == ' ';
        if (!space && !inWord) ++count;
        inWord = !space;
    }
    return count;
}

std::vector<std::string> defaultRemoteCommands() {
    return {"folder", "clip",   "threshold", "osd",    "camera", "follow",
            "pause",  "resume", "key",       "rotate", "fit"};
}

std::string commandListText() {
    std::string text;
    for (const KeyCommand& row : kCommandTable) {
        std::string call = row.name;
        if (*row.args != '\0') call += std::string(" ") + row.args;
        std::string keys;
        for (int code : keysOf(row)) keys += (keys.empty() ? "" : " ") + keyNameOf(code);
        char line[200];
        std::snprintf(line, sizeof line, "%-26s %-8s %s\n", call.c_str(),
                      keys.empty() ? "-" : keys.c_str(), row.help);
        text += line;
    }
    return text;
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
