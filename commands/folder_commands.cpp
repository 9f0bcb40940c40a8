// Folder keys: the digits, p / P / n / N, R (back to S001) and r (refresh the current folder).

#include <cstdio>
#include <string>

#include "commands/commands.h"
#include "core/playback.h"
#include "commands/player_context.h"
#include "core/paths.h"
#include "platform/console.h"

namespace kalvento {

namespace {

// Folder indexes wrap to the first folder from here on.
constexpr int kFolderIndexLimit = 10000;

// The new folder index of a folder key: the digit's own index, or the current index moved by
// the key's delta, stopping at the first folder and wrapping to it past the last.
int targetFolder(const PlayerContext& player, int param) {
    if (param >= 0 && param <= 9) return param;
    long target = static_cast<long>(player.state.contents.DirNum) + (param - kFolderMoveBase);
    if (target < 0) return 0;
    if (target >= kFolderIndexLimit) return 0;
    return static_cast<int>(target);
}

// The common tail of r and R: rescan the current folder and take its own parameters.
void refreshCurrentFolder(PlayerContext& player) {
    player.io.console.print(
        "\n ---[ REFRESH SETTINGS AND RELOAD IMAGE FILES IN CONTENTS FOLDER ]---\n");
    player.scan();
    player.io.console.print("Done.\n\n");
    player.readFolderParameters();
}

}  // namespace

// "* Changed Contents Folder to [ S001 ]" for index 0, printed with an empty line before and
// after.
void printChangedFolder(PlayerContext& player, int dirNum) {
    player.io.console.print("\n* Changed Contents Folder to [ %s ]\n\n",
                            folderName(dirNum).c_str());
}

void switchToFolder(PlayerContext& player, int dirNum, const char* afterScan) {
    player.releaseImageCache();
    setFolderIndex(player.state.contents, dirNum);
    printChangedFolder(player, dirNum);
    player.scan();
    player.io.console.print("%s", afterScan);
    player.readFolderParameters();
    // Forces the next turn to show a clip of the new folder.
    player.state.playback.LastShownFrame = -999.0;
}

void changeFolderCommand(PlayerContext& player, const KeyCommand& command) {
    const bool digit = command.param >= 0 && command.param <= 9;
    switchToFolder(player, targetFolder(player, command.param), digit ? "Done.\n\n" : "");
}

void firstFolderCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player, "キー入力[ R ]→ 先頭のコンテンツフォルダである S001 へ復帰します。\n");
    setFolderIndex(player.state.contents, 0);
    printChangedFolder(player, 0);
    // From here on R is the refresh key r, title included.
    printTitleOf(player, 'r');
    refreshCurrentFolder(player);
}

void refreshFolderCommand(PlayerContext& player, const KeyCommand&) {
    refreshCurrentFolder(player);
}

}  // namespace kalvento
