// The home folder (the contents root) collects frames from any contents folder: t and T take
// the shown frame, k adds the home folder's own clip_00000.jpg as a separator, U appends every
// frame of the current folder and A does that for a chosen number of folders picked at random.
// Every copy creates its slot exclusively, so nothing in the home folder is ever overwritten,
// not even by another player filling the same home folder at the same time.

#include <algorithm>
#include <optional>
#include <string>

#include "commands/commands.h"
#include "commands/copy_loop.h"
#include "commands/dispatch.h"
#include "commands/player_context.h"
#include "commands/random_selection.h"
#include "contents/home_folder.h"
#include "contents/random_selection.h"
#include "core/paths.h"
#include "core/question.h"

namespace kalvento {

namespace {

constexpr const char* kContentsStreamTitle =
    "KEY FUNCTION : [A][ Random Contents Selection and Create Contents Stream ]\n";

void reportFailedCopy(PlayerContext& player, const std::string& source, const HomeSlotCopy& copy) {
    const std::string target = copy.slot >= 0 ? homeSlotPath(copy.slot) : "../clip_*.jpg";
    player.io.console.printErr("ERROR: Could not copy [ %s ] to [ %s ]: %s\n", source.c_str(),
                               target.c_str(), copy.error.c_str());
}

// Copies the shown frame into the first free home slot from slot 0 (t and the first half of T).
void takeShownFrame(PlayerContext& player) {
    const ContentsState& contents = player.state.contents;
    const int j = clipIndexOf(player.state.playback.frame_no);
    if (j < 0 || j >= contents.MaxCount) {
        player.io.console.printErr("ERROR: No frame is shown: nothing was copied.\n");
        return;
    }
    const std::string source(fieldText(contents.FrameData[static_cast<size_t>(j)].ClipPath));
    HomeSlotCopy copy =
        copyToFreeHomeSlot(player.io.files, openablePath(source), 0, [&](const std::string& slot) {
            const std::string command = "copy " + source + " " + slot;
            player.io.console.print("EXECUTING (Clip Image) : %s\n", command.c_str());
        });
    if (!copy.copied) reportFailedCopy(player, source, copy);
}

enum class CopyAllEnd { NothingToCopy, Completed, Terminated, Abandoned };

// Appends every frame of the current folder to the home folder, starting the slot search at
// HomeClipNum, with one key poll per frame (runKeyPolledCopies). The slot search itself takes
// no key wait, so a home folder that already holds many frames does not hold the loop up.
CopyAllEnd copyAllFrames(PlayerContext& player, bool escAbandons = false) {
    ContentsState& contents = player.state.contents;
    MovieState& movie = player.state.movie;
    HomeState& home = player.state.home;
    Console& console = player.io.console;
    movie.CopyStartFrameNum = 0;
    movie.CopyEndFrameNum = contents.MaxCount - 1;
    if (contents.MaxCount <= 0) {
        movie.CopyStartFrameNum = -1;
        movie.CopyEndFrameNum = -1;
        return CopyAllEnd::NothingToCopy;
    }
    const int last = movie.CopyEndFrameNum;
    int n = home.HomeClipNum;
    int failed = 0;
    const CopyLoopEnd end = runKeyPolledCopies(player, last + 1, [&](int j) {
        const std::string source(fieldText(contents.FrameData[static_cast<size_t>(j)].ClipPath));
        HomeSlotCopy copy = copyToFreeHomeSlot(
            player.io.files, openablePath(source), n, [&](const std::string& slot) {
                const std::string command = "copy " + source + " " + slot;
                console.print(
                    " [%5d image(s) left ] EXECUTING:  %s  <<<Press Enter Key to Stop>>>\n",
                    last - j, command.c_str());
            });
        if (copy.copied) {
            home.HomeClipNum = copy.slot;
        } else {
            reportFailedCopy(player, source, copy);
            ++failed;
            if (copy.slot < 0) return false;
        }
        // A failed frame leaves its slot free; the next frame goes to the slot after it.
        n = copy.slot + 1;
        return true;
    }, escAbandons);
    if (failed > 0)
        console.printErr("ERROR: %d image(s) could not be copied into the home folder.\n", failed);
    const bool stopped = end != CopyLoopEnd::Completed;
    console.print("\n* COPY %s\n\n", stopped ? "TERMINATED." : "COMPLETED.");
    movie.CopyStartFrameNum = -1;
    movie.CopyEndFrameNum = -1;
    if (end == CopyLoopEnd::Abandoned) return CopyAllEnd::Abandoned;
    return stopped ? CopyAllEnd::Terminated : CopyAllEnd::Completed;
}

// The home folder's slots that motion clips fill: clip_00000.jpg .. clip_21999.jpg.
constexpr int kHomeSlots = 22000;

// How many passes of the current folder's clips the free home slots from HomeClipNum on
// still take.
int passesThatFit(PlayerContext& player) {
    const int perPass = std::max(1, player.state.contents.MaxCount);
    int free = 0;
    for (int slot = std::max(0, player.state.home.HomeClipNum); slot < kHomeSlots; ++slot)
        free += !player.io.files.exists(homeSlotPath(slot));
    return free / perPass;
}

// The answer to "How many motion clips": a whole line holding one number, at most the passes
// whose clips fit the home folder's free slots (each pass copies one folder, counted as the
// current folder's size; without a candidate it is the current folder each time). Anything
// else is asked again, the refusal naming the range; without any answer (end of input) no
// clip is made.
int askClipCount(PlayerContext& player) {
    const int largest = passesThatFit(player);
    Question question;
    question.max = largest;
    question.prompt = "*** How many motion clips do you want? : ";
    question.refusal = strf(
        "*** Please answer with a number of at most %d: more passes of %d clips do not fit "
        "the home folder's %d slots.\n",
        largest, std::max(1, player.state.contents.MaxCount), kHomeSlots);
    question.noAnswer = "\n*** No answer: no motion clip is made.\n";
    return player.io.askNumber(question).value_or(0);
}

}  // namespace

void takeFrameCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player, "キー入力[ t ]→ 現在表示されている画像をホームフォルダに保存します。\n");
    takeShownFrame(player);
}

void takeFrameAndStepCommand(PlayerContext& player, const KeyCommand&) {
    printKeyLine(player,
                 "キー入力[ T ]→ 現在表示されている画像をホームフォルダに保存します。"
                 "保存後、自動的に次の画像に進みます。\n");
    takeShownFrame(player);
    stepClips(player, kForward, 1.0);
}

void addSeparatorCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player,
                 "キー入力[ k ]→ ホームフォルダにある clip_00000.jpg "
                 "をホームフォルダに区切り用画像として追加します。\n");
    const std::string separator = homeSlotPath(0);
    if (!player.io.files.isReadableFile(separator)) {
        player.io.console.errorLine(
            "\nERROR: There is no such a file [clip_00000.jpg] in home folder.\n\n");
        return;
    }
    HomeSlotCopy copy =
        copyToFreeHomeSlot(player.io.files, separator, 0, [&](const std::string& slot) {
            const std::string command = "copy " + separator + " " + slot;
            player.io.console.print("EXECUTING : %s\n", command.c_str());
        });
    if (!copy.copied) reportFailedCopy(player, separator, copy);
}

void copyFolderToHomeCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player,
                 "キー入力[ U ]→ "
                 "現在のコンテンツフォルダにある全画像をホームフォルダに追加コピーします。\n");
    copyAllFrames(player);
}

void contentsStreamCommand(PlayerContext& player, const KeyCommand&) {
    Console& console = player.io.console;
    const int& displayMode = player.state.playback.MotionDisplayMode;
    printPromptLine(player);
    printKeyLine(
        player,
        "キー入力[ A ]→ ランダムにコンテンツを選択し、ホームフォルダに追加コピーします。\n");
    const int passes = askClipCount(player);
    for (int pass = 1; pass <= passes; ++pass) {
        if (displayMode != 0) console.print("%s", kContentsStreamTitle);
        if (displayMode == 2) break;
        // Without any candidate the current folder stays and is copied again.
        selectRandomContents(player);
        console.print("\n [ %2d / %2d ]\n\n", pass, passes);
        printTitleOf(player, 'U');
        // ENTER ends only this pass; ESC, or an empty folder, ends the whole stream.
        const CopyAllEnd end = copyAllFrames(player, true);
        if (end == CopyAllEnd::NothingToCopy || end == CopyAllEnd::Abandoned) return;
    }
    console.print("****************************************************\n");
    console.print("*** Finished Automatic Contents Stream Creation! ***\n");
    console.print("****************************************************\n\n");
}

}  // namespace kalvento
