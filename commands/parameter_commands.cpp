// The parameter-file keys: + saves the playback state into "qbn_env.dat" and the current
// folder's file, ; reads it back.

#include "commands/commands.h"
#include "commands/player_context.h"
#include "settings/parameter_file.h"

namespace kalvento {

void writeParametersCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player, "キー入力[ + ]→ qbn_env.datファイル を作成しました。\n");
    WriteParameters(player.state, player.io.files, player.io.console);
}

void readParametersCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player, "キー入力[ ; ]→ qbn_env.datファイル を読出しました。\n");
    player.readParameters();
}

}  // namespace kalvento
