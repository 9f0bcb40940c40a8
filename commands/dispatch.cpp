#include "commands/dispatch.h"

#include "commands/command.h"
#include "commands/commands.h"
#include "commands/help_screen.h"
#include "commands/player_context.h"
#include "core/question.h"
#include "settings/threshold_file.h"

namespace kalvento {

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

void dispatchTurnKey(PlayerContext& player) {
    PlaybackState& playback = player.state.playback;
    int key = player.io.window.waitKey(1) & 0xFF;
    if (playback.PlayStepMode == 0) playback.PlayStepMode = 1;
    if (key == kKeyEnter) {
        player.showHelp();
        const HelpPages pages = helpPages(player.state);
        player.io.console.helpPage(pages.japanese, pages.english);
        player.resetSharedMotion();
    }
    if (playback.PendingKey != 0 && playback.PendingKey < 256) key = playback.PendingKey & 0xFF;
    runGestureDataRequest(player);
    CameraState& camera = player.state.camera;
    readThresholdFile(player.io.files, camera.QBN_threshold);
    camera.VR_threshold = camera.QBN_threshold;

    const KeyCommand* command = findKeyCommand(key);
    if (command) {
        if (command->title && playback.MotionDisplayMode != 0)
            player.io.console.print("%s\n", command->title);
        // A question the command asks belongs to its key: a remote answers only keys it may type.
        QuestionDesk* questions = player.io.questions;
        if (questions != nullptr) questions->setKey(key);
        command->run(player, *command);
        if (questions != nullptr) questions->setKey(0);
    } else {
        autoReplayStep(player);
    }
    playback.PendingKey = 0;
}

}  // namespace kalvento
