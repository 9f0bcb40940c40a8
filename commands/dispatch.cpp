#include "commands/dispatch.h"

#include "commands/command.h"
#include "commands/commands.h"
#include "commands/help_screen.h"
#include "commands/player_context.h"
#include "core/input_queue.h"
#include "core/question.h"
#include "settings/threshold_file.h"

namespace kalvento {

namespace {

// The help pages of ENTER typed in the window.
void showHelpPages(PlayerContext& player) {
    player.showHelp();
    const HelpPages pages = helpPages(player.state);
    player.io.console.helpPage(pages.japanese, pages.english);
    player.resetSharedMotion();
}

// Runs a command input: its row with the arguments checked; a name the table does not know or
// a wrong number of arguments is said on the console and runs nothing.
void runCommandInput(PlayerContext& player, const Input& input) {
    const KeyCommand* command = findCommand(input.name);
    if (command == nullptr) {
        player.io.console.print("%s（コマンド [ %s ] はありません。）\n",
                                player.state.playback.PromptText.c_str(), input.name.c_str());
        return;
    }
    if (input.args.size() != argumentCount(*command)) {
        player.io.console.print("%s（コマンド %s の引数：[ %s ]）\n",
                                player.state.playback.PromptText.c_str(), command->name,
                                command->args);
        return;
    }
    runCommandRow(player, *command, input.args);
}

}  // namespace

void autoReplayStep(PlayerContext& player) {
    PlaybackState& playback = player.state.playback;
    if (player.state.camera.CamActive == 1 || playback.WalkerMode == 1) {
        playback.AutoReplayFlag = 0;
        return;
    }
    if (playback.AutoReplayFlag == 0) return;
    if (playback.ReplayDirection != kForward && playback.ReplayDirection != kBackward) return;
    stepClips(player, playback.ReplayDirection, playback.VR_step);
    // Sleep rather than spin until the turn has lasted 1/30 s.
    while ((playback.f_rate = player.timer.rate()) > kAutoReplayMaxRate)
        player.io.clock.sleepMillis(1);
    player.timer.restart();
}

void runCommandRow(PlayerContext& player, const KeyCommand& command,
                   const std::vector<std::string>& args) {
    if (command.title && player.state.playback.MotionDisplayMode != 0)
        player.io.console.print("%s\n", command.title);
    // A question the command asks belongs to its key: a remote answers only keys it may type.
    QuestionDesk* questions = player.io.questions;
    if (questions != nullptr) questions->setKey(command.code);
    if (command.run != nullptr)
        command.run(player, command);
    else
        command.runWithArgs(player, command, args);
    if (questions != nullptr) questions->setKey(0);
}

void runTypedKey(PlayerContext& player, int key) {
    if (const KeyCommand* command = findKeyCommand(key))
        runCommandRow(player, *command);
    else
        autoReplayStep(player);
}

void dispatchTurnKey(PlayerContext& player) {
    PlaybackState& playback = player.state.playback;
    int key = player.io.window.waitKey(1) & 0xFF;
    if (playback.PlayStepMode == 0) playback.PlayStepMode = 1;
    if (key == kKeyEnter) showHelpPages(player);
    const std::optional<Input> injected = injectedInput(playback);
    CameraState& camera = player.state.camera;
    readThresholdFile(player.io.files, camera.QBN_threshold);
    camera.VR_threshold = camera.QBN_threshold;

    player.running = injected ? injected->source : InputSource::Window;
    if (injected && !injected->isKey())
        runCommandInput(player, *injected);
    else
        runTypedKey(player, injected ? injected->key & 0xFF : key);
    player.running = InputSource::Window;
    clearInjected(playback);
}

}  // namespace kalvento
