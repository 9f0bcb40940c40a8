// The key table, the dispatch of one turn and the step commands.

#include <gtest/gtest.h>

#include <set>

#include "commands/command.h"
#include "commands/dispatch.h"
#include "core/input_queue.h"
#include "support/fake_clock.h"
#include "support/player_fixture.h"
#include "support/text.h"

namespace kalvento::test {
namespace {

TEST(KeyTable, EveryRowIsAUniqueKeyWithAHandlerAndATitleOfTheRightForm) {
    std::set<int> codes;
    for (const KeyCommand& row : keyTable()) {
        EXPECT_GE(row.code, 8);
        EXPECT_LE(row.code, 125);
        EXPECT_TRUE(codes.insert(row.code).second) << "bound twice: " << row.code;
        EXPECT_NE(row.run, nullptr) << row.code;
        if (row.title) {
            EXPECT_EQ(std::string(row.title).rfind("KEY FUNCTION : ", 0), 0u);
        }
        EXPECT_EQ(findKeyCommand(row.code), &row);
    }
}

TEST(KeyTable, KeysWithoutACommandRunTheDefaultBranch) {
    for (int code : std::initializer_list<int>{0,   7,   10,  11,  12,  13,  14,  26,  28,  31,
                                               '-', '=', '?', 'B', '_', 'a', 'u', 126, 200, 255})
        EXPECT_EQ(findKeyCommand(code), nullptr) << code;
    for (int code :
         std::initializer_list<int>{8,   9,   27,  32,  '!', ')', '/', '0', '9', 'Z', 'X', '\\',
                                    'z', 'x', 'G', 'b', 'y', '|', '`', '[', ']', 'L', 'W'})
        EXPECT_NE(findKeyCommand(code), nullptr) << code;
}

class StepTest : public PlayerFixture {
protected:
    double& frame() { return player.state.playback.frame_no; }
};

TEST_F(StepTest, StepsStopAtTheEndsWithoutWrapping) {
    ws.addClipRange(1, 5);
    load();
    press('z');
    EXPECT_EQ(frame(), 0.0);
    EXPECT_EQ(player.state.playback.ReplayDirection, 0);
    for (int i = 0; i < 7; ++i) press('x');
    EXPECT_EQ(frame(), 4.0);
    EXPECT_EQ(player.state.playback.ReplayDirection, 1);
    EXPECT_EQ(player.state.playback.SignalledDirection, 1);
    EXPECT_EQ(player.state.playback.StepDirection, 1);
    player.state.playback.VR_step = 0.5;
    frame() = 4.6;
    press('x');
    EXPECT_EQ(frame(), 4.0) << "the integer part reached MaxCount";
}

TEST_F(StepTest, FastStepsMoveAThirtiethOfTheFolder) {
    ws.addClips(1, {0});
    ws.addFrameData(1, std::vector<std::string>(301, "../S001/clip_00000.jpg"));
    load();
    frame() = 150.0;
    press('Z');
    EXPECT_EQ(frame(), 140.0);
    press('/');
    EXPECT_EQ(frame(), 130.0);
    press('X');
    press('\\');
    EXPECT_EQ(frame(), 150.0);
    press('z');
    EXPECT_EQ(frame(), 149.0) << "z moves VR_step";
}

TEST_F(StepTest, AMouseTargetReplacesTheStepOnce) {
    ws.addClips(1, {0});
    ws.addFrameData(1, std::vector<std::string>(100, "../S001/clip_00000.jpg"));
    load();
    player.state.mouse.QuickAccessTarget = 57.0;
    press('z');
    EXPECT_EQ(frame(), 57.0);
    EXPECT_EQ(player.state.mouse.QuickAccessTarget, -1.0);
    EXPECT_EQ(player.state.playback.ReplayDirection, 0);
    press('x');
    EXPECT_EQ(frame(), 58.0);
}

TEST_F(StepTest, ClipTextsArePrintedAndAnEmptyTableIsNeverIndexed) {
    ws.addClipRange(1, 3);
    load();
    setFieldText(player.state.contents.FrameData[1].http, "http://example/1");
    setFieldText(player.state.contents.FrameData[1].file, "note.txt");
    press('x');
    EXPECT_EQ(out(),
              "\nFrameData[     1 ].http[2] = [http://example/1]\n"
              "FrameData[     1 ].file[3] = [note.txt]\n");
    player.state.contents.MaxCount = 0;
    press('x');
    EXPECT_EQ(frame(), 0.0);
    press('X');
    EXPECT_EQ(frame(), 0.0);
}

class DispatchTest : public StepTest {};

TEST_F(DispatchTest, PendingKeyTakesThePlaceOfTheTypedKey) {
    ws.addClipRange(1, 5);
    load();
    script("key z\n");
    player.state.playback.PendingKey = 'x';
    dispatchTurnKey(player);
    EXPECT_EQ(frame(), 1.0);
    EXPECT_EQ(player.state.playback.PendingKey, 0);
}

TEST_F(DispatchTest, TitlesArePrintedOnlyWithTheMotionDisplayOn) {
    ws.addClipRange(1, 5);
    load();
    script("key l\nkey l\n");
    dispatchTurnKey(player);
    EXPECT_EQ(out().find("KEY FUNCTION"), std::string::npos);
    player.state.playback.MotionDisplayMode = 1;
    dispatchTurnKey(player);
    EXPECT_EQ(out().find("KEY FUNCTION : [l][ Reset Frame Number ]\n"), out().find("KEY"));
    EXPECT_NE(out().find("KEY FUNCTION : [l][ Reset Frame Number ]\n"), std::string::npos);
}

TEST_F(DispatchTest, TheGestureDataRequestIsACommandRunInPlaceOfTheTypedKey) {
    ws.addClipRange(1, 5);
    load();
    player.state.playback.MotionDisplayMode = 1;
    script("key x\nkey x\n");
    injectInput(player.state.playback,
                Input::Command("write-gesture-data", {}, InputSource::Player));
    dispatchTurnKey(player);
    // W's own lines, then the knowledge base of the folder after its title.
    EXPECT_NE(out().find("キー入力[ W ]"), std::string::npos);
    EXPECT_NE(out().find("KEY FUNCTION : [ Write Gesture Data ]\nDThreshold=40 "),
              std::string::npos);
    EXPECT_NE(out().find("\nWriteKB:\n"), std::string::npos);
    EXPECT_TRUE(files.isReadableFile("DALMO_data-1-4.dat"));
    EXPECT_EQ(frame(), 0.0) << "the typed x gave way to the request";
    EXPECT_EQ(player.state.playback.PendingKey, 0);
    dispatchTurnKey(player);
    EXPECT_EQ(frame(), 1.0);
}

TEST_F(DispatchTest, ThresholdFileIsReadEveryTurnAndKeptSane) {
    ws.addClipRange(1, 2);
    load();
    CameraState& camera = player.state.camera;
    script("idle 10\n");
    dispatchTurnKey(player);
    EXPECT_EQ(camera.QBN_threshold, 11500) << "no file: unchanged";
    EXPECT_EQ(camera.VR_threshold, 11500);
    const std::pair<std::string, int> cases[] = {{"20000", 20000}, {"  777\r\n", 777},
                                                 {"text", 777},    {"", 777},
                                                 {"-40", 0},       {"99999999999", 0}};
    for (const auto& [content, expected] : cases) {
        writeFile(ws.work() + "/QBN_THRESHOLD.dat", content);
        dispatchTurnKey(player);
        EXPECT_EQ(camera.QBN_threshold, expected) << "[" << content << "]";
        EXPECT_EQ(camera.VR_threshold, expected);
    }
}

TEST_F(DispatchTest, AutomaticReplayStepsInItsDirectionAtMostThirtyTimesASecond) {
    ws.addClipRange(1, 10);
    load();
    PlaybackState& playback = player.state.playback;
    script("idle 3\n");
    dispatchTurnKey(player);
    EXPECT_EQ(frame(), 0.0) << "automatic replay is off";
    playback.AutoReplayFlag = 1;
    player.timer.restart();
    int64_t start = clock.nowMicros();
    dispatchTurnKey(player);
    EXPECT_EQ(frame(), 1.0);
    EXPECT_GE(clock.nowMicros() - start, 1000000 / 30) << "paced to 30 steps per second";
    EXPECT_LE(playback.f_rate, 30.0);
    playback.ReplayDirection = 0;
    dispatchTurnKey(player);
    EXPECT_EQ(frame(), 0.0);
    player.state.camera.CamActive = 1;
    script("key ENTER\n");
    dispatchTurnKey(player);
    EXPECT_EQ(playback.AutoReplayFlag, 0) << "the camera switches automatic replay off";
    EXPECT_NE(out().find("機能一覧"), std::string::npos) << "ENTER prints the help screen";
}

TEST(TurnTimer, RateIsCappedAndFollowsTheClock) {
    FakeClock clock;
    TurnTimer timer(clock);
    EXPECT_EQ(timer.rate(), 999.0);
    clock.advanceMicros(50000);
    EXPECT_DOUBLE_EQ(timer.rate(), 20.0);
    timer.restart();
    clock.advanceMicros(500);
    EXPECT_EQ(timer.rate(), 999.0);
}

}  // namespace
}  // namespace kalvento::test

namespace kalvento::test {
namespace {

TEST(CommandTable, EveryCommandHasOneNameOneHandlerAndSaysWhatItDoes) {
    std::set<std::string> names;
    bool keysDone = false;
    for (const KeyCommand& row : commandTable()) {
        const std::string name = row.name;
        EXPECT_TRUE(names.insert(name).second) << "named twice: " << name;
        EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"),
                  std::string::npos)
            << name;
        EXPECT_EQ(findCommand(name), &row);
        EXPECT_NE(std::string(row.help), "") << name;
        EXPECT_NE(row.run == nullptr, row.runWithArgs == nullptr) << name << ": one handler";
        // A handler of arguments for the commands that take some, and only for them.
        EXPECT_EQ(row.runWithArgs != nullptr, argumentCount(row) > 0) << name;
        // The rows with a key come first.
        if (row.code == 0) keysDone = true;
        EXPECT_FALSE(keysDone && row.code != 0) << name << " has a key after the rows without";
    }
    EXPECT_EQ(findCommand("nothing-of-that-name"), nullptr);
    for (const char* value : {"folder", "clip", "threshold", "osd", "camera", "follow", "pause",
                              "resume", "key", "rotate", "fit"})
        EXPECT_NE(findCommand(value), nullptr) << value;
}

TEST(CommandTable, KeysAreABindingOfCommandsAndTheListShowsThemAll) {
    const KeyCommand* fastBack = findCommand("step-backward-fast");
    ASSERT_NE(fastBack, nullptr);
    EXPECT_EQ(keysOf(*fastBack), (std::vector<int>{'Z', '/'}));
    EXPECT_EQ(findKeyCommand('/'), fastBack);
    EXPECT_EQ(keysOf(*findCommand("no-action")), (std::vector<int>{'G', 'b', 'y', '|'}));
    EXPECT_TRUE(keysOf(*findCommand("folder")).empty());
    EXPECT_EQ(argumentCount(*findCommand("camera")), 1u);
    EXPECT_EQ(argumentCount(*findCommand("pause")), 0u);

    const std::string list = commandListText();
    EXPECT_NE(list.find("folder N "), std::string::npos);
    EXPECT_NE(list.find("camera on|off "), std::string::npos);
    EXPECT_NE(list.find("step-backward-fast         Z /      steps back"), std::string::npos)
        << list;
    EXPECT_NE(list.find("pause                      ESC      pauses"), std::string::npos);
    size_t rows = 0;
    for (char c : list) rows += c == '\n';
    EXPECT_EQ(rows, commandTable().size());
}

TEST(CommandTable, TheRemotesDefaultListOnlyMovesAndShows) {
    for (const std::string& name : defaultRemoteCommands()) {
        const KeyCommand* row = findCommand(name);
        ASSERT_NE(row, nullptr) << name;
        for (const char* unsafe : {"learn", "copy", "movie", "write", "delete", "take", "contents-"})
            EXPECT_EQ(name.find(unsafe), std::string::npos) << name;
    }
}

class ValueCommandTest : public PlayerFixture {
protected:
    // Runs `name` with `args` as the key stage runs an injected command, in place of a key.
    void command(const std::string& name, std::vector<std::string> args = {}) {
        script("idle 1\n");
        injectInput(player.state.playback, Input::Command(name, std::move(args), InputSource::Osc));
        dispatchTurnKey(player);
        EXPECT_EQ(player.state.playback.PendingKey, 0);
    }
    double frame() const { return player.state.playback.frame_no; }
};

TEST_F(ValueCommandTest, EachValueCommandTakesEffectAndARefusedValueChangesNothing) {
    ws.addClipRange(1, 5);
    ws.addClipRange(2, 40);
    load();
    command("folder", {"2"});
    EXPECT_EQ(player.state.contents.DirNum, 1);
    EXPECT_EQ(player.state.contents.MaxCount, 40);
    EXPECT_NE(out().find("* Changed Contents Folder to [ S002 ]"), std::string::npos);
    command("clip", {"33"});
    EXPECT_EQ(frame(), 33.0);
    EXPECT_EQ(player.state.playback.LastShownFrame, -1.0);
    command("threshold", {"9000"});
    EXPECT_EQ(player.state.camera.QBN_threshold, 9000);
    EXPECT_TRUE(files.isReadableFile("QBN_THRESHOLD.dat"));
    EXPECT_NE(out().find("QBN_threshold = [   9000 ] (osc)"), std::string::npos);
    command("follow", {"on"});
    EXPECT_EQ(player.state.gesture.GestureFollow, 1);
    command("follow", {"0"});
    EXPECT_EQ(player.state.gesture.GestureFollow, 0);
    command("key", {"x"});
    EXPECT_EQ(frame(), 34.0);
    command("key", {"code 122"});  // z
    EXPECT_EQ(frame(), 33.0);
    command("step-forward");
    EXPECT_EQ(frame(), 34.0);
    command("osd", {"2"});  // no display here: nothing to set, nothing breaks
    command("rotate", {"270"});
    EXPECT_EQ(player.state.playback.DisplayRotation, 270);
    command("fit", {"cover"});
    EXPECT_EQ(player.state.playback.DisplayFit, 1);
    player.state.playback.LastShownFrame = 34.0;
    command("fit", {"stretch"});
    EXPECT_EQ(player.state.playback.DisplayFit, 2);
    EXPECT_EQ(player.state.playback.LastShownFrame, -1.0) << "the clip is shown again, fitted";

    // Refused values: said on the console, nothing changed.
    console.clear();
    const std::pair<std::string, std::vector<std::string>> refused[] = {
        {"folder", {"0"}},     {"folder", {"10001"}}, {"folder", {"2x"}}, {"clip", {"40"}},
        {"clip", {"-1"}},      {"threshold", {"-5"}}, {"osd", {"4"}},     {"camera", {"yes"}},
        {"follow", {"maybe"}}, {"key", {"nokey"}},    {"key", {"256"}},
        {"rotate", {"45"}},    {"rotate", {"-90"}},   {"fit", {"fill"}},
    };
    for (const auto& [name, args] : refused) command(name, args);
    EXPECT_EQ(count(out(), "は使えません。"), std::size(refused)) << out();
    command("folder");
    command("clip", {"1", "2"});
    command("no-such-command");
    EXPECT_EQ(count(out(), "の引数："), 2u);
    EXPECT_NE(out().find("（コマンド [ no-such-command ] はありません。）"), std::string::npos);
    EXPECT_EQ(player.state.contents.DirNum, 1);
    EXPECT_EQ(frame(), 34.0);
    EXPECT_EQ(player.state.camera.QBN_threshold, 9000);
    EXPECT_EQ(player.state.gesture.GestureFollow, 0);
    EXPECT_EQ(player.state.playback.DisplayRotation, 270);
    EXPECT_EQ(player.state.playback.DisplayFit, 2);
}

TEST_F(ValueCommandTest, TheCameraCommandSwitchesOnlyWhatDiffers) {
    ws.addClipRange(1, 5);
    load();
    command("camera", {"off"});
    EXPECT_EQ(out().find("キー入力[ q ]"), std::string::npos) << "already off: no q";
    command("camera", {"on"});
    EXPECT_EQ(player.state.camera.CamActive, 1);
    EXPECT_EQ(count(out(), "キー入力[ q ]"), 1u);
    command("camera", {"on"});
    EXPECT_EQ(count(out(), "キー入力[ q ]"), 1u);
    command("camera", {"off"});
    EXPECT_EQ(player.state.camera.CamActive, 0);
    EXPECT_EQ(count(out(), "キー入力[ q ]"), 2u);
}

}  // namespace
}  // namespace kalvento::test
