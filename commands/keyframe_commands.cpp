// Key frames and the position stack: c pushes the current position onto the stack, C moves
// the newest stacked position into the key-frame table, o sets, K deletes and O clears key
// frames, and ',' / '.' walk through the table.
//
// The key-frame cursor can come from a parameter file, so every command clamps it to the
// table before using it.

#include <algorithm>
#include <cmath>
#include <string>

#include "commands/commands.h"
#include "core/playback.h"
#include "commands/player_context.h"
#include "platform/console.h"

namespace kalvento {

namespace {

constexpr int kLastKeyFrameSlot = kKeyFrameSlots - 1;  // 1279
constexpr int kLastLifoSlot = kLifoSlots - 1;          // 22999
constexpr double kLowestStackedPosition = 1.0;

constexpr const char* kDecrementTitle = "KEY FUNCTION : [,][ Decrement KeyFrameIndex ]";
constexpr const char* kIncrementTitle = "KEY FUNCTION : [.][ Increment KeyFrameIndex ]";

// The cursor as a valid slot index; the clamped value is also stored back, so the messages
// name the slot that was really used.
int keyFrameCursor(KeyFrameState& keyFrames) {
    keyFrames.KeyFrameIndex = std::clamp(keyFrames.KeyFrameIndex, 0, kLastKeyFrameSlot);
    return keyFrames.KeyFrameIndex;
}

// A slot holds a key frame when its value is above 0.0. A value that is not a number, or an
// infinite one (possible only from a damaged parameter file), is no position either.
bool holdsKeyFrame(double value) {
    return value > 0.0 && std::isfinite(value);
}

// A line feed, then every occupied slot of the stack, newest first.
void printStack(PlayerContext& player) {
    const std::vector<double>& stack = player.state.keyFrames.LIFO_Frames;
    std::string text = "\n";
    for (int i = 0; i < kLifoSlots; ++i) {
        double value = stack[static_cast<size_t>(i)];
        if (value > 0.0) text += strf("DISP: LIFO_Frames[ %d ] = %f.\n", i, value);
    }
    player.io.console.print("%s", text.c_str());
}

}  // namespace

void pushFrameCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player,
                 "キー入力[ c ]→ 現在の frame_no を BUFFER (LIFO_Frames[]) に追加しました。\n");
    const double position = player.state.playback.frame_no;
    if (!(position >= kLowestStackedPosition)) {
        player.io.console.print("*** Sorry, that operation is not permitted. ***\n");
        return;
    }
    std::vector<double>& stack = player.state.keyFrames.LIFO_Frames;
    stack.resize(kLifoSlots);
    // The oldest entry (slot 22999) falls off the end.
    std::copy_backward(stack.begin(), stack.begin() + kLastLifoSlot, stack.end());
    stack[0] = position;
    printStack(player);
}

void insertFromStackCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(
        player,
        "キー入力[ C ]→ 現在の BUFFER (LIFO_Frames[]) を KeyFrameNumber[] に挿入しました。\n");
    KeyFrameState& keyFrames = player.state.keyFrames;
    std::vector<double>& stack = keyFrames.LIFO_Frames;
    stack.resize(kLifoSlots);
    if (stack[0] == 0.0) {
        player.io.console.print("*** Sorry, LILO_Frames[] Buffer is EMPTY. ***\n");
        return;
    }
    const int i = keyFrameCursor(keyFrames);
    auto& table = keyFrames.KeyFrameNumber;
    // Make room at the cursor; the value in the last slot is lost. At the last slot itself
    // nothing moves and the value there is overwritten.
    std::copy_backward(table.begin() + i, table.begin() + kLastKeyFrameSlot, table.end());
    const double value = stack[0];
    table[static_cast<size_t>(i)] = value;
    // Pop the stack.
    std::copy(stack.begin() + 1, stack.end(), stack.begin());
    stack[kLastLifoSlot] = 0.0;
    printStack(player);
    if (stack[0] == 0.0) player.io.console.print("<<< Now, LILO_Frames[] Buffer is EMPTY. >>>\n");
    player.io.console.print("\nSET(Inserted): KeyFrameNumber[ %d ] = [ %f ]\n", i, value);
}

void setKeyFrameCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player,
                 "キー入力[ o ]→ 現在の frame_no を現在の KeyFrameNumber[] にセットしました。\n");
    KeyFrameState& keyFrames = player.state.keyFrames;
    const int i = keyFrameCursor(keyFrames);
    const double position = player.state.playback.frame_no;
    keyFrames.KeyFrameNumber[static_cast<size_t>(i)] = position;
    player.io.console.print("\nSET frame_no to KeyFrameNumber[ %d ] = %f.\n\n", i, position);
}

void deleteKeyFrameCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player, "キー入力[ K ]→ 現在の KeyFrameNumber[] の値を削除しました。\n");
    KeyFrameState& keyFrames = player.state.keyFrames;
    const int i = keyFrameCursor(keyFrames);
    auto& table = keyFrames.KeyFrameNumber;
    player.io.console.print("\nDELETED VALUE: KeyFrameNumber[ %d ] = [ %f ]\n", i,
                            table[static_cast<size_t>(i)]);
    // Close the gap; the last slot becomes empty.
    std::copy(table.begin() + i + 1, table.end(), table.begin() + i);
    table[kLastKeyFrameSlot] = 0.0;
    player.io.console.print("CURRENT VALUE: KeyFrameNumber[ %d ] = [ %f ]\n", i,
                            table[static_cast<size_t>(i)]);
}

void clearKeyFramesCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player, "キー入力[ O ]→ KeyFrameNumber[] の値をすべてクリアしました。\n");
    KeyFrameState& keyFrames = player.state.keyFrames;
    keyFrames.KeyFrameNumber.fill(0.0);
    keyFrames.KeyFrameIndex = 0;
    keyFrames.LIFO_Frames.assign(kLifoSlots, 0.0);
    // The next random selection looks for candidate folders again.
    player.state.selection.ContentsListReady = 0;
    player.io.console.print("Initialized  KeyFrameNumber[] and LIFO_Frames[].\n");
}

void stepKeyFrameCommand(PlayerContext& player, const KeyCommand& command) {
    KeyFrameState& keyFrames = player.state.keyFrames;
    PlaybackState& playback = player.state.playback;
    const int old = keyFrameCursor(keyFrames);
    const bool backward = command.param < 0;
    // Backward stops at the first slot; forward wraps from the last slot to the first.
    const int next = backward ? std::max(old - 1, 0) : (old == kLastKeyFrameSlot ? 0 : old + 1);
    const double value = keyFrames.KeyFrameNumber[static_cast<size_t>(next)];
    // The cursor moves by one slot only, never across an empty one.
    if (!holdsKeyFrame(value)) return;
    keyFrames.KeyFrameIndex = next;
    if (playback.MotionDisplayMode != 0)
        player.io.console.print("%s\n", backward ? kDecrementTitle : kIncrementTitle);
    if (playback.MotionDisplayMode == 2) return;
    player.io.console.print("%s（変数設定： KeyFrameNumber[ %d ] = [ %d ] ---> frame_no）\n",
                            playback.PromptText.c_str(), next, clipIndexOf(value));
    // A key frame beyond the folder (kept from a folder that held more clips) takes the last
    // clip, like a step past the end.
    const int maxCount = player.state.contents.MaxCount;
    setFramePosition(playback, (maxCount > 0 && clipIndexOf(value) >= maxCount) ? maxCount - 1 : value);
    playback.LastShownFrame = -1.0;
}

}  // namespace kalvento
