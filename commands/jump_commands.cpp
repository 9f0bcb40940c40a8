// Jumps inside the current folder: SHIFT+1 .. SHIFT+9 (10 % .. 90 %), J (a random clip) and
// l (the first clip).

#include "commands/commands.h"
#include "commands/player_context.h"
#include "core/playback.h"

namespace kalvento {

void percentJumpCommand(PlayerContext& player, const KeyCommand& command) {
    PlaybackState& playback = player.state.playback;
    const int maxCount = player.state.contents.MaxCount;
    // k tenths of the way to the last clip, not rounded: SHIFT+5 in 11 clips gives 5.0. A
    // folder without clips has no last clip; the position stays on 0 there.
    if (maxCount > 0)
        setFramePosition(playback, static_cast<double>(maxCount - 1) * command.param / 10.0);
    else
        setFramePosition(playback, 0.0);
    playback.StartFrameNum = 0;
    playback.EndFrameNum = 0;
}

void randomClipCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player, "キー入力[ J ]→ ランダムに表示画像を選択します。\n");
    const int maxCount = player.state.contents.MaxCount;
    // An empty clip table leaves nothing to pick from: the position is put on 0.0 and no
    // random number is drawn, so the generator's sequence is not disturbed.
    if (maxCount <= 0) {
        setFramePosition(player.state.playback, 0.0);
        return;
    }
    setFramePosition(player.state.playback, static_cast<double>(player.random.next() % maxCount));
}

void firstClipCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player, "キー入力[ l ]→ フォルダ内の先頭の画像に戻ります。\n");
    PlaybackState& playback = player.state.playback;
    setFramePosition(playback, 0.0);
    playback.StartFrameNum = 0;
    playback.EndFrameNum = 0;
}

}  // namespace kalvento
