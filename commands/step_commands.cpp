// Stepping through the clips of the folder: z, x and the fast Z, X, '/', backslash. The mouse
// and the gesture drive inject z and x, so pointer playback follows the same rules.

#include "commands/commands.h"
#include "commands/dispatch.h"
#include "commands/player_context.h"
#include "core/playback.h"

namespace kalvento {

namespace {

double stepSize(const PlayerContext& player, int kind) {
    if (kind == kStepFast) return static_cast<double>((player.state.contents.MaxCount - 1) / 30);
    return player.state.playback.VR_step;
}

}  // namespace

void stepClips(PlayerContext& player, int direction, double size) {
    PlaybackState& playback = player.state.playback;
    MouseState& mouse = player.state.mouse;
    const ContentsState& contents = player.state.contents;
    if (mouse.QuickAccessTarget >= 0.0) {
        setFramePosition(playback, mouse.QuickAccessTarget);
        mouse.QuickAccessTarget = -1.0;
    } else if (direction == kForward) {
        moveFramePosition(playback, size);
        if (clipIndexOf(playback.frame_no) >= contents.MaxCount)
            setFramePosition(playback, contents.MaxCount - 1);
    } else {
        moveFramePosition(playback, -(size));
    }
    // Also catches the forward end of an empty folder, which would be -1.
    if (playback.frame_no < 0.0) setFramePosition(playback, 0.0);
    playback.ReplayDirection = direction;
    playback.SignalledDirection = direction;
    int n = clipIndexOf(playback.frame_no);
    if (n < contents.MaxCount) {
        const FrameData& record = contents.FrameData[static_cast<size_t>(n)];
        std::string http(fieldText(record.http)), file(fieldText(record.file));
        if (!http.empty())
            player.io.console.print("\nFrameData[ %5d ].http[2] = [%s]\n", n, http.c_str());
        if (!file.empty())
            player.io.console.print("FrameData[ %5d ].file[3] = [%s]\n", n, file.c_str());
    }
    playback.StepDirection = direction;
    playback.IdleTurns = 0;
}

void stepBackwardCommand(PlayerContext& player, const KeyCommand& command) {
    stepClips(player, kBackward, stepSize(player, command.param));
}

void stepForwardCommand(PlayerContext& player, const KeyCommand& command) {
    stepClips(player, kForward, stepSize(player, command.param));
}

}  // namespace kalvento
