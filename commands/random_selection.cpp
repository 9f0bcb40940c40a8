// Key j: a contents folder chosen at random among those that hold anything to play. The right
// mouse button and the automatic selection after enough motions inject the same key.

#include "commands/random_selection.h"

#include "commands/commands.h"
#include "commands/player_context.h"
#include "contents/random_selection.h"

namespace kalvento {

bool selectRandomContents(PlayerContext& player) {
    SelectionState& selection = player.state.selection;
    if (selection.ContentsListReady == 0)
        scanCandidateFolders(selection, player.state.contents.DirNum, player.io, player.random);
    if (selection.ContentsList.empty()) return false;
    player.io.console.print("\n<<<<<<<< RANDOM CONTENTS SELECTION >>>>>>>>\n");
    const size_t pick = static_cast<size_t>(player.random.next()) % selection.ContentsList.size();
    // The current folder may be drawn again.
    switchToFolder(player, selection.ContentsList[pick]);
    return true;
}

void randomSelectionCommand(PlayerContext& player, const KeyCommand&) {
    // Display mode 2 only announces the key (the title line, printed by the dispatch).
    if (player.state.playback.MotionDisplayMode == 2) return;
    printKeyLine(player, "キー入力[ j ]→ ランダムにコンテンツフォルダを選択します。\n");
    selectRandomContents(player);
    player.io.console.print("\nThat's all.\n\n");
}

}  // namespace kalvento
