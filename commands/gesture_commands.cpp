// The gesture keys: L starts the automatic learning of 1 .. 8 gestures, W writes the learned
// knowledge base.

#include <optional>
#include <string>

#include "commands/commands.h"
#include "commands/dispatch.h"
#include "commands/player_context.h"
#include "gesture/kb_files.h"
#include "motion/camera_capture.h"
#include "core/question.h"

namespace kalvento {

namespace {

constexpr int kCameraSettleMs = 1000;

// The answer to "how many gestures": a whole line holding one number 1 .. 8. Anything else is
// asked again; at the end of input nothing is learned (0).
int askGestureCount(PlayerContext& player) {
    Question question;
    question.prompt = strf("*** How many gestures do you want to learn? (1-%d) : ", kGestures);
    question.refusal = strf("*** Please answer with a number from 1 to %d.\n", kGestures);
    question.noAnswer = "\n*** No answer: no gesture is learned.\n";
    question.min = 1;
    question.max = kGestures;
    return player.io.askNumber(question).value_or(0);
}

}  // namespace

void startGestureLearning(PlayerContext& player, int count) {
    if (count < 1 || count > kGestures) return;
    State& state = player.state;
    // Learning runs only in gesture turns and needs the camera: open it as the camera key does.
    if (state.camera.CamActive == 0) {
        player.resetSharedMotion();
        openCamera(state, player.io, kCameraSettleMs);
        state.camera.DifferenceSum = 0;
        state.camera.CamFrameSlot = 0;
        state.playback.MotionRun = 0;
    }
    state.playback.PlayEngine = 0;
    LearningState& learning = player.recogniser.learning;
    learning.AutoLearn = 1;
    learning.GestureMax = count - 1;
    player.io.console.print(
        "%s（変数設定： Gestures to learn (AutoLearn, GestureMax) = [ %d, %d ]）\n",
        state.playback.PromptText.c_str(), learning.AutoLearn, learning.GestureMax);
}

void writeGestureData(PlayerContext& player) {
    const PlaybackState& playback = player.state.playback;
    if (playback.MotionDisplayMode != 0)
        player.io.console.print("KEY FUNCTION : [ Write Gesture Data ]\n");
    const Recogniser& recogniser = player.recogniser;
    const RecogniserMode mode = recogniserMode(recogniser);
    if (playback.MotionDisplayMode != 2 && mode != RecogniserMode::SimilarLearning &&
        mode != RecogniserMode::Review)
        WriteKB(recogniser, player.state.gesture, player.state.contents.DirNum + 1,
                player.io.files, player);
}

void learnGesturesCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player, "キー入力[ L ]→ ジェスチャー（体の動き）を自動学習します。\n");
    int count = askGestureCount(player);
    if (count > 0) startGestureLearning(player, count);
}

void writeGestureDataCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player, "キー入力[ W ]→ 学習したジェスチャーデータを書き込みます。\n");
    writeGestureData(player);
}

}  // namespace kalvento
