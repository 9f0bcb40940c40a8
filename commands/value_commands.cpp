// The commands that take a value, for remotes and scripts: a folder, a clip, the threshold,
// the display level, the camera, the follower, the pause's end and a key as typed.

#include <algorithm>
#include <charconv>

#include "commands/commands.h"
#include "commands/dispatch.h"
#include "commands/player_context.h"
#include "commands/set_threshold.h"
#include "core/key_set.h"
#include "core/playback.h"

namespace kalvento {

namespace {

// Folder numbers run from 1 (S001) to 10000.
constexpr int kLastFolderNumber = 10000;
constexpr int kLastDisplayLevel = 3;
constexpr int kLargestThreshold = 153600;

// Says on the console why a command's argument was refused.
void refuse(PlayerContext& player, const KeyCommand& command, const std::string& argument,
            const char* wanted) {
    player.io.console.print("%s（コマンド %s：[ %s ] は使えません。%s）\n",
                            player.state.playback.PromptText.c_str(), command.name,
                            argument.c_str(), wanted);
}

// `text` as a whole number from `low` to `high`; nullopt (said on the console) otherwise.
std::optional<int> numberArgument(PlayerContext& player, const KeyCommand& command,
                                  const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc() && end == text.data() + text.size() && value >= low && value <= high)
        return value;
    const std::string wanted = std::to_string(low) + " .. " + std::to_string(high);
    refuse(player, command, text, wanted.c_str());
    return std::nullopt;
}

// "on" / "1" as 1, "off" / "0" as 0; nullopt (said on the console) otherwise.
std::optional<int> switchArgument(PlayerContext& player, const KeyCommand& command,
                                  const std::string& text) {
    if (text == "on" || text == "1") return 1;
    if (text == "off" || text == "0") return 0;
    refuse(player, command, text, "on | off");
    return std::nullopt;
}

// The index of `text` among `choices`; nullopt (said on the console, `wanted` naming them)
// otherwise.
template <size_t N>
std::optional<int> choiceArgument(PlayerContext& player, const KeyCommand& command,
                                  const std::string& text, const char* const (&choices)[N],
                                  const char* wanted) {
    const auto found = std::find(std::begin(choices), std::end(choices), text);
    if (found != std::end(choices)) return static_cast<int>(found - std::begin(choices));
    refuse(player, command, text, wanted);
    return std::nullopt;
}

}  // namespace

void folderValueCommand(PlayerContext& player, const KeyCommand& command,
                        const std::vector<std::string>& args) {
    if (std::optional<int> folder = numberArgument(player, command, args[0], 1, kLastFolderNumber))
        switchToFolder(player, *folder - 1, "Done.\n\n");
}

void clipValueCommand(PlayerContext& player, const KeyCommand& command,
                      const std::vector<std::string>& args) {
    const int last = std::max(0, player.state.contents.MaxCount - 1);
    std::optional<int> clip = numberArgument(player, command, args[0], 0, last);
    if (!clip) return;
    PlaybackState& playback = player.state.playback;
    setFramePosition(playback, *clip);
    playback.LastShownFrame = -1.0;
}

void thresholdValueCommand(PlayerContext& player, const KeyCommand& command,
                           const std::vector<std::string>& args) {
    if (std::optional<int> value = numberArgument(player, command, args[0], 0, kLargestThreshold))
        setThreshold(player, *value, sourceName(player.runningSource()));
}

void osdValueCommand(PlayerContext& player, const KeyCommand& command,
                     const std::vector<std::string>& args) {
    if (std::optional<int> level = numberArgument(player, command, args[0], 0, kLastDisplayLevel))
        player.setDisplayLevel(*level);
}

void cameraValueCommand(PlayerContext& player, const KeyCommand& command,
                        const std::vector<std::string>& args) {
    std::optional<int> on = switchArgument(player, command, args[0]);
    if (!on || *on == player.state.camera.CamActive) return;
    const KeyCommand* cameraKey = findCommand("camera-toggle");
    runCommandRow(player, *cameraKey);
}

void followValueCommand(PlayerContext& player, const KeyCommand& command,
                        const std::vector<std::string>& args) {
    std::optional<int> on = switchArgument(player, command, args[0]);
    if (!on) return;
    player.state.gesture.GestureFollow = *on;
    player.io.console.print("%s（変数設定： GestureFollow = [ %d ]）\n",
                            player.state.playback.PromptText.c_str(), *on);
}

void rotateValueCommand(PlayerContext& player, const KeyCommand& command,
                        const std::vector<std::string>& args) {
    static constexpr const char* kTurns[] = {"0", "90", "180", "270"};
    std::optional<int> turns =
        choiceArgument(player, command, args[0], kTurns, "0 | 90 | 180 | 270");
    if (!turns) return;
    PlaybackState& playback = player.state.playback;
    playback.DisplayRotation = *turns * 90;
    playback.LastShownFrame = -1.0;  // the clip is shown again, turned
    player.io.console.print("%s（変数設定： DisplayRotation = [ %d ]）\n",
                            playback.PromptText.c_str(), playback.DisplayRotation);
}

void fitValueCommand(PlayerContext& player, const KeyCommand& command,
                     const std::vector<std::string>& args) {
    // In the order of the fit's number in the parameter file.
    static constexpr const char* kFits[] = {"contain", "cover", "stretch"};
    std::optional<int> fit =
        choiceArgument(player, command, args[0], kFits, "contain | cover | stretch");
    if (!fit) return;
    PlaybackState& playback = player.state.playback;
    playback.DisplayFit = *fit;
    playback.LastShownFrame = -1.0;
    player.io.console.print("%s（変数設定： DisplayFit = [ %d ]）\n", playback.PromptText.c_str(),
                            playback.DisplayFit);
}

void resumeCommand(PlayerContext&, const KeyCommand&) {
    // Outside the pause there is nothing to resume; the pause takes this command itself.
}

void keyValueCommand(PlayerContext& player, const KeyCommand& command,
                     const std::vector<std::string>& args) {
    const int code = keyArgument(args[0]);
    if (code == 0) {
        refuse(player, command, args[0], "a character, ESC, ENTER, TAB, BS, SPACE, COMMA, F1 "
                                         "or code N");
        return;
    }
    runTypedKey(player, code);
}

int keyArgument(const std::string& text) {
    return keyArgumentCode(text);
}

}  // namespace kalvento
