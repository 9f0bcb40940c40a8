// The frame data file keys: ':' saves the clip table of the current folder, so the next load
// of the folder takes it instead of probing the clip files, and '*' deletes it again.

#include <string>

#include "commands/commands.h"
#include "commands/player_context.h"
#include "contents/frame_data_file.h"
#include "core/paths.h"

namespace kalvento {

void writeFrameDataCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player, "キー入力[ : ]→ frame_data.datファイル を作成しました。\n");
    const ContentsState& contents = player.state.contents;
    const std::string name = frameDataFileName(contents.DirNum);
    if (!writeFrameDataFile(name, contents.FrameData, contents.MaxCount, player.io.files)) {
        player.io.console.print("Failed to Write Frame Data File...\n");
        return;
    }
    player.io.console.print("WROTE: %s\n", name.c_str());
}

void deleteFrameDataCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player, "キー入力[ * ]→ frame_data.datファイル を削除しました。\n");
    const std::string name = frameDataFileName(player.state.contents.DirNum);
    player.io.console.print("EXECUTING: del %s\n", name.c_str());
    // A file that is not there is as good as deleted; one that stays is a failure to report.
    if (!player.io.files.remove(name) && player.io.files.exists(name)) {
        player.io.console.print("Failed to Delete Frame Data File...\n");
        return;
    }
    player.io.console.print("COMPLETED!\n");
}

}  // namespace kalvento
